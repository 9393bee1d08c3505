#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "skinwright/lzss.h"
#include "skinwright/skinwright_program.h"
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

// The stream the store keeps for a built image: its top width rows.
std::vector<uint8_t> StreamOf(const BmpSpec& recipe) {
  std::vector<uint8_t> pixels;
  for (int32_t r = 0; r < recipe.width; ++r) pixels.insert(pixels.end(), recipe.rows[r].begin(), recipe.rows[r].end());
  return LzssCompress(pixels);
}

uint32_t SizeOf(const std::vector<uint8_t>& bytes) { return static_cast<uint32_t>(bytes.size()); }

std::vector<uint8_t> Joined(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<BmpColor> FreshColors() {
  std::vector<BmpColor> colors(256);
  for (size_t i = 0; i < colors.size(); ++i) {
    colors[i] = {static_cast<uint8_t>(90 + i), static_cast<uint8_t>(3 * i), static_cast<uint8_t>(255 - i), 7};
  }
  return colors;
}

// The palette the store adds for `colors`.
PaletteSpec AddedPalette(const std::vector<BmpColor>& colors) {
  PaletteSpec palette;
  for (size_t i = 0; i < 256; ++i) palette.entries[i] = {colors[i].red, colors[i].green, colors[i].blue, 255};
  return palette;
}

// A 16 × 16 image whose colour table matches no palette.
BmpSpec FreshImage() {
  BmpSpec fresh = StandardTextureBmp(16, 16, 0, 1);
  fresh.colors = FreshColors();
  return fresh;
}

BmpSpec Changed(BmpSpec recipe, void (*change)(BmpSpec&)) {
  change(recipe);
  return recipe;
}

// An object folder with the standard header database and its 5500-byte
// store (texture 0 at 0, 4000 bytes; texture 2 at 4000, 1500 bytes), a
// ZarnoObj folder for DDS copies, and a texture folder.
class TextureJobTest : public ::testing::Test {
 protected:
  TextureJobTest() {
    std::filesystem::create_directories(folder_ / "objects" / "ZarnoObj");
    std::filesystem::create_directory(folder_ / "tex");
    header_ = BuildHeaderFile(StandardHeaderSpec());
    store_ = MakeRandomBytes(5500, 3);
    EXPECT_TRUE(WriteFile(HeaderPath(), header_));
    EXPECT_TRUE(WriteFile(StorePath(), store_));
  }

  std::string Tex() const { return (folder_ / "tex").string(); }
  std::string Objects() const { return (folder_ / "objects").string(); }
  std::filesystem::path HeaderPath() const { return folder_ / "objects" / "ZarnoObj.hdr"; }
  std::filesystem::path StorePath() const { return folder_ / "objects" / "ZarnoObj.tex"; }
  std::filesystem::path ErrorListPath() const { return folder_ / "tex" / "TexErrorList.txt"; }
  std::filesystem::path DdsCopy(const std::string& name) const { return folder_ / "objects" / "ZarnoObj" / name; }

  void AddImage(const std::string& name, const BmpSpec& recipe) {
    ASSERT_TRUE(WriteFile(folder_ / "tex" / name, BuildBmpFile(recipe)));
  }
  void AddFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(WriteFile(folder_ / "tex" / name, bytes));
  }

  int Run(const std::string& switchText) {
    std::string line = switchText + " ~\"" + Tex() + "\" ~\"" + Objects() + "\"";
    return RunSkinwright(platform_, line);
  }

  // The first line of a check run's report and the empty line after it.
  std::string ReportHead() const { return "Models folder " + Tex() + "//\n\n"; }

  void ExpectObjectFilesUnchanged() const {
    EXPECT_EQ(ReadFileBytes(HeaderPath()), header_);
    EXPECT_EQ(ReadFileBytes(StorePath()), store_);
  }
  void ExpectEnd(int32_t beeps, const std::vector<MessageBoxRecord>& boxes = {}) const {
    EXPECT_EQ(platform_.Beeps(), beeps);
    EXPECT_EQ(platform_.MessageBoxes(), boxes);
    EXPECT_EQ(platform_.CloseRequests(), 1);
  }
  // The standard database with palettes 0 to count - 1.
  void WritePalettes(uint32_t count) {
    HeaderSpec recipe = StandardHeaderSpec();
    recipe.palettes.clear();
    for (uint32_t k = 0; k < count; ++k) recipe.palettes.push_back(TestPalette(k));
    header_ = BuildHeaderFile(recipe);
    ASSERT_TRUE(WriteFile(HeaderPath(), header_));
  }
  std::vector<std::string> ObjectFolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ / "objects")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  bool ImagesWereOpened() const {
    for (const FileOperationRecord& op : platform_.FileOperations()) {
      if (op.operation == FileOperation::kViewFile) return true;
    }
    return false;
  }

  TempFolder folder_;
  RecordingPlatform platform_{"skinwright"};
  std::vector<uint8_t> header_;
  std::vector<uint8_t> store_;
};

