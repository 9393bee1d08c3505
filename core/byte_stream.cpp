#include "core/byte_stream.h"

#include <algorithm>
#include <cstring>

namespace zarno {

// A value cut off by the end of the buffer has its bytes used up, as a
// stream would use them up.
void ByteReader::MarkPastEnd() {
  readPastEnd_ = true;
  if (position_ < bytes_.size()) position_ = bytes_.size();
}

void ByteReader::ReadBytes(std::span<uint8_t> out) {
  const size_t left = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
  const size_t copied = std::min(left, out.size());
  if (copied > 0) std::memcpy(out.data(), bytes_.data() + position_, copied);
  position_ += copied;
  if (copied == out.size()) return;
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(copied), out.end(), kByteAtEnd);
  MarkPastEnd();
}

void ByteWriter::Reserve(size_t size) {
  if (size > buffer_.size()) buffer_.resize(size);
}

// Doubles the room, so that writing without a reservation stays linear.
void ByteWriter::Grow(size_t count) {
  buffer_.resize(std::max(used_ + count, 2 * buffer_.size()));
}

std::vector<uint8_t> ByteWriter::TakeBytes() {
  buffer_.resize(used_);
  used_ = 0;
  std::vector<uint8_t> bytes = std::move(buffer_);
  buffer_.clear();
  return bytes;
}

}  // namespace zarno
