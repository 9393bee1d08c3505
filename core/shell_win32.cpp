#include "core/shell_win32.h"

#include <string>

#include <commctrl.h>

namespace zarno {

namespace {

constexpr char kMainWindowClass[] = "MainWindow";
// The main window's place and size; it is never shown.
constexpr int kMainWindowX = 0;
constexpr int kMainWindowY = 60;
constexpr int kMainWindowWidth = 0;
constexpr int kMainWindowHeight = 60;
// The common controls asked for at creation: list views, bars and tabs.
constexpr DWORD kCommonControlClasses = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES;
static_assert(kCommonControlClasses == 0x000D);
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8);

// Process-wide, set once: the module, its main window, and the program the
// window procedure serves.
HINSTANCE appInstance = nullptr;
HWND mainWindow = nullptr;
const ShellProgram* activeProgram = nullptr;

void InitCommonControlClasses(DWORD classes) {
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof controls;
  controls.dwICC = classes;
  ::InitCommonControlsEx(&controls);
}

// Creation: the common controls (the progress bar of the progress dialog
// among them), then the program's creation step. A step that fails makes
// the creation fail.
LRESULT OnCreate() {
  InitCommonControlClasses(kCommonControlClasses);
  InitCommonControlClasses(ICC_PROGRESS_CLASS);
  return activeProgram->createMainWindow() ? 0 : -1;
}

void OnCommand(HWND window, WORD command) {
  if (command == ID_START_JOB) {
    activeProgram->runJob();
  } else if (command == ID_CLOSE_MAIN) {
    ::PostMessageA(window, WM_CLOSE, 0, 0);
  }
}

void OnPaint(HWND window) {
  PAINTSTRUCT paint;
  ::BeginPaint(window, &paint);
  ::EndPaint(window, &paint);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate();
    case WM_PAINT: OnPaint(window); return 0;
    case WM_CLOSE: ::DestroyWindow(window); return 0;
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
    case WM_COMMAND: OnCommand(window, LOWORD(wParam)); return 0;
    case WM_SIZE: return 0;  // the hidden window is never sized by the program
    default: return ::DefWindowProcA(window, message, wParam, lParam);
  }
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSA windowClass = {};
  windowClass.style = 0;
  windowClass.lpfnWndProc = MainWndProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = nullptr;
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kMainWindowClass;
  return ::RegisterClassA(&windowClass) != 0;
}

// Registers the class and creates the hidden main window; false when either
// fails.
bool InitMainWindow(HINSTANCE instance, const std::string& title) {
  if (!RegisterMainWindowClass(instance)) return false;
  appInstance = instance;
  HWND window = ::CreateWindowExA(0, kMainWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, kMainWindowX,
                                  kMainWindowY, kMainWindowWidth, kMainWindowHeight, nullptr, nullptr,
                                  instance, nullptr);
  if (window == nullptr) return false;
  ::ShowWindow(window, SW_HIDE);
  ::UpdateWindow(window);
  mainWindow = window;
  return true;
}

void RunMessageLoop() {
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

}  // namespace

int RunWin32Shell(HINSTANCE instance, std::string_view title, Win32Platform& platform,
                  const ShellProgram& program) {
  activeProgram = &program;
  if (!InitMainWindow(instance, std::string(title))) {
    platform.ShowMessageBox(program.startupFailureText, "", BoxIcon::kNone);
    return kExitStartupFailed;
  }
  platform.AttachMainWindow(appInstance, mainWindow);
  ::PostMessageA(mainWindow, WM_COMMAND, ID_START_JOB, 0);
  RunMessageLoop();
  return kExitAfterRun;
}

}  // namespace zarno
