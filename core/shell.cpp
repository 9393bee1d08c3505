#include "core/shell.h"

namespace zarno {

int RunShell(Platform& platform, const ShellProgram& program) {
  if (!program.createMainWindow()) {
    platform.ShowMessageBox(program.startupFailureText, "", BoxIcon::kNone);
    return kExitStartupFailed;
  }
  program.runJob();
  return kExitAfterRun;
}

}  // namespace zarno
