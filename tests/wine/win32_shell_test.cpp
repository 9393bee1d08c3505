// The Win32 shell and progress dialog on a real (Wine) window system: the
// order of creation step, start command and exit, the hidden main window,
// the close command, the start-up failure, and the "PBDLG" dialog with its
// bar, and the registry key the object folder is read from. Run under box_clicker, which answers the start-up failure boxes and
// prints them for the test script to check:
//
//   box_clicker 30 win32_shell_test.exe <file holding an empty line>
#include <string>
#include <vector>

#include "core/platform_win32.h"
#include "core/progress.h"
#include "core/shell_win32.h"
#include "resources/resource_ids.h"
#include "tests/wine/win32_check.h"

#include <commctrl.h>  // after windows.h, which it needs

namespace zarno {
namespace {

constexpr char kTitle[] = "ShellTest";
constexpr char kStartupFailure[] = "ShellTest couldn't start!";
// The key the registry check creates and uses; never the host's own.
constexpr char kTestKey[] = "Software\\Vantorelle\\ZarnoWin32Test";

std::string ClassNameOf(HWND window) {
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  char text[256] = {};
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

HWND MainWindow() { return ::FindWindowA("MainWindow", kTitle); }

struct DialogSearch {
  HWND owner;
  HWND found = nullptr;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<DialogSearch*>(data);
  if (ClassNameOf(window) == "#32770" && ::GetWindow(window, GW_OWNER) == search.owner) search.found = window;
  return TRUE;
}

HWND ProgressDialogOf(HWND mainWindow) {
  DialogSearch search{mainWindow};
  ::EnumThreadWindows(::GetCurrentThreadId(), FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

PBRANGE RangeOf(HWND bar) {
  PBRANGE range = {-1, -1};
  ::SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  return range;
}

// ---- what the job sees --------------------------------------------------------------

void CheckHiddenMainWindow() {
  HWND window = MainWindow();
  CHECK(window != nullptr);
  CHECK(!::IsWindowVisible(window));
  CHECK_EQ(static_cast<DWORD>(::GetWindowLongPtrA(window, GWL_STYLE)) & WS_OVERLAPPEDWINDOW,
           static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
  WNDCLASSA windowClass;
  CHECK(::GetClassInfoA(::GetModuleHandleA(nullptr), "MainWindow", &windowClass));
  CHECK_EQ(windowClass.style, 0u);
  CHECK(windowClass.hIcon == nullptr);
  CHECK(windowClass.hbrBackground == static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH)));
  CHECK(windowClass.lpszMenuName == nullptr);
}

void CheckProgressDialog(Win32Platform& platform) {
  platform.ProgressOpen(kProgressStageLod);
  HWND dialog = ProgressDialogOf(MainWindow());
  CHECK(dialog != nullptr);
  if (dialog == nullptr) return;
  CHECK(::IsWindowVisible(dialog));
  CHECK_EQ(TextOf(dialog), std::string("Compacting ZarnoObj.lod File"));
  const DWORD style = static_cast<DWORD>(::GetWindowLongPtrA(dialog, GWL_STYLE));
  CHECK((style & WS_POPUP) != 0);
  CHECK((style & WS_CAPTION) != WS_CAPTION);
  HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS_BAR);
  CHECK_EQ(ClassNameOf(bar), std::string("msctls_progress32"));
  CHECK((::GetWindowLongPtrA(bar, GWL_STYLE) & PBS_SMOOTH) != 0);
  CHECK_EQ(RangeOf(bar).iLow, 0);
  CHECK_EQ(RangeOf(bar).iHigh, 100);
  CHECK_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
  CHECK_EQ(static_cast<COLORREF>(::SendMessageA(bar, PBM_GETBARCOLOR, 0, 0)), RGB(255, 255, 0));
  CHECK_EQ(static_cast<COLORREF>(::SendMessageA(bar, PBM_GETBKCOLOR, 0, 0)), RGB(0, 96, 96));
  CHECK_EQ(TextOf(::GetDlgItem(dialog, IDC_PROGRESS_TITLE)), std::string("Compacting ZarnoObj.lod File"));
  CHECK_EQ(TextOf(::GetDlgItem(dialog, IDC_PROGRESS_NOTE)), std::string());

  // Escape sends the cancel command: the dialog stays.
  ::SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  CHECK(::IsWindow(dialog) && ::IsWindowVisible(dialog));

  platform.ProgressSetPosition(0);
  platform.ProgressSetRange(0);
  CHECK_EQ(RangeOf(bar).iHigh, 0);
  platform.ProgressSetRange(40);
  platform.ProgressSetPosition(17);
  CHECK_EQ(RangeOf(bar).iLow, 0);
  CHECK_EQ(RangeOf(bar).iHigh, 40);
  CHECK_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 17);
  platform.ProgressClose();
  CHECK(!::IsWindow(dialog));

  platform.ProgressOpen(kProgressStageTex);
  dialog = ProgressDialogOf(MainWindow());
  CHECK(dialog != nullptr && TextOf(dialog) == "Compacting ZarnoObj.tex File");
  platform.ProgressClose();
  CHECK(ProgressDialogOf(MainWindow()) == nullptr);
}

// ---- the runs ------------------------------------------------------------------------

struct Run {
  std::vector<std::string> steps;
  bool creationSucceeds = true;
};

ShellProgram ProgramFor(Run& run, std::function<void()> job) {
  return ShellProgram{
      kStartupFailure,
      [&run] {
        run.steps.push_back("create");
        // The window exists and the progress bar's class is registered.
        CHECK(MainWindow() != nullptr);
        WNDCLASSA barClass;
        CHECK(::GetClassInfoA(nullptr, PROGRESS_CLASSA, &barClass));
        return run.creationSucceeds;
      },
      [&run, job] {
        run.steps.push_back("job");
        job();
      },
  };
}

void AJobRunsOnceBetweenCreationAndExit(HINSTANCE instance) {
  Win32Platform platform;
  Run run;
  const ShellProgram program = ProgramFor(run, [&platform] {
    CheckHiddenMainWindow();
    CheckProgressDialog(platform);
    platform.RequestClose();
  });
  CHECK_EQ(RunWin32Shell(instance, kTitle, platform, program), kExitAfterRun);
  CHECK_EQ(run.steps, (std::vector<std::string>{"create", "job"}));
  CHECK(MainWindow() == nullptr);
}

void TheCloseCommandEndsTheRun(HINSTANCE instance) {
  Win32Platform platform;
  Run run;
  const ShellProgram program = ProgramFor(run, [] { ::PostMessageA(MainWindow(), WM_COMMAND, ID_CLOSE_MAIN, 0); });
  CHECK_EQ(RunWin32Shell(instance, kTitle, platform, program), kExitAfterRun);
  CHECK_EQ(run.steps, (std::vector<std::string>{"create", "job"}));
}

// The class is still registered from the run before, so registering it
// again fails: the start-up failure box, exit code 0, no step runs.
void AClassThatCannotBeRegisteredStopsTheStart(HINSTANCE instance) {
  Win32Platform platform;
  Run run;
  const ShellProgram program = ProgramFor(run, [] {});
  CHECK_EQ(RunWin32Shell(instance, kTitle, platform, program), kExitStartupFailed);
  CHECK(run.steps.empty());
}

void AFailingCreationStepStopsTheStart(HINSTANCE instance) {
  Win32Platform platform;
  Run run;
  run.creationSucceeds = false;
  const ShellProgram program = ProgramFor(run, [] {});
  CHECK_EQ(RunWin32Shell(instance, kTitle, platform, program), kExitStartupFailed);
  CHECK_EQ(run.steps, (std::vector<std::string>{"create"}));
  CHECK(MainWindow() == nullptr);
}

// ---- the registry key -----------------------------------------------------------

void SetTestValue(const char* name, DWORD type, const std::string& data) {
  HKEY key = nullptr;
  CHECK(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS);
  CHECK(::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>(data.size() + (type == REG_SZ ? 1 : 0))) == ERROR_SUCCESS);
  ::RegCloseKey(key);
}

void ReadRegistryValueTakesOnlyWhatFits() {
  Win32Platform platform;
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
  std::string value = "argument";
  CHECK(platform.ReadRegistryValue(kTestKey, "objectDir", value));  // the key is created
  CHECK_EQ(value, std::string("argument"));
  HKEY key = nullptr;
  CHECK(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &key) == ERROR_SUCCESS);
  ::RegCloseKey(key);

