#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "core/header_database.h"
#include "skinwright/lzss.h"
#include "skinwright/texture_job_state.h"
#include "skinwright/texture_store.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/header_builder.h"
#include "tests/support/object_folder.h"
#include "tests/support/recording_platform.h"
#include "tests/support/texture_images.h"

namespace zarno {
namespace {

TextureRecord Record(uint32_t offset, uint32_t size, uint32_t width, uint32_t flags, uint32_t color,
                     uint32_t palette) {
  return TextureRecord{offset, size, width, 0, 0, flags, color, 0, palette, 0};
}

// Every field in file order, so a mismatch shows the whole record.
std::array<uint32_t, 10> Fields(const TextureRecord& r) {
  return {r.fileOffset, r.dataSize, r.width, r.texWord3, r.texWord4,
          r.flags,      r.color,    r.texWord7, r.paletteIndex, r.texWord9};
}

void ExpectRecord(const TextureRecord& actual, const TextureRecord& expected) {
  EXPECT_EQ(Fields(actual), Fields(expected));
}

// The pixels of the top `rows` rows of a built image, as the store keeps them.
std::vector<uint8_t> TopRows(const BmpSpec& recipe, size_t rows) {
  std::vector<uint8_t> pixels;
  for (size_t r = 0; r < rows; ++r) pixels.insert(pixels.end(), recipe.rows[r].begin(), recipe.rows[r].end());
  return pixels;
}

// Gives palette k a first colour of its own.
void SetFirstColor(HeaderDatabase& db, uint32_t k, uint8_t red, uint8_t green, uint8_t blue) {
  db.PaletteTable[k].red[0] = red;
  db.PaletteTable[k].green[0] = green;
  db.PaletteTable[k].blue[0] = blue;
}

// The colour word of palette k of the standard database when it is added.
uint32_t AddedColorWord(const std::vector<BmpColor>& colors) {
  return 0xFF000000u + (uint32_t{colors[0].blue} << 16) + (uint32_t{colors[0].green} << 8) + colors[0].red;
}

// A colour table that equals none of the standard palettes.
std::vector<BmpColor> FreshColors(uint8_t seed) {
  std::vector<BmpColor> colors(256);
  for (size_t i = 0; i < colors.size(); ++i) {
    colors[i] = {static_cast<uint8_t>(seed + 3 * i), static_cast<uint8_t>(seed * 5 + i),
                 static_cast<uint8_t>(200 - i), static_cast<uint8_t>(i)};
  }
  return colors;
}

// An object folder with the standard header database in memory and a store of
// 5500 bytes (records 0 and 2 fill it), and a texture folder.
class TextureStoreTest : public ::testing::Test {
 protected:
  TextureStoreTest() : state_(platform_, settings_, paths_) {
    std::filesystem::create_directory(folder_ / "objects");
    std::filesystem::create_directory(folder_ / "objects" / "ZarnoObj");
    std::filesystem::create_directory(folder_ / "tex");
    paths_.objectDir = (folder_ / "objects").string();
    paths_.objectDirSlash = paths_.objectDir + "/";
    paths_.hdrPath = paths_.objectDirSlash + "ZarnoObj.hdr";
    paths_.texDir = (folder_ / "tex").string() + "//";
    LoadHeader(StandardHeaderSpec());
    oldStore_ = MakeTextureImage(5500, 1, 77);
    WriteStore(oldStore_);
  }

  void LoadHeader(const HeaderSpec& recipe) {
    ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(recipe), state_.db, false), kReadOk);
  }
  void WriteStore(const std::vector<uint8_t>& bytes) { ASSERT_TRUE(WriteFile(StorePath(), bytes)); }
  std::filesystem::path StorePath() const { return folder_ / "objects" / "ZarnoObj.tex"; }
  std::vector<uint8_t> Store() const { return ReadFileBytes(StorePath()); }

