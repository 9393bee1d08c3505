#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/header_database.h"
#include "core/install_paths.h"
#include "skinwright/tex_compaction.h"
#include "tests/support/header_builder.h"
#include "tests/support/object_folder.h"
#include "tests/support/recording_platform.h"
#include "tests/support/texture_images.h"

namespace zarno {
namespace {

TextureRecord Texture(uint32_t offset, uint32_t size, uint32_t palette = 0) {
  return TextureRecord{offset, size, 16, 0, 0, 0xA0, 0xFF000000, 0, palette, 0};
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t offset, size_t size) {
  return {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
          bytes.begin() + static_cast<std::ptrdiff_t>(offset + size)};
}

std::vector<uint8_t> Joined(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class TexCompactionTest : public ::testing::Test {
 protected:
  TexCompactionTest() {
    paths_.objectDir = folder_.Path().string();
    paths_.objectDirSlash = paths_.objectDir + "/";
    paths_.hdrPath = paths_.objectDirSlash + "ZarnoObj.hdr";
    store_ = MakeRandomBytes(200, 5);
  }

  // Writes the header database of `textures` to disk and reads it into db_.
  void Prepare(const std::vector<TextureRecord>& textures, uint32_t maxTextureSize = 0) {
    spec_ = StandardHeaderSpec();
    spec_.textures = textures;
    spec_.maxTextureSize = maxTextureSize;
    ASSERT_TRUE(WriteFile(folder_ / "ZarnoObj.hdr", BuildHeaderFile(spec_)));
    ASSERT_TRUE(WriteFile(folder_ / "ZarnoObj.tex", store_));
    ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(spec_), db_, false), kReadOk);
  }

  // The header file the compaction must leave: the same database with the
  // new offsets and maxTextureSize.
  std::vector<uint8_t> HeaderWith(const std::vector<TextureRecord>& textures, uint32_t maxTextureSize) const {
    HeaderSpec expected = spec_;
    expected.textures = textures;
    expected.maxTextureSize = maxTextureSize;
    return BuildHeaderFile(expected);
  }

  std::vector<uint8_t> Store() const { return ReadFileBytes(folder_ / "ZarnoObj.tex"); }
  std::vector<uint8_t> Header() const { return ReadFileBytes(folder_ / "ZarnoObj.hdr"); }

  void ExpectOnlyTheObjectFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ZarnoObj.hdr", "ZarnoObj.tex"}));
  }

  // A failed compaction leaves both files, the tables and the progress
  // display as they were.
  void ExpectNothingChanged(const std::vector<uint8_t>& storeBefore, const std::vector<TextureRecord>& textures,
                            uint32_t maxTextureSize) {
    ExpectNothingChanged(platform_, storeBefore, textures, maxTextureSize);
  }
  void ExpectNothingChanged(const RecordingPlatform& platform, const std::vector<uint8_t>& storeBefore,
                            const std::vector<TextureRecord>& textures, uint32_t maxTextureSize) {
    EXPECT_EQ(Store(), storeBefore);
    EXPECT_EQ(Header(), BuildHeaderFile(spec_));
    EXPECT_EQ(WriteHeaderDatabase(db_), HeaderWith(textures, maxTextureSize));
    ExpectOnlyTheObjectFiles();
    ASSERT_FALSE(platform.ProgressCalls().empty());
    EXPECT_EQ(platform.ProgressCalls().back().kind, ProgressCall::Kind::kClose);
  }

  TempFolder folder_;
  RecordingPlatform platform_{"skinwright"};
  InstallPaths paths_;
  HeaderDatabase db_{kSkinwrightLimits};
  HeaderSpec spec_;
  std::vector<uint8_t> store_;
};

TEST_F(TexCompactionTest, PacksTheRecordsInUseInIndexOrder) {
  Prepare({Texture(100, 30), Texture(0, 50, 2), Texture(999, 0), Texture(50, 20, 14), Texture(150, 10)}, 25);
  ASSERT_TRUE(CompactTexFile(platform_, paths_, db_));
  EXPECT_EQ(Store(), Joined({Slice(store_, 100, 30), Slice(store_, 0, 50), Slice(store_, 50, 20),
                             Slice(store_, 150, 10)}));
  const std::vector<TextureRecord> packed = {Texture(0, 30), Texture(30, 50, 2), Texture(999, 0),
                                             Texture(80, 20, 14), Texture(100, 10)};
  EXPECT_EQ(Header(), HeaderWith(packed, 50));
  EXPECT_EQ(db_.maxTextureSize, 50u);
  EXPECT_EQ(db_.TextureTable[3].fileOffset, 80u);
  ExpectOnlyTheObjectFiles();
}

TEST_F(TexCompactionTest, DrivesTheProgressDisplayByRecordIndex) {
  Prepare({Texture(0, 10), Texture(0, 0), Texture(0, 0), Texture(10, 5), Texture(0, 0)});
  ASSERT_TRUE(CompactTexFile(platform_, paths_, db_));
  using Kind = ProgressCall::Kind;
  const std::vector<ProgressCall> expected = {{Kind::kOpen, 1},        {Kind::kSetPosition, 0},
                                              {Kind::kSetRange, 5},    {Kind::kSetPosition, 0},
                                              {Kind::kSetPosition, 3}, {Kind::kClose, 0}};
  EXPECT_EQ(platform_.ProgressCalls(), expected);
}