const MessageBoxRecord kNoTexturesBox{"No Texture files (.bmp/.dds) found.", "Error", BoxIcon::kHand, false};
const MessageBoxRecord kPaletteBox{"No O4 palette\tmatch. You need to save this BMP with a O4 palette.",
                                   "Palette Error", BoxIcon::kHand, true};

// ---- normal runs ---------------------------------------------------------------------

TEST_F(TextureJobTest, ANormalRunStoresTheImagesAndCompactsTheStore) {
  const BmpSpec seven = StandardTextureBmp(32, 32, 2, 1);
  const BmpSpec five = StandardTextureBmp(16, 16, 5, 2);
  BmpSpec twenty = StandardTextureBmp(16, 24, 0, 3);
  twenty.colors = FreshColors();
  BmpSpec twentyOne = StandardTextureBmp(64, 64, 0, 4);
  twentyOne.colors = FreshColors();
  const BmpSpec replacement = StandardTextureBmp(16, 16, 6, 5);
  AddImage("7.bmp", seven);
  AddImage("5wall.bmp", five);
  AddImage("20.bmp", twenty);
  AddImage("21.BMP", twentyOne);
  AddImage("2.bmp", replacement);
  AddImage("9.bmp", StandardTextureBmp(48, 48, 1, 6));  // rejected: width
  AddImage("roof.bmp", StandardTextureBmp(16, 16, 1, 7));  // rejected: no identifier
  AddFile("3.dds", {1, 2, 3});                              // not looked at

  EXPECT_EQ(Run(""), 1);
  ExpectEnd(2);

  const auto s2 = StreamOf(replacement), s5 = StreamOf(five), s7 = StreamOf(seven);
  const auto s20 = StreamOf(twenty), s21 = StreamOf(twentyOne);
  std::vector<uint8_t> old0(store_.begin(), store_.begin() + 4000);
  EXPECT_EQ(ReadFileBytes(StorePath()), Joined({old0, s2, s5, s7, s20, s21}));

  HeaderSpec expected = StandardHeaderSpec();
  expected.palettes.push_back(AddedPalette(FreshColors()));
  const uint32_t newColor = 0xFF000000u + (uint32_t{FreshColors()[0].blue} << 16) +
                            (uint32_t{FreshColors()[0].green} << 8) + FreshColors()[0].red;
  expected.textures.resize(22, TextureRecord{});
  // Back to back behind texture 0, in identifier order.
  const std::vector<std::pair<int, TextureRecord>> stored = {
      {2, Record(4000, SizeOf(s2), 16, 0xA0, 0xFF815A02, 6)},
      {5, Record(4000 + SizeOf(s2), SizeOf(s5), 16, 0xA0, 0xFF7F5903, 5)},
      {7, Record(4000 + SizeOf(Joined({s2, s5})), SizeOf(s7), 32, 0xE0, 0x00000000, 2)},
      {20, Record(4000 + SizeOf(Joined({s2, s5, s7})), SizeOf(s20), 16, 0xA0, newColor, 14)},
      {21, Record(4000 + SizeOf(Joined({s2, s5, s7, s20})), SizeOf(s21), 64, 0xA0, newColor, 14)}};
  for (const auto& [id, record] : stored) {
    expected.textures[id] = record;
    expected.maxTextureSize = std::max(expected.maxTextureSize, record.dataSize);
  }
  EXPECT_EQ(ReadFileBytes(HeaderPath()), BuildHeaderFile(expected));

  using Kind = ProgressCall::Kind;
  const std::vector<ProgressCall> progress = {
      {Kind::kOpen, 1},        {Kind::kSetPosition, 0}, {Kind::kSetRange, 22},   {Kind::kSetPosition, 0},
      {Kind::kSetPosition, 2}, {Kind::kSetPosition, 5}, {Kind::kSetPosition, 7}, {Kind::kSetPosition, 20},
      {Kind::kSetPosition, 21}, {Kind::kClose, 0}};
  EXPECT_EQ(platform_.ProgressCalls(), progress);
  EXPECT_EQ(ObjectFolderNames(), (std::vector<std::string>{"ZarnoObj", "ZarnoObj.hdr", "ZarnoObj.tex"}));
  EXPECT_FALSE(std::filesystem::exists(ErrorListPath()));
  EXPECT_TRUE(std::filesystem::is_empty(folder_ / "objects" / "ZarnoObj"));
}

