// The LZSS coder of the texture store: a sliding-window coder over a
// 4096-byte ring with a binary search tree to find the longest match. The host
// decodes what it writes, so every choice of the encoder is part of the format.
//
// Stream: groups of one flag byte and up to eight items. Flag bit k (least
// significant first) is 1 for a literal (one byte, the input byte) and 0 for a
// match of two bytes: ((length - 2) << 4 | position >> 8), (position & 0xFF),
// where position is an absolute ring position. Input byte j sits at ring
// position (j + 1) % 4096. No header, no end marker.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zarno {

// ---- Format constants -------------------------------------------------------
// Ring positions 0 ... 4095; every ring position is taken modulo this.
inline constexpr uint32_t LZSS_RING_SIZE = 4096;
// Longest match; also the length of the look-ahead and the number of bytes
// compared per tree node.
inline constexpr uint32_t LZSS_MAX_MATCH = 17;
// Shortest match coded as a match; a longest match of 0 or 1 byte is a literal.
inline constexpr uint32_t LZSS_MIN_MATCH = 2;
// Node number of the tree's root holder, whose larger child is the root.
inline constexpr uint32_t LZSS_ROOT = LZSS_RING_SIZE;
// Node number meaning "no node"; ring position 0 therefore never has a node.
inline constexpr uint32_t LZSS_NO_NODE = 0;
// Items per group, one flag bit each.
inline constexpr uint32_t LZSS_GROUP_ITEMS = 8;
// Ring position of the first input byte; also the decoder's first write
// position.
inline constexpr uint32_t LZSS_FIRST_POSITION = 1;

// Derived values.
inline constexpr uint32_t LZSS_RING_MASK = LZSS_RING_SIZE - 1;
// Nodes 0 ... 4095 for the ring positions plus the root holder.
inline constexpr uint32_t LZSS_NODE_COUNT = LZSS_ROOT + 1;
// A match's length field holds length - LZSS_MIN_MATCH in four bits and its
// position field twelve bits.
inline constexpr uint32_t LZSS_LENGTH_SHIFT = 4;
inline constexpr uint32_t LZSS_POSITION_HIGH_MASK = (1u << LZSS_LENGTH_SHIFT) - 1;

static_assert((LZSS_RING_SIZE & LZSS_RING_MASK) == 0, "the ring size must be a power of two");
static_assert(LZSS_MAX_MATCH - LZSS_MIN_MATCH <= 0xF, "a match length must fit in four bits");
static_assert(LZSS_RING_MASK >> 8 <= LZSS_POSITION_HIGH_MASK, "a ring position must fit in twelve bits");
static_assert(LZSS_MAX_MATCH < LZSS_RING_SIZE, "the look-ahead must fit in the ring");
static_assert(2 * LZSS_NODE_COUNT <= 0x10000, "node numbers and child slots must fit in 16 bits");

// The size of a stream of literals only: length + ceil(length / 8). No stream
// is longer.
constexpr size_t LzssWorstCaseSize(size_t length) {
  return length + length / LZSS_GROUP_ITEMS + (length % LZSS_GROUP_ITEMS != 0 ? 1 : 0);
}

// Compresses with working storage that stays allocated across calls; each call
// starts from the same initial state, so reusing an encoder changes no byte.
class LzssEncoder {
 public:
  // Writes the stream of `input` to `output` and returns its length. Returns 0
  // and writes nothing when `output` is shorter than
  // LzssWorstCaseSize(input.size()).
  size_t Compress(std::span<const uint8_t> input, std::span<uint8_t> output);

 private:
  struct Comparison;
  class Key;
  struct SearchStart;

  // Behind the ring, a copy of its first bytes, so that the 17 bytes of any
  // node read straight on without wrapping round.
  static constexpr uint32_t kMirrorLength = LZSS_MAX_MATCH - 1;
  static constexpr uint32_t kRingStorage = LZSS_RING_SIZE + kMirrorLength;
  static_assert(LZSS_RING_SIZE - 1 + LZSS_MAX_MATCH <= kRingStorage, "the last node's string lies in the storage");
  // After a match at least this long the search starts near the string
  // behind the matched one, otherwise at the root. The output is the same
  // either way. Lower it to 1 and searches in noise climb from poor starting
  // points (random bytes code 40% slower); raise it to 9 and searches in
  // textures walk longer paths from the root (20% slower).
  static constexpr uint32_t kFingerLeastMatch = LZSS_MIN_MATCH;

  void Reset();
  void StoreRingByte(uint32_t position, uint8_t value);
  bool InTree(uint32_t node) const;
  uint32_t Insert(uint32_t r);
  SearchStart ClimbFrom(uint32_t finger, const Key& key) const;
  uint32_t Descend(const SearchStart& start, const Key& key, uint32_t r);
  void Remove(uint32_t p);
  void Link(uint32_t slot, uint32_t node);
  void Unlink(uint32_t p);
  void ReplaceNode(uint32_t oldNode, uint32_t newNode);

  // Node p's children sit in the slots 2p (smaller) and 2p + 1 (larger); a
  // node in the tree knows the slot that holds it, which gives its parent
  // (slot / 2) and its side in one number.
  static constexpr uint32_t SmallerSlot(uint32_t node) { return 2 * node; }
  static constexpr uint32_t LargerSlot(uint32_t node) { return 2 * node + 1; }
  // Slot 0 would be node 0's smaller child, and node 0 has none.
  static constexpr uint16_t kNotInTree = 0;

  std::array<uint8_t, kRingStorage> ring_{};
  std::array<uint16_t, 2 * LZSS_NODE_COUNT> children_{};
  std::array<uint16_t, LZSS_NODE_COUNT> slot_{};
  uint32_t matchPosition_ = 0;  // of the best match the last search found
  uint32_t lastBest_ = 0;       // length of that match
};

}  // namespace zarno