TEST_F(TexCompactionTest, GivesEachRecordItsOwnCopyOfSharedData) {
  Prepare({Texture(20, 40), Texture(20, 40, 2), Texture(0, 0), Texture(20, 40, 3)}, 100);
  ASSERT_TRUE(CompactTexFile(platform_, paths_, db_));
  const std::vector<uint8_t> blob = Slice(store_, 20, 40);
  EXPECT_EQ(Store(), Joined({blob, blob, blob}));
  EXPECT_EQ(Header(), HeaderWith({Texture(0, 40), Texture(40, 40, 2), Texture(0, 0), Texture(80, 40, 3)}, 100));
}

TEST_F(TexCompactionTest, ATableWithNothingInUseLeavesAnEmptyStore) {
  Prepare({Texture(0, 0), Texture(70, 0)}, 33);
  ASSERT_TRUE(CompactTexFile(platform_, paths_, db_));
  EXPECT_TRUE(Store().empty());
  EXPECT_TRUE(std::filesystem::exists(folder_ / "ZarnoObj.tex"));
  EXPECT_EQ(Header(), HeaderWith({Texture(0, 0), Texture(70, 0)}, 33));
  EXPECT_EQ(db_.maxTextureSize, 33u);
}

TEST_F(TexCompactionTest, AMissingStoreWithNothingInUseBecomesAnEmptyOne) {
  Prepare({Texture(0, 0)});
  std::filesystem::remove(folder_ / "ZarnoObj.tex");
  ASSERT_TRUE(CompactTexFile(platform_, paths_, db_));
  EXPECT_TRUE(std::filesystem::exists(folder_ / "ZarnoObj.tex"));
  EXPECT_TRUE(Store().empty());
}

TEST_F(TexCompactionTest, CompactingTwiceChangesNothingTheSecondTime) {
  Prepare({Texture(150, 30), Texture(0, 0), Texture(10, 60), Texture(10, 60)}, 7);
  ASSERT_TRUE(CompactTexFile(platform_, paths_, db_));
  const std::vector<uint8_t> store = Store();
  const std::vector<uint8_t> header = Header();
  EXPECT_EQ(store.size(), 150u);
  ASSERT_TRUE(CompactTexFile(platform_, paths_, db_));
  EXPECT_EQ(Store(), store);
  EXPECT_EQ(Header(), header);
}

TEST_F(TexCompactionTest, NeverLowersMaxTextureSize) {
  Prepare({Texture(0, 10)}, 5000);
  ASSERT_TRUE(CompactTexFile(platform_, paths_, db_));
  EXPECT_EQ(db_.maxTextureSize, 5000u);
  EXPECT_EQ(Header(), HeaderWith({Texture(0, 10)}, 5000));
}

TEST_F(TexCompactionTest, ARecordRunningPastTheStoreChangesNothing) {
  const std::vector<TextureRecord> textures = {Texture(0, 10), Texture(190, 11)};
  Prepare(textures, 3);
  EXPECT_FALSE(CompactTexFile(platform_, paths_, db_));
  ExpectNothingChanged(store_, textures, 3);
}

TEST_F(TexCompactionTest, AnOffsetBeyondTheStoreChangesNothing) {
  const std::vector<TextureRecord> textures = {Texture(0xFFFFFFF0, 0x20)};
  Prepare(textures, 3);
  EXPECT_FALSE(CompactTexFile(platform_, paths_, db_));
  ExpectNothingChanged(store_, textures, 3);
}

TEST_F(TexCompactionTest, AMissingStoreWithRecordsInUseChangesNothing) {
  const std::vector<TextureRecord> textures = {Texture(0, 10)};
  Prepare(textures, 3);
  std::filesystem::remove(folder_ / "ZarnoObj.tex");
  EXPECT_FALSE(CompactTexFile(platform_, paths_, db_));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "ZarnoObj.tex"));
  EXPECT_EQ(Header(), BuildHeaderFile(spec_));
  EXPECT_EQ(WriteHeaderDatabase(db_), HeaderWith(textures, 3));
}

TEST_F(TexCompactionTest, APackedStoreBeyond32BitOffsetsChangesNothing) {
  // Two records sharing 2 GiB would need 4 GiB; refused before any file is read.
  const std::vector<TextureRecord> textures = {Texture(0, 0x80000000u), Texture(0, 0x80000000u)};
  Prepare(textures, 3);
  EXPECT_FALSE(CompactTexFile(platform_, paths_, db_));
  ExpectNothingChanged(store_, textures, 3);
  EXPECT_TRUE(platform_.FileOperations().empty());
}

TEST_F(TexCompactionTest, AFailedFileOperationChangesNothing) {
  // The file operations of a compaction with records in use, in order.
  const std::vector<FileOperation> operations = {
      FileOperation::kOpenFile,     // the store
      FileOperation::kOpenFile,     // ZarnoObj.tex.new
      FileOperation::kOpenFile,     // ZarnoObj.hdr.new
      FileOperation::kOpenFile,     // ZarnoObj.tex, which must be replaceable
      FileOperation::kOpenFile,     // ZarnoObj.hdr, likewise
      FileOperation::kOpenFile,     // ZarnoObj.journal.new
      FileOperation::kReplaceFile,  // the journal
  };
  const std::vector<TextureRecord> textures = {Texture(60, 10), Texture(0, 20)};
  for (size_t failing = 1; failing <= operations.size(); ++failing) {
    SCOPED_TRACE(failing);
    RecordingPlatform platform("skinwright");
    Prepare(textures, 3);
    platform.FailFileOperation(failing);
    EXPECT_FALSE(CompactTexFile(platform, paths_, db_));
    ASSERT_GE(platform.FileOperations().size(), failing);
    EXPECT_EQ(platform.FileOperations()[failing - 1].operation, operations[failing - 1]);
    ExpectNothingChanged(platform, store_, textures, 3);
  }
}

}  // namespace
}  // namespace zarno