TEST_F(TextureJobTest, ASecondRunOverTheSameImagesLeavesTheSameFiles) {
  AddImage("4.bmp", StandardTextureBmp(16, 16, 3, 1));
  BmpSpec fresh = StandardTextureBmp(32, 32, 0, 2);
  fresh.colors = FreshColors();
  AddImage("6.bmp", fresh);
  EXPECT_EQ(Run(""), 1);
  const std::vector<uint8_t> store = ReadFileBytes(StorePath());
  const std::vector<uint8_t> header = ReadFileBytes(HeaderPath());
  EXPECT_EQ(Run(""), 1);
  EXPECT_EQ(ReadFileBytes(StorePath()), store);
  EXPECT_EQ(ReadFileBytes(HeaderPath()), header);
  EXPECT_EQ(platform_.Beeps(), 4);
  EXPECT_EQ(platform_.CloseRequests(), 2);
}

TEST_F(TextureJobTest, ARunThatRejectsEveryImageStillSavesAndCompacts) {
  std::vector<uint8_t> withDeadData = store_;
  withDeadData.resize(6000, 0xEE);
  ASSERT_TRUE(WriteFile(StorePath(), withDeadData));
  AddImage("1.bmp", StandardTextureBmp(8, 8, 1, 1));
  EXPECT_EQ(Run(""), 1);
  ExpectEnd(2);
  EXPECT_EQ(ReadFileBytes(StorePath()), store_);
  EXPECT_EQ(ReadFileBytes(HeaderPath()), header_);
}

TEST_F(TextureJobTest, ANormalRunWithoutImagesEndsInSilence) {
  AddFile("1.dds", {1});
  EXPECT_EQ(Run(""), 1);
  ExpectEnd(0);
  ExpectObjectFilesUnchanged();
  EXPECT_TRUE(platform_.ProgressCalls().empty());
  std::filesystem::remove_all(folder_ / "tex");
  EXPECT_EQ(Run(""), 1);
  EXPECT_EQ(platform_.Beeps(), 0);
  EXPECT_TRUE(platform_.MessageBoxes().empty());
  ExpectObjectFilesUnchanged();
}

