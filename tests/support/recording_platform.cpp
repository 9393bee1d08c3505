#include "tests/support/recording_platform.h"
#include <sstream>
#include "core/wine_registry_posix.h"
namespace zarno {
namespace {
std::string RegistryName(const std::string& keyPath, const std::string& valueName) {
  std::string name = keyPath + '\0' + valueName;
  for (char& c : name) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return name;
}
// An open file whose every operation the platform counts; a failed one does not reach the file, except a
// close, which lets the file go as the system's does.
class CountedFile : public File {
 public:
  CountedFile(std::unique_ptr<File> inner, RecordingPlatform& platform, std::string path, OpenMode mode)
      : inner_(std::move(inner)), platform_(platform), path_(std::move(path)), writes_(mode != OpenMode::kRead) {}
  size_t Read(void* buffer, size_t size) override {
    platform_.NoteTransfer(size);
    return Finish(Allow(op::kRead) ? inner_->Read(buffer, size) : 0);
  }
  bool Write(const void* data, size_t size) override {
    platform_.NoteTransfer(size);
    return Finish(Allow(op::kWrite, true) && inner_->Write(data, size));
  }
  bool Seek(uint64_t offset) override { return Finish(Allow(op::kSeek) && inner_->Seek(offset)); }
  std::optional<uint64_t> Size() override { return Finish(Allow(op::kSize) ? inner_->Size() : std::nullopt); }
  bool Flush() override { return Finish(Allow(op::kFlush, true) && inner_->Flush()); }
  bool Close() override {
    const bool allowed = Allow(op::kClose, writes_);
    return Finish(inner_->Close() && allowed);
  }
 private:
  bool Allow(std::string_view kind, bool needsRoom = false) { return platform_.Allow(kind, path_, needsRoom); }
  template <class T> T Finish(T result) { return platform_.Done(std::move(result)); }
  std::unique_ptr<File> inner_;
  RecordingPlatform& platform_;
  std::string path_;
  bool writes_;
};
}  // namespace
std::ostream& operator<<(std::ostream& out, const MessageBoxRecord& box) {
  return out << "{\"" << box.text << "\", \"" << box.caption << "\", icon " << int(box.icon)
             << (box.ownedByMainWindow ? ", owned" : "") << "}";
}
std::ostream& operator<<(std::ostream& out, const Operation& o) {
  out << o.kind << "(\"" << o.path << "\"";
  if (!o.target.empty()) out << ", \"" << o.target << "\"";
  return out << ")" << (o.failed ? " failed" : "");
}
RecordingPlatform::RecordingPlatform(std::string programName)
    : PosixPlatform(std::move(programName), false), currentDirectory_(PosixPlatform::CurrentDirectory()) {}
void RecordingPlatform::SetRegistryValue(const std::string& keyPath, const std::string& valueName,
                                         const std::string& value) {
  registry_[RegistryName(keyPath, valueName)] = value;
}
bool RecordingPlatform::ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                                          std::string& value) {
  if (registryKeyUnavailable_) return false;
  const auto found = registry_.find(RegistryName(keyPath, valueName));
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
  Operation& o = operations_.emplace_back(Operation{kind, path, target});
  const size_t number = operations_.size();
  o.failed = (mode_ == FaultMode::kOnce && number == faultAt_) ||
             (mode_ == FaultMode::kFromThenOn && number >= faultAt_) ||
             (mode_ == FaultMode::kDiskFull && number >= faultAt_ && needsRoom) || (rule_ && rule_(o));
  return !o.failed;
}
std::string RecordingPlatform::Describe() const {
  std::ostringstream text;
  for (size_t i = 0; i < operations_.size(); ++i) text << i + 1 << ' ' << operations_[i] << '\n';
  return text.str();
}
std::vector<std::string> RecordingPlatform::FindFiles(const std::string& pattern) {
  return Done(Allow(op::kFindFiles, pattern, false) ? PosixPlatform::FindFiles(pattern) : std::vector<std::string>{});
}
std::optional<uint64_t> RecordingPlatform::FileSize(const std::string& path) {
  return Done(Allow(op::kFileSize, path, false) ? PosixPlatform::FileSize(path) : std::nullopt);
}
std::unique_ptr<File> RecordingPlatform::OpenFile(const std::string& path, OpenMode mode) {
  auto file = Done(Allow(op::kOpenFile, path, mode == OpenMode::kCreate) ? PosixPlatform::OpenFile(path, mode) : nullptr);
  return file ? std::make_unique<CountedFile>(std::move(file), *this, path, mode) : nullptr;
}
std::unique_ptr<FileView> RecordingPlatform::ViewFile(const std::string& path) {
  return Done(Allow(op::kViewFile, path, false) ? PosixPlatform::ViewFile(path) : nullptr);
}
bool RecordingPlatform::CopyFile(const std::string& from, const std::string& to) {
  return Done(Allow(op::kCopyFile, from, true, to) && PosixPlatform::CopyFile(from, to));
}
bool RecordingPlatform::ReplaceFile(const std::string& from, const std::string& to) {
  return Done(Allow(op::kReplaceFile, from, false, to) && PosixPlatform::ReplaceFile(from, to));
}
bool RecordingPlatform::RemoveFile(const std::string& path) {
  return Done(Allow(op::kRemoveFile, path, false) && PosixPlatform::RemoveFile(path));
}
}  // namespace zarno
