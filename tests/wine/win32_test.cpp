// What only Windows answers, run under Wine by run_wine_tests.sh: the shell, the owners of message
// boxes, the "PBDLG" progress dialog, a replacement of files that fails midway, the lock and copies.
//   win32_test.exe            the checks, in an empty working folder
//   win32_test.exe <program>  runs "<program>" %ZARNO_LINE%, answering its boxes
#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include "core/platform_win32.h"
#include "core/progress.h"
#include "core/replacement_journal.h"
#include "core/shell_win32.h"
#include "resources/resource_ids.h"
#include <commctrl.h>  // after windows.h, which it needs
using namespace zarno;
int failed = 0;
#define CHECK(c) ((c) ? void() : void((++failed, std::printf("FAILED line %d: %s\n", __LINE__, #c))))
std::string Text(HWND window) { char text[300] = {}; return {text, size_t(::GetWindowTextA(window, text, 300))}; }
HWND MainWindow() { return ::FindWindowA("MainWindow", "Test"); }
std::string boxes;  // the boxes answered, as "<owner>:<caption> "
// Presses OK in the message boxes (the dialogs without a bar) of a process.
void AnswerBoxes(DWORD processId) {
  ::EnumWindows([](HWND window, LPARAM id) -> BOOL {
    DWORD process = 0;
    char name[16] = {};
    ::GetWindowThreadProcessId(window, &process), ::GetClassNameA(window, name, sizeof name);
    if (process == DWORD(id) && ::IsWindowVisible(window) && name == std::string("#32770") &&
        ::GetDlgItem(window, IDC_PROGRESS_BAR) == nullptr) {
      const HWND owner = ::GetWindow(window, GW_OWNER);
      boxes += (owner == nullptr ? "none:" : owner == MainWindow() ? "main:" : "other:") + Text(window) + " ";
      ::SendMessageA(window, WM_COMMAND, IDOK, 0);  // hides the box at once
    }
    return TRUE;
  }, LPARAM(processId));
}
int RunAnswering(const char* program) {
  char line[32768] = {};
  ::GetEnvironmentVariableA("ZARNO_LINE", line, sizeof line);
  std::string command = "\"" + std::string(program) + "\" " + line;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  DWORD code = 125;
  if (::CreateProcessA(program, command.data(), nullptr, nullptr, 0, 0, nullptr, nullptr, &startup, &process)) {
    while (::WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) AnswerBoxes(process.dwProcessId);
    ::GetExitCodeProcess(process.hProcess, &code);
  }
  return int(code);
}
// The progress dialog: owned by the main window, visible, frameless; its bar's position, range, colours
// and smoothness; its labels.
std::string Dialog(HWND dialog) {
  const HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS_BAR);
  PBRANGE range = {-1, -1};
  ::SendMessageA(bar, PBM_GETRANGE, FALSE, LPARAM(&range));
  char text[300];
  std::snprintf(text, sizeof text, "%d%d%d %d/%d-%d %06x %06x %d ", ::GetWindow(dialog, GW_OWNER) == MainWindow(),
                ::IsWindowVisible(dialog), (::GetWindowLongA(dialog, GWL_STYLE) & (WS_POPUP | WS_CAPTION)) == WS_POPUP,
                int(::SendMessageA(bar, PBM_GETPOS, 0, 0)), range.iLow, range.iHigh,
                unsigned(::SendMessageA(bar, PBM_GETBARCOLOR, 0, 0)),
                unsigned(::SendMessageA(bar, PBM_GETBKCOLOR, 0, 0)),
                (::GetWindowLongA(bar, GWL_STYLE) & PBS_SMOOTH) > 0);
  return text + Text(::GetDlgItem(dialog, IDC_PROGRESS_TITLE)) + "|" + Text(::GetDlgItem(dialog, IDC_PROGRESS_NOTE));
}
void CheckJob(Win32Platform& platform) {
  CHECK(MainWindow() != nullptr && !::IsWindowVisible(MainWindow()));
  platform.ShowMessageBox("text", "owned", BoxIcon::kHand, true);
  platform.ShowMessageBox("text", "unowned", BoxIcon::kExclamation);
  for (const std::string lodOrTex : {"lod", "tex"}) {
    const std::string title = "Compacting ZarnoObj." + lodOrTex + " File";
    platform.ProgressOpen(lodOrTex == "lod" ? kProgressStageLod : kProgressStageTex);  // the creation parameter
    const HWND dialog = ::FindWindowA("#32770", title.c_str());
    CHECK(Dialog(dialog) == "111 0/0-100 00ffff 606000 1 " + title + "|");
    ::SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // Escape leaves the dialog open
    platform.ProgressSetRange(40), platform.ProgressSetPosition(17);
    CHECK(Dialog(dialog) == "111 17/0-40 00ffff 606000 1 " + title + "|");
    platform.ProgressClose();
    CHECK(!::IsWindow(dialog));
  }
  platform.RequestClose();
}
// The steps the shell ran (c: creation, j: job), its exit code, and whether the main window is left.
std::string RunShell(bool created, void (*job)(Win32Platform&)) {
  Win32Platform platform;
  std::string steps;
  const int code = RunWin32Shell(::GetModuleHandleA(nullptr), "Test", platform, {"Test couldn't start!",
      [&] { return (steps += MainWindow() ? "c" : "c?"), created; }, [&] { steps += "j", job(platform); }});
  return steps + std::to_string(code) + (MainWindow() ? " window left" : "");
}
struct FaultyPlatform : Win32Platform {
  int failing = 0, calls = 0;  // the ReplaceFile call that fails, from 1
  bool ReplaceFile(const std::string& from, const std::string& to) override {
    return ++calls != failing && Win32Platform::ReplaceFile(from, to);
  }
};
// The first two bytes of the store, the header, their ".new" files, the journal and its ".new" name.
std::string State(const std::string& folder) {
  std::string state, text;
  for (const char* name : {"lod", "hdr", "lod.new", "hdr.new", "journal", "journal.new"}) {
    std::ifstream file(folder + "ZarnoObj." + name);
    state += std::getline(file, text) ? text.substr(0, 2) + " " : "- ";
  }
  return state;
}
// The renames: the journal's, the store's, the header's, the journal's retirement; then a restart.
void CheckReplacement() {
  const PendingFile files[] = {{"ZarnoObj.lod"}, {"ZarnoObj.hdr"}};
  const std::string kept = "l0 h0 - - - - ", replaced = "l1 h1 - - - - ";
  const std::pair<int, std::string> cases[] = {
      {0, replaced}, {1, kept}, {2, "l0 h1 l1 - Za - "}, {3, "l1 h0 - h1 Za - "}, {4, replaced}};
  for (const auto& [failing, state] : cases) {
    const std::string folder = "r" + std::to_string(failing) + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    for (const std::string name : {"lod", "hdr", "lod.new", "hdr.new"})  // l0 h0 l1 h1
      std::ofstream(folder + "ZarnoObj." + name) << name[0] << name.size() / 4;
    FaultyPlatform platform;
    platform.failing = failing;
    CHECK(ReplaceFilesTogether(platform, folder, files) == (state == replaced) && State(folder) == state);
    Win32Platform restarted;
    CHECK(RecoverReplacement(restarted, folder) && State(folder) == (failing == 1 ? kept : replaced));
  }
}
// A read-only source gives a copy that can be replaced; the lock is busy while held; a file held open without
// sharing is in use by another program.
void CheckCopyLockAndUse() {
  Win32Platform platform;
  std::ofstream("ro.dds") << "dds";
  ::SetFileAttributesA("ro.dds", FILE_ATTRIBUTE_READONLY);
  CHECK(platform.CopyFile("ro.dds", "copy.dds") && platform.ReplaceFile("copy.dds", "ro2.dds"));
  std::unique_ptr<FileLock> lock, second;
  CHECK(platform.TryLockFile("ZarnoObj.lock", lock) == LockAttempt::kTaken);
  CHECK(platform.TryLockFile("ZarnoObj.lock", second) == LockAttempt::kBusy && !second);
  CHECK(platform.InUseByAnotherProgram("ZarnoObj.lock") && !platform.InUseByAnotherProgram("ro2.dds"));
  lock.reset();
  CHECK(platform.TryLockFile("ZarnoObj.lock", second) == LockAttempt::kTaken);
}
int main(int argc, char** argv) {
  if (argc == 2) return RunAnswering(argv[1]);
  static std::atomic<bool> done = false;
  const auto answer = [](void*) -> DWORD { for (; !done; ::Sleep(20)) AnswerBoxes(::GetCurrentProcessId()); return 0; };
  const HANDLE answerer = ::CreateThread(nullptr, 0, answer, nullptr, 0, nullptr);
  CHECK(RunShell(true, CheckJob) == "cj1");
  ::UnregisterClassA("MainWindow", ::GetModuleHandleA(nullptr));
  CHECK(RunShell(true, [](Win32Platform&) { ::PostMessageA(MainWindow(), WM_COMMAND, ID_CLOSE_MAIN, 0); }) == "cj1");
  CHECK(RunShell(true, nullptr) == "0");  // the class is still registered
  ::UnregisterClassA("MainWindow", ::GetModuleHandleA(nullptr));
  CHECK(RunShell(false, nullptr) == "c0");
  CheckReplacement(), CheckCopyLockAndUse();
  done = true, ::WaitForSingleObject(answerer, INFINITE);
  CHECK(boxes == "main:owned none:unowned none:Error none:Error ");
  std::printf("win32_test: %d failed checks\n", failed);
  return failed != 0;
}
