#include "core/byte_stream.h"

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace zarno {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ByteReaderTest, ReadsLittleEndianValuesInOrder) {
  const Bytes bytes = {0xAB, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0x3F};
  ByteReader reader(bytes);
  EXPECT_EQ(reader.ReadByte(), 0xAB);
  EXPECT_EQ(reader.ReadShort(), 0x1234);
  EXPECT_EQ(reader.ReadLong(), 0x12345678u);
  EXPECT_EQ(reader.ReadFloat(), 1.0f);
  EXPECT_FALSE(reader.ReadPastEnd());
}

TEST(ByteReaderTest, ValuesWithTheHighBitSetStayUnsigned) {
  const Bytes bytes = {0xFF, 0xFE, 0xFF, 0xFE, 0xFF, 0xFF};
  ByteReader reader(bytes);
  EXPECT_EQ(reader.ReadShort(), 0xFEFF);
  EXPECT_EQ(reader.ReadLong(), 0xFFFFFEFFu);
}

// What each reader yields once the buffer cannot supply its whole value.
struct PastEndCase {
  const char* name;
  size_t bytesLeft;
  uint32_t (*read)(ByteReader&);
  uint32_t expected;
};

uint32_t ReadByteValue(ByteReader& r) { return r.ReadByte(); }
uint32_t ReadShortValue(ByteReader& r) { return r.ReadShort(); }
uint32_t ReadLongValue(ByteReader& r) { return r.ReadLong(); }
uint32_t ReadFloatBits(ByteReader& r) { return std::bit_cast<uint32_t>(r.ReadFloat()); }

TEST(ByteReaderTest, PastTheEndYieldsTheStreamDefaults) {
  const PastEndCase cases[] = {
      {"byte at end", 0, ReadByteValue, 0xFF},
      {"short at end", 0, ReadShortValue, 0},
      {"short with one byte left", 1, ReadShortValue, 0},
      {"long at end", 0, ReadLongValue, 0},
      {"long with two bytes left", 2, ReadLongValue, 0},
      {"long with three bytes left", 3, ReadLongValue, 0},
      {"float at end", 0, ReadFloatBits, 0},
      {"float with one byte left", 1, ReadFloatBits, 0},
  };
  for (const PastEndCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes(4 + c.bytesLeft, 0x77);
    ByteReader reader(bytes);
    reader.ReadLong();
    ASSERT_FALSE(reader.ReadPastEnd());
    EXPECT_EQ(c.read(reader), c.expected);
    EXPECT_TRUE(reader.ReadPastEnd());
    // The cut-off value's bytes are used up: the next byte is past the end.
    EXPECT_EQ(reader.ReadByte(), 0xFF);
  }
}

TEST(ByteReaderTest, ReadingExactlyToTheEndIsNotPastIt) {
  const Bytes bytes = {1, 2, 3, 4};
  ByteReader reader(bytes);
  reader.ReadLong();
  EXPECT_FALSE(reader.ReadPastEnd());
}

TEST(ByteReaderTest, SeekAndSkipPastTheEndMakeLaterReadsShort) {
  const Bytes bytes = {1, 2, 3, 4, 5, 6};
  ByteReader reader(bytes);
  reader.Seek(4);
  EXPECT_EQ(reader.ReadShort(), 0x0605);
  reader.Seek(100);
  EXPECT_FALSE(reader.ReadPastEnd());
  EXPECT_EQ(reader.ReadLong(), 0u);
  EXPECT_TRUE(reader.ReadPastEnd());

  ByteReader skipping(bytes);
  skipping.Skip(5);
  EXPECT_EQ(skipping.ReadByte(), 6);
  skipping.Skip(1);
  EXPECT_EQ(skipping.ReadByte(), 0xFF);
  EXPECT_TRUE(skipping.ReadPastEnd());
}

