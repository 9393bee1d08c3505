// The command-line entry of both programs on POSIX: --help and --version, or
// the arguments joined into one argument line and handed to the program.
#pragma once

#include <string_view>

#include "core/platform.h"

namespace zarno {

struct PosixProgram {
  const char* name;     // "rigwright": the prefix of every message line
  const char* usage;    // printed by --help
  const char* version;  // printed by --version
  int (*run)(Platform& platform, std::string_view argumentLine);
};

int PosixMain(int argc, const char* const* argv, const PosixProgram& program);

}  // namespace zarno
