// LZSS: every input compressed and decoded again must come back unchanged,
// the stream must be the very one the plain reference encoder writes, and no
// longer than a stream of literals; an encoder kept from earlier inputs must
// write the same bytes as a fresh one. The input read as a stream must decode
// without fault, whatever it holds.
#include <cstdint>
#include <span>
#include <vector>

#include "skinwright/lzss.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/lzss_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zarno;
  const std::span<const uint8_t> input(data, size);
  static LzssEncoder reusedEncoder;
  std::vector<uint8_t> stream(LzssWorstCaseSize(size));
  stream.resize(reusedEncoder.Compress(input, stream));
  FuzzCheck(size == 0 || !stream.empty(), "a non-empty input gives a stream");
  FuzzCheck(stream.size() <= LzssWorstCaseSize(size), "no stream is longer than its literals");
  FuzzCheck(stream == LzssCompressReference(input), "the stream is the reference encoder's");

  std::vector<uint8_t> decoded;
  FuzzCheck(LzssDecode(stream, size, decoded), "the stream decodes");
  FuzzCheck(decoded == std::vector<uint8_t>(input.begin(), input.end()), "decoding gives the input back");

  // The input as a stream, asked for up to four times its length.
  std::vector<uint8_t> anything;
  const bool complete = LzssDecode(input, 4 * size, anything);
  FuzzCheck(complete ? anything.size() == 4 * size : anything.empty(), "a decode is whole or empty");
  return 0;
}