  std::string AddImage(const std::string& name, const BmpSpec& recipe) {
    EXPECT_TRUE(WriteFile(folder_ / "tex" / name, BuildBmpFile(recipe)));
    return paths_.texDir + name;
  }
  std::string AddBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    EXPECT_TRUE(WriteFile(folder_ / "tex" / name, bytes));
    return paths_.texDir + name;
  }

  // The store after appending `stream` at `offset` to the old store.
  std::vector<uint8_t> StoreWith(const std::vector<uint8_t>& stream, size_t offset) const {
    std::vector<uint8_t> store = oldStore_;
    if (store.size() < offset + stream.size()) store.resize(offset + stream.size(), 0);
    std::copy(stream.begin(), stream.end(), store.begin() + static_cast<std::ptrdiff_t>(offset));
    return store;
  }

  TempFolder folder_;
  RecordingPlatform platform_{"skinwright"};
  SkinwrightSettings settings_;
  InstallPaths paths_;
  TextureJobState state_;
  std::vector<uint8_t> oldStore_;
};

// ---- record rules ---------------------------------------------------------------

TEST(TextureRecords, TheFixedPalettesHaveTheirKeyColorWords) {
  const uint32_t expected[14] = {0xFFFF0000, 0xFFFF00FF, 0x00000000, 0xFFFF00FF, 0xFF000000,
                                 0xFF7F5903, 0xFF815A02, 0xFFFF00FF, 0xFFFF00FF, 0xFFFF00FF,
                                 0xFFFF0000, 0xFFFF00FF, 0xFFFF0000, 0xFFFF00FF};
  HeaderDatabase db(kSkinwrightLimits);
  for (uint32_t k = 0; k < 14; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(TextureColorWord(db, k), expected[k]);
  }
}

TEST(TextureRecords, ComputesTheColorWordOfAnAddedPalette) {
  HeaderDatabase db(kSkinwrightLimits);
  SetFirstColor(db, 14, 0x12, 0x34, 0x56);
  db.PaletteTable[14].alpha[0] = 0x00;
  db.PaletteTable[14].red[1] = 0x99;
  EXPECT_EQ(TextureColorWord(db, 14), 0xFF563412u);
  EXPECT_EQ(PaletteColorWord(db.PaletteTable[14]), 0xFF563412u);
  EXPECT_EQ(TextureColorWord(db, 15), 0xFF000000u);
  EXPECT_EQ(TextureColorWord(db, 100000), 0xFF000000u);  // beyond the table: nothing read
}

TEST(TextureRecords, AcceptsPowerOfTwoWidthsFrom16To4096) {
  for (uint32_t width : {16u, 32u, 64u, 128u, 256u, 512u, 1024u, 2048u, 4096u}) {
    EXPECT_TRUE(IsTextureWidth(width)) << width;
  }
  for (uint32_t width : {0u, 1u, 2u, 8u, 15u, 17u, 48u, 100u, 8192u, 0x80000000u, 0xFFFFFFF0u}) {
    EXPECT_FALSE(IsTextureWidth(width)) << width;
  }
}

TEST(TextureRecords, IdentifiersFitTheTable) {
  HeaderDatabase db(kSkinwrightLimits);
  for (int32_t id : {0, 9999}) EXPECT_TRUE(IsTextureIdInRange(db, id)) << id;
  for (int32_t id : {10000, -1, INT32_MIN, INT32_MAX}) EXPECT_FALSE(IsTextureIdInRange(db, id)) << id;
}

