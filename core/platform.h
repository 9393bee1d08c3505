// The only door to the operating system. Everything else in the tools is plain
// logic over bytes, files and tables; the POSIX build, the Win32 build and the
// tests' recording fake each implement this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zarno {

// Icon of a message box; the weight of what it reports.
enum class BoxIcon {
  kNone,
  kHand,         // a failure that ends the job (MB_ICONHAND)
  kExclamation,  // a problem with one file (MB_ICONEXCLAMATION)
  kAsterisk,     // the closing report of a check run (MB_ICONASTERISK)
};

// How a file is opened. Text and binary streams are the same here: text
// input is read whole and split by the caller, text output goes through
// TextReport, which writes the platform's line end.
enum class OpenMode {
  kRead,    // existing regular file, read only ("rb", "r")
  kUpdate,  // existing regular file, read and write, never shortened ("rb+")
  kCreate,  // created, or emptied when it exists; write only ("wb", "w")
};

// An open file. Every operation says whether it worked; nothing throws.
class File {
 public:
  virtual ~File() = default;
  // Reads up to `size` bytes at the current position; returns how many were
  // read (fewer at the end of the file, 0 on an error).
  virtual size_t Read(void* buffer, size_t size) = 0;
  // Writes all `size` bytes at the current position, or returns false.
  virtual bool Write(const void* data, size_t size) = 0;
  // Moves to an absolute position.
  virtual bool Seek(uint64_t offset) = 0;
  // The file's current length.
  virtual std::optional<uint64_t> Size() = 0;
  // Pushes everything written so far to the disk.
  virtual bool Flush() = 0;
  // Closes the file; false when data written before could not be stored.
  // A file that is destroyed without Close() is closed silently.
  virtual bool Close() = 0;
};

// A read-only view of a whole file.
class FileView {
 public:
  virtual ~FileView() = default;
  virtual std::span<const uint8_t> Bytes() const = 0;
};

// A lock on a file for this process alone, held until the object goes; the
// system lets it go when the process ends, however it ends.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

enum class LockAttempt {
  kTaken,
  kBusy,         // another process holds the lock
  kUnavailable,  // the lock file can be neither made nor opened
};

class Platform {
 public:
  virtual ~Platform() = default;

  // ---- user interface -------------------------------------------------
  // A modal box with only an OK button. An empty caption stands for the
  // system's default caption. `ownedByMainWindow` is set only for the
  // palette box; every other box has no owner.
  virtual void ShowMessageBox(std::string_view text, std::string_view caption, BoxIcon icon,
                              bool ownedByMainWindow = false) = 0;
  // The default beep (MessageBeep with all bits set).
  virtual void Beep() = 0;
  // A failure that the job signals by one beep alone. Where a beep may go
  // unheard (the POSIX build outside a terminal), `text`, naming the file
  // and what failed, is also written out, so a script can tell a failed run.
  virtual void SignalFailure(std::string_view text) {
    (void)text;
    Beep();
  }
  // The job's last act on every path: ask the main window to close.
  virtual void RequestClose() = 0;

  // The modeless progress display of the compactions. `stage` selects the
  // title (see progress.h); the range starts as 0 ... 100.
  virtual void ProgressOpen(int32_t stage) = 0;
  virtual void ProgressSetRange(uint32_t maximum) = 0;
  virtual void ProgressSetPosition(uint32_t position) = 0;
  virtual void ProgressClose() = 0;

  // ---- environment ----------------------------------------------------
  // The character that separates folders in a path ('\\' on Windows).
  virtual char PathSeparator() const = 0;
  // The line end of the text files the tools write ("\r\n" on Windows).
  virtual std::string_view LineEnd() const = 0;
  // The current directory, or nothing when it cannot be had.
  virtual std::optional<std::string> CurrentDirectory() = 0;
  // The value of an environment variable, or nothing when it is not set.
  virtual std::optional<std::string> EnvironmentValue(const std::string& name) = 0;
  // Reads a string value of a key below HKEY_LOCAL_MACHINE, opening or
  // creating the key. Returns false when the key can be neither opened nor
  // created. `value` changes only when the value exists and holds fewer than
  // 256 bytes; otherwise it keeps what it held.
  virtual bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                                 std::string& value) = 0;

  // ---- files ----------------------------------------------------------
  // The names (without folder) of the entries that match `pattern`, a
  // folder followed by a mask such as "*.ihr", in the platform's search
  // order. Empty when nothing matches or the folder cannot be searched.
  virtual std::vector<std::string> FindFiles(const std::string& pattern) = 0;
  // The size of the file that `path` names, or nothing when there is none.
  virtual std::optional<uint64_t> FileSize(const std::string& path) = 0;
  // Opens a regular file; nothing when it cannot be opened (a folder, a
  // missing file for kRead and kUpdate, no rights).
  virtual std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) = 0;
  // A read-only view of a whole regular file, or nothing.
  virtual std::unique_ptr<FileView> ViewFile(const std::string& path) = 0;
  // Copies a file, replacing the destination when it exists. When it returns
  // true, the copy and its name are on the disk, so that a journal written
  // next may name it.
  virtual bool CopyFile(const std::string& from, const std::string& to) = 0;
  // Atomic replacement: renames `from` over `to` (which may exist), so that
  // at every moment `to` names either its old or its new content, and makes
  // the rename durable.
  virtual bool ReplaceFile(const std::string& from, const std::string& to) = 0;
  // Removes a file; false when it could not be removed.
  virtual bool RemoveFile(const std::string& path) = 0;
  // Makes a folder (its parent must exist); true when it was made or is
  // already there as a folder.
  virtual bool MakeFolder(const std::string& path) = 0;
  // Whether another program holds `path` open so that it cannot be replaced
  // (the running host, on Windows); asked only to word a failure.
  virtual bool InUseByAnotherProgram(const std::string& path) {
    (void)path;
    return false;
  }

  // ---- runs side by side ----------------------------------------------
  // Tries once, without waiting, to lock the file `path`, creating it empty
  // when it is missing. Lock files are never replaced or removed, so two
  // processes always lock the same file.
  virtual LockAttempt TryLockFile(const std::string& path, std::unique_ptr<FileLock>& lock) = 0;
  // Lets `milliseconds` pass.
  virtual void Sleep(uint32_t milliseconds) = 0;
  // Tells a user who watches a terminal that the run waits; where there is
  // no terminal, nothing.
  virtual void NoteWaiting(std::string_view text) { (void)text; }
};

}  // namespace zarno
