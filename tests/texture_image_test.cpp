#include "skinwright/texture_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"
#include "tests/support/header_builder.h"
#include "tests/support/recording_platform.h"
#include "tests/support/texture_images.h"

namespace zarno {
namespace {

using Bytes = std::vector<uint8_t>;

// An exactly sized copy of the first `length` bytes, so that a read past
// its end lands outside the allocation, where the address sanitizer sees it.
Bytes ExactPrefix(const Bytes& bytes, size_t length) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

void SetPaletteFrom(PaletteRecord& record, const PaletteSpec& palette) {
  for (size_t i = 0; i < kPaletteEntries; ++i) {
    record.red[i] = palette.entries[i][0];
    record.green[i] = palette.entries[i][1];
    record.blue[i] = palette.entries[i][2];
    record.alpha[i] = palette.entries[i][3];
  }
  record.palWord0 = palette.palWord0;
  record.palWord1 = palette.palWord1;
}

// Holds the 14 palettes of the standard database, as the reader leaves them.
void LoadStandardPalettes(HeaderDatabase& db) {
  const HeaderSpec recipe = StandardHeaderSpec();
  for (size_t k = 0; k < recipe.palettes.size(); ++k) SetPaletteFrom(db.PaletteTable[k], recipe.palettes[k]);
  db.paletteCount = static_cast<uint32_t>(recipe.palettes.size());
}

// A 16 × 16 image whose pixel in row r, column c is 16r + c.
BmpSpec NumberedBmp() {
  BmpSpec recipe = StandardTextureBmp(16, 16, 0, 1);
  for (size_t r = 0; r < 16; ++r) {
    for (size_t c = 0; c < 16; ++c) recipe.rows[r][c] = static_cast<uint8_t>(16 * r + c);
  }
  return recipe;
}

Bytes Flatten(const std::vector<std::vector<uint8_t>>& rows) {
  Bytes flat;
  for (const auto& row : rows) flat.insert(flat.end(), row.begin(), row.end());
  return flat;
}

// Limits of a small Skinwright-like database, for tests of a full palette table.
HeaderLimits LimitsWithPalettes(uint32_t paletteLimit, uint32_t paletteCapacity) {
  HeaderLimits limits = kSkinwrightLimits;
  limits.paletteLimit = paletteLimit;
  limits.paletteCapacity = paletteCapacity;
  limits.textureLimit = limits.textureCapacity = 10;
  limits.parentLimit = limits.parentCapacity = 10;
  limits.lodLimit = limits.lodCapacity = 10;
  return limits;
}

class TextureImageTest : public ::testing::Test {
 protected:
  TextureImageTest() : db_(LimitsWithPalettes(2000, 2002)) { LoadStandardPalettes(db_); }
  HeaderDatabase db_;
};

// ---- DibColorCount ---------------------------------------------------------

struct ColorCountCase {
  const char* name;
  uint32_t infoHeaderSize;
  uint16_t bitCount;
  uint32_t clrUsed;
  uint16_t expected;
};

TEST(DibColorCountTest, CountsByHeaderKindClrUsedAndBitCount) {
  const ColorCountCase cases[] = {
      {"8-bit", 40, 8, 0, 256},
      {"4-bit", 40, 4, 0, 16},
      {"1-bit", 40, 1, 0, 2},
      {"24-bit", 40, 24, 0, 0},
      {"16-bit", 40, 16, 0, 0},
      {"clrUsed 255 of 8-bit", 40, 8, 255, 255},
      {"clrUsed 1", 40, 8, 1, 1},
      {"clrUsed 300, above 256", 40, 8, 300, 300},
      {"clrUsed cut to its low 16 bits", 40, 8, 0x1'0005, 5},
      {"clrUsed 0x10000 cuts to 0", 40, 8, 0x1'0000, 0},
      {"clrUsed of a 24-bit image", 40, 24, 7, 7},
      {"larger header, by clrUsed", 108, 8, 20, 20},
      {"core header, 8-bit", 12, 8, 0, 256},
      {"core header, 4-bit", 12, 4, 0, 16},
      {"core header, 24-bit", 12, 24, 0, 0},
  };
  for (const ColorCountCase& c : cases) {
    BmpSpec recipe;
    recipe.fileHeader = false;
    recipe.infoHeaderSize = c.infoHeaderSize;
    recipe.bitCount = c.bitCount;
    recipe.clrUsed = c.clrUsed;
    EXPECT_EQ(DibColorCount(BuildBmpFile(recipe)), c.expected) << c.name;
  }
}

TEST(DibColorCountTest, TooShortHeaderCountsNothing) {
  BmpSpec recipe;
  recipe.fileHeader = false;
  recipe.colors.clear();
  const Bytes info = BuildBmpFile(recipe);
  for (size_t length = 0; length < 36; ++length) {
    EXPECT_EQ(DibColorCount(ExactPrefix(info, length)), 0) << "length " << length;
  }
  EXPECT_EQ(DibColorCount(ExactPrefix(info, 36)), 256);

  recipe.infoHeaderSize = 12;
  const Bytes core = BuildBmpFile(recipe);
  EXPECT_EQ(DibColorCount(ExactPrefix(core, 11)), 0);
  EXPECT_EQ(DibColorCount(ExactPrefix(core, 12)), 256);
}

// ---- ReadBitmapFormat --------------------------------------------------------

struct FormatCase {
  const char* name;
  std::function<void(BmpSpec&)> change;
  uint32_t colorCount;
  int32_t width;
  int32_t height;
};

TEST(ReadBitmapFormatTest, CountsByBitCountAndCompressionAlone) {
  const FormatCase cases[] = {
      {"8-bit", [](BmpSpec&) {}, 256, 16, 16},
      {"no file header", [](BmpSpec& s) { s.fileHeader = false; }, 256, 16, 16},
      {"8-bit run-length coded", [](BmpSpec& s) { s.compression = 1; }, 0, 16, 16},
      {"compression with only high bits", [](BmpSpec& s) { s.compression = 0x1'0000; }, 256, 16, 16},
      {"24-bit", [](BmpSpec& s) { s.bitCount = 24; }, 0, 16, 16},
      {"4-bit", [](BmpSpec& s) { s.bitCount = 4; }, 16, 16, 16},
      {"1-bit", [](BmpSpec& s) { s.bitCount = 1; }, 2, 16, 16},
      {"clrUsed plays no part", [](BmpSpec& s) { s.clrUsed = 16; }, 256, 16, 16},
      {"size as stored", [](BmpSpec& s) { s.width = 32; s.height = -64; }, 256, 32, -64},
      {"huge size", [](BmpSpec& s) { s.width = 0x7FFF'FFFF; s.height = 0x7FFF'FFFF; }, 256,
       0x7FFF'FFFF, 0x7FFF'FFFF},
      {"core header", [](BmpSpec& s) { s.infoHeaderSize = 12; }, 0, 0, 0},
      {"core header without file header", [](BmpSpec& s) { s.infoHeaderSize = 12; s.fileHeader = false; },
       0, 0, 0},
      {"108-byte header", [](BmpSpec& s) { s.infoHeaderSize = 108; }, 0, 0, 0},
      {"header size 0", [](BmpSpec& s) { s.infoHeaderSize = 0; }, 0, 0, 0},
      {"information header cut short", [](BmpSpec& s) { s.truncateTo = 14 + 39; }, 0, 0, 0},
      {"information header ending the file",
       [](BmpSpec& s) { s.width = 64; s.height = 128; s.truncateTo = 14 + 40; }, 256, 64, 128},
  };
  for (const FormatCase& c : cases) {
    BmpSpec recipe;
    c.change(recipe);
    const BitmapFormat format = ReadBitmapFormat(BuildBmpFile(recipe));
    EXPECT_EQ(format.colorCount, c.colorCount) << c.name;
    EXPECT_EQ(format.width, c.width) << c.name;
    EXPECT_EQ(format.height, c.height) << c.name;
  }
}

// ---- CheckTextureBitmap --------------------------------------------------------

struct DefectCase {
  const char* name;
  std::function<void(BmpSpec&)> change;
  BitmapDefect expected;
};

void DropLastColors(BmpSpec& recipe, size_t count) { recipe.colors.resize(recipe.colors.size() - count); }

TEST(CheckTextureBitmapTest, FindsTheFirstDefect) {
  const DefectCase cases[] = {
      {"well-formed", [](BmpSpec&) {}, BitmapDefect::kNone},
      {"no file header", [](BmpSpec& s) { s.fileHeader = false; }, BitmapDefect::kNone},
      {"bytes after the rows", [](BmpSpec& s) { s.rows.back().push_back(0); }, BitmapDefect::kNone},
      {"taller than wide", [](BmpSpec& s) { s = StandardTextureBmp(16, 40, 3, 9); }, BitmapDefect::kNone},
      {"clrUsed 256", [](BmpSpec& s) { s.clrUsed = 256; }, BitmapDefect::kNone},
      {"clrUsed 300 with 300 entries",
       [](BmpSpec& s) { s.clrUsed = 300; s.colors.resize(300); }, BitmapDefect::kNone},
      {"empty file", [](BmpSpec& s) { s.truncateTo = 0; }, BitmapDefect::kTruncated},
      {"only the magic", [](BmpSpec& s) { s.truncateTo = 2; }, BitmapDefect::kTruncated},
      {"information header cut", [](BmpSpec& s) { s.truncateTo = 14 + 20; }, BitmapDefect::kTruncated},
      {"colour table cut", [](BmpSpec& s) { s.truncateTo = 14 + 40 + 1023; }, BitmapDefect::kTruncated},
      {"long colour table cut",
       [](BmpSpec& s) { s.clrUsed = 300; s.colors.resize(300); s.rows.clear(); s.truncateTo = 14 + 40 + 1199; },
       BitmapDefect::kTruncated},
      {"last pixel missing", [](BmpSpec& s) { s.rows.front().pop_back(); }, BitmapDefect::kTruncated},
      {"no pixel rows", [](BmpSpec& s) { s.rows.clear(); }, BitmapDefect::kTruncated},
      {"huge size, tiny file", [](BmpSpec& s) { s.width = 0x7FFF'FFFF; s.height = 0x7FFF'FFFF; },
       BitmapDefect::kTruncated},
      {"65536 x 65536, tiny file", [](BmpSpec& s) { s.width = 65536; s.height = 65536; },
       BitmapDefect::kTruncated},
      {"core header", [](BmpSpec& s) { s.infoHeaderSize = 12; }, BitmapDefect::kNotEightBit},
      {"108-byte header", [](BmpSpec& s) { s.infoHeaderSize = 108; }, BitmapDefect::kNotEightBit},
      {"header size 41", [](BmpSpec& s) { s.infoHeaderSize = 41; }, BitmapDefect::kNotEightBit},
      {"header size 0", [](BmpSpec& s) { s.infoHeaderSize = 0; }, BitmapDefect::kNotEightBit},
      {"24-bit", [](BmpSpec& s) { s.bitCount = 24; }, BitmapDefect::kNotEightBit},
      {"run-length coded", [](BmpSpec& s) { s.compression = 1; }, BitmapDefect::kNotEightBit},
      {"clrUsed 255", [](BmpSpec& s) { s.clrUsed = 255; DropLastColors(s, 1); }, BitmapDefect::kShortColorTable},
      {"clrUsed 1", [](BmpSpec& s) { s.clrUsed = 1; DropLastColors(s, 255); }, BitmapDefect::kShortColorTable},
      {"clrUsed 255 over a full table", [](BmpSpec& s) { s.clrUsed = 255; }, BitmapDefect::kShortColorTable},
      {"clrUsed cut to 5", [](BmpSpec& s) { s.clrUsed = 0x1'0005; }, BitmapDefect::kShortColorTable},
      {"width 0", [](BmpSpec& s) { s.width = 0; }, BitmapDefect::kNoColumns},
      {"negative width", [](BmpSpec& s) { s.width = -16; }, BitmapDefect::kNoColumns},
      {"top-down", [](BmpSpec& s) { s.height = -16; }, BitmapDefect::kTopDown},
      {"most negative height", [](BmpSpec& s) { s.height = INT32_MIN; }, BitmapDefect::kTopDown},
      {"height 0", [](BmpSpec& s) { s.height = 0; s.rows.clear(); }, BitmapDefect::kZeroHeight},
      {"shorter than wide", [](BmpSpec& s) { s = StandardTextureBmp(32, 16, 0, 2); },
       BitmapDefect::kShorterThanWide},
  };
  for (const DefectCase& c : cases) {
    BmpSpec recipe = StandardTextureBmp(16, 16, 0, 7);
    c.change(recipe);
    EXPECT_EQ(CheckTextureBitmap(BuildBmpFile(recipe)), c.expected) << c.name;
  }
}

TEST(CheckTextureBitmapTest, DescribesEachDefect) {
  const std::pair<BitmapDefect, std::string_view> cases[] = {
      {BitmapDefect::kTruncated, "is truncated"},
      {BitmapDefect::kNotEightBit, "is not an uncompressed 8-bit image"},
      {BitmapDefect::kShortColorTable, "has a colour table of fewer than 256 entries"},
      {BitmapDefect::kNoColumns, "has no columns"},
      {BitmapDefect::kTopDown, "is stored top-down"},
      {BitmapDefect::kZeroHeight, "has no rows"},
      {BitmapDefect::kShorterThanWide, "is shorter than it is wide"},
  };
  for (const auto& [defect, text] : cases) EXPECT_EQ(DescribeBitmapDefect(defect), text);
}

// Every cut of a well-formed file is refused without a read past its end.
TEST_F(TextureImageTest, EveryTruncationIsRefusedWithinTheFile) {
  for (const bool fileHeader : {true, false}) {
    BmpSpec recipe = StandardTextureBmp(16, 20, 4, 3);
    recipe.fileHeader = fileHeader;
    const Bytes whole = BuildBmpFile(recipe);
    const BmpOffsets offsets = OffsetsOf(recipe);
    ASSERT_EQ(whole.size(), offsets.end);
    for (size_t length = 0; length <= whole.size(); ++length) {
      const Bytes file = ExactPrefix(whole, length);
      const bool complete = length == whole.size();
      const bool hasInfo = length >= offsets.infoHeader + 40;
      const bool hasTable = length >= offsets.colorTable + 1024;
      SCOPED_TRACE("file header " + std::to_string(fileHeader) + ", length " + std::to_string(length));
      EXPECT_EQ(ReadBitmapFormat(file).colorCount, hasInfo ? 256u : 0u);
      EXPECT_EQ(CheckTextureBitmap(file), complete ? BitmapDefect::kNone : BitmapDefect::kTruncated);
      EXPECT_EQ(FindMatchingPalette(file, db_), hasTable ? 4 : -1);
      EXPECT_EQ(ReadTopRows(file, 16).has_value(), complete);
      EXPECT_EQ(AddBitmapPalette(file, db_), hasTable);
      EXPECT_EQ(db_.paletteCount, hasTable ? 15u : 14u);
      db_.paletteCount = 14;
    }
  }
}

// ---- palettes -------------------------------------------------------------------

TEST_F(TextureImageTest, FindsThePaletteEqualToTheColorTable) {
  for (uint32_t k = 0; k < kFixedPaletteCount; ++k) {
    EXPECT_EQ(FindMatchingPalette(BuildBmpFile(StandardTextureBmp(16, 16, k, k)), db_),
              static_cast<int32_t>(k));
  }
}

TEST_F(TextureImageTest, LowestMatchingPaletteWins) {
  db_.PaletteTable[11] = db_.PaletteTable[6];
  EXPECT_EQ(FindMatchingPalette(BuildBmpFile(StandardTextureBmp(16, 16, 6, 1)), db_), 6);
  db_.PaletteTable[3] = db_.PaletteTable[6];
  EXPECT_EQ(FindMatchingPalette(BuildBmpFile(StandardTextureBmp(16, 16, 6, 1)), db_), 3);
}

TEST_F(TextureImageTest, FourthBytesAndAlphaAreNotCompared) {
  BmpSpec recipe = StandardTextureBmp(16, 16, 9, 1);
  for (size_t i = 0; i < recipe.colors.size(); ++i) recipe.colors[i].reserved = static_cast<uint8_t>(255 - i);
  for (size_t i = 0; i < kPaletteEntries; ++i) db_.PaletteTable[9].alpha[i] = static_cast<uint8_t>(i * 5);
  db_.PaletteTable[9].palWord0 = 0xDEAD'BEEF;
  EXPECT_EQ(FindMatchingPalette(BuildBmpFile(recipe), db_), 9);
}

TEST_F(TextureImageTest, OneDifferingChannelOfOneEntryMatchesNothing) {
  const std::pair<const char*, uint8_t BmpColor::*> channels[] = {
      {"red", &BmpColor::red}, {"green", &BmpColor::green}, {"blue", &BmpColor::blue}};
  for (const size_t entry : {size_t{0}, size_t{128}, size_t{255}}) {
    for (const auto& [name, channel] : channels) {
      BmpSpec recipe = StandardTextureBmp(16, 16, 2, 1);
      recipe.colors[entry].*channel ^= 0x40;
      EXPECT_EQ(FindMatchingPalette(BuildBmpFile(recipe), db_), -1) << name << " of entry " << entry;
    }
  }
}

TEST_F(TextureImageTest, SearchesOnlyCountedPalettes) {
  const Bytes file = BuildBmpFile(StandardTextureBmp(16, 16, 13, 1));
  db_.paletteCount = 13;
  EXPECT_EQ(FindMatchingPalette(file, db_), -1);
  db_.paletteCount = 0;
  EXPECT_EQ(FindMatchingPalette(file, db_), -1);
}

TEST_F(TextureImageTest, CountAboveTheTableSearchesTheTableOnly) {
  db_.paletteCount = 100000;
  const PaletteSpec last = TestPalette(50);
  SetPaletteFrom(db_.PaletteTable.back(), last);
  BmpSpec recipe = StandardTextureBmp(16, 16, 0, 1);
  EXPECT_EQ(FindMatchingPalette(BuildBmpFile(recipe), db_), 0);
  recipe.colors = ColorsOfPalette(last);
  EXPECT_EQ(FindMatchingPalette(BuildBmpFile(recipe), db_), static_cast<int32_t>(db_.PaletteTable.size() - 1));
  recipe.colors[0].red ^= 1;
  EXPECT_EQ(FindMatchingPalette(BuildBmpFile(recipe), db_), -1);
}

TEST_F(TextureImageTest, ImagesWithoutAWholeColorTableMatchNothing) {
  // With 255 entries, 256 entries' worth of bytes would take the first row's
  // pixels as the last colour; such an image has no palette at all.
  BmpSpec recipe = StandardTextureBmp(16, 16, 5, 1);
  recipe.clrUsed = 255;
  recipe.rows[15][0] = recipe.colors[255].blue;
  recipe.rows[15][1] = recipe.colors[255].green;
  recipe.rows[15][2] = recipe.colors[255].red;
  DropLastColors(recipe, 1);
  EXPECT_EQ(FindMatchingPalette(BuildBmpFile(recipe), db_), -1);
  EXPECT_FALSE(AddBitmapPalette(BuildBmpFile(recipe), db_));

  BmpSpec wide = StandardTextureBmp(16, 16, 5, 1);
  wide.bitCount = 24;
  EXPECT_EQ(FindMatchingPalette(BuildBmpFile(wide), db_), -1);
  EXPECT_FALSE(AddBitmapPalette(BuildBmpFile(wide), db_));
  EXPECT_EQ(db_.paletteCount, 14u);
}

TEST_F(TextureImageTest, LongColorTableMatchesByItsFirst256Entries) {
  BmpSpec recipe = StandardTextureBmp(16, 16, 8, 1);
  recipe.clrUsed = 300;
  recipe.colors.resize(300, BmpColor{1, 2, 3, 4});
  EXPECT_EQ(FindMatchingPalette(BuildBmpFile(recipe), db_), 8);
}

TEST_F(TextureImageTest, AddedPaletteTakesTheColorTableWithFullAlpha) {
  BmpSpec recipe;  // grey, which no standard palette is
  recipe.rows = RowsOf(MakeTextureImage(16, 16, 5), 16);
  for (size_t i = 0; i < recipe.colors.size(); ++i) {
    recipe.colors[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i ^ 0x55), static_cast<uint8_t>(255 - i),
                      0x99};
  }
  const Bytes file = BuildBmpFile(recipe);
  db_.PaletteTable[14].palWord0 = 0x1234'5678;
  db_.PaletteTable[14].palWord1 = 0x9ABC'DEF0;
  ASSERT_EQ(FindMatchingPalette(file, db_), -1);

  ASSERT_TRUE(AddBitmapPalette(file, db_));
  EXPECT_EQ(db_.paletteCount, 15u);
  const PaletteRecord& added = db_.PaletteTable[14];
  for (size_t i = 0; i < kPaletteEntries; ++i) {
    EXPECT_EQ((std::array{added.red[i], added.green[i], added.blue[i], added.alpha[i]}),
              (std::array<uint8_t, 4>{recipe.colors[i].red, recipe.colors[i].green, recipe.colors[i].blue, 255}))
        << i;
  }
  EXPECT_EQ(added.palWord0, 0x1234'5678u);
  EXPECT_EQ(added.palWord1, 0x9ABC'DEF0u);
  EXPECT_EQ(FindMatchingPalette(file, db_), 14);
}

TEST_F(TextureImageTest, LongColorTableAddsItsFirst256Entries) {
  BmpSpec recipe = StandardTextureBmp(16, 16, 8, 1);
  recipe.clrUsed = 300;
  recipe.colors[0].red ^= 0xFF;
  recipe.colors.resize(300, BmpColor{1, 2, 3, 4});
  ASSERT_TRUE(AddBitmapPalette(BuildBmpFile(recipe), db_));
  EXPECT_EQ(db_.PaletteTable[14].red[0], recipe.colors[0].red);
  EXPECT_EQ(db_.PaletteTable[14].blue[255], recipe.colors[255].blue);
  EXPECT_EQ(FindMatchingPalette(BuildBmpFile(recipe), db_), 14);
}

struct RoomCase {
  const char* name;
  uint32_t limit;
  uint32_t capacity;
  uint32_t paletteCount;
  bool added;
};

TEST(AddBitmapPaletteTest, NeedsTheFixedPalettesAndRoom) {
  const RoomCase cases[] = {
      {"room", 20, 22, 14, true},
      {"last place below the limit", 15, 17, 14, true},
      {"at the limit", 14, 16, 14, false},
      {"at the capacity", 20, 14, 14, false},
      {"above both", 14, 14, 30, false},
      {"fixed palettes missing", 20, 22, 13, false},
      {"only the first", 20, 22, 1, false},
      {"no palettes", 20, 22, 0, false},
  };
  const Bytes file = BuildBmpFile(StandardTextureBmp(16, 16, 0, 1));
  for (const RoomCase& c : cases) {
    HeaderDatabase db(LimitsWithPalettes(c.limit, c.capacity));
    db.paletteCount = c.paletteCount;
    const std::vector<PaletteRecord> before = db.PaletteTable;
    EXPECT_EQ(HasFixedPalettes(db), c.paletteCount >= kFixedPaletteCount) << c.name;
    EXPECT_EQ(HasRoomForPalette(db), c.paletteCount < std::min(c.limit, c.capacity)) << c.name;
    EXPECT_EQ(AddBitmapPalette(file, db), c.added) << c.name;
    EXPECT_EQ(db.paletteCount, c.paletteCount + (c.added ? 1 : 0)) << c.name;
    if (!c.added) {
      EXPECT_EQ(std::memcmp(before.data(), db.PaletteTable.data(), before.size() * sizeof(PaletteRecord)), 0)
          << c.name;
    }
  }
}

// ---- pixel rows -----------------------------------------------------------------

TEST(ReadTopRowsTest, LastFileRowComesFirst) {
  for (const bool fileHeader : {true, false}) {
    BmpSpec recipe = NumberedBmp();
    recipe.fileHeader = fileHeader;
    const Bytes file = BuildBmpFile(recipe);
    const size_t rowsAt = OffsetsOf(recipe).rows;
    ASSERT_EQ(file[rowsAt], 16 * 15);  // the file begins with the bottom row
    const std::optional<Bytes> pixels = ReadTopRows(file, 16);
    ASSERT_TRUE(pixels.has_value());
    ASSERT_EQ(pixels->size(), 256u);
    for (size_t i = 0; i < 256; ++i) EXPECT_EQ((*pixels)[i], i) << "pixel " << i;
    EXPECT_TRUE(std::equal(pixels->begin(), pixels->begin() + 16, file.end() - 16));
  }
}

TEST(ReadTopRowsTest, TallerImageGivesItsTopRows) {
  const BmpSpec recipe = StandardTextureBmp(256, 300, 2, 11);
  const Bytes file = BuildBmpFile(recipe);
  const Bytes image = Flatten(recipe.rows);
  const std::optional<Bytes> top = ReadTopRows(file, 16);
  ASSERT_TRUE(top.has_value());
  EXPECT_EQ(*top, Bytes(image.begin(), image.begin() + 16 * 256));
  EXPECT_EQ(ReadTopRows(file, 300), image);
  EXPECT_EQ(ReadTopRows(file, 0), Bytes{});
  EXPECT_FALSE(ReadTopRows(file, 301).has_value());
}

TEST(ReadTopRowsTest, RowsFollowALongColorTable) {
  BmpSpec recipe = NumberedBmp();
  recipe.clrUsed = 300;
  recipe.colors.resize(300, BmpColor{0xEE, 0xEE, 0xEE, 0xEE});
  const std::optional<Bytes> pixels = ReadTopRows(BuildBmpFile(recipe), 16);
  ASSERT_TRUE(pixels.has_value());
  EXPECT_EQ(*pixels, Flatten(recipe.rows));
}

TEST(ReadTopRowsTest, DefectiveImagesGiveNoRows) {
  const std::function<void(BmpSpec&)> changes[] = {
      [](BmpSpec& s) { s.height = -16; },
      [](BmpSpec& s) { s.height = 0; },
      [](BmpSpec& s) { s.clrUsed = 255; },
      [](BmpSpec& s) { s.width = 0x7FFF'FFFF; s.height = 0x7FFF'FFFF; },
      [](BmpSpec& s) { s.width = 65536; s.height = 65536; },
      [](BmpSpec& s) { s.infoHeaderSize = 12; },
      [](BmpSpec& s) { s.compression = 1; },
      [](BmpSpec& s) { s.rows.pop_back(); },
  };
  for (size_t i = 0; i < std::size(changes); ++i) {
    BmpSpec recipe = NumberedBmp();
    changes[i](recipe);
    EXPECT_FALSE(ReadTopRows(BuildBmpFile(recipe), 16).has_value()) << "case " << i;
  }
}

// ---- the palette box --------------------------------------------------------------

TEST(PaletteErrorTest, ShowsTheStopBoxOwnedByTheMainWindow) {
  RecordingPlatform platform("skinwright");
  ShowPaletteError(platform);
  const std::vector<MessageBoxRecord> expected = {
      {"No O4 palette\tmatch. You need to save this BMP with a O4 palette.", "Palette Error", BoxIcon::kHand,
       true}};
  EXPECT_EQ(platform.MessageBoxes(), expected);
}

}  // namespace
}  // namespace zarno
