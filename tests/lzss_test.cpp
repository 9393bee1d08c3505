#include "skinwright/lzss.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/kit.h"

namespace zarno {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromText(std::string_view text) { return Bytes(text.begin(), text.end()); }

// One item of a stream, with the ring position of its first byte.
struct StreamItem {
  bool literal = false;
  uint32_t ringPosition = 0;
  uint32_t length = 0;
  uint32_t matchPosition = 0;
};

// Splits a stream of `length` input bytes into its items, for checks on the
// encoder's choices; a cut stream gives the items before the cut.
std::vector<StreamItem> ParseItems(const Bytes& stream, size_t length) {
  std::vector<StreamItem> items;
  size_t at = 0;
  size_t made = 0;
  uint32_t flags = 0;
  while (made < length && at < stream.size()) {
    if (items.size() % 8 == 0) flags = stream[at++];
    StreamItem item;
    item.ringPosition = static_cast<uint32_t>((made + 1) % LZSS_RING_SIZE);
    item.literal = (flags >> (items.size() % 8) & 1) != 0;
    if (item.literal) {
      item.length = 1;
      ++at;
    } else if (at + 1 >= stream.size()) {
      break;
    } else {
      item.length = (stream[at] >> 4) + 2u;
      item.matchPosition = (stream[at] & 0xFu) << 8 | stream[at + 1];
      at += 2;
    }
    made += item.length;
    items.push_back(item);
  }
  return items;
}

// The production encoder equals the literal one, and its stream decodes back.
void ExpectSameStreamAndRoundTrip(const Bytes& input, const std::string& what) {
  const Bytes stream = LzssCompress(input);
  const Bytes reference = LzssCompressReference(input);
  ASSERT_EQ(stream, reference) << what << ", length " << input.size();
  ASSERT_LE(stream.size(), LzssWorstCaseSize(input.size())) << what;
  Bytes decoded;
  ASSERT_TRUE(LzssDecode(stream, input.size(), decoded)) << what;
  ASSERT_EQ(decoded, input) << what << ", length " << input.size();
}

// ---- Fixed streams -----------------------------------------------------------

TEST(LzssWorstCaseSize, IsLengthPlusOneFlagBytePerEightBytes) {
  const struct {
    size_t length;
    size_t size;
  } cases[] = {{0, 0}, {1, 2}, {7, 8}, {8, 9}, {9, 11}, {16, 18}, {17, 20}, {4096 * 4096, 4096 * 4096 + 2097152}};
  for (const auto& c : cases) EXPECT_EQ(LzssWorstCaseSize(c.length), c.size) << c.length;
}

struct FixedCase {
  const char* name;
  Bytes input;
  Bytes stream;
};

std::vector<FixedCase> FixedCases() {
  return {
      {"empty", {}, {}},
      {"one letter", FromText("a"), {0x01, 0x61}},
      {"three letters", FromText("abc"), {0x07, 0x61, 0x62, 0x63}},
      {"five a", FromText("aaaaa"), {0x01, 0x61, 0x20, 0x01}},
      {"eighteen a", Bytes(18, 'a'), {0x01, 0x61, 0xF0, 0x01}},
      {"abc three times", FromText("abcabcabc"), {0x07, 0x61, 0x62, 0x63, 0x40, 0x01}},
      {"nine distinct bytes", {0, 1, 2, 3, 4, 5, 6, 7, 8}, {0xFF, 0, 1, 2, 3, 4, 5, 6, 7, 0x01, 8}},
      // The bytes past the input are zeros: the second zero matches them all,
      // and the match is cut to the one byte left, which makes it a literal.
      {"two zeros", {0, 0}, {0x03, 0x00, 0x00}},
      {"three zeros", {0, 0, 0}, {0x01, 0x00, 0x00, 0x01}},
      // Nineteen a: a literal, a match of 17, and the last byte alone as a literal.
      {"nineteen a", Bytes(19, 'a'), {0x05, 0x61, 0xF0, 0x01, 0x61}},
  };
}

TEST(LzssCompress, WritesTheKnownStreams) {
  for (const FixedCase& c : FixedCases()) {
    EXPECT_EQ(LzssCompress(c.input), c.stream) << c.name;
    EXPECT_EQ(LzssCompressReference(c.input), c.stream) << c.name;
    Bytes decoded;
    EXPECT_TRUE(LzssDecode(c.stream, c.input.size(), decoded)) << c.name;
    EXPECT_EQ(decoded, c.input) << c.name;
  }
}

TEST(LzssCompress, ReturnsZeroWhenTheOutputIsTooShort) {
  const Bytes input = FromText("abcdefghi");
  Bytes output(LzssWorstCaseSize(input.size()) - 1, 0xAA);
  EXPECT_EQ(LzssCompress(input, output), 0u);
  EXPECT_EQ(output, Bytes(output.size(), 0xAA));
}

TEST(LzssCompress, FillsTheSpanAndReturnsTheStreamLength) {
  const Bytes input = FromText("abcabcabc");
  Bytes output(LzssWorstCaseSize(input.size()), 0xAA);
  ASSERT_EQ(LzssCompress(input, output), 6u);
  EXPECT_EQ(Bytes(output.begin(), output.begin() + 6), (Bytes{0x07, 0x61, 0x62, 0x63, 0x40, 0x01}));
}

TEST(LzssEncoder, StartsEveryCallFromTheSameState) {
  const Bytes first = MakeTextureImage(64, 64, 1);
  const Bytes second = MakeRandomBytes(5000, 2);
  LzssEncoder encoder;
  Bytes output(LzssWorstCaseSize(5000));
  for (const Bytes* input : {&first, &second, &first, &second}) {
    const size_t length = encoder.Compress(*input, output);
    EXPECT_EQ(Bytes(output.begin(), output.begin() + static_cast<ptrdiff_t>(length)), LzssCompressReference(*input));
  }
}

// ---- The encoder's choices ---------------------------------------------------

TEST(LzssCompress, CodesAnItemAtRingPositionZeroAsALiteral) {
  // Periodic inputs behind a few odd bytes: in some of them an item starts
  // exactly at position 0 after a pass of the ring.
  size_t itemsAtZero = 0;
  for (uint32_t period = 1; period <= 24; ++period) {
    for (uint32_t lead = 0; lead < 4; ++lead) {
      Bytes input(lead, 0xEE);
      while (input.size() < 9000) input.push_back(static_cast<uint8_t>('a' + input.size() % period));
      const Bytes stream = LzssCompress(input);
      for (const StreamItem& item : ParseItems(stream, input.size())) {
        if (item.ringPosition != 0) continue;
        ++itemsAtZero;
        EXPECT_TRUE(item.literal) << "period " << period << ", lead " << lead;
      }
    }
  }
  EXPECT_GT(itemsAtZero, 0u);
}

TEST(LzssCompress, NeverMatchesPastTheEndOfTheInput) {
  for (size_t length = 1; length <= 60; ++length) {
    const Bytes input(length, 'z');
    const std::vector<StreamItem> items = ParseItems(LzssCompress(input), length);
    size_t covered = 0;
    for (const StreamItem& item : items) covered += item.length;
    EXPECT_EQ(covered, length);
    // A run of one byte: one literal, then matches of 17 and a shorter last
    // one, or a lone last byte as a literal. Each match starts one position
    // back: the newest of equal strings replaced the older ones in the tree.
    EXPECT_TRUE(items.front().literal);
    for (size_t i = 1; i < items.size(); ++i) {
      if (items[i].literal) {
        EXPECT_EQ(i, items.size() - 1) << length;
        EXPECT_EQ((length - 1) % 17, 1u) << length;
      } else {
        EXPECT_EQ(items[i].matchPosition, items[i].ringPosition - 1) << length;
        EXPECT_TRUE(items[i].length == 17 || i == items.size() - 1) << length;
      }
    }
  }
}

// ---- Differential tests against the literal encoder --------------------------

TEST(LzssDifferential, RandomBytesOfEveryShortLength) {
  for (size_t length = 0; length <= 1000; ++length) {
    ExpectSameStreamAndRoundTrip(MakeRandomBytes(length, length), "random bytes");
  }
}

// Random bytes over a few symbols: many equal strings, deep trees, nodes with
// two children removed, and nodes replaced by equal ones.
Bytes MakeSmallAlphabetBytes(size_t length, uint32_t symbols, uint64_t seed) {
  FixtureRandom random(seed);
  Bytes bytes(length);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random.Below(symbols));
  return bytes;
}

