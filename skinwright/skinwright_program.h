// Skinwright from its argument line to its exit code.
#pragma once

#include <string_view>

#include "core/install_paths.h"
#include "core/platform.h"
#include "core/shell.h"
#include "skinwright/command_line.h"

namespace zarno {

inline constexpr std::string_view kSkinwrightTitle = "Skinwright";
inline constexpr std::string_view kSkinwrightStartupFailure = "Skinwright couldn't start!";

// What one run holds from start-up to exit: the settings of the argument
// line and the paths resolved while the main window is created.
struct SkinwrightRun {
  SkinwrightSettings settings;
  InstallPaths paths;
};

// Parses the line into `run` and gives the shell Skinwright's creation step
// (ResolveTexFolders) and job (RunTextureJob), both working on `run`, which
// must outlive the returned program.
ShellProgram MakeSkinwrightProgram(Platform& platform, std::string_view argumentLine, SkinwrightRun& run);

// Parses the line, resolves the folders, runs the job; returns the exit code.
int RunSkinwright(Platform& platform, std::string_view argumentLine);

}  // namespace zarno