TEST_F(TextureJobTest, DefaultsToTheSkinsFolderOfTheCurrentDirectory) {
  std::filesystem::create_directory(folder_ / "objects" / "Skins");
  ASSERT_TRUE(WriteFile(folder_ / "objects" / "Skins" / "1.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 1, 1))));
  platform_.SetCurrentDirectory(Objects());
  EXPECT_EQ(RunSkinwright(platform_, ""), 1);
  ExpectEnd(2);
  EXPECT_NE(ReadFileBytes(HeaderPath()), header_);
}

// ---- failures ----------------------------------------------------------------------------

// No image is opened; a check run's report holds only its first line.
TEST_F(TextureJobTest, AMissingHeaderDatabaseGivesOneBeep) {
  std::filesystem::remove(HeaderPath());
  AddImage("1.bmp", StandardTextureBmp(16, 16, 1, 1));
  EXPECT_EQ(Run(""), 1);
  ExpectEnd(1);
  EXPECT_FALSE(ImagesWereOpened());
  EXPECT_EQ(Run("@check"), 1);
  EXPECT_EQ(platform_.Beeps(), 2);
  EXPECT_EQ(ReadFileText(ErrorListPath()), ReportHead());
  EXPECT_EQ(ReadFileBytes(StorePath()), store_);
  EXPECT_FALSE(std::filesystem::exists(HeaderPath()));
}

TEST_F(TextureJobTest, AHeaderDatabaseThatCannotBeReadWholeIsNeverWrittenBack) {
  HeaderSpec noTextures = StandardHeaderSpec();
  noTextures.textureCount = 0;  // the reader stops
  std::vector<uint8_t> truncated = header_;
  truncated.resize(truncated.size() - 5);
  std::vector<uint8_t> tooManyPalettes = BuildHeaderFile([] {
    HeaderSpec recipe = StandardHeaderSpec();
    recipe.paletteCount = 2001;
    return recipe;
  }());
  for (const std::vector<uint8_t>& bad : {BuildHeaderFile(noTextures), truncated, tooManyPalettes}) {
    RecordingPlatform platform("skinwright");
    ASSERT_TRUE(WriteFile(HeaderPath(), bad));
    AddImage("1.bmp", StandardTextureBmp(16, 16, 1, 1));
    EXPECT_EQ(RunSkinwright(platform, " ~\"" + Tex() + "\" ~\"" + Objects() + "\""), 1);
    EXPECT_EQ(platform.Beeps(), 1);
    EXPECT_EQ(platform.CloseRequests(), 1);
    EXPECT_TRUE(platform.MessageBoxes().empty());
    EXPECT_EQ(ReadFileBytes(HeaderPath()), bad);
    EXPECT_EQ(ReadFileBytes(StorePath()), store_);
  }
}

// The header database is saved only with the compacted store, so the two
// never disagree: the stream appended for the image stays unnamed behind
// the recorded ones.
TEST_F(TextureJobTest, AHeaderDatabaseThatCannotBeSavedKeepsBothObjectFiles) {
  // A folder in the way of the header database's new file.
  std::filesystem::create_directory(folder_ / "objects" / "ZarnoObj.hdr.new");
  const BmpSpec image = StandardTextureBmp(16, 16, 1, 1);
  AddImage("1.bmp", image);
  EXPECT_EQ(Run(""), 1);
  ExpectEnd(1);
  EXPECT_EQ(ReadFileBytes(HeaderPath()), header_);
  EXPECT_EQ(ReadFileBytes(StorePath()), Joined({store_, StreamOf(image)}));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "objects" / "ZarnoObj.tex.new"));
}

TEST_F(TextureJobTest, AFailedCompactionGivesOneBeepAndKeepsTheStore) {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.textures[1] = Record(9000, 10, 16, 0xA0, 0, 0);  // runs past the store
  header_ = BuildHeaderFile(recipe);
  ASSERT_TRUE(WriteFile(HeaderPath(), header_));
  AddImage("4.bmp", StandardTextureBmp(8, 8, 1, 1));  // rejected, so nothing is appended
  EXPECT_EQ(Run(""), 1);
  ExpectEnd(1);
  ExpectObjectFilesUnchanged();
  using Kind = ProgressCall::Kind;
  const std::vector<ProgressCall> progress = {
      {Kind::kOpen, 1}, {Kind::kSetPosition, 0}, {Kind::kSetRange, 3}, {Kind::kClose, 0}};
  EXPECT_EQ(platform_.ProgressCalls(), progress);
  EXPECT_EQ(ObjectFolderNames(), (std::vector<std::string>{"ZarnoObj", "ZarnoObj.hdr", "ZarnoObj.tex"}));
}

