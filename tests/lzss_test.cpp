// The LZSS encoder must write the literal reference encoder's bytes for every
// input; the decoder must give every input back from them.
#include "skinwright/lzss.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/lzss_reference.h"
#include "tests/support/texture_images.h"

namespace zarno {
namespace {

using Bytes = std::vector<uint8_t>;

void ExpectAsTheReference(const Bytes& input, const std::string& what) {
  static LzssEncoder reused;  // every call starts from the same state
  const Bytes reference = LzssCompressReference(input);
  ASSERT_EQ(LzssCompress(input), reference) << what << ", length " << input.size();
  Bytes stream(LzssWorstCaseSize(input.size()));
  stream.resize(reused.Compress(input, stream));
  ASSERT_EQ(stream, reference) << what << ", length " << input.size() << ", reused encoder";
  Bytes decoded;
  ASSERT_TRUE(LzssDecode(reference, input.size(), decoded)) << what;
  ASSERT_EQ(decoded, input) << what << ", length " << input.size();
}

// Bytes below `symbols`: many equal strings, deep trees, nodes with two
// children removed and nodes replaced by equal ones.
Bytes SmallAlphabet(size_t length, uint32_t symbols, uint64_t seed) {
  FixtureRandom random(seed);
  Bytes bytes(length);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random.Below(symbols));
  return bytes;
}

// Runs of four values, from one byte to far more than a match long.
Bytes Runs(size_t length, uint32_t longestRun, uint64_t seed) {
  FixtureRandom random(seed);
  Bytes bytes;
  while (bytes.size() < length) {
    const uint8_t value = static_cast<uint8_t>(random.Below(4));
    bytes.insert(bytes.end(), std::min<size_t>(1 + random.Below(longestRun), length - bytes.size()), value);
  }
  return bytes;
}

TEST(LzssCompress, WritesTheKnownStreams) {
  const std::pair<Bytes, Bytes> cases[] = {
      {{'a'}, {0x01, 'a'}},
      {Bytes(5, 'a'), {0x01, 'a', 0x20, 0x01}},
      {{'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c'}, {0x07, 'a', 'b', 'c', 0x40, 0x01}},
      {{0, 0}, {0x03, 0, 0}},  // the match of the zeros behind the input is cut to one byte: a literal
      {Bytes(19, 'a'), {0x05, 'a', 0xF0, 0x01, 'a'}},
  };
  for (const auto& [input, stream] : cases) {
    EXPECT_EQ(LzssCompress(input), stream);
    EXPECT_EQ(LzssCompressReference(input), stream);
  }
  Bytes output(LzssWorstCaseSize(9) - 1, 0xAA);
  EXPECT_EQ(LzssCompress(Bytes(9, 'x'), output), 0u);
  EXPECT_EQ(output, Bytes(output.size(), 0xAA));
  EXPECT_TRUE(LzssCompress(Bytes{}).empty());
}

TEST(LzssCompress, EqualsTheReferenceOnShortInputs) {
  for (size_t length = 0; length <= 400; ++length) {
    ExpectAsTheReference(MakeRandomBytes(length, length), "random");
    for (uint32_t symbols : {2u, 3u, 5u}) ExpectAsTheReference(SmallAlphabet(length, symbols, length * 7 + symbols), "few symbols");
  }
}

TEST(LzssCompress, EqualsTheReferenceAroundTheRingSize) {
  for (size_t centre : {size_t{4096}, size_t{8192}}) {
    for (size_t length = centre - 20; length <= centre + 20; ++length) {
      ExpectAsTheReference(MakeRandomBytes(length, length), "random");
      ExpectAsTheReference(SmallAlphabet(length, 2, length), "two symbols");
      ExpectAsTheReference(SmallAlphabet(length, 16, length), "sixteen symbols");
    }
  }
}

// Repeats behind a few odd bytes; in some of them an item starts at ring
// position 0 after a pass of the ring.
TEST(LzssCompress, EqualsTheReferenceOnRepeats) {
  for (uint32_t period = 1; period <= 40; ++period) {
    const Bytes pattern = MakeRandomBytes(period, period);
    for (size_t length : {17, 18, 35, 300, 4097, 9001}) {
      Bytes input(period % 4, 0xEE);
      while (input.size() < length) input.push_back(pattern[input.size() % period]);
      ExpectAsTheReference(input, "period " + std::to_string(period));
    }
  }
}

TEST(LzssCompress, EqualsTheReferenceOnRunsAndLongInputs) {
  for (uint64_t seed = 0; seed < 60; ++seed) {
    ExpectAsTheReference(Runs(1000 + seed * 311, seed % 3 == 0 ? 20 : seed % 3 == 1 ? 300 : 5000, seed), "runs");
  }
  for (uint64_t seed = 0; seed < 4; ++seed) {
    ExpectAsTheReference(SmallAlphabet(30000 + seed, 3 + static_cast<uint32_t>(seed), seed), "long, few symbols");
  }
  ExpectAsTheReference(Bytes(20000, 0), "zeros");
  ExpectAsTheReference(Bytes(20000, 0xFF), "0xFF");
  ExpectAsTheReference(MakeRandomBytes(70000, 5), "long random");
}

TEST(LzssCompress, EqualsTheReferenceOnTextures) {
  for (size_t side : {8, 16, 31, 64, 100, 128}) {
    for (uint64_t seed = 0; seed < 8; ++seed) ExpectAsTheReference(MakeTextureImage(side, side, seed), "texture");
  }
  ExpectAsTheReference(MakeTextureImage(256, 256, 42), "texture 256");
  ExpectAsTheReference(MakeTextureImage(512, 512, 43), "texture 512");
  ExpectAsTheReference(MakeTextureImage(4096, 48, 45), "rows as long as the ring");
}

TEST(LzssDecode, StopsWhenTheOutputIsWholeAndFailsWhenTheStreamEndsBefore) {
  Bytes output;
  ASSERT_TRUE(LzssDecode(Bytes{0x01, 'q', 0xF0, 0x01}, 5, output));  // inside a match
  EXPECT_EQ(output, Bytes(5, 'q'));
  ASSERT_TRUE(LzssDecode(Bytes{0x03, 'a', 'b', 'c', 0x99}, 2, output));  // bytes behind are ignored
  EXPECT_EQ(output, (Bytes{'a', 'b'}));
  EXPECT_FALSE(LzssDecode(Bytes{0x00, 0xF0}, SIZE_MAX, output));  // refused before anything is made
  EXPECT_TRUE(output.empty());
  const Bytes input = MakeTextureImage(24, 24, 9), stream = LzssCompress(input);
  for (size_t cut = 0; cut < stream.size(); ++cut) {
    output = {1, 2, 3};
    EXPECT_FALSE(LzssDecode(std::span(stream).first(cut), input.size(), output)) << cut;
    EXPECT_TRUE(output.empty()) << cut;
  }
  for (uint64_t seed = 0; seed < 300; ++seed) {  // arbitrary streams: never a byte read past them
    const bool decoded = LzssDecode(MakeRandomBytes(seed % 64, seed), seed * 3, output);
    EXPECT_EQ(output.size(), decoded ? seed * 3 : 0u) << seed;
  }
}

}  // namespace
}  // namespace zarno
