#include "tests/support/recording_platform.h"

#include "core/wine_registry_posix.h"

namespace zarno {

namespace {

const char* BoxIconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kNone: return "kNone";
    case BoxIcon::kHand: return "kHand";
    case BoxIcon::kExclamation: return "kExclamation";
    case BoxIcon::kAsterisk: return "kAsterisk";
  }
  return "?";
}

const char* ProgressKindName(ProgressCall::Kind kind) {
  switch (kind) {
    case ProgressCall::Kind::kOpen: return "Open";
    case ProgressCall::Kind::kSetRange: return "SetRange";
    case ProgressCall::Kind::kSetPosition: return "SetPosition";
    case ProgressCall::Kind::kClose: return "Close";
  }
  return "?";
}

const char* FileOperationName(FileOperation operation) {
  switch (operation) {
    case FileOperation::kFindFiles: return "FindFiles";
    case FileOperation::kFileSize: return "FileSize";
    case FileOperation::kOpenFile: return "OpenFile";
    case FileOperation::kViewFile: return "ViewFile";
    case FileOperation::kCopyFile: return "CopyFile";
    case FileOperation::kReplaceFile: return "ReplaceFile";
    case FileOperation::kRemoveFile: return "RemoveFile";
  }
  return "?";
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, BoxIcon icon) { return out << BoxIconName(icon); }

std::ostream& operator<<(std::ostream& out, const MessageBoxRecord& box) {
  return out << "{text \"" << box.text << "\", caption \"" << box.caption << "\", " << box.icon
             << (box.ownedByMainWindow ? ", owned" : "") << "}";
}

std::ostream& operator<<(std::ostream& out, const ProgressCall& call) {
  return out << ProgressKindName(call.kind) << "(" << call.value << ")";
}

std::ostream& operator<<(std::ostream& out, FileOperation operation) {
  return out << FileOperationName(operation);
}

std::ostream& operator<<(std::ostream& out, const FileOperationRecord& record) {
  out << record.operation << "(\"" << record.path << "\"";
  if (!record.target.empty()) out << ", \"" << record.target << "\"";
  return out << ")";
}

RecordingPlatform::RecordingPlatform(std::string programName)
    : PosixPlatform(std::move(programName), false), currentDirectory_(PosixPlatform::CurrentDirectory()) {}

void RecordingPlatform::ShowMessageBox(std::string_view text, std::string_view caption, BoxIcon icon,
                                       bool ownedByMainWindow) {
  messageBoxes_.push_back({std::string(text), std::string(caption), icon, ownedByMainWindow});
}

void RecordingPlatform::ProgressOpen(int32_t stage) {
  progressCalls_.push_back({ProgressCall::Kind::kOpen, stage});
}

void RecordingPlatform::ProgressSetRange(uint32_t maximum) {
  progressCalls_.push_back({ProgressCall::Kind::kSetRange, maximum});
}

void RecordingPlatform::ProgressSetPosition(uint32_t position) {
  progressCalls_.push_back({ProgressCall::Kind::kSetPosition, position});
}

void RecordingPlatform::ProgressClose() { progressCalls_.push_back({ProgressCall::Kind::kClose, 0}); }

// ---- registry --------------------------------------------------------------

std::string RecordingPlatform::RegistryName(const std::string& keyPath, const std::string& valueName) {
  return LowerAscii(keyPath) + '\0' + LowerAscii(valueName);
}

void RecordingPlatform::SetRegistryValue(const std::string& keyPath, const std::string& valueName,
                                         const std::string& value) {
  registry_[RegistryName(keyPath, valueName)] = value;
}

bool RecordingPlatform::ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                                          std::string& value) {
  registryReads_.emplace_back(keyPath, valueName);
  if (registryKeyUnavailable_) return false;
  auto found = registry_.find(RegistryName(keyPath, valueName));
  if (found != registry_.end() && found->second.size() < kRegistryValueCapacity) value = found->second;
  return true;
}

// ---- files ---------------------------------------------------------------

bool RecordingPlatform::Allow(FileOperation operation, const std::string& path, const std::string& target) {
  fileOperations_.push_back({operation, path, target});
  return fileOperations_.size() != failAt_;
}

std::vector<std::string> RecordingPlatform::FindFiles(const std::string& pattern) {
  if (!Allow(FileOperation::kFindFiles, pattern)) return {};
  return PosixPlatform::FindFiles(pattern);
}

std::optional<uint64_t> RecordingPlatform::FileSize(const std::string& path) {
  if (!Allow(FileOperation::kFileSize, path)) return std::nullopt;
  return PosixPlatform::FileSize(path);
}

std::unique_ptr<File> RecordingPlatform::OpenFile(const std::string& path, OpenMode mode) {
  if (!Allow(FileOperation::kOpenFile, path)) return nullptr;
  return PosixPlatform::OpenFile(path, mode);
}

std::unique_ptr<FileView> RecordingPlatform::ViewFile(const std::string& path) {
  if (!Allow(FileOperation::kViewFile, path)) return nullptr;
  return PosixPlatform::ViewFile(path);
}

bool RecordingPlatform::CopyFile(const std::string& from, const std::string& to) {
  return Allow(FileOperation::kCopyFile, from, to) && PosixPlatform::CopyFile(from, to);
}

bool RecordingPlatform::ReplaceFile(const std::string& from, const std::string& to) {
  return Allow(FileOperation::kReplaceFile, from, to) && PosixPlatform::ReplaceFile(from, to);
}

bool RecordingPlatform::RemoveFile(const std::string& path) {
  return Allow(FileOperation::kRemoveFile, path) && PosixPlatform::RemoveFile(path);
}

}  // namespace zarno