TEST(LzssDifferential, SmallAlphabetsOfManyLengths) {
  for (size_t length = 0; length <= 600; ++length) {
    for (uint32_t symbols : {2u, 3u, 5u}) {
      ExpectSameStreamAndRoundTrip(MakeSmallAlphabetBytes(length, symbols, length * 7 + symbols), "small alphabet");
    }
  }
}

// Lengths just below and above one and two passes of the ring.
TEST(LzssDifferential, LengthsAroundTheRingSize) {
  for (size_t centre : {size_t{4096}, size_t{8192}}) {
    for (size_t length = centre - 24; length <= centre + 24; ++length) {
      ExpectSameStreamAndRoundTrip(MakeRandomBytes(length, length), "random bytes");
      ExpectSameStreamAndRoundTrip(MakeSmallAlphabetBytes(length, 2, length), "two symbols");
      ExpectSameStreamAndRoundTrip(MakeSmallAlphabetBytes(length, 16, length), "sixteen symbols");
    }
  }
}

TEST(LzssDifferential, PeriodicInputs) {
  for (uint32_t period = 1; period <= 40; ++period) {
    for (size_t length : {size_t{17}, size_t{18}, size_t{35}, size_t{300}, size_t{4095}, size_t{4097}, size_t{4113},
                          size_t{9001}}) {
      const Bytes pattern = MakeRandomBytes(period, period);
      Bytes input(length);
      for (size_t i = 0; i < length; ++i) input[i] = pattern[i % period];
      ExpectSameStreamAndRoundTrip(input, "period " + std::to_string(period));
    }
  }
}

