// A platform that passes every call on to another one and counts the file
// operations on the way, so that a test can make the Nth of them fail: once,
// from then on (everything, as when the disk goes away), or only the
// operations that need room on the disk from then on (a full disk). The files
// it opens are wrapped too, so reads, writes, seeks, flushes, closes and size
// queries count as operations of their own. Wrap a RecordingPlatform to keep
// the boxes and beeps recorded.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform.h"

namespace zarno {

// The names under which operations are counted and handed to the callback.
namespace fault_kind {
inline constexpr std::string_view kFindFiles = "FindFiles";
inline constexpr std::string_view kFileSize = "FileSize";
inline constexpr std::string_view kOpenFile = "OpenFile";
inline constexpr std::string_view kViewFile = "ViewFile";
inline constexpr std::string_view kCopyFile = "CopyFile";
inline constexpr std::string_view kReplaceFile = "ReplaceFile";
inline constexpr std::string_view kRemoveFile = "RemoveFile";
inline constexpr std::string_view kRead = "Read";
inline constexpr std::string_view kWrite = "Write";
inline constexpr std::string_view kSeek = "Seek";
inline constexpr std::string_view kFlush = "Flush";
inline constexpr std::string_view kClose = "Close";
inline constexpr std::string_view kSize = "Size";
}  // namespace fault_kind

enum class FaultMode {
  kNone,
  kOnce,        // only operation N fails
  kFromThenOn,  // operation N and every later one fail
  kDiskFull,    // from operation N on, every operation that needs room fails
};

// One counted operation, in order.
struct FaultOperation {
  size_t number = 0;  // 1-based
  std::string_view kind;
  std::string path;  // the path, pattern, or source of a copy or replacement
  bool failed = false;
};

class FaultInjectingPlatform : public Platform {
 public:
  using AfterOperation = std::function<void(size_t number, std::string_view kind, const std::string& path)>;

  explicit FaultInjectingPlatform(Platform& inner) : inner_(inner) {}

  // Chooses the fault. Operation numbers count from 1, from the platform's
  // creation; a number of 0 means no fault.
  void SetFault(FaultMode mode, size_t number);
  // Called after every counted operation, the failed ones included.
  void SetAfterOperation(AfterOperation callback) { afterOperation_ = std::move(callback); }

  size_t OperationCount() const { return operations_.size(); }
  const std::vector<FaultOperation>& Operations() const { return operations_; }
  // Whether any operation was made to fail.
  bool FaultMet() const { return faultsInjected_ > 0; }
  size_t FaultsInjected() const { return faultsInjected_; }
  // Whether an operation of `kind` was made to fail.
  bool FailedAny(std::string_view kind) const;
  // The operations, one per line, with the failed ones marked; for messages.
  std::string Describe() const;
  // The most bytes one Read or Write of an open file asked for: what a run
  // holds of a file at once.
  size_t LargestTransfer() const { return largestTransfer_; }
  void NoteTransfer(size_t size) { largestTransfer_ = std::max(largestTransfer_, size); }

  // One counted operation, from its start to its end: made at the start,
  // it tells whether the operation may go ahead; when it goes, the
  // operation is over and the callback learns of it.
  class Counted {
   public:
    Counted(FaultInjectingPlatform& platform, std::string_view kind, const std::string& path, bool needsRoom);
    ~Counted();
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    bool Allowed() const { return allowed_; }

   private:
    FaultInjectingPlatform& platform_;
    size_t index_;
    bool allowed_;
  };

  // ---- Platform: the user interface and the environment pass through ----
  void ShowMessageBox(std::string_view text, std::string_view caption, BoxIcon icon,
                      bool ownedByMainWindow = false) override {
    inner_.ShowMessageBox(text, caption, icon, ownedByMainWindow);
  }
  void Beep() override { inner_.Beep(); }
  void SignalFailure(std::string_view text) override { inner_.SignalFailure(text); }
  void RequestClose() override { inner_.RequestClose(); }
  void ProgressOpen(int32_t stage) override { inner_.ProgressOpen(stage); }
  void ProgressSetRange(uint32_t maximum) override { inner_.ProgressSetRange(maximum); }
  void ProgressSetPosition(uint32_t position) override { inner_.ProgressSetPosition(position); }
  void ProgressClose() override { inner_.ProgressClose(); }
  char PathSeparator() const override { return inner_.PathSeparator(); }
  std::string_view LineEnd() const override { return inner_.LineEnd(); }
  std::optional<std::string> CurrentDirectory() override { return inner_.CurrentDirectory(); }
  bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                         std::string& value) override {
    return inner_.ReadRegistryValue(keyPath, valueName, value);
  }

  // ---- Platform: the file operations are counted -------------------------
  std::vector<std::string> FindFiles(const std::string& pattern) override;
  std::optional<uint64_t> FileSize(const std::string& path) override;
  std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) override;
  std::unique_ptr<FileView> ViewFile(const std::string& path) override;
  bool CopyFile(const std::string& from, const std::string& to) override;
  bool ReplaceFile(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;

 private:
  // Counts an operation and returns its index in operations_. `needsRoom`
  // tells whether a full disk stops it.
  size_t Begin(std::string_view kind, const std::string& path, bool needsRoom);
  void End(size_t index);
  bool ShouldFail(size_t number, bool needsRoom) const;

  Platform& inner_;
  FaultMode mode_ = FaultMode::kNone;
  size_t faultAt_ = 0;
  AfterOperation afterOperation_;
  std::vector<FaultOperation> operations_;
  size_t faultsInjected_ = 0;
  size_t largestTransfer_ = 0;
};

}  // namespace zarno
