// Zarnoscope's command-line entry point.
#include <cstdio>
#include <string>
#include <vector>

#include "core/platform_posix.h"
#include "zarnoscope/zarnoscope_program.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  zarno::PosixPlatform platform("zarnoscope");
  zarno::ProgramOutput output;
  const int status = zarno::RunZarnoscope(platform, args, output);
  std::fwrite(output.out.data(), 1, output.out.size(), stdout);
  std::fwrite(output.err.data(), 1, output.err.size(), stderr);
  return std::fflush(stdout) == 0 ? status : zarno::kExitUsage;
}
