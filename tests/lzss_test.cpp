// The LZSS encoder must write the literal encoder's bytes for every input, fresh or reused.
#include "skinwright/lzss.h"
#include <gtest/gtest.h>
#include "tests/support/kit.h"
namespace zarno {
namespace {
void ExpectAsTheReference(const Bytes& input) {
  static LzssEncoder reused;
  const auto compress = [&](LzssEncoder& encoder) {
    Bytes stream(LzssWorstCaseSize(input.size()));
    return stream.resize(encoder.Compress(input, stream)), stream;
  };
  const Bytes reference = LzssCompressReference(input);
  ASSERT_EQ(std::pair(compress(reused), compress(*std::make_unique<LzssEncoder>())), std::pair(reference, reference))
      << "length " << input.size();
}
Bytes Random(size_t length, uint32_t symbols, uint64_t seed, uint32_t longestRun = 1) {  // runs of bytes < symbols
  FixtureRandom random(seed);
  Bytes bytes;
  while (bytes.size() < length) {
    const size_t run = std::min<size_t>(1 + random.Below(longestRun), length - bytes.size());
    bytes.insert(bytes.end(), run, static_cast<uint8_t>(random.Below(symbols)));
  }
  return bytes;
}
// Few symbols make equal strings and deep trees; odd bytes before a repeat start some items at ring position 0
// after a pass of the ring; the last texture has rows as long as the ring.
TEST(LzssCompress, EqualsTheReference) {
  for (size_t length = 0; length <= 400; ++length)
    for (uint32_t symbols : {2, 3, 5, 256}) ExpectAsTheReference(Random(length, symbols, length * 7 + symbols));
  for (size_t length : {4076, 4095, 4096, 4097, 4113, 4114, 8180, 8191, 8192, 8193, 8209, 8210, 30000, 70001})
    for (uint32_t symbols : {2, 3, 16, 256}) ExpectAsTheReference(Random(length, symbols, length));
  for (uint32_t period = 1; period <= 40; ++period) {
    const Bytes pattern = MakeRandomBytes(period, period);
    for (size_t length : {17, 18, 35, 300, 4097, 9001}) {
      Bytes input(period % 4, 0xEE);
      while (input.size() < length) input.push_back(pattern[input.size() % period]);
      ExpectAsTheReference(input);
    }
  }
  for (uint32_t k = 0; k < 60; ++k) ExpectAsTheReference(Random(1000 + 311 * k, 4, k, 20 + 2 * k * k));
  for (uint32_t oneIn : {3, 8, 32}) {  // zeros with a byte here and there: thousands of strings in one group
    Bytes bytes = Random(60000, 256, oneIn);
    for (uint8_t& byte : bytes) byte = byte % oneIn == 0 ? byte : 0;
    ExpectAsTheReference(bytes);
  }
  for (size_t side : {8, 16, 31, 64, 100, 128})
    for (uint64_t seed = 0; seed < 8; ++seed) ExpectAsTheReference(MakeTextureImage(side, side, seed));
  ExpectAsTheReference(MakeTextureImage(512, 512, 43)), ExpectAsTheReference(MakeTextureImage(4096, 48, 45));
  Bytes output(LzssWorstCaseSize(9) - 1, 0xAA);  // too short: nothing is written
  EXPECT_EQ(std::make_unique<LzssEncoder>()->Compress(Bytes(9, 'x'), output), 0u);
  EXPECT_EQ(output, Bytes(output.size(), 0xAA));
}
}  // namespace
}  // namespace zarno