TEST(TextureRecords, AppendsBehindTheBlobThatBeginsFurthest) {
  struct AppendCase {
    const char* what;
    std::vector<TextureRecord> records;
    uint32_t textureCount;
    uint64_t offset;
  };
  const AppendCase cases[] = {
      {"two blobs", {Record(0, 100, 16, 0, 0, 0), Record(100, 50, 16, 0, 0, 0)}, 2, 150},
      {"one blob at record 5",
       {Record(0, 0, 0, 0, 0, 0), {}, {}, {}, {}, Record(0, 100, 16, 0, 0, 0)}, 6, 100},
      {"nothing used", {Record(700, 0, 0, 0, 0, 0), Record(0, 0, 0, 0, 0, 0)}, 2, 0},
      {"out of order", {Record(300, 20, 16, 0, 0, 0), Record(0, 300, 16, 0, 0, 0)}, 2, 320},
      {"equal offsets: the furthest end",
       {Record(200, 10, 16, 0, 0, 0), Record(200, 30, 16, 0, 0, 0)}, 2, 230},
      {"nested: behind the outer record", {Record(0, 500, 16, 0, 0, 0), Record(100, 50, 16, 0, 0, 0)}, 2, 500},
      {"unused record further in", {Record(0, 100, 16, 0, 0, 0), Record(900, 0, 16, 0, 0, 0)}, 2, 100},
      {"records past the count", {Record(0, 100, 16, 0, 0, 0), Record(500, 10, 16, 0, 0, 0)}, 1, 100},
      {"beyond 32 bits", {Record(0xFFFFFFF0, 0x20, 16, 0, 0, 0)}, 1, 0x100000010ull},
  };
  for (const AppendCase& c : cases) {
    SCOPED_TRACE(c.what);
    HeaderDatabase db(kSkinwrightLimits);
    std::copy(c.records.begin(), c.records.end(), db.TextureTable.begin());
    db.textureCount = c.textureCount;
    EXPECT_EQ(TexAppendOffset(db), c.offset);
  }
}

TEST(TextureRecords, GrowingTheTableClearsTheRecordsInBetween) {
  HeaderDatabase db(kSkinwrightLimits);
  for (auto& record : db.TextureTable) record = Record(1, 2, 3, 4, 5, 6);
  db.textureCount = 10;
  GrowTextureTable(db, 20);
  EXPECT_EQ(db.textureCount, 21u);
  for (uint32_t i = 10; i < 20; ++i) ExpectRecord(db.TextureTable[i], TextureRecord{});
  ExpectRecord(db.TextureTable[9], Record(1, 2, 3, 4, 5, 6));
  ExpectRecord(db.TextureTable[20], Record(1, 2, 3, 4, 5, 6));  // filled by the caller

  GrowTextureTable(db, 5);
  EXPECT_EQ(db.textureCount, 21u);
  ExpectRecord(db.TextureTable[5], Record(1, 2, 3, 4, 5, 6));
  GrowTextureTable(db, 21);
  EXPECT_EQ(db.textureCount, 22u);
}

TEST(TextureRecords, FillsEveryFieldOfAStoredRecord) {
  HeaderDatabase db(kSkinwrightLimits);
  SetFirstColor(db, 20, 1, 2, 3);
  ExpectRecord(StoredTextureRecord(db, 10, 20, 64, 2), Record(10, 20, 64, 0xE0, 0x00000000, 2));
  ExpectRecord(StoredTextureRecord(db, 10, 20, 64, 5), Record(10, 20, 64, 0xA0, 0xFF7F5903, 5));
  ExpectRecord(StoredTextureRecord(db, 0, 9, 4096, 0), Record(0, 9, 4096, 0xA0, 0xFFFF0000, 0));
  ExpectRecord(StoredTextureRecord(db, 7, 8, 16, 20), Record(7, 8, 16, 0xA0, 0xFF030201, 20));
}

TEST(TextureRecords, ADdsPlaceholderSharesTextureZerosData) {
  HeaderDatabase db(kSkinwrightLimits);
  db.TextureTable[0] = TextureRecord{40, 300, 128, 7, 8, 0xA0, 0x11223344, 9, 6, 10};
  SetFirstColor(db, 14, 0xAA, 0xBB, 0xCC);
  ExpectRecord(DdsPlaceholderRecord(db), Record(40, 300, 128, 0xE0, 0xFFCCBBAA, 6));
}

// ---- storing BMP images -------------------------------------------------------------

