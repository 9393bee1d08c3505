// The order every run of both programs follows: start-up (the folders are
// resolved while the main window is created), the job, and the exit. On
// Windows the window system carries these steps; elsewhere they are direct
// calls with the same observable contract.
#pragma once

#include <functional>
#include <string_view>

#include "core/platform.h"

namespace zarno {

// Exit codes of both programs.
inline constexpr int kExitAfterRun = 1;
inline constexpr int kExitStartupFailed = 0;

struct ShellProgram {
  std::string_view startupFailureText;  // "Rigwright couldn't start!"
  std::function<bool()> createMainWindow;  // runs the creation step; false = no window
  std::function<void()> runJob;            // posts exactly one close request
};

// Creates the main window, runs the job and returns the exit code: 1 after a
// run, 0 (after the start-up failure box) when the window cannot be created.
int RunShell(Platform& platform, const ShellProgram& program);

}  // namespace zarno
