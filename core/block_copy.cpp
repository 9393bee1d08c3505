#include "core/block_copy.h"

#include <algorithm>

namespace zarno {

CopyResult CopyBlocks(File& from, uint64_t size, File& to, std::vector<uint8_t>& buffer) {
  if (buffer.size() < kCopyBlockSize) buffer.resize(kCopyBlockSize);
  while (size > 0) {
    const size_t block = static_cast<size_t>(std::min<uint64_t>(size, buffer.size()));
    if (from.Read(buffer.data(), block) != block) return CopyResult::kReadFailed;
    if (!to.Write(buffer.data(), block)) return CopyResult::kWriteFailed;
    size -= block;
  }
  return CopyResult::kCopied;
}

bool CopyFileRange(File& from, uint64_t offset, uint64_t size, File& to, std::vector<uint8_t>& buffer) {
  return from.Seek(offset) && CopyBlocks(from, size, to, buffer) == CopyResult::kCopied;
}

}  // namespace zarno