// Each image goes behind the last blob (5500) as the LZSS stream of its top
// `width` rows, whatever its record held before.
TEST_F(TextureStoreTest, StoresAnImageBehindTheLastBlob) {
  struct StoreCase {
    const char* what;
    std::string name;
    BmpSpec recipe;
    uint32_t textureCount;
    uint32_t palette;
    uint32_t flags;
    uint32_t color;
  };
  BmpSpec withoutFileHeader = StandardTextureBmp(16, 16, 6, 8);
  withoutFileHeader.fileHeader = false;
  const StoreCase cases[] = {
      {"new record, palette 2", "7.bmp", StandardTextureBmp(64, 64, 2, 11), 8, 2, 0xE0, 0x00000000},
      {"record in use, palette 5", "0roof.bmp", StandardTextureBmp(32, 32, 5, 12), 3, 5, 0xA0, 0xFF7F5903},
      {"taller than wide", "4.bmp", StandardTextureBmp(16, 40, 3, 8), 5, 3, 0xA0, 0xFFFF00FF},
      {"no file header", "5.bmp", withoutFileHeader, 6, 6, 0xA0, 0xFF815A02},
  };
  for (const StoreCase& c : cases) {
    SCOPED_TRACE(c.what);
    LoadHeader(StandardHeaderSpec());
    WriteStore(oldStore_);
    ASSERT_TRUE(InstallTexture(state_, AddImage(c.name, c.recipe)).stored);
    const auto width = static_cast<uint32_t>(c.recipe.width);
    const std::vector<uint8_t> stream = LzssCompress(TopRows(c.recipe, width));
    const auto size = static_cast<uint32_t>(stream.size());
    EXPECT_EQ(state_.db.textureCount, c.textureCount);
    ExpectRecord(state_.db.TextureTable[std::stoul(c.name)], Record(5500, size, width, c.flags, c.color, c.palette));
    EXPECT_EQ(Store(), StoreWith(stream, 5500));
    EXPECT_EQ(state_.db.paletteCount, 14u);
    EXPECT_EQ(state_.db.maxTextureSize, std::max<uint32_t>(4000, size));
  }
  EXPECT_TRUE(platform_.MessageBoxes().empty());
}

// The first image adds its colour table as palette 14 (alpha 255); the
// second, alike but for the fourth bytes, which are not compared, uses it.
TEST_F(TextureStoreTest, TwoImagesWithOneNewColorTableAddOnePalette) {
  BmpSpec first = StandardTextureBmp(16, 16, 0, 21);
  first.colors = FreshColors(40);
  BmpSpec second = StandardTextureBmp(32, 32, 0, 22);
  second.colors = first.colors;
  for (BmpColor& color : second.colors) color.reserved = 0x5A;
  ASSERT_TRUE(InstallTexture(state_, AddImage("30.bmp", first)).stored);
  ASSERT_EQ(state_.db.paletteCount, 15u);
  const PaletteRecord& added = state_.db.PaletteTable[14];
  for (size_t i = 0; i < 256; ++i) {
    const std::array<uint8_t, 4> entry{added.red[i], added.green[i], added.blue[i], added.alpha[i]};
    EXPECT_EQ(entry, (std::array<uint8_t, 4>{first.colors[i].red, first.colors[i].green, first.colors[i].blue, 255}))
        << i;
  }
  EXPECT_EQ(added.palWord0, 0u);
  EXPECT_EQ(added.palWord1, 0u);
  ASSERT_TRUE(InstallTexture(state_, AddImage("31.bmp", second)).stored);
  EXPECT_EQ(state_.db.paletteCount, 15u);
  const std::vector<uint8_t> firstStream = LzssCompress(TopRows(first, 16));
  const std::vector<uint8_t> secondStream = LzssCompress(TopRows(second, 32));
  const uint32_t color = AddedColorWord(first.colors);
  const auto firstSize = static_cast<uint32_t>(firstStream.size());
  ExpectRecord(state_.db.TextureTable[30], Record(5500, firstSize, 16, 0xA0, color, 14));
  ExpectRecord(state_.db.TextureTable[31],
               Record(5500 + firstSize, static_cast<uint32_t>(secondStream.size()), 32, 0xA0, color, 14));
  std::vector<uint8_t> both = firstStream;
  both.insert(both.end(), secondStream.begin(), secondStream.end());
  EXPECT_EQ(Store(), StoreWith(both, 5500));
  EXPECT_EQ(state_.db.textureCount, 32u);
  EXPECT_TRUE(platform_.MessageBoxes().empty());
}

