#include "core/platform_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "core/ascii_case.h"
#include "core/block_copy.h"
#include "core/buffered_file.h"
#include "core/path_resolver_posix.h"
#include "core/progress.h"
#include "core/wine_registry_posix.h"

namespace zarno {

namespace {

// The bar's width in characters, not counting title and percentage.
constexpr uint32_t kProgressBarCells = 40;
// The largest working-folder name CurrentDirectory asks the system for.
constexpr size_t kMaxCurrentDirectorySize = size_t{1} << 24;
// Attempts to find a free name for the temporary file of a copy.
constexpr int kTempNameAttempts = 100;

// ---- descriptors ---------------------------------------------------------

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Reads until `size` bytes are in or the file ends; the count read.
size_t ReadFull(int fd, uint8_t* data, size_t size, bool& failed) {
  size_t total = 0;
  while (total < size) {
    ssize_t got = ::read(fd, data + total, size - total);
    if (got < 0 && errno == EINTR) continue;
    failed = got < 0;
    if (got <= 0) break;
    total += static_cast<size_t>(got);
  }
  return total;
}

bool SyncDescriptor(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// A file without any write permission bit is read-only for every user, the
// superuser included, as a file with the read-only attribute is on Windows.
bool IsReadOnly(const struct stat& info) { return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

// Whether `path` names an existing regular file that is read-only; such a
// file is not replaced.
bool IsReadOnlyFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && IsReadOnly(info);
}

// Opens `path` with `flags` and keeps it only when it is a regular file that
// may be written when `flags` ask to write. The open does not block on a
// pipe or device that sits under a file's name, and a file is emptied only
// once it is known to be one that may be.
int OpenRegularFile(const std::string& path, int flags, mode_t createMode = 0) {
  const bool truncate = (flags & O_TRUNC) != 0;
  int fd = ::open(path.c_str(), (flags & ~O_TRUNC) | O_CLOEXEC | O_NONBLOCK, createMode);
  if (fd < 0) return -1;
  struct stat info;
  const bool writes = (flags & O_ACCMODE) != O_RDONLY;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || (writes && IsReadOnly(info)) ||
      (truncate && ::ftruncate(fd, 0) != 0)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

int OpenFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::kRead: return O_RDONLY;
    case OpenMode::kUpdate: return O_RDWR;
    case OpenMode::kCreate: return O_WRONLY | O_CREAT | O_TRUNC;
  }
  return O_RDONLY;
}

// The folder part of a path ("." when there is none).
std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, std::string_view name) {
  return folder + (folder.back() == '/' ? "" : "/") + std::string(name);
}

// ---- files ---------------------------------------------------------------

// A file over a descriptor.
class PosixFile : public BufferedFile {
 public:
  PosixFile(int fd, OpenMode mode) : BufferedFile(mode), fd_(fd) {}
  ~PosixFile() override { CloseIfOpen(); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

 private:
  size_t SystemRead(uint8_t* data, size_t size) override {
    bool failed = false;
    return ReadFull(fd_, data, size, failed);
  }
  bool SystemWrite(const uint8_t* data, size_t size) override { return WriteAll(fd_, data, size); }
  bool SystemSeek(uint64_t offset) override { return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0; }
  std::optional<uint64_t> SystemSize() override {
    struct stat info;
    if (::fstat(fd_, &info) != 0) return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
  }
  bool SystemSync() override { return SyncDescriptor(fd_); }
  // On Linux the descriptor is released even when close reports EINTR.
  bool SystemClose() override { return ::close(fd_) == 0 || errno == EINTR; }

  int fd_;
};

class MappedView : public FileView {
 public:
  MappedView(void* address, size_t size) : address_(address), size_(size) {}
  ~MappedView() override {
    if (address_ != nullptr) ::munmap(address_, size_);
  }
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;

  std::span<const uint8_t> Bytes() const override {
    if (address_ == nullptr) return {};
    return {static_cast<const uint8_t*>(address_), size_};
  }

