#include "tests/support/lzss_reference.h"

#include <algorithm>

namespace zarno {
namespace {

// The coder's numbers, spelled out again here on purpose so that a slip in the
// production header does not reach both encoders.
constexpr uint32_t kRingSize = 4096;
constexpr uint32_t kMaxMatch = 17;
constexpr uint32_t kMinMatch = 2;
constexpr uint32_t kRoot = 4096;
constexpr uint32_t kNone = 0;

struct Node {
  uint32_t parent = kNone;
  uint32_t smaller = kNone;
  uint32_t larger = kNone;
};

// The working storage and the values of one call.
class ReferenceEncoder {
 public:
  explicit ReferenceEncoder(std::span<const uint8_t> input) : input_(input) {}

  std::vector<uint8_t> Run();

 private:
  uint32_t Insert(uint32_t r);
  void Remove(uint32_t p);
  void TakePlace(uint32_t p, uint32_t child);
  void Append(uint32_t value) { output_.push_back(static_cast<uint8_t>(value)); }

  std::span<const uint8_t> input_;
  std::vector<uint32_t> ring_ = std::vector<uint32_t>(kRingSize + 1, 0);
  std::vector<Node> tree_ = std::vector<Node>(kRingSize + 1);
  uint32_t matchPosition_ = 0;
  std::vector<uint8_t> output_;
};

std::vector<uint8_t> ReferenceEncoder::Run() {
  // Start.
  tree_[kRoot].larger = 1;
  tree_[1].parent = kRoot;
  const size_t copied = std::min<size_t>(input_.size(), kMaxMatch);
  for (size_t i = 0; i < copied; ++i) ring_[1 + i] = input_[i];
  uint32_t count = static_cast<uint32_t>(copied);
  size_t nextInput = copied;
  uint32_t r = 1;
  uint32_t matchLength = 0;
  matchPosition_ = 0;
  uint32_t items = 0;
  size_t flagPlace = 0;
  uint32_t flagByte = 0;
  if (count == 0) return output_;

  // Coding loop.
  while (count > 0) {
    if (matchLength > count) matchLength = count;
    if (items % 8 == 0) {
      if (!output_.empty()) output_[flagPlace] = static_cast<uint8_t>(flagByte);
      flagPlace = output_.size();
      Append(0);
      flagByte = 0;
    }
    uint32_t advance = 0;
    if (matchLength <= 1) {
      flagByte |= 1u << (items % 8);
      Append(ring_[r]);
      advance = 1;
    } else {
      Append(((matchLength - 2) << 4) + (matchPosition_ >> 8));
      Append(matchPosition_ & 0xFF);
      advance = matchLength;
    }
    items = items + 1;
    for (uint32_t step = 0; step < advance; ++step) {
      const uint32_t s = (r + 17) % kRingSize;
      Remove(s);
      if (nextInput < input_.size()) {
        ring_[s] = input_[nextInput++];
      } else {
        count = count - 1;
      }
      r = (r + 1) % kRingSize;
      if (count > 0) matchLength = Insert(r);
    }
  }

  // End.
  output_[flagPlace] = static_cast<uint8_t>(flagByte);
  return output_;
}

uint32_t ReferenceEncoder::Insert(uint32_t r) {
  if (r == 0) return 0;
  uint32_t best = 0;
  uint32_t p = tree_[kRoot].larger;
  for (;;) {
    uint32_t i = 0;
    while (i < kMaxMatch && ring_[(r + i) % kRingSize] == ring_[(p + i) % kRingSize]) ++i;
    if (i >= best) {
      best = i;
      matchPosition_ = p;
      if (i == kMaxMatch) {
        // Node r takes the place of node p.
        const uint32_t parent = tree_[p].parent;
        if (tree_[parent].smaller == p) {
          tree_[parent].smaller = r;
        } else {
          tree_[parent].larger = r;
        }
        tree_[r].parent = parent;
        tree_[r].smaller = tree_[p].smaller;
        tree_[r].larger = tree_[p].larger;
        if (tree_[r].smaller != kNone) tree_[tree_[r].smaller].parent = r;
        if (tree_[r].larger != kNone) tree_[tree_[r].larger].parent = r;
        tree_[p].parent = kNone;
        return kMaxMatch;
      }
    }
    const bool goSmaller = ring_[(r + i) % kRingSize] < ring_[(p + i) % kRingSize];
    const uint32_t child = goSmaller ? tree_[p].smaller : tree_[p].larger;
    if (child == kNone) {
      if (goSmaller) {
        tree_[p].smaller = r;
      } else {
        tree_[p].larger = r;
      }
      tree_[r].parent = p;
      tree_[r].smaller = kNone;
      tree_[r].larger = kNone;
      return best;
    }
    p = child;
  }
}

// In p's parent, the child field that named p names `child`; the child (if
// any) gets p's parent; p leaves the tree.
void ReferenceEncoder::TakePlace(uint32_t p, uint32_t child) {
  const uint32_t parent = tree_[p].parent;
  if (tree_[parent].smaller == p) {
    tree_[parent].smaller = child;
  } else {
    tree_[parent].larger = child;
  }
  if (child != kNone) tree_[child].parent = parent;
  tree_[p].parent = kNone;
}

void ReferenceEncoder::Remove(uint32_t p) {
  if (tree_[p].parent == kNone) return;
  if (tree_[p].larger == kNone) {
    TakePlace(p, tree_[p].smaller);
    return;
  }
  if (tree_[p].smaller == kNone) {
    TakePlace(p, tree_[p].larger);
    return;
  }
  uint32_t q = tree_[p].smaller;
  while (tree_[q].larger != kNone) q = tree_[q].larger;
  Remove(q);
  const uint32_t parent = tree_[p].parent;
  if (tree_[parent].smaller == p) {
    tree_[parent].smaller = q;
  } else {
    tree_[parent].larger = q;
  }
  tree_[q].parent = parent;
  tree_[q].smaller = tree_[p].smaller;
  tree_[q].larger = tree_[p].larger;
  if (tree_[q].smaller != kNone) tree_[tree_[q].smaller].parent = q;
  tree_[tree_[q].larger].parent = q;
  tree_[p].parent = kNone;
}

}  // namespace

std::vector<uint8_t> LzssCompressReference(std::span<const uint8_t> input) {
  ReferenceEncoder encoder(input);
  return encoder.Run();
}

}  // namespace zarno
