// Skinwright's Windows entry point: the argument line exactly as Windows
// hands it over, the hidden main window and the message loop.
#include "core/platform_win32.h"
#include "core/shell_win32.h"
#include "skinwright/skinwright_program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, LPSTR commandLine, int /*showCommand*/) {
  zarno::Win32Platform platform;
  zarno::SkinwrightRun run;
  const zarno::ShellProgram program = zarno::MakeSkinwrightProgram(platform, commandLine, run);
  return zarno::RunWin32Shell(instance, zarno::kSkinwrightTitle, platform, program);
}
