#include "zarnoscope/lzss_decoder.h"

#include <cstring>

#include "skinwright/lzss.h"

namespace zarno {
namespace {

// A group's items need at most this many stream bytes behind its flag byte,
// and make at most this many bytes.
constexpr size_t kGroupStreamBytes = 2 * LZSS_GROUP_ITEMS;
constexpr size_t kGroupOutputBytes = LZSS_MAX_MATCH * LZSS_GROUP_ITEMS;
// The fast copies below write up to this many bytes past a match's end.
constexpr size_t kCopySlack = 32 - LZSS_MIN_MATCH;

// The distance back to a match's ring position from output byte `at`, whose
// write position is (at + 1) % 4096: 1 ... 4096.
inline size_t MatchDistance(size_t at, uint32_t position) {
  const uint32_t writePosition = (at + LZSS_FIRST_POSITION) & LZSS_RING_MASK;
  return ((writePosition - position - 1) & LZSS_RING_MASK) + 1;
}

// Copies `length` bytes that lie `distance` bytes back to output[at], byte by
// byte where the two overlap; bytes before the output's start are the ring's
// initial zeros. Writes nothing past the match.
void CopyMatch(std::span<uint8_t> output, size_t at, size_t distance, size_t length) {
  size_t k = 0;
  for (; k < length && at + k < distance; ++k) output[at + k] = 0;
  if (k == length) return;
  uint8_t* to = output.data() + at + k;
  const uint8_t* from = output.data() + (at + k - distance);
  if (distance >= length) {
    std::memcpy(to, from, length - k);
    return;
  }
  for (; k < length; ++k) *to++ = *from++;
}

// The same for a match that lies wholly inside the output, with kCopySlack
// bytes of room behind it, in fixed-size blocks: each block reads only bytes
// that earlier blocks (or earlier items) wrote.
inline void CopyMatchWithSlack(uint8_t* to, size_t distance, size_t length) {
  const uint8_t* from = to - distance;
  if (distance >= 16) {
    std::memcpy(to, from, 16);
    std::memcpy(to + 16, from + 16, 16);
  } else if (distance >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + 8, from + 8, 8);
    std::memcpy(to + 16, from + 16, 8);
  } else if (distance == 1) {
    std::memset(to, *from, 24);
  } else {
    for (size_t k = 0; k < length; ++k) to[k] = from[k];
  }
}

struct Cursor {
  size_t in, out;
};

// Decodes one whole group with room to spare in both spans: no item can run
// past either end.
inline void DecodeRoomyGroup(std::span<const uint8_t> stream, std::span<uint8_t> output, Cursor& at) {
  const uint8_t* from = stream.data() + at.in;
  uint8_t* to = output.data();
  const uint32_t flags = *from++;
  size_t out = at.out;
  for (uint32_t item = 0; item < LZSS_GROUP_ITEMS; ++item) {
    if ((flags >> item) & 1) {
      to[out++] = *from++;
      continue;
    }
    const uint32_t high = from[0], low = from[1];
    from += 2;
    const size_t length = (high >> LZSS_LENGTH_SHIFT) + LZSS_MIN_MATCH;
    const size_t distance = MatchDistance(out, ((high & LZSS_POSITION_HIGH_MASK) << 8) | low);
    if (out < distance) {
      CopyMatch(output, out, distance, length);
    } else {
      CopyMatchWithSlack(to + out, distance, length);
    }
    out += length;
  }
  at = {static_cast<size_t>(from - stream.data()), out};
}

}  // namespace

LzssDecodeResult LzssDecode(std::span<const uint8_t> stream, std::span<uint8_t> output) {
  Cursor at{0, 0};
  while (at.out < output.size()) {
    if (at.in + 1 + kGroupStreamBytes <= stream.size() &&
        at.out + kGroupOutputBytes + kCopySlack <= output.size()) {
      DecodeRoomyGroup(stream, output, at);
      continue;
    }
    if (at.in >= stream.size()) return {LzssDecodeOutcome::kStreamTooShort, at.out, at.in};
    const uint8_t flags = stream[at.in++];
    for (uint32_t item = 0; item < LZSS_GROUP_ITEMS && at.out < output.size(); ++item) {
      if (at.in >= stream.size()) return {LzssDecodeOutcome::kStreamTooShort, at.out, at.in};
      if ((flags >> item) & 1) {
        output[at.out++] = stream[at.in++];
        continue;
      }
      if (at.in + 1 >= stream.size()) return {LzssDecodeOutcome::kStreamTooShort, at.out, stream.size()};
      const uint32_t high = stream[at.in], low = stream[at.in + 1];
      at.in += 2;
      const size_t length = (high >> LZSS_LENGTH_SHIFT) + LZSS_MIN_MATCH;
      if (length > output.size() - at.out) return {LzssDecodeOutcome::kMatchPastEnd, at.out, at.in};
      CopyMatch(output, at.out, MatchDistance(at.out, ((high & LZSS_POSITION_HIGH_MASK) << 8) | low), length);
      at.out += length;
    }
  }
  const auto outcome = at.in == stream.size() ? LzssDecodeOutcome::kExact : LzssDecodeOutcome::kBytesLeftOver;
  return {outcome, at.out, at.in};
}

}  // namespace zarno
