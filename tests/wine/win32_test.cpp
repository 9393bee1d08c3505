// What only Windows can answer, run under Wine by run_wine_tests.sh: the
// shell, the owners of message boxes, the "PBDLG" progress dialog, the
// registry key and a replacement of files that fails midway.
//
//   win32_test.exe             the checks, in an empty working folder
//   win32_test.exe <program>   runs "<program>" %ZARNO_LINE%, answers its
//                              message boxes and returns its exit code
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "core/platform_win32.h"
#include "core/progress.h"
#include "core/replacement_journal.h"
#include "core/shell_win32.h"
#include "resources/resource_ids.h"

#include <commctrl.h>  // after windows.h, which it needs

using namespace zarno;

namespace {

int failed = 0;
#define CHECK(c) ((c) ? void() : void((++failed, std::printf("FAILED line %d: %s\n", __LINE__, #c))))

std::string Text(HWND window) {
  char text[300] = {};
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

HWND MainWindow() { return ::FindWindowA("MainWindow", "Test"); }

// The boxes answered, each as "<owner>:<caption> " (owner: main, none or
// other); only the answering thread touches it until it is joined.
std::string boxes;
std::set<HWND> answered;
std::atomic<bool> done = false;

// Presses OK in the message boxes of a process: its dialogs without a bar.
void AnswerBoxes(DWORD processId) {
  std::erase_if(answered, [](HWND box) { return !::IsWindow(box); });
  ::EnumWindows([](HWND window, LPARAM id) -> BOOL {
    DWORD process = 0;
    char name[16] = {};
    ::GetWindowThreadProcessId(window, &process);
    ::GetClassNameA(window, name, sizeof name);
    if (process != DWORD(id) || !::IsWindowVisible(window) || std::strcmp(name, "#32770") != 0 ||
        ::GetDlgItem(window, IDC_PROGRESS_BAR) != nullptr) {
      return TRUE;
    }
    if (answered.insert(window).second) {
      const HWND owner = ::GetWindow(window, GW_OWNER);
      boxes += std::string(owner == nullptr ? "none" : owner == MainWindow() ? "main" : "other") + ":" + Text(window) + " ";
    }
    ::PostMessageA(window, WM_COMMAND, IDOK, 0);
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
  if (!::CreateProcessA(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return 125;
  }
  while (::WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) AnswerBoxes(process.dwProcessId);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  return int(code);
}

// "<position>/<low>-<high> <bar colour> <background> <smooth>" of a bar.
std::string Bar(HWND bar) {
  PBRANGE range = {-1, -1};
  ::SendMessageA(bar, PBM_GETRANGE, FALSE, LPARAM(&range));
  char text[80];
  std::snprintf(text, sizeof text, "%d/%d-%d %06lx %06lx %d", int(::SendMessageA(bar, PBM_GETPOS, 0, 0)), range.iLow,
                range.iHigh, static_cast<unsigned long>(::SendMessageA(bar, PBM_GETBARCOLOR, 0, 0)),
                static_cast<unsigned long>(::SendMessageA(bar, PBM_GETBKCOLOR, 0, 0)),
                (::GetWindowLongA(bar, GWL_STYLE) & PBS_SMOOTH) != 0);
  return text;
}

void CheckJob(Win32Platform& platform) {
  const HWND main = MainWindow();
  CHECK(main != nullptr && !::IsWindowVisible(main));
  platform.ShowMessageBox("text", "owned", BoxIcon::kHand, true);
  platform.ShowMessageBox("text", "unowned", BoxIcon::kExclamation);
  const std::pair<int32_t, const char*> stages[] = {{kProgressStageLod, "Compacting ZarnoObj.lod File"},
                                                    {kProgressStageTex, "Compacting ZarnoObj.tex File"}};
  for (const auto& [stage, title] : stages) {
    platform.ProgressOpen(stage);
    const HWND dialog = ::FindWindowA("#32770", title);
    const HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS_BAR);
    CHECK(dialog != nullptr && ::IsWindowVisible(dialog) && ::GetWindow(dialog, GW_OWNER) == main);
    CHECK((::GetWindowLongA(dialog, GWL_STYLE) & (WS_POPUP | WS_CAPTION)) == WS_POPUP);
    CHECK(Text(::GetDlgItem(dialog, IDC_PROGRESS_TITLE)) == title && Text(::GetDlgItem(dialog, IDC_PROGRESS_NOTE)).empty());
    CHECK(Bar(bar) == "0/0-100 00ffff 606000 1");
    ::SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // Escape leaves the dialog open
    platform.ProgressSetRange(40);
    platform.ProgressSetPosition(17);
    CHECK(::IsWindowVisible(dialog) && Bar(bar) == "17/0-40 00ffff 606000 1");
    platform.ProgressClose();
    CHECK(!::IsWindow(dialog));
  }
  platform.RequestClose();
}

// The steps the shell ran ("c" creation, "j" job) and its exit code.
std::string RunShell(bool created, void (*job)(Win32Platform&)) {
  Win32Platform platform;
  std::string steps;
  const int code = RunWin32Shell(::GetModuleHandleA(nullptr), "Test", platform,
                                 {"Test couldn't start!",
                                  [&] { steps += MainWindow() != nullptr ? "c" : "c?"; return created; },
                                  [&] { steps += "j"; job(platform); }});
  return steps + std::to_string(code) + (MainWindow() == nullptr ? "" : " window left");
}

void CheckShell() {
  CHECK(RunShell(true, CheckJob) == "cj1");
  ::UnregisterClassA("MainWindow", ::GetModuleHandleA(nullptr));
  CHECK(RunShell(true, [](Win32Platform&) { ::PostMessageA(MainWindow(), WM_COMMAND, ID_CLOSE_MAIN, 0); }) == "cj1");
  CHECK(RunShell(true, nullptr) == "0");  // the class is still registered
  ::UnregisterClassA("MainWindow", ::GetModuleHandleA(nullptr));
  CHECK(RunShell(false, nullptr) == "c0");
}

void CheckRegistry() {
  const char* key = "Software\\Vantorelle\\ZarnoWin32Test";
  Win32Platform platform;
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
  std::string value = "kept";
  CHECK(platform.ReadRegistryValue(key, "value", value) && value == "kept");
  HKEY handle = nullptr;
  CHECK(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &handle) == ERROR_SUCCESS);  // created
  const struct { DWORD type; std::string data; bool taken; } values[] = {
      {REG_SZ, "D:\\Orvane\\Objects", true}, {REG_SZ, std::string(255, 'k'), true},
      {REG_SZ, std::string(256, 'l'), false}, {REG_BINARY, std::string(256, 'u'), false}};
  for (const auto& [type, data, taken] : values) {
    ::RegSetValueExA(handle, "value", 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                     DWORD(data.size() + (type == REG_SZ)));
    value = "kept";
    CHECK(platform.ReadRegistryValue(key, "value", value) && value == (taken ? data : "kept"));
  }
  ::RegCloseKey(handle);
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
}

class FaultyPlatform : public Win32Platform {
 public:
  int failing = 0;  // which ReplaceFile call fails, from 1
  int calls = 0;
  bool ReplaceFile(const std::string& from, const std::string& to) override {
    return ++calls != failing && Win32Platform::ReplaceFile(from, to);
  }
};

// The first two bytes of the store, the header, their ".new" files, the
// journal and its ".new" name, "-" for a missing one.
std::string State(const std::string& folder) {
  std::string state;
  for (const char* name : {"lod", "hdr", "lod.new", "hdr.new", "journal", "journal.new"}) {
    std::ifstream file(folder + "ZarnoObj." + name, std::ios::binary);
    state += file ? std::string(std::istreambuf_iterator<char>(file), {}).substr(0, 2) + " " : "- ";
  }
  return state;
}

// The renames: journal, store, header, then the journal's retirement.
void CheckReplacement() {
  const PendingFile files[] = {{"ZarnoObj.lod"}, {"ZarnoObj.hdr"}};
  const std::pair<const char*, const char*> contents[] = {{"lod", "s0"}, {"hdr", "h0"}, {"lod.new", "s1"}, {"hdr.new", "h1"}};
  const struct { int failing; bool replaced; const char* state; } cases[] = {
      {0, true, "s1 h1 - - - - "},  {1, false, "s0 h0 - - - - "},      {2, false, "s0 h1 s1 - Za - "},
      {3, false, "s1 h0 - h1 Za - "}, {4, true, "s1 h1 - - - - "}};
  for (const auto& [failing, replaced, state] : cases) {
    const std::string folder = "r" + std::to_string(failing) + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    for (const auto& [name, text] : contents) std::ofstream(folder + "ZarnoObj." + name, std::ios::binary) << text;
    FaultyPlatform platform;
    platform.failing = failing;
    CHECK(ReplaceFilesTogether(platform, folder, files) == replaced && State(folder) == state);
    Win32Platform restarted;
    CHECK(RecoverReplacement(restarted, folder) && State(folder) == (failing == 1 ? cases[1].state : cases[0].state));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) return RunAnswering(argv[1]);
  const HANDLE answerer = ::CreateThread(nullptr, 0, [](void*) -> DWORD {
    for (; !done; ::Sleep(20)) AnswerBoxes(::GetCurrentProcessId());
    return 0;
  }, nullptr, 0, nullptr);
  CheckShell();
  CheckRegistry();
  CheckReplacement();
  done = true;
  ::WaitForSingleObject(answerer, INFINITE);
  CHECK(boxes == "main:owned none:unowned none:Error none:Error ");
  std::printf("win32_test: %d failed checks\n", failed);
  return failed != 0;
}
