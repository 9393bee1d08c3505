// The modeless progress dialog of the compactions, from the "PBDLG" template.
// No message loop turns while it is open: the compaction only sends
// messages to its bar.
#pragma once

#include <cstdint>

#include "core/windows_headers_win32.h"

namespace zarno {

// Sets the stage whose title the dialog shows, creates the dialog owned by
// `mainWindow` and shows it (SW_SHOW for the LOD compaction, SW_SHOWNORMAL
// for the texture one). The dialog, or null when it cannot be created.
HWND OpenProgressDialog(HINSTANCE appInstance, HWND mainWindow, int32_t stage);

// PBM_SETRANGE32 with 0 ... maximum, and PBM_SETPOS, to the bar (1112).
void SetProgressRange(HWND progressDialog, uint32_t maximum);
void SetProgressPosition(HWND progressDialog, uint32_t position);

// Colours the bar and starts it at 0 of 0 ... 100 on WM_INITDIALOG; keeps
// the dialog open on the cancel command (Escape).
INT_PTR CALLBACK ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace zarno