TEST_F(TextureJobTest, AJournalThatCannotBeFinishedStopsTheJob) {
  ASSERT_TRUE(WriteFile(folder_ / "objects" / "ZarnoObj.journal", std::vector<uint8_t>{'x'}));
  AddImage("1.bmp", StandardTextureBmp(16, 16, 1, 1));
  EXPECT_EQ(Run("@check"), 1);
  ExpectEnd(1);
  ExpectObjectFilesUnchanged();
  EXPECT_FALSE(std::filesystem::exists(ErrorListPath()));
}

TEST_F(TextureJobTest, AnInterruptedCompactionIsFinishedFirst) {
  const std::vector<uint8_t> newStore = {9, 9, 9};
  ASSERT_TRUE(WriteFile(folder_ / "objects" / "ZarnoObj.tex.new", newStore));
  ASSERT_TRUE(WriteFile(folder_ / "objects" / "ZarnoObj.journal", std::vector<uint8_t>{
      'Z', 'a', 'r', 'n', 'o', 'O', 'b', 'j', '.', 't', 'e', 'x', '\n'}));
  EXPECT_EQ(Run("@check"), 1);
  EXPECT_EQ(ReadFileBytes(StorePath()), newStore);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "objects" / "ZarnoObj.journal"));
}

// ---- check runs ------------------------------------------------------------------------

TEST_F(TextureJobTest, ACheckRunWritesOneLinePerImage) {
  const BmpSpec good = StandardTextureBmp(16, 16, 1, 1);
  std::vector<uint8_t> truncated = BuildBmpFile(good);
  truncated.resize(truncated.size() - 10);
  AddImage("12.bmp", good);
  AddImage("12x.bmp", good);
  AddImage("13.bmp", Changed(good, [](BmpSpec& s) { s.bitCount = 4; }));
  AddImage("14.bmp", StandardTextureBmp(48, 48, 1, 1));
  AddFile("15.bmp", truncated);
  AddImage("16.bmp", Changed(good, [](BmpSpec& s) {
             s.clrUsed = 255;
             s.colors.resize(255);
           }));
  AddImage("17.bmp", Changed(good, [](BmpSpec& s) { s.height = -16; }));
  AddImage("18.bmp", Changed(good, [](BmpSpec& s) {
             s.height = 0;
             s.rows.clear();
           }));
  AddImage("19.bmp", Changed(good, [](BmpSpec& s) {
             s.height = 8;
             s.rows.resize(8);
           }));
  AddImage("20.bmp", FreshImage());
  AddImage("21.bmp", Changed(good, [](BmpSpec& s) { s.bitCount = 24; }));
  AddImage("22.bmp", Changed(good, [](BmpSpec& s) { s.infoHeaderSize = 56; }));
  AddImage("23.bmp", Changed(good, [](BmpSpec& s) { s.compression = 1; }));
  AddImage("2.bmp", Changed(good, [](BmpSpec& s) { s.bitCount = 1; }));
  AddImage("10000.bmp", good);
  AddImage("-1.bmp", good);
  AddImage("roof.bmp", good);
  AddImage("8192.bmp", StandardTextureBmp(8192, 1, 1, 1));
  AddImage("4096.bmp", StandardTextureBmp(4096, 4096, 3, 1));
  AddFile("5.dds", {1});

  EXPECT_EQ(Run("@check"), 1);
  ExpectEnd(2);
  EXPECT_EQ(ReadFileText(ErrorListPath()), ReportHead() +
                                           "Tex ID -1 is out of range.\n"
                                           "Tex ID 10000 is out of range.\n"
                                           "Tex ID 12 file 12.bmp good, so far.\n"
                                           "Tex ID 12 duplicated.\n"
                                           "Tex ID 13 has only 16 colors.\n"
                                           "Tex ID 14 size is not power of 2.\n"
                                           "Tex ID 15 file 15.bmp is truncated.\n"
                                           "Tex ID 16 file 16.bmp has a colour table of fewer than 256 entries.\n"
                                           "Tex ID 17 file 17.bmp is stored top-down.\n"
                                           "Tex ID 18 file 18.bmp has no rows.\n"
                                           "Tex ID 19 file 19.bmp is shorter than it is wide.\n"
                                           "Tex ID 2 has only 2 colors.\n"
                                           "Tex ID 20 file 20.bmp good, so far.\n"
                                           "Tex ID 21 has only 0 colors.\n"
                                           "Tex ID 22 has only 0 colors.\n"
                                           "Tex ID 23 has only 0 colors.\n"
                                           "Tex ID 4096 file 4096.bmp good, so far.\n"
                                           "Tex ID 8192 size is not power of 2.\n"
                                           "Tex file roof.bmp has no ID number.\n");
  ExpectObjectFilesUnchanged();
  EXPECT_TRUE(platform_.ProgressCalls().empty());
  EXPECT_TRUE(std::filesystem::is_empty(folder_ / "objects" / "ZarnoObj"));
}

