#include "core/progress_dialog_win32.h"

#include <algorithm>
#include <climits>
#include <string>

#include <commctrl.h>

#include "core/progress.h"
#include "resources/resource_ids.h"

namespace zarno {

namespace {

constexpr COLORREF kBarColor = RGB(255, 255, 0);       // yellow
constexpr COLORREF kBackgroundColor = RGB(0, 96, 96);  // dark teal

// The bar takes its range and position as signed integers.
int BarValue(uint32_t value) { return static_cast<int>(std::min<uint32_t>(value, INT_MAX)); }

void InitializeDialog(HWND dialog, int32_t stage) {
  const std::string title(ProgressTitle(stage));
  ::SendMessageA(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()));
  // The frameless template shows no window text, so the title goes into the
  // first label too.
  ::SetDlgItemTextA(dialog, IDC_PROGRESS_TITLE, title.c_str());
  ::SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETBARCOLOR, 0, kBarColor);
  ::SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETBKCOLOR, 0, kBackgroundColor);
  ::SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE32, kProgressInitialMinimum,
                        kProgressInitialMaximum);
  ::SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
}

}  // namespace

INT_PTR CALLBACK ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {  // the stage comes as the creation parameter
    InitializeDialog(dialog, static_cast<int32_t>(lParam));
    return FALSE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) return TRUE;  // the compaction goes on
  return FALSE;
}

HWND OpenProgressDialog(HINSTANCE appInstance, HWND mainWindow, int32_t stage) {
  HWND dialog = ::CreateDialogParamA(appInstance, PROGRESS_DIALOG_NAME, mainWindow, ProgressDlgProc, stage);
  if (dialog != nullptr) ::ShowWindow(dialog, stage == kProgressStageLod ? SW_SHOW : SW_SHOWNORMAL);
  return dialog;
}

void SetProgressRange(HWND progressDialog, uint32_t maximum) {
  ::SendDlgItemMessageA(progressDialog, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, BarValue(maximum));
}

void SetProgressPosition(HWND progressDialog, uint32_t position) {
  ::SendDlgItemMessageA(progressDialog, IDC_PROGRESS_BAR, PBM_SETPOS, BarValue(position), 0);
}

}  // namespace zarno