TEST(ByteReaderTest, EmptyBufferIsPastTheEndAtOnce) {
  ByteReader reader(std::span<const uint8_t>{});
  EXPECT_EQ(reader.Size(), 0u);
  EXPECT_EQ(reader.ReadByte(), 0xFF);
  EXPECT_TRUE(reader.ReadPastEnd());
}

TEST(ByteWriterTest, WritesLowBitsLittleEndian) {
  ByteWriter writer;
  writer.WriteByte(0x1234);
  writer.WriteShort(0xABCD1234);
  writer.WriteLong(0x89ABCDEF);
  writer.WriteFloatBits(-2.0f);
  writer.WriteBytes(Bytes{9, 8});
  writer.WriteBytes(Bytes{});
  EXPECT_EQ(writer.Bytes().size(), 13u);
  EXPECT_EQ(writer.TakeBytes(),
            (Bytes{0x34, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 0x00, 0x00, 0x00, 0xC0, 9, 8}));
  EXPECT_TRUE(writer.Bytes().empty());
}

TEST(ByteWriterTest, GrowsPastAReservationAndKeepsOnlyWhatWasWritten) {
  for (size_t reserved : {0, 3, 4, 1000}) {
    SCOPED_TRACE(reserved);
    ByteWriter writer;
    writer.Reserve(reserved);
    Bytes expected;
    for (uint32_t i = 0; i < 250; ++i) {
      writer.WriteLong(i * 0x01010101u);
      writer.WriteByte(i);
      for (int k = 0; k < 4; ++k) expected.push_back(static_cast<uint8_t>(i));
      expected.push_back(static_cast<uint8_t>(i));
    }
    EXPECT_EQ(Bytes(writer.Bytes().begin(), writer.Bytes().end()), expected);
    EXPECT_EQ(writer.TakeBytes(), expected);
  }
}

TEST(ByteReaderTest, ReadBytesFillsWhatIsPastTheEndAsReadByteWould) {
  const Bytes bytes = {1, 2, 3, 4, 5};
  ByteReader reader(bytes);
  std::array<uint8_t, 3> block{};
  reader.ReadBytes(block);
  EXPECT_EQ(block, (std::array<uint8_t, 3>{1, 2, 3}));
  EXPECT_FALSE(reader.ReadPastEnd());
  reader.ReadBytes(block);
  EXPECT_EQ(block, (std::array<uint8_t, 3>{4, 5, 0xFF}));
  EXPECT_TRUE(reader.ReadPastEnd());
  reader.ReadBytes(block);
  EXPECT_EQ(block, (std::array<uint8_t, 3>{0xFF, 0xFF, 0xFF}));
}

TEST(ByteWriterTest, FloatsGoBackBitForBit) {
  // Negative zero, a denormal, a quiet NaN with payload, a signalling NaN,
  // infinity and an ordinary value.
  const uint32_t patterns[] = {0x80000000, 0x00000001, 0x7FC01234, 0x7F800001,
                               0xFF800000, 0x41200000};
  for (uint32_t pattern : patterns) {
    SCOPED_TRACE(pattern);
    Bytes bytes(4);
    StoreLong(bytes.data(), pattern);
    ByteReader reader(bytes);
    ByteWriter writer;
    writer.WriteFloatBits(reader.ReadFloat());
    EXPECT_EQ(writer.TakeBytes(), bytes);
  }
}

TEST(ByteBufferTest, LoadAndStoreHelpersAreLittleEndian) {
  uint8_t buffer[6] = {};
  StoreShort(buffer, 0x12345678);
  StoreLong(buffer + 2, 0xA1B2C3D4);
  EXPECT_EQ(buffer[0], 0x78);
  EXPECT_EQ(buffer[1], 0x56);
  EXPECT_EQ(buffer[2], 0xD4);
  EXPECT_EQ(buffer[5], 0xA1);
  EXPECT_EQ(LoadShort(buffer), 0x5678);
  EXPECT_EQ(LoadLong(buffer + 2), 0xA1B2C3D4u);
}

}  // namespace
}  // namespace zarno
