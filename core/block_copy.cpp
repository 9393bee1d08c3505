#include "core/block_copy.h"

#include <algorithm>

namespace zarno {

bool CopyFileRange(File& from, uint64_t offset, uint64_t size, File& to, std::vector<uint8_t>& buffer) {
  if (buffer.size() < kCopyBlockSize) buffer.resize(kCopyBlockSize);
  if (!from.Seek(offset)) return false;
  while (size > 0) {
    size_t block = static_cast<size_t>(std::min<uint64_t>(size, buffer.size()));
    if (from.Read(buffer.data(), block) != block) return false;
    if (!to.Write(buffer.data(), block)) return false;
    size -= block;
  }
  return true;
}

}  // namespace zarno
