#include "core/header_file.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/file_utils.h"
#include "tests/support/kit.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Sequence(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  return bytes;
}

// A file whose reads stop after `limit` bytes, as a failing disk would.
class ShortReadFile : public File {
 public:
  ShortReadFile(std::unique_ptr<File> file, size_t limit) : file_(std::move(file)), limit_(limit) {}
  size_t Read(void* buffer, size_t size) override {
    const size_t got = file_->Read(buffer, std::min(size, limit_));
    limit_ -= got;
    return got;
  }
  bool Write(const void* data, size_t size) override { return file_->Write(data, size); }
  bool Seek(uint64_t offset) override { return file_->Seek(offset); }
  std::optional<uint64_t> Size() override { return file_->Size(); }
  bool Flush() override { return file_->Flush(); }
  bool Close() override { return file_->Close(); }

 private:
  std::unique_ptr<File> file_;
  size_t limit_;
};

class ShortReadPlatform : public RecordingPlatform {
 public:
  explicit ShortReadPlatform(size_t limit) : limit_(limit) {}
  std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) override {
    std::unique_ptr<File> file = RecordingPlatform::OpenFile(path, mode);
    if (!file) return nullptr;
    return std::make_unique<ShortReadFile>(std::move(file), limit_);
  }

 private:
  size_t limit_;
};

// A temporary folder, the header database's path in it and a platform.
class HeaderFileTest : public ::testing::Test {
 protected:
  TempFolder folder;
  const std::string path = folder / "ZarnoObj.hdr";
  RecordingPlatform platform;
};
using ReadWholeFileTest = HeaderFileTest;
using ReplaceFileContentsTest = HeaderFileTest;
using LoadHeaderDatabaseTest = HeaderFileTest;
using SaveHeaderDatabaseTest = HeaderFileTest;

// ---- file helpers ----------------------------------------------------------

TEST_F(ReadWholeFileTest, ReadsEveryByteOrFails) {
  const Bytes content = Sequence(70000);
  ASSERT_TRUE(WriteFile(folder / "data.bin", content));
  ASSERT_TRUE(WriteFile(folder / "empty.bin", {}));
  Bytes bytes;
  EXPECT_TRUE(ReadWholeFile(platform, folder / "data.bin", bytes));
  EXPECT_EQ(bytes, content);
  EXPECT_TRUE(ReadWholeFile(platform, folder / "empty.bin", bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(ReadWholeFile(platform, folder / "missing.bin", bytes));
  EXPECT_FALSE(ReadWholeFile(platform, folder.Path(), bytes));
  platform.FailFileOperation(1);
  EXPECT_FALSE(ReadWholeFile(platform, folder / "data.bin", bytes));
  ShortReadPlatform shortReads(69999);
  EXPECT_FALSE(ReadWholeFile(shortReads, folder / "data.bin", bytes));
}

TEST_F(ReplaceFileContentsTest, ReplacesThroughATemporaryFileBesideIt) {
  ASSERT_TRUE(WriteFile(path, Sequence(500)));
  EXPECT_TRUE(ReplaceFileContents(platform, path, Bytes{1, 2, 3}));
  EXPECT_EQ(ReadFileBytes(path), (Bytes{1, 2, 3}));
  EXPECT_FALSE(std::filesystem::exists(path + ".new"));
  const std::vector<FileOperationRecord> expected = {
      {FileOperation::kOpenFile, path + ".new", ""},
      {FileOperation::kReplaceFile, path + ".new", path},
  };
  EXPECT_EQ(platform.FileOperations(), expected);
}

TEST_F(ReplaceFileContentsTest, CreatesAFileThatDidNotExistButNoFolder) {
  EXPECT_TRUE(ReplaceFileContents(platform, folder / "new.hdr", Bytes{}));
  EXPECT_TRUE(std::filesystem::exists(folder / "new.hdr"));
  EXPECT_EQ(std::filesystem::file_size(folder / "new.hdr"), 0u);
  EXPECT_FALSE(ReplaceFileContents(platform, folder / "nowhere" / "ZarnoObj.hdr", Bytes{1}));
}

TEST_F(ReplaceFileContentsTest, AFailureLeavesTheOldFileAndNoTemporaryFile) {
  struct Case {
    const char* name;
    size_t failingOperation;  // 1: creating the temporary file, 2: the rename
    bool removesTemporary;
  };
  const Case cases[] = {{"temporary file not created", 1, false}, {"rename refused", 2, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteFile(path, Sequence(500)));
    RecordingPlatform failing;
    failing.FailFileOperation(c.failingOperation);
    EXPECT_FALSE(ReplaceFileContents(failing, path, Bytes{1, 2, 3}));
    EXPECT_EQ(ReadFileBytes(path), Sequence(500));
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
    const bool removed = failing.FileOperations().back() ==
                         FileOperationRecord{FileOperation::kRemoveFile, path + ".new", ""};
    EXPECT_EQ(removed, c.removesTemporary);
  }
}

// ---- loading and saving ZarnoObj.hdr ---------------------------------------

TEST_F(LoadHeaderDatabaseTest, ReadsTheFileAndSaysWhetherItMayBeWrittenBack) {
  struct Case {
    const char* name;
    void (*change)(HeaderSpec&);
    ReadStatus status;
    bool safe;
  };
  const Case cases[] = {
      {"standard", [](HeaderSpec&) {}, kReadOk, true},
      {"no palettes", [](HeaderSpec& s) { s.palettes.clear(); }, kBadPaletteCount, true},
      {"too many palettes", [](HeaderSpec& s) { s.palettes.resize(1001); }, kBadPaletteCount, false},
      {"no parents", [](HeaderSpec& s) { s.parents.clear(); }, kBadParentCount, false},
      {"cut short", [](HeaderSpec& s) { s.parents[2].lodRefCount = 4; }, kTruncated, false},
  };
  HeaderDatabase db(kRigwrightLimits);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeaderSpec recipe = StandardHeaderSpec();
    c.change(recipe);
    ASSERT_TRUE(WriteFile(path, BuildHeaderFile(recipe)));
    const HeaderLoadResult result = LoadHeaderDatabase(platform, path, db, false);
    EXPECT_EQ(result.outcome, HeaderLoadOutcome::kRead);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.safeToWrite, c.safe);
    EXPECT_EQ(db.leadWord, recipe.leadWord);
  }
}