// Runs of one value, of lengths from one byte to far more than a match.
Bytes MakeRuns(size_t length, uint32_t longestRun, uint64_t seed) {
  FixtureRandom random(seed);
  Bytes bytes;
  while (bytes.size() < length) {
    const uint8_t value = static_cast<uint8_t>(random.Below(4));
    const size_t run = 1 + random.Below(longestRun);
    bytes.insert(bytes.end(), std::min(run, length - bytes.size()), value);
  }
  return bytes;
}

TEST(LzssDifferential, LongRuns) {
  for (uint64_t seed = 0; seed < 60; ++seed) {
    const uint32_t longestRun = seed % 3 == 0 ? 20 : seed % 3 == 1 ? 300 : 5000;
    ExpectSameStreamAndRoundTrip(MakeRuns(1000 + seed * 311, longestRun, seed), "runs");
  }
  ExpectSameStreamAndRoundTrip(Bytes(20000, 0), "zeros");
  ExpectSameStreamAndRoundTrip(Bytes(20000, 0xFF), "0xFF");
}

TEST(LzssDifferential, TextureImages) {
  for (size_t side : {size_t{8}, size_t{16}, size_t{31}, size_t{64}, size_t{100}, size_t{128}}) {
    for (uint64_t seed = 0; seed < 8; ++seed) {
      ExpectSameStreamAndRoundTrip(MakeTextureImage(side, side, seed), "texture " + std::to_string(side));
    }
  }
  ExpectSameStreamAndRoundTrip(MakeTextureImage(256, 256, 42), "texture 256");
  ExpectSameStreamAndRoundTrip(MakeTextureImage(512, 512, 43), "texture 512");
  ExpectSameStreamAndRoundTrip(MakeTextureImage(1024, 1024, 44), "texture 1024");
  // Rows as long as the ring: the row above is always just out of reach.
  ExpectSameStreamAndRoundTrip(MakeTextureImage(4096, 48, 45), "texture 4096 wide");
}