TEST_F(TextureJobTest, ACheckRunReportsAPaletteThatCannotBeAdded) {
  WritePalettes(12);
  AddImage("3.bmp", FreshImage());
  AddImage("4.bmp", StandardTextureBmp(16, 16, 13, 1));  // palette 13 is not there either
  AddImage("5.bmp", StandardTextureBmp(16, 16, 11, 1));
  EXPECT_EQ(Run("@check"), 1);
  ExpectEnd(2, {kPaletteBox, kPaletteBox});
  EXPECT_EQ(ReadFileText(ErrorListPath()),
            ReportHead() + "Tex ID 3 file 3.bmp needs a new palette, but ZarnoObj.hdr has only 12 palettes.\n"
                           "Tex ID 4 file 4.bmp needs a new palette, but ZarnoObj.hdr has only 12 palettes.\n"
                           "Tex ID 5 file 5.bmp good, so far.\n");
  ExpectObjectFilesUnchanged();
}

TEST_F(TextureJobTest, ACheckRunReportsAFullPaletteTable) {
  WritePalettes(2000);
  AddImage("3.bmp", FreshImage());
  EXPECT_EQ(Run("@check"), 1);
  ExpectEnd(2, {kPaletteBox});
  EXPECT_EQ(ReadFileText(ErrorListPath()), ReportHead() + "Tex ID 3 file 3.bmp has no room for its palette.\n");
  ExpectObjectFilesUnchanged();
}

TEST_F(TextureJobTest, TheObjectFolderArgumentCheckMakesACheckRun) {
  platform_.SetRegistryValue("Software\\Vantorelle\\Orvane\\4.0", "objectDir", Objects());
  AddImage("1.bmp", StandardTextureBmp(16, 16, 1, 1));
  EXPECT_EQ(RunSkinwright(platform_, "~\"" + Tex() + "\" ~\"check\""), 1);
  ExpectEnd(2);
  EXPECT_EQ(ReadFileText(ErrorListPath()), ReportHead() + "Tex ID 1 file 1.bmp good, so far.\n");
  ExpectObjectFilesUnchanged();
}

// First without any BMP image, then without the texture folder.
TEST_F(TextureJobTest, ACheckRunWithoutImagesShowsTheBox) {
  AddFile("1.dds", {1});
  EXPECT_EQ(Run("@check"), 1);
  EXPECT_EQ(ReadFileText(ErrorListPath()), ReportHead());
  std::filesystem::remove_all(folder_ / "tex");
  EXPECT_EQ(Run("@check"), 1);
  EXPECT_EQ(platform_.Beeps(), 0);
  EXPECT_EQ(platform_.MessageBoxes(), (std::vector{kNoTexturesBox, kNoTexturesBox}));
  ExpectObjectFilesUnchanged();
}

