#include "rigwright/rigwright_program.h"

#include "rigwright/model_job.h"

namespace zarno {

ShellProgram MakeRigwrightProgram(Platform& platform, std::string_view argumentLine, RigwrightRun& run) {
  run.settings = ParseRigwrightArguments(argumentLine);
  return ShellProgram{
      kRigwrightStartupFailure,
      [&platform, &run] {
        return ResolveModelFolders(platform, run.settings.checkRun, run.settings.folders, run.paths);
      },
      [&platform, &run] { RunModelJob(platform, run.settings, run.paths); },
  };
}

int RunRigwright(Platform& platform, std::string_view argumentLine) {
  RigwrightRun run;
  return RunShell(platform, MakeRigwrightProgram(platform, argumentLine, run));
}

}  // namespace zarno