TEST_F(LoadHeaderDatabaseTest, KeepsTheFreeListOutOfARigwrightCheckRun) {
  ASSERT_TRUE(WriteFile(path, BuildHeaderFile(StandardHeaderSpec())));
  HeaderDatabase db(kRigwrightLimits);
  ASSERT_EQ(LoadHeaderDatabase(platform, path, db, true).status, kReadOk);
  EXPECT_EQ(db.freeLodCount, 2u);
  EXPECT_TRUE(db.FreeLodList.empty());
}

TEST_F(LoadHeaderDatabaseTest, TellsAMissingFileFromOneThatCannotBeRead) {
  ASSERT_TRUE(WriteFile(path, BuildHeaderFile(StandardHeaderSpec())));
  HeaderDatabase db(kRigwrightLimits);

  HeaderLoadResult result = LoadHeaderDatabase(platform, folder / "zarnoobj.missing", db, false);
  EXPECT_EQ(result.outcome, HeaderLoadOutcome::kCannotOpen);
  EXPECT_FALSE(result.safeToWrite);

  platform.FailFileOperation(1);
  EXPECT_EQ(LoadHeaderDatabase(platform, path, db, false).outcome, HeaderLoadOutcome::kCannotOpen);

  ShortReadPlatform shortReads(1000);
  result = LoadHeaderDatabase(shortReads, path, db, false);
  EXPECT_EQ(result.outcome, HeaderLoadOutcome::kCannotRead);
  EXPECT_FALSE(result.safeToWrite);
  EXPECT_EQ(db.colorCount, 0u);  // the reader never ran
}

TEST_F(SaveHeaderDatabaseTest, WritesTheTablesBackRaisingTheLodWord) {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.lodWord = 5000;
  ASSERT_TRUE(WriteFile(path, BuildHeaderFile(recipe)));
  HeaderDatabase db(kSkinwrightLimits);
  ASSERT_TRUE(LoadHeaderDatabase(platform, path, db, false).safeToWrite);
  EXPECT_TRUE(SaveHeaderDatabase(platform, path, db));
  recipe.lodWord = 10000;
  EXPECT_EQ(ReadFileBytes(path), BuildHeaderFile(recipe));
}

TEST_F(SaveHeaderDatabaseTest, LowersCountsAboveTheLimitsInMemoryToo) {
  const HeaderSpec recipe = StandardHeaderSpec();
  ASSERT_TRUE(WriteFile(path, BuildHeaderFile(recipe)));
  HeaderDatabase db(kRigwrightLimits);
  ASSERT_EQ(LoadHeaderDatabase(platform, path, db, false).status, kReadOk);
  db.ParentTable[2].slotCount = 30;
  EXPECT_TRUE(SaveHeaderDatabase(platform, path, db));
  EXPECT_EQ(db.ParentTable[2].slotCount, 25);
  EXPECT_EQ(ReadFileBytes(path), BuildHeaderFile(recipe));
}

TEST_F(SaveHeaderDatabaseTest, AFailedSaveKeepsTheOldFile) {
  ASSERT_TRUE(WriteFile(path, Sequence(64)));
  HeaderDatabase db(kRigwrightLimits);
  platform.FailFileOperation(2);
  EXPECT_FALSE(SaveHeaderDatabase(platform, path, db));
  EXPECT_EQ(ReadFileBytes(path), Sequence(64));
}

}  // namespace
}  // namespace zarno
