#include <cstdio>
#include <string_view>

#include "core/argument_line.h"
#include "core/platform_posix.h"
#include "core/posix_main.h"

namespace zarno {

int PosixMain(int argc, const char* const* argv, const PosixProgram& program) {
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::fputs(program.usage, stdout);
    return 0;
  }
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::fputs(program.version, stdout);
    return 0;
  }
  PosixPlatform platform(program.name);
  return program.run(platform, JoinArguments(argc, argv));
}

}  // namespace zarno
