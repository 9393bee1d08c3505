#include "tests/support/fault_platform.h"

#include <sstream>

namespace zarno {
namespace {

// Whether a full disk stops an operation on a file opened with `mode`:
// writes and flushes need room, and so does the close of a file written to,
// which stores what was still held back.
bool NeedsRoom(std::string_view kind, OpenMode mode) {
  if (kind == fault_kind::kWrite || kind == fault_kind::kFlush) return true;
  return kind == fault_kind::kClose && mode != OpenMode::kRead;
}

// An open file whose every operation is counted by the platform that
// opened it; a failed operation does not reach the file. The platform must
// outlive the file.
class FaultInjectingFile : public File {
 public:
  using Counted = FaultInjectingPlatform::Counted;

  FaultInjectingFile(std::unique_ptr<File> inner, FaultInjectingPlatform& platform, std::string path,
                     OpenMode mode)
      : inner_(std::move(inner)), platform_(platform), path_(std::move(path)), mode_(mode) {}

  size_t Read(void* buffer, size_t size) override {
    platform_.NoteTransfer(size);
    const Counted operation = Count(fault_kind::kRead);
    return operation.Allowed() ? inner_->Read(buffer, size) : 0;
  }
  bool Write(const void* data, size_t size) override {
    platform_.NoteTransfer(size);
    const Counted operation = Count(fault_kind::kWrite);
    return operation.Allowed() && inner_->Write(data, size);
  }
  bool Seek(uint64_t offset) override {
    const Counted operation = Count(fault_kind::kSeek);
    return operation.Allowed() && inner_->Seek(offset);
  }
  std::optional<uint64_t> Size() override {
    const Counted operation = Count(fault_kind::kSize);
    if (!operation.Allowed()) return std::nullopt;
    return inner_->Size();
  }
  bool Flush() override {
    const Counted operation = Count(fault_kind::kFlush);
    return operation.Allowed() && inner_->Flush();
  }
  // A close that fails still lets the file go, as the system's close does;
  // only its result tells of the failure.
  bool Close() override {
    const Counted operation = Count(fault_kind::kClose);
    const bool closed = inner_->Close();
    return operation.Allowed() && closed;
  }

 private:
  Counted Count(std::string_view kind) { return Counted(platform_, kind, path_, NeedsRoom(kind, mode_)); }

  std::unique_ptr<File> inner_;
  FaultInjectingPlatform& platform_;
  std::string path_;
  OpenMode mode_;
};

}  // namespace

// ---- counting ----------------------------------------------------------------

FaultInjectingPlatform::Counted::Counted(FaultInjectingPlatform& platform, std::string_view kind,
                                         const std::string& path, bool needsRoom)
    : platform_(platform), index_(platform.Begin(kind, path, needsRoom)),
      allowed_(!platform.operations_[index_].failed) {}

FaultInjectingPlatform::Counted::~Counted() { platform_.End(index_); }

void FaultInjectingPlatform::SetFault(FaultMode mode, size_t number) {
  mode_ = number == 0 ? FaultMode::kNone : mode;
  faultAt_ = number;
}

bool FaultInjectingPlatform::ShouldFail(size_t number, bool needsRoom) const {
  switch (mode_) {
    case FaultMode::kNone: return false;
    case FaultMode::kOnce: return number == faultAt_;
    case FaultMode::kFromThenOn: return number >= faultAt_;
    case FaultMode::kDiskFull: return number >= faultAt_ && needsRoom;
  }
  return false;
}

size_t FaultInjectingPlatform::Begin(std::string_view kind, const std::string& path, bool needsRoom) {
  const size_t number = operations_.size() + 1;
  const bool fail = ShouldFail(number, needsRoom);
  operations_.push_back({number, kind, path, fail});
  if (fail) ++faultsInjected_;
  return number - 1;
}

void FaultInjectingPlatform::End(size_t index) {
  if (!afterOperation_) return;
  const FaultOperation& operation = operations_[index];
  afterOperation_(operation.number, operation.kind, operation.path);
}

bool FaultInjectingPlatform::FailedAny(std::string_view kind) const {
  for (const FaultOperation& operation : operations_) {
    if (operation.failed && operation.kind == kind) return true;
  }
  return false;
}

std::string FaultInjectingPlatform::Describe() const {
  std::ostringstream text;
  for (const FaultOperation& operation : operations_) {
    text << operation.number << ' ' << operation.kind << ' ' << operation.path
         << (operation.failed ? "  <-- failed" : "") << '\n';
  }
  return text.str();
}

// ---- the platform's file operations -----------------------------------------

std::vector<std::string> FaultInjectingPlatform::FindFiles(const std::string& pattern) {
  const Counted operation(*this, fault_kind::kFindFiles, pattern, false);
  if (!operation.Allowed()) return {};
  return inner_.FindFiles(pattern);
}

std::optional<uint64_t> FaultInjectingPlatform::FileSize(const std::string& path) {
  const Counted operation(*this, fault_kind::kFileSize, path, false);
  if (!operation.Allowed()) return std::nullopt;
  return inner_.FileSize(path);
}

std::unique_ptr<File> FaultInjectingPlatform::OpenFile(const std::string& path, OpenMode mode) {
  const Counted operation(*this, fault_kind::kOpenFile, path, mode == OpenMode::kCreate);
  if (!operation.Allowed()) return nullptr;
  std::unique_ptr<File> file = inner_.OpenFile(path, mode);
  if (!file) return nullptr;
  return std::make_unique<FaultInjectingFile>(std::move(file), *this, path, mode);
}

std::unique_ptr<FileView> FaultInjectingPlatform::ViewFile(const std::string& path) {
  const Counted operation(*this, fault_kind::kViewFile, path, false);
  if (!operation.Allowed()) return nullptr;
  return inner_.ViewFile(path);
}

bool FaultInjectingPlatform::CopyFile(const std::string& from, const std::string& to) {
  const Counted operation(*this, fault_kind::kCopyFile, from, true);
  return operation.Allowed() && inner_.CopyFile(from, to);
}

bool FaultInjectingPlatform::ReplaceFile(const std::string& from, const std::string& to) {
  const Counted operation(*this, fault_kind::kReplaceFile, from, false);
  return operation.Allowed() && inner_.ReplaceFile(from, to);
}

bool FaultInjectingPlatform::RemoveFile(const std::string& path) {
  const Counted operation(*this, fault_kind::kRemoveFile, path, false);
  return operation.Allowed() && inner_.RemoveFile(path);
}

}  // namespace zarno
