// The platform on Windows: message boxes, beeps and the progress dialog of
// the window system, the host's key in the registry, and the file functions
// of kernel32 with paths passed exactly as the tools build them.
#pragma once

#include <cstdint>
#include <string>

#include "core/platform.h"
#include "core/windows_headers_win32.h"

namespace zarno {

class Win32Platform : public Platform {
 public:
  // The module instance (whose resources hold the progress dialog) and the
  // main window (owner of the palette box and the progress dialog, target of
  // the close request). The shell sets them once the main window exists.
  void AttachMainWindow(HINSTANCE appInstance, HWND mainWindow);

  // MessageBoxA with an OK button only; an empty caption gives the system's
  // default one.
  void ShowMessageBox(std::string_view text, std::string_view caption, BoxIcon icon,
                      bool ownedByMainWindow = false) override;
  // MessageBeep with all bits set.
  void Beep() override;
  // Posts WM_CLOSE to the main window.
  void RequestClose() override;

  // The "PBDLG" dialog, owned by the main window; its bar is control 1112.
  void ProgressOpen(int32_t stage) override;
  void ProgressSetRange(uint32_t maximum) override;
  void ProgressSetPosition(uint32_t position) override;
  void ProgressClose() override;

  char PathSeparator() const override { return '\\'; }
  std::string_view LineEnd() const override { return "\r\n"; }
  // GetCurrentDirectoryA, with a buffer as large as the folder's name needs.
  std::optional<std::string> CurrentDirectory() override;
  std::optional<std::string> EnvironmentValue(const std::string& name) override;
  // RegCreateKeyExA below HKEY_LOCAL_MACHINE, then RegQueryValueExA into 256
  // bytes; a value whose text (up to its first null) has 256 bytes or more
  // is taken as missing, whatever the value's type.
  bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                         std::string& value) override;

  // FindFirstFileA / FindNextFileA, in the order they return the entries,
  // folders included, "." and ".." left out.
  std::vector<std::string> FindFiles(const std::string& pattern) override;
  // The size FindFirstFileA reports for the path (0 for a folder).
  std::optional<uint64_t> FileSize(const std::string& path) override;
  std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) override;
  // A read-only mapping of the whole file.
  std::unique_ptr<FileView> ViewFile(const std::string& path) override;
  // CopyFileA, replacing the destination.
  bool CopyFile(const std::string& from, const std::string& to) override;
  // MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH: the
  // target's name never goes missing, and the rename is on the disk when the
  // call returns.
  bool ReplaceFile(const std::string& from, const std::string& to) override;
  // DeleteFileA.
  bool RemoveFile(const std::string& path) override;
  bool MakeFolder(const std::string& path) override;
  // Whether the file cannot be opened for deletion for a sharing violation:
  // another program holds it open without letting it be replaced.
  bool InUseByAnotherProgram(const std::string& path) override;
  // The lock file opened without sharing: a second open fails with a
  // sharing violation until the handle closes, or the process ends.
  LockAttempt TryLockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override;
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }

 private:
  HINSTANCE appInstance_ = nullptr;
  HWND mainWindow_ = nullptr;
  HWND progressDialog_ = nullptr;
};

}  // namespace zarno