TEST_F(TextureStoreTest, AnIdentifierBeyondTheTableGrowsIt) {
  for (uint32_t i = 3; i < 30; ++i) state_.db.TextureTable[i] = Record(1, 1, 1, 1, 1, 1);  // stale bytes
  BmpSpec recipe = StandardTextureBmp(16, 16, 4, 3);
  ASSERT_TRUE(InstallTexture(state_, AddImage("20.bmp", recipe)).stored);
  EXPECT_EQ(state_.db.textureCount, 21u);
  for (uint32_t i = 3; i < 20; ++i) ExpectRecord(state_.db.TextureTable[i], TextureRecord{});
  const std::vector<uint8_t> stream = LzssCompress(TopRows(recipe, 16));
  ExpectRecord(state_.db.TextureTable[20],
               Record(5500, static_cast<uint32_t>(stream.size()), 16, 0xA0, 0xFF000000, 4));
  ExpectRecord(state_.db.TextureTable[21], Record(1, 1, 1, 1, 1, 1));
}

TEST_F(TextureStoreTest, WritesAtTheAppendOffsetWhateverTheStoresLength) {
  // Records at 0 (100 bytes) and 100 (50 bytes): the blob goes to 150, over
  // the dead bytes behind it.
  state_.db.TextureTable[0] = Record(0, 100, 16, 0xA0, 0, 0);
  state_.db.TextureTable[2] = Record(100, 50, 16, 0xA0, 0, 0);
  BmpSpec recipe = StandardTextureBmp(16, 16, 1, 5);
  ASSERT_TRUE(InstallTexture(state_, AddImage("1.bmp", recipe)).stored);
  const std::vector<uint8_t> stream = LzssCompress(TopRows(recipe, 16));
  EXPECT_EQ(state_.db.TextureTable[1].fileOffset, 150u);
  EXPECT_EQ(Store(), StoreWith(stream, 150));

  // A store shorter than the append offset is extended with zeros.
  state_.db.textureCount = 6;
  state_.db.TextureTable[5] = Record(9000, 100, 16, 0xA0, 0, 0);
  WriteStore(oldStore_);
  ASSERT_TRUE(InstallTexture(state_, AddImage("3.bmp", recipe)).stored);
  EXPECT_EQ(state_.db.TextureTable[3].fileOffset, 9100u);
  EXPECT_EQ(Store(), StoreWith(stream, 9100));
}

TEST_F(TextureStoreTest, RaisesMaxTextureSizeOnlyForALargerStream) {
  state_.db.maxTextureSize = 10;
  BmpSpec recipe = StandardTextureBmp(16, 16, 1, 5);
  ASSERT_TRUE(InstallTexture(state_, AddImage("1.bmp", recipe)).stored);
  const uint32_t size = state_.db.TextureTable[1].dataSize;
  EXPECT_EQ(state_.db.maxTextureSize, size);
  state_.db.maxTextureSize = 0xFFFFFFF0;
  ASSERT_TRUE(InstallTexture(state_, AddImage("2.bmp", recipe)).stored);
  EXPECT_EQ(state_.db.maxTextureSize, 0xFFFFFFF0u);
}

TEST_F(TextureStoreTest, RecordsNothingWhenTheStoreCannotBeWritten) {
  std::filesystem::remove(StorePath());
  const std::vector<TextureRecord> before(state_.db.TextureTable.begin(), state_.db.TextureTable.begin() + 10);
  BmpSpec recipe = StandardTextureBmp(16, 16, 1, 5);
  EXPECT_FALSE(InstallTexture(state_, AddImage("0.bmp", recipe)).stored);
  EXPECT_FALSE(InstallTexture(state_, AddImage("9.bmp", recipe)).stored);
  EXPECT_FALSE(std::filesystem::exists(StorePath()));
  EXPECT_EQ(state_.db.textureCount, 3u);
  for (size_t i = 0; i < before.size(); ++i) ExpectRecord(state_.db.TextureTable[i], before[i]);

  // The store exists, but the open fails: the operation after the image's
  // view is the store's opening.
  WriteStore(oldStore_);
  platform_.FailFileOperation(2);
  EXPECT_FALSE(InstallTexture(state_, AddImage("9.bmp", recipe)).stored);
  EXPECT_EQ(platform_.FileOperations().back().operation, FileOperation::kOpenFile);
  EXPECT_EQ(Store(), oldStore_);
  EXPECT_EQ(state_.db.textureCount, 3u);
}

