// Zarnoscope: what an object folder holds, whether it is healthy, and its
// textures and models back out. It opens the object files for reading only
// and never writes to the object folder.
#pragma once

#include <span>
#include <string>

#include "core/platform.h"

namespace zarno {

// What the program prints: `out` for standard output, `err` for standard
// error.
struct ProgramOutput {
  std::string out, err;
};

// Exit statuses.
inline constexpr int kExitDone = 0;     // done; verify found the folder healthy
inline constexpr int kExitProblem = 1;  // verify found a problem; a texture or model could not be had
inline constexpr int kExitUsage = 2;    // a usage error, or an object folder that cannot be read

// Runs one command; `args` are the program's arguments without its name.
int RunZarnoscope(Platform& platform, std::span<const std::string> args, ProgramOutput& output);

}  // namespace zarno
