#include "skinwright/lzss.h"

#include <algorithm>

#include "skinwright/lzss_window.h"

namespace zarno {
namespace {

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

LzssEncoder::LzssEncoder() : window_(std::make_unique<LzssWindow>()) {}

LzssEncoder::~LzssEncoder() = default;

// ---- Coding loop -------------------------------------------------------------

size_t LzssEncoder::Compress(std::span<const uint8_t> input, std::span<uint8_t> output) {
  if (input.empty() || output.size() < LzssWorstCaseSize(input.size())) return 0;
  LzssWindow& window = *window_;
  const size_t lookAhead = std::min<size_t>(input.size(), LZSS_MAX_MATCH);
  window.Reset(input.first(lookAhead));
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
      writer.PutLiteral(window.Byte(r));
    } else {
      writer.PutMatch(matchLength, window.MatchPosition());
      advance = matchLength;
    }
    for (; advance > 0; --advance) {
      const uint32_t behindLookAhead = (r + LZSS_MAX_MATCH) & LZSS_RING_MASK;
      window.Remove(behindLookAhead);
      if (nextInput < input.size()) {
        window.StoreByte(behindLookAhead, input[nextInput++]);
      } else {
        --count;
      }
      r = (r + 1) & LZSS_RING_MASK;
      if (count > 0) matchLength = window.Insert(r);
    }
  }
  return writer.Finish();
}

}  // namespace zarno
