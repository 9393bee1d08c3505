#include "core/platform_win32.h"

#include <cstring>
#include <vector>

#include "core/file_win32.h"
#include "core/progress_dialog_win32.h"

namespace zarno {

namespace {

// The room RegQueryValueExA is given for a value: text of up to 255
// characters and its closing null. A longer value is taken as missing.
constexpr DWORD kRegistryValueCapacity = 256;
// Tries of GetCurrentDirectoryA; the folder may change between two calls.
constexpr int kCurrentDirectoryAttempts = 4;

UINT IconStyle(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kNone: return 0;
    case BoxIcon::kHand: return MB_ICONHAND;
    case BoxIcon::kExclamation: return MB_ICONEXCLAMATION;
    case BoxIcon::kAsterisk: return MB_ICONASTERISK;
  }
  return 0;
}

bool HoldsWildcard(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

// The entry's name; cFileName always ends in a null within its array.
std::string NameOf(const WIN32_FIND_DATAA& data) {
  return std::string(data.cFileName, ::strnlen(data.cFileName, sizeof data.cFileName));
}

}  // namespace

void Win32Platform::AttachMainWindow(HINSTANCE appInstance, HWND mainWindow) {
  appInstance_ = appInstance;
  mainWindow_ = mainWindow;
}

// ---- user interface --------------------------------------------------------

void Win32Platform::ShowMessageBox(std::string_view text, std::string_view caption, BoxIcon icon,
                                   bool ownedByMainWindow) {
  const std::string textZ(text);
  const std::string captionZ(caption);
  ::MessageBoxA(ownedByMainWindow ? mainWindow_ : nullptr, textZ.c_str(),
                captionZ.empty() ? nullptr : captionZ.c_str(), MB_OK | IconStyle(icon));
}

void Win32Platform::Beep() { ::MessageBeep(0xFFFFFFFF); }

void Win32Platform::RequestClose() { ::PostMessageA(mainWindow_, WM_CLOSE, 0, 0); }

void Win32Platform::ProgressOpen(int32_t stage) {
  ProgressClose();
  progressDialog_ = OpenProgressDialog(appInstance_, mainWindow_, stage);
}

void Win32Platform::ProgressSetRange(uint32_t maximum) {
  if (progressDialog_ != nullptr) SetProgressRange(progressDialog_, maximum);
}

void Win32Platform::ProgressSetPosition(uint32_t position) {
  if (progressDialog_ != nullptr) SetProgressPosition(progressDialog_, position);
}

void Win32Platform::ProgressClose() {
  if (progressDialog_ == nullptr) return;
  ::DestroyWindow(progressDialog_);
  progressDialog_ = nullptr;
}

// ---- environment -----------------------------------------------------------

std::optional<std::string> Win32Platform::CurrentDirectory() {
  DWORD size = ::GetCurrentDirectoryA(0, nullptr);  // with its closing null
  for (int attempt = 0; attempt < kCurrentDirectoryAttempts && size > 0; ++attempt) {
    std::vector<char> buffer(size);
    const DWORD length = ::GetCurrentDirectoryA(size, buffer.data());
    if (length == 0) return std::nullopt;
    if (length < size) return std::string(buffer.data(), length);
    size = length;  // the folder changed meanwhile and needs more room
  }
  return std::nullopt;
}

std::optional<std::string> Win32Platform::EnvironmentValue(const std::string& name) {
  const DWORD size = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0);  // with its closing null
  if (size == 0) return std::nullopt;
  std::vector<char> buffer(size);
  const DWORD length = ::GetEnvironmentVariableA(name.c_str(), buffer.data(), size);
  if (length == 0 || length >= size) return std::nullopt;
  return std::string(buffer.data(), length);
}

bool Win32Platform::ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                                      std::string& value) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
    return false;
  }
  // Whatever the value's type, its bytes are taken as text.
  char buffer[kRegistryValueCapacity];
  DWORD size = sizeof buffer;
  DWORD type = 0;
  const LONG result = ::RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer), &size);
  if (result == ERROR_SUCCESS) {
    const size_t length = ::strnlen(buffer, size);
    if (length < kRegistryValueCapacity) value.assign(buffer, length);  // 255 characters and the null at most
  }
  ::RegCloseKey(key);
  return true;
}

// ---- files -----------------------------------------------------------------

std::vector<std::string> Win32Platform::FindFiles(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = ::FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = NameOf(data);
    if (name != "." && name != "..") names.push_back(std::move(name));
  } while (::FindNextFileA(search, &data));
  ::FindClose(search);
  return names;
}

std::optional<uint64_t> Win32Platform::FileSize(const std::string& path) {
  if (HoldsWildcard(path)) return std::nullopt;  // a pattern would name other files
  WIN32_FIND_DATAA data;
  HANDLE search = ::FindFirstFileA(path.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  ::FindClose(search);
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::unique_ptr<File> Win32Platform::OpenFile(const std::string& path, OpenMode mode) {
  return OpenWin32File(path, mode);
}

std::unique_ptr<FileView> Win32Platform::ViewFile(const std::string& path) { return ViewWin32File(path); }

bool Win32Platform::CopyFile(const std::string& from, const std::string& to) {
  if (!::CopyFileA(from.c_str(), to.c_str(), FALSE)) return false;
  // CopyFileA takes the source's read-only attribute along, which would keep
  // the copy from being flushed and later replaced: the copy is our own file.
  const DWORD attributes = ::GetFileAttributesA(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    ::SetFileAttributesA(to.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  }
  // CopyFileA leaves the copy in the cache; the journal may name it only
  // once it is on the disk.
  HANDLE copy = ::CreateFileA(to.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (copy == INVALID_HANDLE_VALUE) return false;
  const bool flushed = ::FlushFileBuffers(copy);
  ::CloseHandle(copy);
  return flushed;
}

bool Win32Platform::ReplaceFile(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool Win32Platform::RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()); }

bool Win32Platform::MakeFolder(const std::string& path) {
  if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Platform::InUseByAnotherProgram(const std::string& path) {
  HANDLE handle = ::CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    ::CloseHandle(handle);
    return false;
  }
  return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

namespace {

class Win32FileLock : public FileLock {
 public:
  explicit Win32FileLock(HANDLE handle) : handle_(handle) {}
  ~Win32FileLock() override { ::CloseHandle(handle_); }
  Win32FileLock(const Win32FileLock&) = delete;
  Win32FileLock& operator=(const Win32FileLock&) = delete;

 private:
  HANDLE handle_;
};

}  // namespace

LockAttempt Win32Platform::TryLockFile(const std::string& path, std::unique_ptr<FileLock>& lock) {
  // A lock file that is there can be held open for reading too, which a
  // read-only folder still allows.
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_SHARING_VIOLATION) {
    handle = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (handle != INVALID_HANDLE_VALUE) {
    lock = std::make_unique<Win32FileLock>(handle);
    return LockAttempt::kTaken;
  }
  return ::GetLastError() == ERROR_SHARING_VIOLATION ? LockAttempt::kBusy : LockAttempt::kUnavailable;
}

}  // namespace zarno