TEST_F(TextureJobTest, ACheckRunWhoseReportCannotBeCreatedStops) {
  std::filesystem::create_directory(ErrorListPath());  // a folder in the report's place
  AddImage("1.bmp", StandardTextureBmp(16, 16, 1, 1));
  EXPECT_EQ(Run("@check"), 1);
  ExpectEnd(1);
  EXPECT_FALSE(ImagesWereOpened());
  ExpectObjectFilesUnchanged();
}

TEST_F(TextureJobTest, ADupsRunReportsOnlyNeighboursWithOneIdentifier) {
  const std::vector<uint8_t> notAnImage = {'n', 'o', 't'};
  for (const char* name : {"12.bmp", "120.bmp", "12x.bmp", "13.bmp", "13a.bmp", "13b.bmp", "x.bmp", "40.bmp",
                           "40b.bmp"}) {
    AddFile(name, notAnImage);
  }
  EXPECT_EQ(Run("@dups"), 1);
  ExpectEnd(2);
  EXPECT_EQ(ReadFileText(ErrorListPath()), ReportHead() +
                                           "Tex ID 13 duplicated.\n"
                                           "Tex ID 13 duplicated.\n"
                                           "Tex ID 40 duplicated.\n");
  EXPECT_FALSE(ImagesWereOpened());
  ExpectObjectFilesUnchanged();
}

TEST_F(TextureJobTest, AFirstImageNumberedMinusOneIsNoDuplicate) {
  AddImage("-1.bmp", StandardTextureBmp(16, 16, 1, 1));
  EXPECT_EQ(Run("@dups"), 1);
  EXPECT_EQ(ReadFileText(ErrorListPath()), ReportHead());
}

// ---- DDS runs ----------------------------------------------------------------------------

TEST_F(TextureJobTest, ADdsRunCopiesTheImagesAndSavesPlaceholders) {
  AddFile("57.dds", {5, 7});
  AddFile("057.DDS", {0, 5, 7});
  AddFile("2.dds", {2});
  AddFile("sky.dds", {3});
  AddImage("9.bmp", StandardTextureBmp(16, 16, 1, 1));
  EXPECT_EQ(Run("@dds"), 1);
  ExpectEnd(2);
  // Search order: 057.DDS, 2.dds, 57.dds; the last copy of 57 wins.
  EXPECT_EQ(ReadFileBytes(DdsCopy("57.dds")), (std::vector<uint8_t>{5, 7}));
  EXPECT_EQ(ReadFileBytes(DdsCopy("2.dds")), (std::vector<uint8_t>{2}));
  EXPECT_FALSE(std::filesystem::exists(DdsCopy("057.dds")));
  EXPECT_FALSE(std::filesystem::exists(DdsCopy("9.dds")));

  HeaderSpec expected = StandardHeaderSpec();
  expected.textures.resize(58, TextureRecord{});
  expected.textures[57] = Record(0, 4000, 64, 0xE0, 0xFF000000, 2);
  EXPECT_EQ(ReadFileBytes(HeaderPath()), BuildHeaderFile(expected));
  EXPECT_EQ(ReadFileBytes(StorePath()), store_);
  EXPECT_TRUE(platform_.ProgressCalls().empty());
  EXPECT_FALSE(std::filesystem::exists(ErrorListPath()));
}

TEST_F(TextureJobTest, ACheckDdsRunCopiesButChangesNoObjectFile) {
  platform_.SetRegistryValue("Software\\Vantorelle\\Orvane\\4.0", "objectDir", Objects());
  AddFile("8.dds", {8});
  EXPECT_EQ(RunSkinwright(platform_, "@dds ~\"" + Tex() + "\" ~\"check\""), 1);
  ExpectEnd(2);
  EXPECT_EQ(ReadFileBytes(DdsCopy("8.dds")), (std::vector<uint8_t>{8}));
  ExpectObjectFilesUnchanged();
  EXPECT_EQ(ReadFileText(ErrorListPath()), ReportHead());
}

}  // namespace
}  // namespace zarno
