// LZSS: every input compressed (by an encoder kept across inputs) is the
// reference encoder's stream, no longer than literals, and decodes back; the
// input read as a stream decodes whole or not at all, without fault.
#include "skinwright/lzss.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/kit.h"

using namespace zarno;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static LzssEncoder reusedEncoder;
  const std::span<const uint8_t> input(data, size);
  std::vector<uint8_t> stream(LzssWorstCaseSize(size));
  stream.resize(reusedEncoder.Compress(input, stream));
  FuzzCheck(size == 0 || !stream.empty(), "a non-empty input gives a stream");
  FuzzCheck(stream == LzssCompressReference(input), "the stream is the reference encoder's");
  std::vector<uint8_t> decoded;
  FuzzCheck(LzssDecode(stream, size, decoded) && decoded == std::vector<uint8_t>(data, data + size), "round trip");
  std::vector<uint8_t> anything;
  const bool complete = LzssDecode(input, 4 * size, anything);
  FuzzCheck(complete ? anything.size() == 4 * size : anything.empty(), "a decode is whole or empty");
  return 0;
}
