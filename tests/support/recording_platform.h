// The tests' platform: files are real (in temporary folders), everything
// the user would see or the machine would hold is recorded instead. Message
// boxes, beeps, close requests and progress calls are kept in order; the
// registry and the current directory are set by the test. Any file
// operation can be made to fail, to walk the failure paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/platform_posix.h"

namespace zarno {

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  BoxIcon icon = BoxIcon::kNone;
  bool ownedByMainWindow = false;

  bool operator==(const MessageBoxRecord&) const = default;
};

struct ProgressCall {
  enum class Kind { kOpen, kSetRange, kSetPosition, kClose };
  Kind kind;
  int64_t value = 0;  // the stage, maximum or position; 0 for kClose

  bool operator==(const ProgressCall&) const = default;
};

// The file operations of the platform, as counted by the fault injection.
enum class FileOperation {
  kFindFiles,
  kFileSize,
  kOpenFile,
  kViewFile,
  kCopyFile,
  kReplaceFile,
  kRemoveFile
};

struct FileOperationRecord {
  FileOperation operation;
  std::string path;    // the pattern, path, or source of a copy or replacement
  std::string target;  // the destination of a copy or replacement, else empty

  bool operator==(const FileOperationRecord&) const = default;
};

std::ostream& operator<<(std::ostream& out, BoxIcon icon);
std::ostream& operator<<(std::ostream& out, const MessageBoxRecord& box);
std::ostream& operator<<(std::ostream& out, const ProgressCall& call);
std::ostream& operator<<(std::ostream& out, FileOperation operation);
std::ostream& operator<<(std::ostream& out, const FileOperationRecord& record);

class RecordingPlatform : public PosixPlatform {
 public:
  explicit RecordingPlatform(std::string programName = "rigwright");

  // ---- what was shown ----------------------------------------------------
  const std::vector<MessageBoxRecord>& MessageBoxes() const { return messageBoxes_; }
  int32_t Beeps() const { return beeps_; }
  // The texts of SignalFailure, in order (each also counted as a beep).
  const std::vector<std::string>& Failures() const { return failures_; }
  const std::vector<ProgressCall>& ProgressCalls() const { return progressCalls_; }
  // CloseRequests() comes from PosixPlatform.

  // ---- environment -------------------------------------------------------
  // Sets a registry value; key and value names are matched ignoring case.
  void SetRegistryValue(const std::string& keyPath, const std::string& valueName, const std::string& value);
  // Makes every registry key impossible to open (ReadRegistryValue false).
  void SetRegistryKeyUnavailable(bool unavailable) { registryKeyUnavailable_ = unavailable; }
  // The (keyPath, valueName) pairs asked for, in order.
  const std::vector<std::pair<std::string, std::string>>& RegistryReads() const { return registryReads_; }
  // Nothing stands for a current directory that cannot be had.
  void SetCurrentDirectory(std::optional<std::string> folder) { currentDirectory_ = std::move(folder); }

  // ---- files -------------------------------------------------------------
  // Every file operation, in order, including those made to fail.
  const std::vector<FileOperationRecord>& FileOperations() const { return fileOperations_; }
  // Makes the `count`-th file operation from now (1 is the next one) fail as
  // the system would: an empty search, no size, no file, false.
  void FailFileOperation(size_t count) { failAt_ = fileOperations_.size() + count; }

  // ---- Platform ----------------------------------------------------------
  void ShowMessageBox(std::string_view text, std::string_view caption, BoxIcon icon,
                      bool ownedByMainWindow = false) override;
  void Beep() override { ++beeps_; }
  void SignalFailure(std::string_view text) override {
    failures_.emplace_back(text);
    ++beeps_;
  }
  void ProgressOpen(int32_t stage) override;
  void ProgressSetRange(uint32_t maximum) override;
  void ProgressSetPosition(uint32_t position) override;
  void ProgressClose() override;

  std::optional<std::string> CurrentDirectory() override { return currentDirectory_; }
  bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                         std::string& value) override;

  std::vector<std::string> FindFiles(const std::string& pattern) override;
  std::optional<uint64_t> FileSize(const std::string& path) override;
  std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) override;
  std::unique_ptr<FileView> ViewFile(const std::string& path) override;
  bool CopyFile(const std::string& from, const std::string& to) override;
  bool ReplaceFile(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;

 private:
  // Records a file operation; false when it is the one to fail.
  bool Allow(FileOperation operation, const std::string& path, const std::string& target = {});
  static std::string RegistryName(const std::string& keyPath, const std::string& valueName);

  std::vector<MessageBoxRecord> messageBoxes_;
  int32_t beeps_ = 0;
  std::vector<std::string> failures_;
  std::vector<ProgressCall> progressCalls_;

  std::map<std::string, std::string> registry_;  // RegistryName → value
  bool registryKeyUnavailable_ = false;
  std::vector<std::pair<std::string, std::string>> registryReads_;
  std::optional<std::string> currentDirectory_;

  std::vector<FileOperationRecord> fileOperations_;
  size_t failAt_ = 0;  // 1-based index into fileOperations_ of the one to fail; 0: none
};

}  // namespace zarno
