// The shell of both programs on Windows: one hidden main window whose
// creation runs the program's creation step, the start command posted to it
// before the message loop, the job run inside that command, and the exit
// once the job has asked the window to close.
#pragma once

#include <string_view>

#include "core/platform_win32.h"
#include "core/shell.h"

namespace zarno {

// Command identifiers, in the low word of WM_COMMAND's wParam.
inline constexpr WORD ID_START_JOB = 11999;   // run the program's job once
inline constexpr WORD ID_CLOSE_MAIN = 10202;  // close the main window

// What WinMain does for either program: creates the main window titled
// `title` (the start-up failure box and exit code 0 when that fails), hands
// it to `platform`, posts ID_START_JOB, runs the message loop and returns 1.
int RunWin32Shell(HINSTANCE instance, std::string_view title, Win32Platform& platform,
                  const ShellProgram& program);

}  // namespace zarno
