#include "tests/support/recording_platform.h"

#include <sstream>

#include "core/wine_registry_posix.h"

namespace zarno {
namespace {

std::string LowerAscii(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

// An open file whose every operation the platform counts; a failed one does
// not reach the file, except a close, which lets the file go as the system's does.
class CountedFile : public File {
 public:
  CountedFile(std::unique_ptr<File> inner, RecordingPlatform& platform, std::string path, OpenMode mode)
      : inner_(std::move(inner)), platform_(platform), path_(std::move(path)), writes_(mode != OpenMode::kRead) {}
  size_t Read(void* buffer, size_t size) override {
    platform_.NoteTransfer(size);
    const size_t got = Allow(op::kRead) ? inner_->Read(buffer, size) : 0;
    return platform_.Done(), got;
  }
  bool Write(const void* data, size_t size) override {
    platform_.NoteTransfer(size);
    return Finish(Allow(op::kWrite, true) && inner_->Write(data, size));
  }
  bool Seek(uint64_t offset) override { return Finish(Allow(op::kSeek) && inner_->Seek(offset)); }
  std::optional<uint64_t> Size() override {
    const std::optional<uint64_t> size = Allow(op::kSize) ? inner_->Size() : std::nullopt;
    return platform_.Done(), size;
  }
  bool Flush() override { return Finish(Allow(op::kFlush, true) && inner_->Flush()); }
  bool Close() override {
    const bool allowed = Allow(op::kClose, writes_);
    return Finish(inner_->Close() && allowed);
  }

 private:
  bool Allow(std::string_view kind, bool needsRoom = false) { return platform_.Allow(kind, path_, needsRoom); }
  bool Finish(bool result) { return platform_.Done(), result; }
  std::unique_ptr<File> inner_;
  RecordingPlatform& platform_;
  std::string path_;
  bool writes_;
};

}  // namespace

std::ostream& operator<<(std::ostream& out, const MessageBoxRecord& box) {
  return out << "{\"" << box.text << "\", \"" << box.caption << "\", icon " << static_cast<int>(box.icon)
             << (box.ownedByMainWindow ? ", owned" : "") << "}";
}

std::ostream& operator<<(std::ostream& out, const ProgressCall& call) {
  static const char* const kNames[] = {"Open", "SetRange", "SetPosition", "Close"};
  return out << kNames[static_cast<int>(call.kind)] << "(" << call.value << ")";
}

std::ostream& operator<<(std::ostream& out, const Operation& operation) {
  out << operation.kind << "(\"" << operation.path << "\"";
  if (!operation.target.empty()) out << ", \"" << operation.target << "\"";
  return out << ")" << (operation.failed ? " failed" : "");
}

RecordingPlatform::RecordingPlatform(std::string programName)
    : PosixPlatform(std::move(programName), false), currentDirectory_(PosixPlatform::CurrentDirectory()) {}

void RecordingPlatform::SetRegistryValue(const std::string& keyPath, const std::string& valueName,
                                         const std::string& value) {
  registry_[LowerAscii(keyPath) + '\0' + LowerAscii(valueName)] = value;
}

bool RecordingPlatform::ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                                          std::string& value) {
  if (registryKeyUnavailable_) return false;
  auto found = registry_.find(LowerAscii(keyPath) + '\0' + LowerAscii(valueName));
  if (found != registry_.end() && found->second.size() < kRegistryValueCapacity) value = found->second;
  return true;
}

void RecordingPlatform::FailNth(std::string_view kind, std::string pathEnd, int nth) {
  FailWhen([kind, pathEnd = std::move(pathEnd), nth, seen = 0](const Operation& o) mutable {
    return (kind.empty() || o.kind == kind) && o.path.ends_with(pathEnd) && ++seen == nth;
  });
}

bool RecordingPlatform::Allow(std::string_view kind, const std::string& path, bool needsRoom,
                              const std::string& target) {
  operations_.push_back({kind, path, target});
  Operation& o = operations_.back();
  const size_t number = operations_.size();
  const bool byNumber = (mode_ == FaultMode::kOnce && number == faultAt_) ||
                        (mode_ == FaultMode::kFromThenOn && number >= faultAt_) ||
                        (mode_ == FaultMode::kDiskFull && number >= faultAt_ && needsRoom);
  o.failed = byNumber || (rule_ && rule_(o));
  return !o.failed;
}

bool RecordingPlatform::FailedAny(std::string_view kind) const {
  for (const Operation& o : operations_) {
    if (o.failed && (kind.empty() || o.kind == kind)) return true;
  }
  return false;
}

std::string RecordingPlatform::Describe() const {
  std::ostringstream text;
  for (size_t i = 0; i < operations_.size(); ++i) text << i + 1 << ' ' << operations_[i] << '\n';
  return text.str();
}

std::vector<std::string> RecordingPlatform::FindFiles(const std::string& pattern) {
  std::vector<std::string> found = Allow(op::kFindFiles, pattern, false) ? PosixPlatform::FindFiles(pattern)
                                                                         : std::vector<std::string>{};
  return Done(), found;
}

std::optional<uint64_t> RecordingPlatform::FileSize(const std::string& path) {
  const std::optional<uint64_t> size = Allow(op::kFileSize, path, false) ? PosixPlatform::FileSize(path) : std::nullopt;
  return Done(), size;
}

std::unique_ptr<File> RecordingPlatform::OpenFile(const std::string& path, OpenMode mode) {
  std::unique_ptr<File> file = Allow(op::kOpenFile, path, mode == OpenMode::kCreate)
                                   ? PosixPlatform::OpenFile(path, mode) : nullptr;
  Done();
  return file ? std::make_unique<CountedFile>(std::move(file), *this, path, mode) : nullptr;
}

std::unique_ptr<FileView> RecordingPlatform::ViewFile(const std::string& path) {
  std::unique_ptr<FileView> view = Allow(op::kViewFile, path, false) ? PosixPlatform::ViewFile(path) : nullptr;
  Done();
  return view;
}

bool RecordingPlatform::CopyFile(const std::string& from, const std::string& to) {
  const bool copied = Allow(op::kCopyFile, from, true, to) && PosixPlatform::CopyFile(from, to);
  return Done(), copied;
}

bool RecordingPlatform::ReplaceFile(const std::string& from, const std::string& to) {
  const bool replaced = Allow(op::kReplaceFile, from, false, to) && PosixPlatform::ReplaceFile(from, to);
  return Done(), replaced;
}

bool RecordingPlatform::RemoveFile(const std::string& path) {
  const bool removed = Allow(op::kRemoveFile, path, false) && PosixPlatform::RemoveFile(path);
  return Done(), removed;
}

}  // namespace zarno
