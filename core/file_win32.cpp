#include "core/file_win32.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/buffered_file.h"
#include "core/windows_headers_win32.h"

namespace zarno {

namespace {

// The largest piece one ReadFile or WriteFile call is given.
constexpr size_t kMaxTransfer = size_t{1} << 30;

DWORD TransferSize(size_t size) { return static_cast<DWORD>(std::min(size, kMaxTransfer)); }

bool WriteAll(HANDLE handle, const uint8_t* data, size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(handle, data, TransferSize(size), &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// Reads until `size` bytes are in or the file ends; the count read.
size_t ReadFull(HANDLE handle, uint8_t* data, size_t size) {
  size_t total = 0;
  while (total < size) {
    DWORD got = 0;
    if (!::ReadFile(handle, data + total, TransferSize(size - total), &got, nullptr) || got == 0) break;
    total += got;
  }
  return total;
}

struct OpenArguments {
  DWORD access;
  DWORD disposition;
};

OpenArguments ArgumentsFor(OpenMode mode) {
  switch (mode) {
    case OpenMode::kRead: return {GENERIC_READ, OPEN_EXISTING};
    case OpenMode::kUpdate: return {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING};
    case OpenMode::kCreate: return {GENERIC_WRITE, CREATE_ALWAYS};
  }
  return {GENERIC_READ, OPEN_EXISTING};
}

// A disk file that is not a folder: a name such as "NUL" or "COM1" opens a
// device, which is no file of ours.
bool IsRegularFile(HANDLE handle) {
  if (::GetFileType(handle) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info;
  return ::GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Opens `path` and keeps the handle only when it is a regular file. Other
// programs may read and write the file meanwhile, as with the C library's
// streams.
HANDLE OpenRegularFile(const std::string& path, OpenMode mode) {
  const OpenArguments arguments = ArgumentsFor(mode);
  HANDLE handle = ::CreateFileA(path.c_str(), arguments.access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                arguments.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  if (IsRegularFile(handle)) return handle;
  ::CloseHandle(handle);
  return INVALID_HANDLE_VALUE;
}

// A file over a handle.
class Win32File : public BufferedFile {
 public:
  Win32File(HANDLE handle, OpenMode mode) : BufferedFile(mode), handle_(handle) {}
  ~Win32File() override { CloseIfOpen(); }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

 private:
  size_t SystemRead(uint8_t* data, size_t size) override { return ReadFull(handle_, data, size); }
  bool SystemWrite(const uint8_t* data, size_t size) override { return WriteAll(handle_, data, size); }
  bool SystemSeek(uint64_t offset) override {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN);
  }
  std::optional<uint64_t> SystemSize() override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle_, &size)) return std::nullopt;
    return static_cast<uint64_t>(size.QuadPart);
  }
  bool SystemSync() override { return ::FlushFileBuffers(handle_); }
  bool SystemClose() override { return ::CloseHandle(handle_); }

  HANDLE handle_;
};

class MappedView : public FileView {
 public:
  MappedView(const void* address, size_t size) : address_(address), size_(size) {}
  ~MappedView() override {
    if (address_ != nullptr) ::UnmapViewOfFile(address_);
  }
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;

  std::span<const uint8_t> Bytes() const override {
    if (address_ == nullptr) return {};
    return {static_cast<const uint8_t*>(address_), size_};
  }

 private:
  const void* address_;  // null for an empty file
  size_t size_;
};

// Maps the file behind `file` whole. The view keeps the mapping alive after
// both handles are closed.
std::unique_ptr<FileView> MapWholeFile(HANDLE file) {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file, &size)) return nullptr;
  if (size.QuadPart == 0) return std::make_unique<MappedView>(nullptr, 0);  // an empty file cannot be mapped
  if (static_cast<uint64_t>(size.QuadPart) > std::numeric_limits<size_t>::max()) return nullptr;
  HANDLE mapping = ::CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return nullptr;
  const void* address = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ::CloseHandle(mapping);
  if (address == nullptr) return nullptr;
  return std::make_unique<MappedView>(address, static_cast<size_t>(size.QuadPart));
}

}  // namespace

std::unique_ptr<File> OpenWin32File(const std::string& path, OpenMode mode) {
  HANDLE handle = OpenRegularFile(path, mode);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(handle, mode);
}

std::unique_ptr<FileView> ViewWin32File(const std::string& path) {
  HANDLE handle = OpenRegularFile(path, OpenMode::kRead);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  std::unique_ptr<FileView> view = MapWholeFile(handle);
  ::CloseHandle(handle);
  return view;
}

}  // namespace zarno