  SetTestValue("objectDir", REG_SZ, "D:\\Orvane\\Objects");
  CHECK(platform.ReadRegistryValue(kTestKey, "objectDir", value));
  CHECK_EQ(value, std::string("D:\\Orvane\\Objects"));

  const std::string longest(255, 'k');
  SetTestValue("longest", REG_SZ, longest);
  CHECK(platform.ReadRegistryValue(kTestKey, "longest", value));
  CHECK_EQ(value, longest);

  value = "argument";
  SetTestValue("tooLong", REG_SZ, std::string(256, 'l'));
  CHECK(platform.ReadRegistryValue(kTestKey, "tooLong", value));
  CHECK_EQ(value, std::string("argument"));

  SetTestValue("unterminated", REG_BINARY, std::string(256, 'u'));
  CHECK(platform.ReadRegistryValue(kTestKey, "unterminated", value));
  CHECK_EQ(value, std::string("argument"));

  CHECK(platform.ReadRegistryValue(kTestKey, "missing", value));
  CHECK_EQ(value, std::string("argument"));
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
}

}  // namespace
}  // namespace zarno

int main() {
  zarno::ReadRegistryValueTakesOnlyWhatFits();
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  zarno::AJobRunsOnceBetweenCreationAndExit(instance);
  ::UnregisterClassA("MainWindow", instance);
  zarno::TheCloseCommandEndsTheRun(instance);
  zarno::AClassThatCannotBeRegisteredStopsTheStart(instance);
  ::UnregisterClassA("MainWindow", instance);
  zarno::AFailingCreationStepStopsTheStart(instance);
  return zarno::FinishChecks("win32_shell_test");
}