// Inputs many times the ring, where old nodes leave the tree as the ring
// turns.
TEST(LzssDifferential, InputsLongerThanTheRing) {
  for (uint64_t seed = 0; seed < 6; ++seed) {
    ExpectSameStreamAndRoundTrip(MakeSmallAlphabetBytes(30000 + seed, 3 + static_cast<uint32_t>(seed), seed), "long");
  }
  ExpectSameStreamAndRoundTrip(MakeRandomBytes(70000, 5), "long random");
}

// ---- Decoder -----------------------------------------------------------------

TEST(LzssDecode, FollowsTheDecodingRule) {
  const struct {
    const char* name;
    Bytes stream;
    Bytes output;
  } cases[] = {
      {"nothing", {}, {}},
      {"literals", {0x07, 'x', 'y', 'z'}, FromText("xyz")},
      // A match may copy bytes it has just written.
      {"overlapping copy", {0x01, 'q', 0x30, 0x01}, FromText("qqqqqq")},
      // Ring positions never written hold zeros.
      {"fresh ring", {0x01, 'q', 0x10, 0x05}, {'q', 0, 0, 0}},
      // Position 4095 and on wraps round to 0, 1, ...
      {"wrapping copy", {0x01, 'w', 0x2F, 0xFF}, {'w', 0, 0, 'w', 0}},
      // Flag bits past the last item are not read.
      {"short last group", {0xFF, 'a'}, FromText("a")},
  };
  for (const auto& c : cases) {
    Bytes output{1, 2, 3};
    ASSERT_TRUE(LzssDecode(c.stream, c.output.size(), output)) << c.name;
    EXPECT_EQ(output, c.output) << c.name;
  }
}

TEST(LzssDecode, StopsInsideAMatchWhenTheOutputIsComplete) {
  Bytes output;
  ASSERT_TRUE(LzssDecode(Bytes{0x01, 'q', 0xF0, 0x01}, 5, output));
  EXPECT_EQ(output, FromText("qqqqq"));
}

TEST(LzssDecode, IgnoresBytesBehindTheLastItem) {
  Bytes output;
  ASSERT_TRUE(LzssDecode(Bytes{0x03, 'a', 'b', 'c', 0x99}, 2, output));
  EXPECT_EQ(output, FromText("ab"));
}

TEST(LzssDecode, FailsOnEveryCutStream) {
  const Bytes input = MakeTextureImage(24, 24, 9);
  const Bytes stream = LzssCompress(input);
  for (size_t cut = 0; cut < stream.size(); ++cut) {
    Bytes output{1, 2, 3};
    EXPECT_FALSE(LzssDecode(std::span(stream).first(cut), input.size(), output)) << cut;
    EXPECT_TRUE(output.empty()) << cut;
  }
}

TEST(LzssDecode, FailsOnAMatchCutAfterItsFirstByte) {
  Bytes output;
  EXPECT_FALSE(LzssDecode(Bytes{0x01, 'q', 0x30}, 6, output));
}

TEST(LzssDecode, RefusesAnOutputNoStreamOfThatLengthCanMake) {
  // Two bytes make at most 16 output bytes; a huge length is refused before
  // anything is allocated.
  Bytes output;
  EXPECT_FALSE(LzssDecode(Bytes{0x00, 0xF0}, 17, output));
  EXPECT_FALSE(LzssDecode(Bytes{0x00, 0xF0}, SIZE_MAX, output));
  EXPECT_TRUE(output.empty());
}

TEST(LzssDecode, DecodesArbitraryBytesWithoutReadingPastThem) {
  for (uint64_t seed = 0; seed < 300; ++seed) {
    const Bytes stream = MakeRandomBytes(seed % 64, seed);
    Bytes output;
    const size_t length = seed * 3;
    const bool decoded = LzssDecode(stream, length, output);
    EXPECT_EQ(output.size(), decoded ? length : 0u) << seed;
  }
}

}  // namespace
}  // namespace zarno
