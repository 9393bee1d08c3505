#include "skinwright/lzss.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace zarno {
namespace {

static_assert(std::endian::native == std::endian::little,
              "CountEqualBytes takes the first differing byte from the low end of a word");

// Loads eight bytes as a machine word (little-endian: byte 0 is the low byte).
inline uint64_t LoadWord(const uint8_t* at) {
  uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Counts the equal leading bytes of two strings of LZSS_MAX_MATCH bytes, a
// word at a time: 0 ... LZSS_MAX_MATCH.
inline uint32_t CountEqualBytes(const uint8_t* a, const uint8_t* b) {
  static_assert(LZSS_MAX_MATCH == 2 * sizeof(uint64_t) + 1, "two words and one byte per node");
  uint64_t difference = LoadWord(a) ^ LoadWord(b);
  if (difference != 0) return static_cast<uint32_t>(std::countr_zero(difference)) / 8;
  difference = LoadWord(a + 8) ^ LoadWord(b + 8);
  if (difference != 0) return 8 + static_cast<uint32_t>(std::countr_zero(difference)) / 8;
  return a[16] == b[16] ? 17 : 16;
}

// Appends items to the output, opening a new group (and its flag byte) every
// eighth item. The output was checked to hold a stream of literals only.
class StreamWriter {
 public:
  explicit StreamWriter(uint8_t* output) : output_(output) {}

  void BeginItem() {
    if (items_ % LZSS_GROUP_ITEMS == 0) {
      output_[flagPlace_] = flags_;
      flagPlace_ = length_++;
      flags_ = 0;
    }
  }
  void PutLiteral(uint8_t value) {
    flags_ = static_cast<uint8_t>(flags_ | 1u << (items_ % LZSS_GROUP_ITEMS));
    output_[length_++] = value;
    ++items_;
  }
  void PutMatch(uint32_t length, uint32_t position) {
    output_[length_++] = static_cast<uint8_t>((length - LZSS_MIN_MATCH) << LZSS_LENGTH_SHIFT | position >> 8);
    output_[length_++] = static_cast<uint8_t>(position & 0xFF);
    ++items_;
  }
  size_t Finish() {
    output_[flagPlace_] = flags_;
    return length_;
  }

 private:
  uint8_t* output_;
  size_t length_ = 0;
  size_t flagPlace_ = 0;
  uint8_t flags_ = 0;
  uint32_t items_ = 0;
};

}  // namespace

void LzssEncoder::Reset() {
  ring_.fill(0);
  for (auto& children : children_) children = {0, 0};
  parent_.fill(LZSS_NO_NODE);
  // Position 1 is the first root, entered without a search.
  children_[LZSS_ROOT][1] = LZSS_FIRST_POSITION;
  parent_[LZSS_FIRST_POSITION] = LZSS_ROOT;
  matchPosition_ = 0;
}

void LzssEncoder::StoreRingByte(uint32_t position, uint8_t value) {
  ring_[position] = value;
  if (position < kMirrorLength) ring_[LZSS_RING_SIZE + position] = value;
}

// Puts `newNode` where `oldNode` is (its parent, its children) and takes
// `oldNode` out of the tree. Writes to parent_[LZSS_NO_NODE] for a missing
// child are harmless: Remove never looks at node 0.
void LzssEncoder::ReplaceNode(uint32_t oldNode, uint32_t newNode) {
  const uint32_t parent = parent_[oldNode];
  children_[parent][children_[parent][1] == oldNode ? 1 : 0] = static_cast<uint16_t>(newNode);
  parent_[newNode] = static_cast<uint16_t>(parent);
  children_[newNode] = children_[oldNode];
  parent_[children_[newNode][0]] = static_cast<uint16_t>(newNode);
  parent_[children_[newNode][1]] = static_cast<uint16_t>(newNode);
  parent_[oldNode] = LZSS_NO_NODE;
}

// Takes node p, which has at most one child, out of the tree: the child (or
// none) takes its place.
void LzssEncoder::Unlink(uint32_t p) {
  const uint32_t parent = parent_[p];
  const uint32_t child = children_[p][1] != LZSS_NO_NODE ? children_[p][1] : children_[p][0];
  children_[parent][children_[parent][1] == p ? 1 : 0] = static_cast<uint16_t>(child);
  parent_[child] = static_cast<uint16_t>(parent);
  parent_[p] = LZSS_NO_NODE;
}

void LzssEncoder::Remove(uint32_t p) {
  if (p == LZSS_NO_NODE || parent_[p] == LZSS_NO_NODE) return;
  if (children_[p][0] == LZSS_NO_NODE || children_[p][1] == LZSS_NO_NODE) {
    Unlink(p);
    return;
  }
  // Two children: the greatest node below the smaller child takes p's place.
  uint32_t q = children_[p][0];
  while (children_[q][1] != LZSS_NO_NODE) q = children_[q][1];
  Unlink(q);
  ReplaceNode(p, q);
}

// Enters the string at ring position r into the tree and returns the length of
// the longest match on the search path; the last node visited among equally
// long matches wins. A node equal in all 17 bytes is replaced by r.
uint32_t LzssEncoder::Insert(uint32_t r) {
  if (r == LZSS_NO_NODE) return 0;
  const uint8_t* key = &ring_[r];
  uint32_t best = 0;
  uint32_t p = children_[LZSS_ROOT][1];
  for (;;) {
    const uint8_t* node = &ring_[p];
    const uint32_t equal = CountEqualBytes(key, node);
    if (equal >= best) {
      best = equal;
      matchPosition_ = p;
      if (equal == LZSS_MAX_MATCH) {
        ReplaceNode(p, r);
        return best;
      }
    }
    const uint32_t side = key[equal] < node[equal] ? 0 : 1;
    const uint32_t next = children_[p][side];
    if (next == LZSS_NO_NODE) {
      children_[p][side] = static_cast<uint16_t>(r);
      parent_[r] = static_cast<uint16_t>(p);
      children_[r] = {0, 0};
      return best;
    }
    p = next;
  }
}

size_t LzssEncoder::Compress(std::span<const uint8_t> input, std::span<uint8_t> output) {
  if (input.empty() || output.size() < LzssWorstCaseSize(input.size())) return 0;
  Reset();
  const size_t lookAhead = std::min<size_t>(input.size(), LZSS_MAX_MATCH);
  for (size_t i = 0; i < lookAhead; ++i) StoreRingByte(LZSS_FIRST_POSITION + static_cast<uint32_t>(i), input[i]);
  size_t nextInput = lookAhead;
  uint32_t count = static_cast<uint32_t>(lookAhead);  // bytes in the look-ahead
  uint32_t r = LZSS_FIRST_POSITION;                   // ring position of the next byte to code
  uint32_t matchLength = 0;
  StreamWriter writer(output.data());
  while (count > 0) {
    matchLength = std::min(matchLength, count);
    writer.BeginItem();
    uint32_t advance = 1;
    if (matchLength < LZSS_MIN_MATCH) {
      writer.PutLiteral(ring_[r]);
    } else {
      writer.PutMatch(matchLength, matchPosition_);
      advance = matchLength;
    }
    for (; advance > 0; --advance) {
      const uint32_t behindLookAhead = (r + LZSS_MAX_MATCH) & LZSS_RING_MASK;
      Remove(behindLookAhead);
      if (nextInput < input.size()) {
        StoreRingByte(behindLookAhead, input[nextInput++]);
      } else {
        --count;
      }
      r = (r + 1) & LZSS_RING_MASK;
      if (count > 0) matchLength = Insert(r);
    }
  }
  return writer.Finish();
}

size_t LzssCompress(std::span<const uint8_t> input, std::span<uint8_t> output) {
  auto encoder = std::make_unique<LzssEncoder>();
  return encoder->Compress(input, output);
}

std::vector<uint8_t> LzssCompress(std::span<const uint8_t> input) {
  std::vector<uint8_t> stream(LzssWorstCaseSize(input.size()));
  stream.resize(LzssCompress(input, stream));
  return stream;
}

namespace {

// The decoder's ring and write position; every byte it makes is output and
// stored in the ring.
class DecodeRing {
 public:
  explicit DecodeRing(std::vector<uint8_t>& output) : output_(output) {}

