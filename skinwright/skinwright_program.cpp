#include "skinwright/skinwright_program.h"

#include "skinwright/texture_job.h"
#include "skinwright/texture_paths.h"

namespace zarno {

ShellProgram MakeSkinwrightProgram(Platform& platform, std::string_view argumentLine, SkinwrightRun& run) {
  run.settings = ParseSkinwrightArguments(argumentLine);
  return ShellProgram{
      kSkinwrightStartupFailure,
      [&platform, &run] {
        return ResolveTexFolders(platform, run.settings.checkRun, run.settings.folders, run.paths);
      },
      [&platform, &run] { RunTextureJob(platform, run.settings, run.paths); },
  };
}

int RunSkinwright(Platform& platform, std::string_view argumentLine) {
  SkinwrightRun run;
  return RunShell(platform, MakeSkinwrightProgram(platform, argumentLine, run));
}

}  // namespace zarno