TEST_F(TextureStoreTest, RefusesABlobThatWouldEndBeyond32BitOffsets) {
  state_.db.TextureTable[2] = Record(0xFFFFFF00, 0xF0, 16, 0xA0, 0, 0);
  BmpSpec recipe = StandardTextureBmp(16, 16, 1, 5);
  EXPECT_FALSE(InstallTexture(state_, AddImage("1.bmp", recipe)).stored);
  EXPECT_EQ(Store(), oldStore_);
  EXPECT_EQ(state_.db.TextureTable[1].dataSize, 0u);
}

TEST_F(TextureStoreTest, ReadsEachImageOnce) {
  BmpSpec recipe = StandardTextureBmp(16, 16, 0, 5);
  recipe.colors = FreshColors(3);
  const std::string path = AddImage("8.bmp", recipe);
  ASSERT_TRUE(InstallTexture(state_, path).stored);
  size_t reads = 0;
  for (const FileOperationRecord& op : platform_.FileOperations()) {
    if (op.path == path) ++reads;
  }
  EXPECT_EQ(reads, 1u);
  EXPECT_EQ(platform_.FileOperations().front(), (FileOperationRecord{FileOperation::kViewFile, path, ""}));
}

// ---- rejected images ------------------------------------------------------------------

struct RejectCase {
  const char* what;
  std::string name;
  std::vector<uint8_t> file;
};

std::vector<uint8_t> Built(BmpSpec recipe) { return BuildBmpFile(recipe); }

BmpSpec With(BmpSpec recipe, void (*change)(BmpSpec&)) {
  change(recipe);
  return recipe;
}

std::vector<RejectCase> RejectedImages() {
  const BmpSpec good = StandardTextureBmp(16, 16, 1, 5);
  const std::vector<uint8_t> whole = Built(good);
  std::vector<uint8_t> truncated = whole;
  truncated.resize(truncated.size() - 1);
  std::vector<uint8_t> hugeHeight = whole;
  hugeHeight[14 + 8] = 0xFF;  // biHeight 0x7FFFFFFF... over a 16-row file
  hugeHeight[14 + 9] = 0xFF;
  hugeHeight[14 + 10] = 0xFF;
  hugeHeight[14 + 11] = 0x7F;
  return {
      {"no identifier", "roof.bmp", Built(good)},
      {"identifier 10000", "10000.bmp", Built(good)},
      {"negative identifier", "-1.bmp", Built(good)},
      {"huge identifier", "99999999999.bmp", Built(good)},
      {"width 8", "1.bmp", Built(StandardTextureBmp(8, 8, 1, 5))},
      {"width 48", "1.bmp", Built(StandardTextureBmp(48, 48, 1, 5))},
      {"16 colours", "1.bmp", Built(With(good, [](BmpSpec& s) { s.bitCount = 4; }))},
      {"24 bits", "1.bmp", Built(With(good, [](BmpSpec& s) { s.bitCount = 24; }))},
      {"run-length coded", "1.bmp", Built(With(good, [](BmpSpec& s) { s.compression = 1; }))},
      {"core header", "1.bmp", Built(With(good, [](BmpSpec& s) { s.infoHeaderSize = 12; }))},
      {"header size 56", "1.bmp", Built(With(good, [](BmpSpec& s) { s.infoHeaderSize = 56; }))},
      {"empty file", "1.bmp", {}},
      {"only BM", "1.bmp", {'B', 'M'}},
      {"truncated rows", "1.bmp", truncated},
      {"truncated header", "1.bmp", std::vector<uint8_t>(whole.begin(), whole.begin() + 30)},
      {"huge height", "1.bmp", hugeHeight},
      {"4096 x 4096 declared over 16 rows", "1.bmp", Built(With(good, [](BmpSpec& s) {
         s.width = 4096;
         s.height = 4096;
       }))},
      {"biClrUsed 0xFFFFFFFF", "1.bmp", Built(With(good, [](BmpSpec& s) { s.clrUsed = 0xFFFFFFFF; }))},
      {"biClrUsed 255", "1.bmp", Built(With(good, [](BmpSpec& s) {
         s.clrUsed = 255;
         s.colors.resize(255);
       }))},
      {"top-down", "1.bmp", Built(With(good, [](BmpSpec& s) { s.height = -16; }))},
      {"height 0", "1.bmp", Built(With(good, [](BmpSpec& s) {
         s.height = 0;
         s.rows.clear();
       }))},
      {"shorter than wide", "1.bmp", Built(With(good, [](BmpSpec& s) {
         s.height = 8;
         s.rows.resize(8);
       }))},
  };
}

