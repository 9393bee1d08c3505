// Moving bytes between open files in bounded blocks, so memory never grows
// with the size of a file.
#pragma once

#include <cstdint>
#include <vector>

#include "core/platform.h"

namespace zarno {

// Size of the buffer the copies use.
inline constexpr size_t kCopyBlockSize = 1 << 20;

enum class CopyResult { kCopied, kReadFailed, kWriteFailed };

// Copies `size` bytes from the current position of `from` to that of `to`.
// kReadFailed when `from` ends early or cannot be read.
CopyResult CopyBlocks(File& from, uint64_t size, File& to, std::vector<uint8_t>& buffer);

// Copies `size` bytes that begin at `offset` in `from` to the current
// position of `to`. False when `from` ends early or a read or write fails.
bool CopyFileRange(File& from, uint64_t offset, uint64_t size, File& to, std::vector<uint8_t>& buffer);

}  // namespace zarno
