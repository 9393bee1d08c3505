// Rigwright from its argument line to its exit code.
#pragma once

#include <string_view>

#include "core/install_paths.h"
#include "core/platform.h"
#include "core/shell.h"
#include "rigwright/command_line.h"

namespace zarno {

inline constexpr std::string_view kRigwrightTitle = "Rigwright";
inline constexpr std::string_view kRigwrightStartupFailure = "Rigwright couldn't start!";

// What one run holds from start-up to exit: the settings of the argument
// line and the paths resolved while the main window is created.
struct RigwrightRun {
  RigwrightSettings settings;
  InstallPaths paths;
};

// Parses the line into `run` and gives the shell Rigwright's creation step
// (ResolveModelFolders) and job (RunModelJob), both working on `run`, which
// must outlive the returned program.
ShellProgram MakeRigwrightProgram(Platform& platform, std::string_view argumentLine, RigwrightRun& run);

// Parses the line, resolves the folders, runs the job; returns the exit code.
int RunRigwright(Platform& platform, std::string_view argumentLine);

}  // namespace zarno
