#include "core/buffered_file.h"

#include <limits>

namespace zarno {

size_t BufferedFile::Read(void* buffer, size_t size) {
  if (closed_ || mode_ == OpenMode::kCreate || !WritePending()) return 0;
  return SystemRead(static_cast<uint8_t*>(buffer), size);
}

bool BufferedFile::Write(const void* data, size_t size) {
  if (closed_ || mode_ == OpenMode::kRead) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (pending_.size() + size > kWriteBufferSize && !WritePending()) return false;
  if (size >= kWriteBufferSize) return WriteThrough(bytes, size);
  if (pending_.capacity() < kWriteBufferSize) pending_.reserve(kWriteBufferSize);
  pending_.insert(pending_.end(), bytes, bytes + size);
  return true;
}

bool BufferedFile::Seek(uint64_t offset) {
  if (closed_ || offset > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
  return WritePending() && SystemSeek(offset);
}

std::optional<uint64_t> BufferedFile::Size() {
  if (closed_ || !WritePending()) return std::nullopt;
  return SystemSize();
}

bool BufferedFile::Flush() { return !closed_ && WritePending() && SystemSync(); }

bool BufferedFile::Close() {
  if (closed_) return false;
  bool stored = WritePending() && !lostWrite_;
  if (!SystemClose()) stored = false;
  closed_ = true;
  return stored;
}

bool BufferedFile::WriteThrough(const uint8_t* bytes, size_t size) {
  if (SystemWrite(bytes, size)) return true;
  lostWrite_ = true;
  return false;
}

bool BufferedFile::WritePending() {
  if (pending_.empty()) return true;
  const bool written = WriteThrough(pending_.data(), pending_.size());
  pending_.clear();
  return written;
}

}  // namespace zarno
