// Starts a window-system program with a raw argument line and answers its
// message boxes, for tests that run the programs where nobody can click.
//
//   box_clicker <timeout seconds> <program> <file holding the argument line>
//
// The program is started with the command line "<program>" <line>, so that
// it receives the line exactly as the file holds it (its last line break
// dropped). Every 50 ms the visible top-level dialogs of that process that
// hold only buttons and static text (message boxes; the progress dialog,
// with its bar, is left alone) are looked at; each is printed once, as
//   BOX<TAB><owned|unowned><TAB><ok|buttons><TAB><caption><TAB><text>
// ("ok": exactly one button shows), with line breaks and tabs of the text
// written as <LF>, <CR> and <TAB>, and its default button is pressed.
// When the program ends, "EXIT <code>" is printed and its exit code
// returned; after the timeout the program is ended, "TIMEOUT" is printed
// and the code is kTimeoutExitCode.
//
// A box's icon cannot be told from another process under Wine; the test
// script reads the styles passed to MessageBoxA from Wine's relay trace.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

constexpr int kTimeoutExitCode = 124;
constexpr int kUsageExitCode = 125;
constexpr DWORD kPollMilliseconds = 50;

std::string ClassNameOf(HWND window) {
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  const int length = ::GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(::GetWindowTextA(window, text.data(), length + 1)));
  return text;
}

// One line per box: line breaks and tabs of the texts are made visible.
std::string Printable(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "<LF>";
    } else if (c == '\r') {
      out += "<CR>";
    } else if (c == '\t') {
      out += "<TAB>";
    } else {
      out += c;
    }
  }
  return out;
}

struct BoxContent {
  bool onlyButtonsAndText = true;
  std::string text;  // the static texts, in window order
  int buttons = 0;   // the visible ones
};

BOOL CALLBACK CollectChild(HWND child, LPARAM data) {
  auto& content = *reinterpret_cast<BoxContent*>(data);
  const std::string name = ClassNameOf(child);
  if (name == "Static") {
    const bool showsIcon = (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
    if (!showsIcon) content.text += TextOf(child);
  } else if (name == "Button") {
    if (::IsWindowVisible(child)) ++content.buttons;
  } else {
    content.onlyButtonsAndText = false;
  }
  return TRUE;
}

struct Search {
  DWORD processId;
  std::set<HWND>* answered;
};

void Answer(HWND box, const BoxContent& content) {
  const bool owned = ::GetWindow(box, GW_OWNER) != nullptr;
  std::printf("BOX\t%s\t%s\t%s\t%s\n", owned ? "owned" : "unowned", content.buttons == 1 ? "ok" : "buttons",
              Printable(TextOf(box)).c_str(), Printable(content.text).c_str());
  std::fflush(stdout);
  const LRESULT defaultId = ::SendMessageA(box, DM_GETDEFID, 0, 0);
  const WORD button = HIWORD(defaultId) == DC_HASDEFID ? LOWORD(defaultId) : IDOK;
  ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search.processId || !::IsWindowVisible(window) || ClassNameOf(window) != "#32770") return TRUE;
  if (search.answered->count(window) > 0) return TRUE;
  BoxContent content;
  ::EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&content));
  if (!content.onlyButtonsAndText) return TRUE;
  search.answered->insert(window);
  Answer(window, content);
  return TRUE;
}

bool ReadArgumentLine(const char* path, std::string& line) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  line.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return true;
}

// "<program>" <line>, null-terminated and writable, as CreateProcessA wants it.
std::vector<char> CommandLine(const std::string& program, const std::string& line) {
  std::vector<char> text;
  text.push_back('"');
  text.insert(text.end(), program.begin(), program.end());
  text.push_back('"');
  text.push_back(' ');
  text.insert(text.end(), line.begin(), line.end());
  text.push_back('\0');
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::string line;
  if (argc != 4 || !ReadArgumentLine(argv[3], line)) {
    std::fprintf(stderr, "usage: box_clicker <timeout seconds> <program> <argument line file>\n");
    return kUsageExitCode;
  }
  const DWORD timeout = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) * 1000;
  std::vector<char> commandLine = CommandLine(argv[2], line);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(argv[2], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
    std::printf("CANNOT START %s (error %lu)\n", argv[2], ::GetLastError());
    return kUsageExitCode;
  }
  ::CloseHandle(process.hThread);

  std::set<HWND> answered;
  Search search{process.dwProcessId, &answered};
  for (DWORD waited = 0; waited < timeout; waited += kPollMilliseconds) {
    if (::WaitForSingleObject(process.hProcess, kPollMilliseconds) == WAIT_OBJECT_0) {
      DWORD code = 0;
      ::GetExitCodeProcess(process.hProcess, &code);
      std::printf("EXIT %lu\n", code);
      ::CloseHandle(process.hProcess);
      return static_cast<int>(code);
    }
    std::erase_if(answered, [](HWND box) { return !::IsWindow(box); });  // handles may come back
    ::EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
  }
  ::TerminateProcess(process.hProcess, kTimeoutExitCode);
  ::CloseHandle(process.hProcess);
  std::printf("TIMEOUT\n");
  return kTimeoutExitCode;
}