 private:
  void* address_;  // null for an empty file
  size_t size_;
};

std::unique_ptr<FileView> MapWholeFile(int fd) {
  struct stat info;
  if (::fstat(fd, &info) != 0) return nullptr;
  uint64_t size = static_cast<uint64_t>(info.st_size);
  if (size == 0) return std::make_unique<MappedView>(nullptr, 0);
  if (size > std::numeric_limits<size_t>::max()) return nullptr;
  void* address = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
  if (address == MAP_FAILED) return nullptr;
  return std::make_unique<MappedView>(address, static_cast<size_t>(size));
}

// ---- copies --------------------------------------------------------------

bool CopyContents(int from, int to) {
  std::vector<uint8_t> block(kCopyBlockSize);
  while (true) {
    bool failed = false;
    size_t got = ReadFull(from, block.data(), block.size(), failed);
    if (failed) return false;
    if (got == 0) return true;
    if (!WriteAll(to, block.data(), got)) return false;
  }
}

struct TempFile {
  int fd = -1;
  std::string path;
};

// Creates a new, empty file in `folder` under a name nothing else uses.
TempFile CreateTempFile(const std::string& folder) {
  static uint32_t serial = 0;
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    std::string name = ".zarno-copy-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) + ".tmp";
    TempFile temp{-1, JoinPath(folder, name)};
    temp.fd = ::open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (temp.fd >= 0 || errno != EEXIST) return temp;
  }
  return {};
}

// Writes the contents of the regular file `source` into a new temporary
// file in `folder` and stores it; the path of that file, or nothing.
std::optional<std::string> CopyToTempFile(const std::string& source, const std::string& folder) {
  int in = OpenRegularFile(source, O_RDONLY);
  if (in < 0) return std::nullopt;
  TempFile temp = CreateTempFile(folder);
  if (temp.fd < 0) {
    ::close(in);
    return std::nullopt;
  }
  bool stored = CopyContents(in, temp.fd) && SyncDescriptor(temp.fd);
  ::close(in);
  stored = ::close(temp.fd) == 0 && stored;
  if (stored) return temp.path;
  ::unlink(temp.path.c_str());
  return std::nullopt;
}

// Makes a rename in `folder` durable. A folder that cannot be opened (no
// read right) cannot be synced and is let be; a sync that fails is not.
bool SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;
  bool synced = SyncDescriptor(fd) || errno == EINVAL;
  ::close(fd);
  return synced;
}

// ---- folder search -------------------------------------------------------

