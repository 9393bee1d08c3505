// The LZSS coder of the texture store: a sliding-window coder over a
// 4096-byte ring that writes what the host's encoder writes, whose binary
// search tree finds the longest match. The host decodes what it writes, so
// every choice of the encoder is part of the format.
//
// Stream: groups of one flag byte and up to eight items. Flag bit k (least
// significant first) is 1 for a literal (one byte, the input byte) and 0 for a
// match of two bytes: ((length - 2) << 4 | position >> 8), (position & 0xFF),
// where position is an absolute ring position. Input byte j sits at ring
// position (j + 1) % 4096. No header, no end marker.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

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

class LzssWindow;

// Compresses with working storage that stays allocated across calls (256 KiB,
// taken once when the encoder is made); each call starts from the same
// initial state, so reusing an encoder changes no byte.
class LzssEncoder {
 public:
  LzssEncoder();
  ~LzssEncoder();

  // Writes the stream of `input` to `output` and returns its length. Returns 0
  // and writes nothing when `output` is shorter than
  // LzssWorstCaseSize(input.size()).
  size_t Compress(std::span<const uint8_t> input, std::span<uint8_t> output);

 private:
  std::unique_ptr<LzssWindow> window_;
};

}  // namespace zarno
