#include "zarnoscope/lzss_decoder.h"

#include <cstring>

#include "skinwright/lzss.h"

namespace zarno {
namespace {

// Copies `length` bytes that lie `distance` bytes back (1 ... 4096) to
// output[at], byte by byte where the two overlap; bytes before the output's
// start are the ring's initial zeros.
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

}  // namespace

LzssDecodeResult LzssDecode(std::span<const uint8_t> stream, std::span<uint8_t> output) {
  size_t in = 0, out = 0;
  while (out < output.size()) {
    if (in >= stream.size()) return {LzssDecodeOutcome::kStreamTooShort, out, in};
    const uint8_t flags = stream[in++];
    for (uint32_t item = 0; item < LZSS_GROUP_ITEMS && out < output.size(); ++item) {
      if (in >= stream.size()) return {LzssDecodeOutcome::kStreamTooShort, out, in};
      if ((flags >> item) & 1) {
        output[out++] = stream[in++];
        continue;
      }
      if (in + 1 >= stream.size()) return {LzssDecodeOutcome::kStreamTooShort, out, stream.size()};
      const uint32_t high = stream[in], low = stream[in + 1];
      in += 2;
      const size_t length = (high >> LZSS_LENGTH_SHIFT) + LZSS_MIN_MATCH;
      const uint32_t position = ((high & LZSS_POSITION_HIGH_MASK) << 8) | low;
      if (length > output.size() - out) return {LzssDecodeOutcome::kMatchPastEnd, out, in};
      // The write position of output byte j is (j + 1) % 4096.
      const uint32_t writePosition = (out + LZSS_FIRST_POSITION) & LZSS_RING_MASK;
      const size_t distance = ((writePosition - position - 1) & LZSS_RING_MASK) + 1;
      CopyMatch(output, out, distance, length);
      out += length;
    }
  }
  const auto outcome = in == stream.size() ? LzssDecodeOutcome::kExact : LzssDecodeOutcome::kBytesLeftOver;
  return {outcome, out, in};
}

}  // namespace zarno