unsigned char UpperAscii(char c) {
  return static_cast<unsigned char>((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c);
}

bool MatchesWildcards(std::string_view name, std::string_view mask) {
  size_t n = 0, m = 0;
  size_t starAt = std::string_view::npos, resumeName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starAt = m++;
      resumeName = n;
    } else if (m < mask.size() && (mask[m] == '?' || FoldAsciiCase(mask[m]) == FoldAsciiCase(name[n]))) {
      ++n;
      ++m;
    } else if (starAt != std::string_view::npos) {
      m = starAt + 1;
      n = ++resumeName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

// ---- free helpers --------------------------------------------------------

bool MatchesSearchMask(std::string_view name, std::string_view mask) {
  if (MatchesWildcards(name, mask)) return true;
  constexpr std::string_view kAnyExtension = ".*";
  return mask.size() >= kAnyExtension.size() &&
         mask.substr(mask.size() - kAnyExtension.size()) == kAnyExtension &&
         MatchesWildcards(name, mask.substr(0, mask.size() - kAnyExtension.size()));
}

bool ComesBeforeInSearchOrder(const std::string& a, const std::string& b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return UpperAscii(a[i]) < UpperAscii(b[i]);
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string ProgressBarLine(std::string_view title, uint32_t percent) {
  percent = std::min<uint32_t>(percent, 100);
  uint32_t filled = percent * kProgressBarCells / 100;
  std::string line("\r");
  line += title;
  line += " [";
  line.append(filled, '#');
  line.append(kProgressBarCells - filled, '-');
  char number[8];
  std::snprintf(number, sizeof number, "%3u%%", static_cast<unsigned>(percent));
  return line + "] " + number;
}

// ---- PosixPlatform: user interface -------------------------------------------

PosixPlatform::PosixPlatform(std::string programName)
    : PosixPlatform(std::move(programName), ::isatty(STDERR_FILENO) == 1) {}

PosixPlatform::PosixPlatform(std::string programName, bool stderrIsTerminal)
    : programName_(std::move(programName)), stderrIsTerminal_(stderrIsTerminal) {}

void PosixPlatform::WriteToStderr(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void PosixPlatform::ShowMessageBox(std::string_view text, std::string_view caption, BoxIcon /*icon*/,
                                   bool /*ownedByMainWindow*/) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  std::string line = programName_ + ": ";
  if (!caption.empty()) line += std::string(caption) + ": ";
  line += text;
  line += '\n';
  WriteToStderr(line);
}

void PosixPlatform::Beep() {
  if (stderrIsTerminal_) WriteToStderr("\a");
}

void PosixPlatform::SignalFailure(std::string_view text) {
  WriteToStderr(programName_ + ": " + std::string(text) + "\n");
  Beep();
}

void PosixPlatform::RequestClose() { ++closeRequests_; }

void PosixPlatform::ProgressOpen(int32_t stage) {
  if (progressOpen_) ProgressClose();
  progressOpen_ = true;
  progressTitle_ = ProgressTitle(stage);
  progressMaximum_ = kProgressInitialMaximum;
  progressPosition_ = kProgressInitialMinimum;
  progressShownPercent_ = -1;
  DrawProgressWhenChanged();
}

void PosixPlatform::ProgressSetRange(uint32_t maximum) {
  if (!progressOpen_) return;
  progressMaximum_ = maximum;
  DrawProgressWhenChanged();
}

void PosixPlatform::ProgressSetPosition(uint32_t position) {
  if (!progressOpen_) return;
  progressPosition_ = position;
  DrawProgressWhenChanged();
}

void PosixPlatform::ProgressClose() {
  if (!progressOpen_) return;
  progressOpen_ = false;
  if (stderrIsTerminal_ && progressShownPercent_ >= 0) WriteToStderr("\n");
}

void PosixPlatform::DrawProgressWhenChanged() {
  if (!stderrIsTerminal_) return;
  uint64_t percent = progressMaximum_ == 0 ? 0 : uint64_t{progressPosition_} * 100 / progressMaximum_;
  int32_t shown = static_cast<int32_t>(std::min<uint64_t>(percent, 100));
  if (shown == progressShownPercent_) return;
  progressShownPercent_ = shown;
  WriteToStderr(ProgressBarLine(progressTitle_, static_cast<uint32_t>(shown)));
}

// ---- PosixPlatform: environment ------------------------------------------

std::optional<std::string> PosixPlatform::CurrentDirectory() {
  for (size_t size = 256; size <= kMaxCurrentDirectorySize; size *= 2) {
    std::string buffer(size, '\0');
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
      buffer.resize(buffer.find('\0'));
      return buffer;
    }
    if (errno != ERANGE) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::string> PosixPlatform::EnvironmentValue(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

bool PosixPlatform::ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                                      std::string& value) {
  std::optional<std::string> prefix = WinePrefixFolder(std::getenv("WINEPREFIX"), std::getenv("HOME"));
  return prefix && ReadWineRegistryValue(*prefix, keyPath, valueName, value);
}

// ---- PosixPlatform: files ------------------------------------------------

std::vector<std::string> PosixPlatform::FindFiles(const std::string& pattern) {
  size_t slash = pattern.rfind('/');
  std::string folder = slash == std::string::npos ? "." : pattern.substr(0, std::max<size_t>(slash, 1));
  std::string_view mask = std::string_view(pattern).substr(slash == std::string::npos ? 0 : slash + 1);
  std::vector<std::string> names;
  std::unique_ptr<DIR, DirCloser> dir(::opendir(ResolveCaseInsensitive(folder).c_str()));
  if (!dir || mask.empty()) return names;
  while (const dirent* entry = ::readdir(dir.get())) {
    std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    if (MatchesSearchMask(name, mask)) names.emplace_back(name);
  }
  std::sort(names.begin(), names.end(), ComesBeforeInSearchOrder);
  return names;
}

std::optional<uint64_t> PosixPlatform::FileSize(const std::string& path) {
  struct stat info;
  if (::stat(ResolveCaseInsensitive(path).c_str(), &info) != 0) return std::nullopt;
  if (S_ISDIR(info.st_mode)) return 0;
  if (!S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

std::unique_ptr<File> PosixPlatform::OpenFile(const std::string& path, OpenMode mode) {
  int fd = OpenRegularFile(ResolveCaseInsensitive(path), OpenFlags(mode), 0666);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixFile>(fd, mode);
}

std::unique_ptr<FileView> PosixPlatform::ViewFile(const std::string& path) {
  int fd = OpenRegularFile(ResolveCaseInsensitive(path), O_RDONLY);
  if (fd < 0) return nullptr;
  std::unique_ptr<FileView> view = MapWholeFile(fd);
  ::close(fd);  // a mapping outlives its descriptor
  return view;
}

bool PosixPlatform::CopyFile(const std::string& from, const std::string& to) {
  std::string target = ResolveCaseInsensitive(to);
  if (IsReadOnlyFile(target)) return false;
  std::optional<std::string> temp = CopyToTempFile(ResolveCaseInsensitive(from), FolderOf(target));
  if (!temp) return false;
  if (::rename(temp->c_str(), target.c_str()) == 0) return SyncFolder(FolderOf(target));
  ::unlink(temp->c_str());
  return false;
}

bool PosixPlatform::ReplaceFile(const std::string& from, const std::string& to) {
  std::string target = ResolveCaseInsensitive(to);
  if (IsReadOnlyFile(target)) return false;
  if (::rename(ResolveCaseInsensitive(from).c_str(), target.c_str()) != 0) return false;
  return SyncFolder(FolderOf(target));
}

bool PosixPlatform::RemoveFile(const std::string& path) {
  return ::unlink(ResolveCaseInsensitive(path).c_str()) == 0;
}

bool PosixPlatform::MakeFolder(const std::string& path) {
  const std::string resolved = ResolveCaseInsensitive(path);
  if (::mkdir(resolved.c_str(), 0777) == 0) return true;
  struct stat info;
  return errno == EEXIST && ::stat(resolved.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// ---- PosixPlatform: runs side by side -------------------------------------

namespace {

class PosixFileLock : public FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}
  ~PosixFileLock() override { ::close(fd_); }
  PosixFileLock(const PosixFileLock&) = delete;
  PosixFileLock& operator=(const PosixFileLock&) = delete;

 private:
  int fd_;
};

}  // namespace

LockAttempt PosixPlatform::TryLockFile(const std::string& path, std::unique_ptr<FileLock>& lock) {
  const std::string resolved = ResolveCaseInsensitive(path);
  // A lock file that is there may be locked through a descriptor for reading
  // too, which a read-only folder still gives. A pipe under its name is no
  // lock file, and must not block the open.
  int fd = OpenRegularFile(resolved, O_RDWR | O_CREAT, 0666);
  if (fd < 0) fd = OpenRegularFile(resolved, O_RDONLY);
  if (fd < 0) return LockAttempt::kUnavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    lock = std::make_unique<PosixFileLock>(fd);
    return LockAttempt::kTaken;
  }
  const int error = errno;
  ::close(fd);
  return error == EWOULDBLOCK ? LockAttempt::kBusy : LockAttempt::kUnavailable;
}

void PosixPlatform::Sleep(uint32_t milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1'000'000};
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

void PosixPlatform::NoteWaiting(std::string_view text) {
  if (stderrIsTerminal_) WriteToStderr(programName_ + ": " + std::string(text) + "\n");
}

}  // namespace zarno
