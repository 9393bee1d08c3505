// Rigwright's Windows entry point: the argument line exactly as Windows
// hands it over, the hidden main window and the message loop.
#include "core/platform_win32.h"
#include "core/shell_win32.h"
#include "rigwright/rigwright_program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, LPSTR commandLine, int /*showCommand*/) {
  zarno::Win32Platform platform;
  zarno::RigwrightRun run;
  const zarno::ShellProgram program = zarno::MakeRigwrightProgram(platform, commandLine, run);
  return zarno::RunWin32Shell(instance, zarno::kRigwrightTitle, platform, program);
}
