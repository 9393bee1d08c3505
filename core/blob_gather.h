// Copying many blobs of one file into another, one after the other in the
// order given, with the blobs that lie near each other in the file read
// together and the copies written in large blocks. Memory stays bounded by
// the two buffers below, however many blobs there are.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "core/platform.h"

namespace zarno {

// A blob of the source file and the record it belongs to.
struct BlobRange {
  uint64_t offset = 0;
  uint32_t size = 0;
  uint32_t record = 0;  // handed to the callback
};

// The blobs are taken in batches of up to this many bytes, written with one
// write each; a blob larger than that is copied alone, in blocks. Reads of a
// batch span at most this many bytes too, so the copy holds two buffers of
// this size.
inline constexpr size_t kGatherBytes = 1 << 20;
// Blobs of a batch that lie at most this many bytes apart in the file are
// read with one read, gap included.
inline constexpr uint64_t kGatherGap = 16 * 1024;

// Copies the blobs in the order given, back to back, to the current position
// of `to`; `reached(record)` is called for each one, in order, before any of
// its bytes are read. False when a read fails or ends early (nothing is then
// written of the blobs that were to be read) or a write fails.
bool CopyBlobs(File& from, std::span<const BlobRange> blobs, File& to,
               const std::function<void(uint32_t record)>& reached);

}  // namespace zarno
