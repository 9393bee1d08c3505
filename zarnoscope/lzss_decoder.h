// Reading the texture store's LZSS streams back into pixels. The host reads
// them with a 4096-byte ring that starts zeroed and a write position that
// starts at 1; a match copies ring bytes from its absolute position on, each
// byte stored as soon as it is produced. Since ring position p always holds
// the latest output byte j with (j + 1) % 4096 == p (or 0 before the first
// one), the decoder copies from its own output instead of keeping a ring.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zarno {

enum class LzssDecodeOutcome {
  kExact,          // the stream made exactly the output's length, using every byte
  kStreamTooShort, // the stream ended before the output was full
  kMatchPastEnd,   // a match runs past the end of the output
  kBytesLeftOver,  // the output was full before the stream ended
};

struct LzssDecodeResult {
  LzssDecodeOutcome outcome;
  size_t produced;  // bytes of output written
  size_t consumed;  // bytes of the stream read
};

// Decodes `stream` into `output`, whose length is the number of bytes the
// stream must make; never reads or writes outside either span. Bytes of
// `output` past the ones produced may change too.
LzssDecodeResult LzssDecode(std::span<const uint8_t> stream, std::span<uint8_t> output);

}  // namespace zarno
