// The tests' platform: files are real (in temporary folders); what the user would see or the machine would hold
// is recorded or set by the test. Every file operation, those of open files included, is counted and can be made
// to fail: the Nth one, by a rule, from the Nth on, or as a full disk.
#pragma once
#include <functional>
#include <map>
#include <ostream>
#include "core/platform_posix.h"
namespace zarno {
struct MessageBoxRecord {
  std::string text, caption; BoxIcon icon = BoxIcon::kNone; bool ownedByMainWindow = false;
  bool operator==(const MessageBoxRecord&) const = default;
};
struct ProgressCall {
  enum class Kind { kOpen, kSetRange, kSetPosition, kClose } kind;
  int64_t value = 0;  // the stage, maximum or position; 0 for kClose
  bool operator==(const ProgressCall&) const = default;
};
// The names operations are counted under.
namespace op {
inline constexpr std::string_view kFindFiles = "FindFiles", kFileSize = "FileSize", kOpenFile = "OpenFile",
                                  kViewFile = "ViewFile", kCopyFile = "CopyFile", kReplaceFile = "ReplaceFile",
                                  kRemoveFile = "RemoveFile", kRead = "Read", kWrite = "Write", kSeek = "Seek",
                                  kFlush = "Flush", kClose = "Close", kSize = "Size";
}  // namespace op
struct Operation {  // path: the pattern, path, or source; target: the destination of a copy or replacement
  std::string_view kind; std::string path, target; bool failed = false;
};
enum class FaultMode { kNone, kOnce, kFromThenOn, kDiskFull };
std::ostream& operator<<(std::ostream& out, const MessageBoxRecord& box);
std::ostream& operator<<(std::ostream& out, const Operation& operation);
class RecordingPlatform : public PosixPlatform {
 public:
  using Rule = std::function<bool(const Operation&)>;
  explicit RecordingPlatform(std::string programName = "rigwright");
  const std::vector<MessageBoxRecord>& MessageBoxes() const { return messageBoxes_; }
  int32_t Beeps() const { return beeps_; }
  const std::vector<std::string>& Failures() const { return failures_; }  // SignalFailure texts
  const std::vector<ProgressCall>& ProgressCalls() const { return progressCalls_; }
  // Registry names are matched ignoring case.
  void SetRegistryValue(const std::string& keyPath, const std::string& valueName, const std::string& value);
  void SetRegistryKeyUnavailable(bool unavailable) { registryKeyUnavailable_ = unavailable; }
  void SetCurrentDirectory(std::optional<std::string> folder) { currentDirectory_ = std::move(folder); }
  const std::vector<Operation>& Operations() const { return operations_; }
  // Operation `number` (1-based, counted from creation; 0: none) fails as `mode` says.
  void SetFault(FaultMode mode, size_t number) { mode_ = number ? mode : FaultMode::kNone, faultAt_ = number; }
  // Every operation the rule picks fails as well.
  void FailWhen(Rule rule) { rule_ = std::move(rule); }
  // Only the `nth` operation of `kind` (empty: any) whose path ends with `pathEnd`.
  void FailNth(std::string_view kind, std::string pathEnd, int nth = 1);
  void SetAfterOperation(std::function<void(const Operation&)> callback) { after_ = std::move(callback); }
  std::string Describe() const;  // one line per operation, for messages
  size_t LargestTransfer() const { return largestTransfer_; }  // the largest single Read or Write
  void ShowMessageBox(std::string_view text, std::string_view caption, BoxIcon icon,
                      bool ownedByMainWindow = false) override {
    messageBoxes_.push_back({std::string(text), std::string(caption), icon, ownedByMainWindow});
  }
  void Beep() override { ++beeps_; }
  void SignalFailure(std::string_view text) override { failures_.emplace_back(text), ++beeps_; }
  void ProgressOpen(int32_t stage) override { progressCalls_.push_back({ProgressCall::Kind::kOpen, stage}); }
  void ProgressSetRange(uint32_t max) override { progressCalls_.push_back({ProgressCall::Kind::kSetRange, max}); }
  void ProgressSetPosition(uint32_t at) override { progressCalls_.push_back({ProgressCall::Kind::kSetPosition, at}); }
  void ProgressClose() override { progressCalls_.push_back({ProgressCall::Kind::kClose, 0}); }
  std::optional<std::string> CurrentDirectory() override { return currentDirectory_; }
  bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName, std::string& value) override;
  std::vector<std::string> FindFiles(const std::string& pattern) override;
  std::optional<uint64_t> FileSize(const std::string& path) override;
  std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) override;
  std::unique_ptr<FileView> ViewFile(const std::string& path) override;
  bool CopyFile(const std::string& from, const std::string& to) override;
  bool ReplaceFile(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  // The real lock, unless the test sets what every attempt gives; waits only count.
  LockAttempt TryLockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override {
    return lockAttempt_ ? *lockAttempt_ : PosixPlatform::TryLockFile(path, lock);
  }
  void Sleep(uint32_t milliseconds) override { slept_ += milliseconds; }
  void NoteWaiting(std::string_view text) override { waitNotes_.emplace_back(text); }
  void SetLockAttempt(std::optional<LockAttempt> attempt) { lockAttempt_ = attempt; }
  // Paths ending so count as held open by another program.
  void SetInUse(std::string pathEnd) { inUse_ = std::move(pathEnd); }
  bool InUseByAnotherProgram(const std::string& path) override { return !inUse_.empty() && path.ends_with(inUse_); }
  uint64_t Slept() const { return slept_; }
  const std::vector<std::string>& WaitNotes() const { return waitNotes_; }
  // Counts one operation; false when it is to fail. `needsRoom`: a full disk stops it.
  bool Allow(std::string_view kind, const std::string& path, bool needsRoom, const std::string& target = {});
  // Calls the after-operation callback for the last operation counted; gives back `result`.
  template <class T> T Done(T result) { if (after_) after_(operations_.back()); return result; }
  void NoteTransfer(size_t size) { largestTransfer_ = std::max(largestTransfer_, size); }
 private:
  std::vector<MessageBoxRecord> messageBoxes_;
  std::vector<std::string> failures_, waitNotes_;
  std::vector<ProgressCall> progressCalls_;
  std::map<std::string, std::string> registry_;
  std::optional<std::string> currentDirectory_;
  std::vector<Operation> operations_;
  FaultMode mode_ = FaultMode::kNone;
  Rule rule_;
  std::function<void(const Operation&)> after_;
  std::optional<LockAttempt> lockAttempt_;
  std::string inUse_;
  int32_t beeps_ = 0;
  bool registryKeyUnavailable_ = false;
  size_t faultAt_ = 0, largestTransfer_ = 0;
  uint64_t slept_ = 0;
};
}  // namespace zarno
