#include "core/blob_gather.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/block_copy.h"

namespace zarno {
namespace {

static_assert(kGatherBytes <= kCopyBlockSize, "a batch's reads go to the copy block");

// Bounds the bookkeeping of a batch of empty blobs.
constexpr size_t kMaxBatchBlobs = 1 << 16;

// The blobs from the start of `blobs` that make one batch; 0 when the first
// one is larger than a batch.
size_t BatchLength(std::span<const BlobRange> blobs) {
  uint64_t total = 0;
  size_t length = 0;
  while (length < blobs.size() && length < kMaxBatchBlobs && total + blobs[length].size <= kGatherBytes) {
    total += blobs[length++].size;
  }
  return length;
}

// One read: the bytes from `start` to `end` of the source, which hold the
// batch's blobs order_[first] up to order_[last] (exclusive).
struct ReadRun {
  size_t first = 0;
  size_t last = 0;
  uint64_t start = 0;
  uint64_t end = 0;
};

class Gatherer {
 public:
  Gatherer(File& from, File& to) : from_(from), to_(to), read_(kCopyBlockSize), packed_(kGatherBytes) {}

  bool CopyAlone(const BlobRange& blob) { return CopyFileRange(from_, blob.offset, blob.size, to_, read_); }
  bool CopyBatch(std::span<const BlobRange> batch);

 private:
  size_t Plan(std::span<const BlobRange> batch);
  ReadRun RunFrom(std::span<const BlobRange> batch, size_t first) const;
  bool Read(std::span<const BlobRange> batch, const ReadRun& run);

  File& from_;
  File& to_;
  std::vector<uint8_t> read_;
  std::vector<uint8_t> packed_;  // the batch as it is written
  std::vector<uint32_t> order_;  // the batch's nonempty blobs in file order
  std::vector<size_t> at_;       // where each blob of the batch goes in packed_
};

bool Gatherer::CopyBatch(std::span<const BlobRange> batch) {
  const size_t total = Plan(batch);
  for (size_t first = 0; first < order_.size();) {
    const ReadRun run = RunFrom(batch, first);
    if (!Read(batch, run)) return false;
    first = run.last;
  }
  return total == 0 || to_.Write(packed_.data(), total);
}

// Fills at_ and order_; the bytes of the batch.
size_t Gatherer::Plan(std::span<const BlobRange> batch) {
  at_.clear();
  order_.clear();
  size_t total = 0;
  for (size_t k = 0; k < batch.size(); ++k) {
    at_.push_back(total);
    total += batch[k].size;
    if (batch[k].size > 0) order_.push_back(static_cast<uint32_t>(k));
  }
  const auto inFileOrder = [batch](uint32_t a, uint32_t b) { return batch[a].offset < batch[b].offset; };
  if (!std::is_sorted(order_.begin(), order_.end(), inFileOrder)) {
    std::stable_sort(order_.begin(), order_.end(), inFileOrder);
  }
  return total;
}

// The longest run from order_[first] on whose blobs lie at most kGatherGap
// apart and span at most kGatherBytes. Blobs may overlap.
ReadRun Gatherer::RunFrom(std::span<const BlobRange> batch, size_t first) const {
  const BlobRange& head = batch[order_[first]];
  ReadRun run{first, first + 1, head.offset, head.offset + head.size};
  for (; run.last < order_.size(); ++run.last) {
    const BlobRange& next = batch[order_[run.last]];
    const uint64_t end = std::max(run.end, next.offset + next.size);
    if (next.offset > run.end + kGatherGap || end - run.start > kGatherBytes) break;
    run.end = end;
  }
  return run;
}

bool Gatherer::Read(std::span<const BlobRange> batch, const ReadRun& run) {
  const auto size = static_cast<size_t>(run.end - run.start);
  if (!from_.Seek(run.start) || from_.Read(read_.data(), size) != size) return false;
  for (size_t n = run.first; n < run.last; ++n) {
    const BlobRange& blob = batch[order_[n]];
    std::memcpy(packed_.data() + at_[order_[n]], read_.data() + (blob.offset - run.start), blob.size);
  }
  return true;
}

}  // namespace

bool CopyBlobs(File& from, std::span<const BlobRange> blobs, File& to,
               const std::function<void(uint32_t record)>& reached) {
  Gatherer gatherer(from, to);
  for (size_t i = 0; i < blobs.size();) {
    const size_t length = BatchLength(blobs.subspan(i));
    if (length == 0) {
      reached(blobs[i].record);
      if (!gatherer.CopyAlone(blobs[i])) return false;
      ++i;
      continue;
    }
    const std::span<const BlobRange> batch = blobs.subspan(i, length);
    for (const BlobRange& blob : batch) reached(blob.record);
    if (!gatherer.CopyBatch(batch)) return false;
    i += length;
  }
  return true;
}

}  // namespace zarno
