#include "skinwright/skinwright_program.h"

#include "core/install_paths.h"
#include "core/shell.h"
#include "skinwright/command_line.h"
#include "skinwright/texture_job.h"
#include "skinwright/texture_paths.h"

namespace zarno {

int RunSkinwright(Platform& platform, std::string_view argumentLine) {
  SkinwrightSettings settings = ParseSkinwrightArguments(argumentLine);
  InstallPaths paths;
  ShellProgram program{
      kSkinwrightStartupFailure,
      [&] { return ResolveTexFolders(platform, settings.checkRun, settings.folders, paths); },
      [&] { RunTextureJob(platform, settings, paths); },
  };
  return RunShell(platform, program);
}

}  // namespace zarno
