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

// Each record in use gets its own copy of its data, in index order; unused
// records keep their fields; maxTextureSize only ever grows. Compacting
// again changes nothing.
TEST_F(TexCompactionTest, PacksTheRecordsInUseInIndexOrder) {
  struct PackCase {
    const char* what;
    std::vector<TextureRecord> textures;
    uint32_t maxTextureSize;
    std::vector<std::pair<size_t, size_t>> slices;  // offset and size in the old store
    std::vector<TextureRecord> packed;
    uint32_t packedMaxTextureSize;
  };
  const PackCase cases[] = {
      {"out of order",
       {Texture(100, 30), Texture(0, 50, 2), Texture(999, 0), Texture(50, 20, 14), Texture(150, 10)},
       25,
       {{100, 30}, {0, 50}, {50, 20}, {150, 10}},
       {Texture(0, 30), Texture(30, 50, 2), Texture(999, 0), Texture(80, 20, 14), Texture(100, 10)},
       50},
      {"shared data",
       {Texture(20, 40), Texture(20, 40, 2), Texture(0, 0), Texture(20, 40, 3)},
       100,
       {{20, 40}, {20, 40}, {20, 40}},
       {Texture(0, 40), Texture(40, 40, 2), Texture(0, 0), Texture(80, 40, 3)},
       100},
      {"nothing in use", {Texture(0, 0), Texture(70, 0)}, 33, {}, {Texture(0, 0), Texture(70, 0)}, 33},
      {"larger maxTextureSize", {Texture(0, 10)}, 5000, {{0, 10}}, {Texture(0, 10)}, 5000},
  };
  for (const PackCase& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare(c.textures, c.maxTextureSize);
    ASSERT_TRUE(CompactTexFile(platform_, paths_, db_));
    std::vector<uint8_t> packed;
    for (const auto& [offset, size] : c.slices) {
      const std::vector<uint8_t> slice = Slice(store_, offset, size);
      packed.insert(packed.end(), slice.begin(), slice.end());
    }
    EXPECT_EQ(Store(), packed);
    EXPECT_EQ(Header(), HeaderWith(c.packed, c.packedMaxTextureSize));
    EXPECT_EQ(WriteHeaderDatabase(db_), Header());
    ExpectOnlyTheObjectFiles();
    ASSERT_TRUE(CompactTexFile(platform_, paths_, db_));  // a second time changes nothing
    EXPECT_EQ(Store(), packed);
    EXPECT_EQ(Header(), HeaderWith(c.packed, c.packedMaxTextureSize));
  }
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

TEST_F(TexCompactionTest, AMissingStoreWithNothingInUseBecomesAnEmptyOne) {
  Prepare({Texture(0, 0)});
  std::filesystem::remove(folder_ / "ZarnoObj.tex");
  ASSERT_TRUE(CompactTexFile(platform_, paths_, db_));
  EXPECT_TRUE(std::filesystem::exists(folder_ / "ZarnoObj.tex"));
  EXPECT_TRUE(Store().empty());
}

// Refused before anything is written; a packed store beyond 32-bit offsets
// even before any file is read.
TEST_F(TexCompactionTest, RecordsBeyondTheStoreChangeNothing) {
  struct RefusedCase {
    const char* what;
    std::vector<TextureRecord> textures;
    bool readsNothing;
  };
  const RefusedCase cases[] = {
      {"a record running past the store", {Texture(0, 10), Texture(190, 11)}, false},
      {"an offset beyond the store", {Texture(0xFFFFFFF0, 0x20)}, false},
      {"two records sharing 2 GiB", {Texture(0, 0x80000000u), Texture(0, 0x80000000u)}, true},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingPlatform platform("skinwright");
    Prepare(c.textures, 3);
    EXPECT_FALSE(CompactTexFile(platform, paths_, db_));
    ExpectNothingChanged(platform, store_, c.textures, 3);
    EXPECT_TRUE(!c.readsNothing || platform.FileOperations().empty());
  }
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