  bool Full() const { return made_ == output_.size(); }
  void Put(uint8_t value) {
    output_[made_++] = value;
    ring_[writePosition_] = value;
    writePosition_ = (writePosition_ + 1) & LZSS_RING_MASK;
  }
  // Copies up to `length` ring bytes from `position` on, stopping when the
  // output is full; a copy may read bytes it has just written.
  void Copy(uint32_t position, uint32_t length) {
    for (uint32_t k = 0; k < length && !Full(); ++k) Put(ring_[(position + k) & LZSS_RING_MASK]);
  }

 private:
  std::vector<uint8_t>& output_;
  std::array<uint8_t, LZSS_RING_SIZE> ring_{};
  uint32_t writePosition_ = LZSS_FIRST_POSITION;
  size_t made_ = 0;
};

// Every stream byte makes at most eight output bytes (a flag byte and eight
// matches of 17: 17 bytes for 136), so a longer output cannot come out of it.
constexpr size_t kMostOutputPerStreamByte = 8;

bool DecodeItems(std::span<const uint8_t> stream, DecodeRing& ring) {
  size_t at = 0;
  while (!ring.Full()) {
    if (at >= stream.size()) return false;
    const uint32_t flags = stream[at++];
    for (uint32_t item = 0; item < LZSS_GROUP_ITEMS && !ring.Full(); ++item) {
      if (flags >> item & 1) {
        if (at >= stream.size()) return false;
        ring.Put(stream[at++]);
        continue;
      }
      if (stream.size() - at < 2) return false;
      const uint32_t length = (stream[at] >> LZSS_LENGTH_SHIFT) + LZSS_MIN_MATCH;
      const uint32_t position = (stream[at] & LZSS_POSITION_HIGH_MASK) << 8 | stream[at + 1];
      at += 2;
      ring.Copy(position, length);
    }
  }
  return true;
}

}  // namespace

bool LzssDecode(std::span<const uint8_t> stream, size_t outputLength, std::vector<uint8_t>& output) {
  output.clear();
  const size_t fewestStreamBytes =
      outputLength / kMostOutputPerStreamByte + (outputLength % kMostOutputPerStreamByte != 0 ? 1 : 0);
  if (fewestStreamBytes > stream.size()) return false;
  output.resize(outputLength);
  auto ring = std::make_unique<DecodeRing>(output);
  if (DecodeItems(stream, *ring)) return true;
  output.clear();
  return false;
}

}  // namespace zarno
