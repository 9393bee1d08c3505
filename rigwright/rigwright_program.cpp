#include "rigwright/rigwright_program.h"

#include "core/install_paths.h"
#include "core/shell.h"
#include "rigwright/command_line.h"
#include "rigwright/model_job.h"

namespace zarno {

int RunRigwright(Platform& platform, std::string_view argumentLine) {
  RigwrightSettings settings = ParseRigwrightArguments(argumentLine);
  InstallPaths paths;
  ShellProgram program{
      kRigwrightStartupFailure,
      [&] { return ResolveModelFolders(platform, settings.checkRun, settings.folders, paths); },
      [&] { RunModelJob(platform, settings, paths); },
  };
  return RunShell(platform, program);
}

}  // namespace zarno