TEST_F(TextureStoreTest, SkipsRejectedImagesSilentlyAndChangesNothing) {
  const std::vector<TextureRecord> before(state_.db.TextureTable.begin(), state_.db.TextureTable.begin() + 20);
  for (const RejectCase& c : RejectedImages()) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(InstallTexture(state_, AddBytes(c.name, c.file)).stored);
    EXPECT_EQ(state_.db.textureCount, 3u);
    EXPECT_EQ(state_.db.paletteCount, 14u);
    EXPECT_EQ(state_.db.maxTextureSize, 4000u);
    for (size_t i = 0; i < before.size(); ++i) ExpectRecord(state_.db.TextureTable[i], before[i]);
    EXPECT_EQ(Store(), oldStore_);
    std::filesystem::remove(folder_ / "tex" / c.name);
  }
  EXPECT_TRUE(platform_.MessageBoxes().empty());
  EXPECT_EQ(platform_.Beeps(), 0);
}

const MessageBoxRecord kPaletteBox{"No O4 palette\tmatch. You need to save this BMP with a O4 palette.",
                                   "Palette Error", BoxIcon::kHand, true};

TEST_F(TextureStoreTest, AFullPaletteTableRejectsANewColorTableWithThePaletteBox) {
  state_.db.paletteCount = kSkinwrightLimits.paletteLimit;
  BmpSpec fresh = StandardTextureBmp(16, 16, 0, 5);
  fresh.colors = FreshColors(1);
  EXPECT_FALSE(InstallTexture(state_, AddImage("1.bmp", fresh)).stored);
  EXPECT_EQ(state_.db.paletteCount, kSkinwrightLimits.paletteLimit);
  EXPECT_EQ(state_.db.TextureTable[1].dataSize, 0u);
  EXPECT_EQ(Store(), oldStore_);
  ASSERT_EQ(platform_.MessageBoxes().size(), 1u);
  EXPECT_EQ(platform_.MessageBoxes()[0], kPaletteBox);

  // An image whose colours match a palette is still stored.
  EXPECT_TRUE(InstallTexture(state_, AddImage("1.bmp", StandardTextureBmp(16, 16, 1, 5))).stored);
  EXPECT_EQ(platform_.MessageBoxes().size(), 1u);
}

TEST_F(TextureStoreTest, WithoutTheFixedPalettesNoPaletteIsAdded) {
  state_.db.paletteCount = 5;
  BmpSpec fresh = StandardTextureBmp(16, 16, 0, 5);
  fresh.colors = FreshColors(1);
  EXPECT_FALSE(InstallTexture(state_, AddImage("1.bmp", fresh)).stored);
  EXPECT_EQ(state_.db.paletteCount, 5u);
  EXPECT_EQ(state_.db.TextureTable[1].dataSize, 0u);
  ASSERT_EQ(platform_.MessageBoxes().size(), 1u);
  EXPECT_EQ(platform_.MessageBoxes()[0], kPaletteBox);

  // Palette 9 is no longer there to match; palette 4 still is.
  EXPECT_FALSE(InstallTexture(state_, AddImage("1.bmp", StandardTextureBmp(16, 16, 9, 5))).stored);
  EXPECT_TRUE(InstallTexture(state_, AddImage("1.bmp", StandardTextureBmp(16, 16, 4, 5))).stored);
  EXPECT_EQ(state_.db.TextureTable[1].paletteIndex, 4u);
}

// ---- DDS images -------------------------------------------------------------------------

TEST_F(TextureStoreTest, ADdsImageGetsAPlaceholderAndACopy) {
  SetFirstColor(state_.db, 14, 0x01, 0x02, 0x03);
  const std::vector<uint8_t> dds = MakeTextureImage(300, 1, 4);
  ASSERT_TRUE(InstallDdsTexture(state_, AddBytes("57.dds", dds)).stored);
  EXPECT_EQ(state_.db.textureCount, 58u);
  for (uint32_t i = 3; i < 57; ++i) ExpectRecord(state_.db.TextureTable[i], TextureRecord{});
  ExpectRecord(state_.db.TextureTable[57], Record(0, 4000, 64, 0xE0, 0xFF030201, 2));
  // The copy waits under its ".new" name until the job replaces the copies.
  EXPECT_EQ(ReadFileBytes(folder_ / "objects" / "ZarnoObj" / "57.dds.new"), dds);
  EXPECT_EQ(platform_.FileOperations().back(),
            (FileOperationRecord{FileOperation::kCopyFile, paths_.texDir + "57.dds",
                                 paths_.objectDirSlash + "ZarnoObj/57.dds.new"}));
  EXPECT_EQ(state_.stagedDdsCopies, std::vector<std::string>{"ZarnoObj/57.dds"});
  EXPECT_EQ(Store(), oldStore_);
}

TEST_F(TextureStoreTest, ADdsImageLeavesARecordInUseAsItIs) {
  ASSERT_TRUE(InstallDdsTexture(state_, AddBytes("2.dds", {1, 2, 3})).stored);
  ExpectRecord(state_.db.TextureTable[2], Record(4000, 1500, 32, 0xE0, 0x80402010, 5));
  ASSERT_TRUE(InstallDdsTexture(state_, AddBytes("1x.dds", {4, 5})).stored);
  ExpectRecord(state_.db.TextureTable[1], Record(0, 4000, 64, 0xE0, 0xFF000000, 2));
  EXPECT_EQ(ReadFileBytes(folder_ / "objects" / "ZarnoObj" / "2.dds.new"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(ReadFileBytes(folder_ / "objects" / "ZarnoObj" / "1.dds.new"), (std::vector<uint8_t>{4, 5}));
}

TEST_F(TextureStoreTest, LeadingZerosNameTheSameDdsCopy) {
  ASSERT_TRUE(InstallDdsTexture(state_, AddBytes("57.dds", {1})).stored);
  ASSERT_TRUE(InstallDdsTexture(state_, AddBytes("057.dds", {2, 2})).stored);
  EXPECT_EQ(ReadFileBytes(folder_ / "objects" / "ZarnoObj" / "57.dds.new"), (std::vector<uint8_t>{2, 2}));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "objects" / "ZarnoObj" / "057.dds.new"));
  EXPECT_EQ(state_.stagedDdsCopies, std::vector<std::string>{"ZarnoObj/57.dds"});
}

TEST_F(TextureStoreTest, AnImageWithoutAUsableIdentifierIsNeverOpened) {
  const BmpSpec recipe = StandardTextureBmp(16, 16, 1, 5);
  for (const char* name : {"roof.bmp", "10000.bmp"}) EXPECT_FALSE(InstallTexture(state_, AddImage(name, recipe)).stored) << name;
  for (const char* name : {"sky.dds", "10000.dds", "-5.dds"}) {
    EXPECT_FALSE(InstallDdsTexture(state_, AddBytes(name, {1})).stored) << name;
  }
  EXPECT_EQ(state_.db.textureCount, 3u);
  EXPECT_TRUE(platform_.FileOperations().empty());
}

// The job then ends with its one beep and saves nothing.
TEST_F(TextureStoreTest, AFailedDdsCopyEndsTheJobWithoutAWord) {
  platform_.FailFileOperation(1);
  const ImageResult result = InstallDdsTexture(state_, AddBytes("9.dds", {1}));
  EXPECT_FALSE(result.stored);
  EXPECT_TRUE(result.failure.has_value());
  EXPECT_TRUE(state_.stagedDdsCopies.empty());
  EXPECT_FALSE(std::filesystem::exists(folder_ / "objects" / "ZarnoObj" / "9.dds.new"));
  EXPECT_TRUE(platform_.MessageBoxes().empty());
  EXPECT_EQ(platform_.Beeps(), 0);
}

}  // namespace
}  // namespace zarno
