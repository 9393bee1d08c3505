#include "rigwright/lod_compaction.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/header_file.h"
#include "core/progress.h"
#include "core/replacement_journal.h"
#include "tests/support/header_builder.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes FileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A store whose every byte tells where it stands, so a blob copied from the
// wrong place shows.
Bytes StoreBytes(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + (i >> 8) + 7);
  return bytes;
}

Bytes Slice(const Bytes& bytes, size_t offset, size_t size) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
               bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

LodRecord Lod(uint32_t word0, uint32_t fileOffset, uint32_t fileSize) {
  return LodRecord{word0, word0 + 1, word0 + 2, fileOffset, fileSize};
}

ParentSpec ParentReferring(std::vector<int32_t> lodRefs) {
  ParentSpec parent;
  for (int32_t ref : lodRefs) parent.lodRefs.push_back({ref, 1000.0f * static_cast<float>(ref)});
  return parent;
}

ProgressCall Open(int64_t stage) { return {ProgressCall::Kind::kOpen, stage}; }
ProgressCall Range(int64_t maximum) { return {ProgressCall::Kind::kSetRange, maximum}; }
ProgressCall Position(int64_t position) { return {ProgressCall::Kind::kSetPosition, position}; }
ProgressCall Close() { return {ProgressCall::Kind::kClose, 0}; }

// A file whose writes or flushes fail, as on a full disk.
class FailingFile : public File {
 public:
  FailingFile(std::unique_ptr<File> inner, bool failWrite, bool failFlush)
      : inner_(std::move(inner)), failWrite_(failWrite), failFlush_(failFlush) {}
  size_t Read(void* buffer, size_t size) override { return inner_->Read(buffer, size); }
  bool Write(const void* data, size_t size) override { return !failWrite_ && inner_->Write(data, size); }
  bool Seek(uint64_t offset) override { return inner_->Seek(offset); }
  std::optional<uint64_t> Size() override { return inner_->Size(); }
  bool Flush() override { return !failFlush_ && inner_->Flush(); }
  bool Close() override { return inner_->Close(); }

 private:
  std::unique_ptr<File> inner_;
  bool failWrite_;
  bool failFlush_;
};

// The recording platform, able to hand out a failing file for one path.
class FullDiskPlatform : public RecordingPlatform {
 public:
  void FailWritesTo(std::string path, bool failWrite, bool failFlush) {
    failingPath_ = std::move(path);
    failWrite_ = failWrite;
    failFlush_ = failFlush;
  }
  std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) override {
    std::unique_ptr<File> file = RecordingPlatform::OpenFile(path, mode);
    if (!file || path != failingPath_) return file;
    return std::make_unique<FailingFile>(std::move(file), failWrite_, failFlush_);
  }

 private:
  std::string failingPath_;
  bool failWrite_ = false;
  bool failFlush_ = false;
};

class LodCompactionTest : public testing::Test {
 protected:
  LodCompactionTest() {
    paths_.objectDir = folder_.Path().string();
    paths_.objectDirSlash = paths_.objectDir + "/";
    paths_.hdrPath = paths_.objectDirSlash + "ZarnoObj.hdr";
    paths_.lodPath = paths_.objectDirSlash + "ZarnoObj.lod";
    // The worked example: four blobs as installation lays them out, parents
    // referring to records 0 and 2 only (and to LODs never installed).
    header_ = StandardHeaderSpec();
    header_.lods = {Lod(100, 10, 100), Lod(200, 120, 50), Lod(300, 180, 70), Lod(400, 260, 30)};
    header_.parents = {ParentReferring({1, 5}), ParentReferring({-1}), ParentReferring({5, -1})};
    store_ = StoreBytes(290);
  }

  void Prepare() {
    headerBytes_ = BuildHeaderFile(header_);
    ASSERT_TRUE(WriteFile(folder_ / "ZarnoObj.hdr", headerBytes_));
    ASSERT_TRUE(WriteFile(folder_ / "ZarnoObj.lod", store_));
    ASSERT_EQ(LoadHeaderDatabase(platform_, paths_.hdrPath, *db_, false).outcome, HeaderLoadOutcome::kRead);
    operationsBefore_ = platform_.FileOperations().size();
  }
  void Run() { CompactLodFile(platform_, paths_, *db_); }

  std::vector<LodRecord> RecordsInMemory() const {
    return std::vector<LodRecord>(db_->LodTable.begin(), db_->LodTable.begin() + db_->lodCount);
  }
  // The files of the object folder besides the two object files.
  std::vector<std::string> OtherFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
      const std::string name = entry.path().filename().string();
      if (name != "ZarnoObj.hdr" && name != "ZarnoObj.lod") names.push_back(name);
    }
    return names;
  }
  const FileOperationRecord& OperationOfRun(size_t number) const {
    return platform_.FileOperations().at(operationsBefore_ + number - 1);
  }
  // The worked example after compaction: records 0 and 2 packed from offset 0.
  std::vector<LodRecord> PackedRecords() const {
    return {Lod(100, 0, 100), Lod(200, 0, 0), Lod(300, 100, 70), Lod(400, 0, 0)};
  }
  Bytes PackedStore() const { return Joined({Slice(store_, 10, 100), Slice(store_, 180, 70)}); }
  void ExpectBox(const std::string& text) const {
    EXPECT_EQ(platform_.MessageBoxes(),
              (std::vector<MessageBoxRecord>{{text, "File Open Error", BoxIcon::kHand}}));
  }
  void ExpectNothingChanged() const {
    EXPECT_EQ(FileBytes(folder_ / "ZarnoObj.hdr"), headerBytes_);
    EXPECT_EQ(FileBytes(folder_ / "ZarnoObj.lod"), store_);
    std::vector<LodRecord> before = header_.lods;
    const std::vector<LodRecord> now = RecordsInMemory();
    ASSERT_EQ(now.size(), before.size());
    for (size_t k = 0; k < now.size(); ++k) {
      EXPECT_EQ(now[k].fileOffset, before[k].fileOffset) << k;
      EXPECT_EQ(now[k].fileSize, before[k].fileSize) << k;
    }
  }

  TempFolder folder_;
  FullDiskPlatform platform_;
  InstallPaths paths_;
  HeaderSpec header_;
  Bytes store_;
  Bytes headerBytes_;
  size_t operationsBefore_ = 0;
  std::unique_ptr<HeaderDatabase> db_ = std::make_unique<HeaderDatabase>(kRigwrightLimits);
};

// The tables in memory follow the files; progress runs over the records copied.
TEST_F(LodCompactionTest, PacksTheUsedBlobsFromOffsetZeroAndFreesTheRest) {
  Prepare();
  Run();
  EXPECT_EQ(FileBytes(folder_ / "ZarnoObj.lod"), PackedStore());
  HeaderSpec expected = header_;
  expected.lods = PackedRecords();
  EXPECT_EQ(FileBytes(folder_ / "ZarnoObj.hdr"), BuildHeaderFile(expected));
  const std::vector<LodRecord> records = RecordsInMemory();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(std::memcmp(records.data(), expected.lods.data(), 4 * sizeof(LodRecord)), 0);
  EXPECT_EQ(db_->ParentLists[0].lodRef[1], 5);
  EXPECT_EQ(db_->ParentLists[2].lodRef[1], -1);
  EXPECT_EQ(platform_.ProgressCalls(),
            (std::vector<ProgressCall>{Open(kProgressStageLod), Position(0), Range(4), Position(0),
                                       Position(2), Close()}));
  EXPECT_TRUE(platform_.MessageBoxes().empty());
  EXPECT_EQ(platform_.Beeps(), 0);
  EXPECT_TRUE(OtherFiles().empty());
}

// Every record referenced (the 10-byte gaps of installation remain), or the
// unreferenced records all of size zero: nothing to drop, nothing touched.
TEST_F(LodCompactionTest, NothingIsRewrittenWhenNoUsedBlobWouldBeDropped) {
  HeaderSpec unreferencedEmpty = header_;
  unreferencedEmpty.lods = {Lod(100, 10, 100), Lod(200, 500, 0), Lod(300, 180, 70), Lod(400, 0, 0)};
  const std::pair<HeaderSpec, size_t> cases[] = {{StandardHeaderSpec(), 300}, {unreferencedEmpty, 290}};
  for (const auto& [header, storeSize] : cases) {
    SCOPED_TRACE(storeSize);
    header_ = header;
    store_ = StoreBytes(storeSize);
    Prepare();
    Run();
    ExpectNothingChanged();
    EXPECT_EQ(platform_.FileOperations().size(), operationsBefore_);
  }
  EXPECT_TRUE(platform_.ProgressCalls().empty());
  EXPECT_TRUE(platform_.MessageBoxes().empty());
}

TEST_F(LodCompactionTest, ParentsBeyondTheParentCountKeepNothingAlive) {
  Prepare();
  db_->ParentTable[3].lodRefCount = 1;
  db_->ParentLists[3].lodRef[0] = 3;  // record 1, but parent 3 does not exist
  Run();
  EXPECT_EQ(RecordsInMemory()[1].fileSize, 0u);
}

TEST_F(LodCompactionTest, AUsedEmptyBlobTakesTheNextOffset) {
  header_.lods = {Lod(100, 10, 100), Lod(200, 0, 0), Lod(300, 120, 50), Lod(400, 180, 70)};
  header_.parents = {ParentReferring({1, 3, 7})};
  Prepare();
  Run();
  const std::vector<LodRecord> records = RecordsInMemory();
  EXPECT_EQ(records[1].fileOffset, 100u);
  EXPECT_EQ(records[1].fileSize, 0u);
  EXPECT_EQ(records[2].fileSize, 0u);
  EXPECT_EQ(records[3].fileOffset, 100u);
  EXPECT_EQ(FileBytes(folder_ / "ZarnoObj.lod"), PackedStore());
  EXPECT_EQ(platform_.ProgressCalls(),
            (std::vector<ProgressCall>{Open(kProgressStageLod), Position(0), Range(4), Position(0),
                                       Position(1), Position(3), Close()}));
}

TEST_F(LodCompactionTest, BlobsLargerThanTheCopyBufferArriveWhole) {
  const uint32_t large = 2'500'003;
  header_.lods = {Lod(100, 10, 3'000'000), Lod(200, 3'000'010, large)};
  header_.parents = {ParentReferring({3})};
  store_ = StoreBytes(3'000'010 + large);
  Prepare();
  Run();
  EXPECT_EQ(FileBytes(folder_ / "ZarnoObj.lod"), Slice(store_, 3'000'010, large));
  EXPECT_EQ(RecordsInMemory()[1].fileOffset, 0u);
}

// Which record a lone parent entry keeps alive: record (lodRef - 1) / 2,
// truncated toward zero, when it lies below lodCount.
struct MarkCase {
  const char* name;
  int32_t lodRef;
  int32_t survivor;  // -1: none
};

class LodRefMarkTest : public LodCompactionTest, public testing::WithParamInterface<MarkCase> {};

TEST_P(LodRefMarkTest, KeepsTheRecordItNames) {
  header_.parents = {ParentReferring({GetParam().lodRef})};
  Prepare();
  Run();
  const std::vector<LodRecord>& old = header_.lods;
  const int32_t survivor = GetParam().survivor;
  const Bytes expected =
      survivor < 0 ? Bytes{} : Slice(store_, old[survivor].fileOffset, old[survivor].fileSize);
  EXPECT_EQ(FileBytes(folder_ / "ZarnoObj.lod"), expected);
  const std::vector<LodRecord> records = RecordsInMemory();
  for (int32_t k = 0; k < 4; ++k) {
    EXPECT_EQ(records[k].fileSize, k == survivor ? old[k].fileSize : 0u) << k;
    EXPECT_EQ(records[k].fileOffset, 0u) << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LodRefMarkTest,
                         testing::Values(MarkCase{"MinusThree", -3, -1}, MarkCase{"MinusOne", -1, -1},
                                         MarkCase{"Zero", 0, 0}, MarkCase{"One", 1, 0},
                                         MarkCase{"Two", 2, 0}, MarkCase{"Seven", 7, 3},
                                         MarkCase{"Eight", 8, 3}, MarkCase{"PastTheTable", 9, -1},
                                         MarkCase{"Lowest", INT32_MIN, -1},
                                         MarkCase{"Highest", INT32_MAX, -1}),
                         [](const testing::TestParamInfo<MarkCase>& info) {
                           return std::string(info.param.name);
                         });

// ---- failures: reported, and both files stay as they were -------------------

TEST_F(LodCompactionTest, AMissingStoreIsReported) {
  Prepare();
  std::filesystem::remove(folder_ / "ZarnoObj.lod");
  store_.clear();  // FileBytes of a missing file
  Run();
  ExpectNothingChanged();
  ExpectBox("Can not open ZarnoObj.lod: " + paths_.lodPath);
  EXPECT_EQ(platform_.ProgressCalls(),
            (std::vector<ProgressCall>{Open(kProgressStageLod), Position(0), Range(4), Close()}));
  EXPECT_TRUE(OtherFiles().empty());
}

TEST_F(LodCompactionTest, ABlobRunningPastTheEndIsReportedBeforeAnythingIsWritten) {
  store_ = StoreBytes(249);  // record 2 ends at 250
  Prepare();
  Run();
  ExpectNothingChanged();
  ExpectBox("ZarnoObj.lod is damaged: record 2 runs past the end of " + paths_.lodPath);
  EXPECT_EQ(platform_.ProgressCalls().back(), Close());
  EXPECT_TRUE(OtherFiles().empty());
}

TEST_F(LodCompactionTest, AnUnusedBlobPastTheEndDoesNotMatter) {
  store_ = StoreBytes(255);  // record 3, unused, ends at 290
  Prepare();
  Run();
  EXPECT_TRUE(platform_.MessageBoxes().empty());
  EXPECT_EQ(FileBytes(folder_ / "ZarnoObj.lod"), PackedStore());
}

// The file operations of a compaction, numbered from 1: open the store, create
// the new store, create the new header, then the replacement (open both old
// files for writing, to know they may be replaced; the journal, its rename,
// the two renames, the journal's removal). A full disk instead fails the
// writes or the flush of one new file.
struct FailureCase {
  const char* name;
  size_t operation;      // the file operation made to fail; 0: a full disk instead
  const char* fileName;  // the file of the object folder that fails
  bool failWrite, failFlush;
  const char* message;  // followed by the path of the file it names
  bool namesHeader;
};

class LodCompactionFailureTest : public LodCompactionTest,
                                 public testing::WithParamInterface<FailureCase> {};

TEST_P(LodCompactionFailureTest, IsReportedAndChangesNothing) {
  const FailureCase& c = GetParam();
  Prepare();
  if (c.operation == 0) platform_.FailWritesTo(paths_.objectDirSlash + c.fileName, c.failWrite, c.failFlush);
  if (c.operation != 0) platform_.FailFileOperation(c.operation);
  Run();
  if (c.operation != 0) {
    EXPECT_EQ(OperationOfRun(c.operation).operation, FileOperation::kOpenFile);
    EXPECT_EQ(OperationOfRun(c.operation).path, paths_.objectDirSlash + c.fileName);
  }
  ExpectNothingChanged();
  const std::string journalPath = paths_.objectDirSlash + "ZarnoObj.journal";
  const bool namesJournal = std::string(c.message).find("journal") != std::string::npos;
  ExpectBox(c.message + (namesJournal ? journalPath : c.namesHeader ? paths_.hdrPath : paths_.lodPath));
  EXPECT_EQ(platform_.ProgressCalls().back(), Close());
  EXPECT_TRUE(OtherFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LodCompactionFailureTest,
    testing::Values(
        FailureCase{"StoreCannotBeOpened", 1, "ZarnoObj.lod", false, false, "Can not open ZarnoObj.lod: ", false},
        FailureCase{"NewStoreCannotBeCreated", 2, "ZarnoObj.lod.new", false, false, "Can not write ZarnoObj.lod: ",
                    false},
        FailureCase{"NewHeaderCannotBeCreated", 3, "ZarnoObj.hdr.new", false, false, "Can not write ZarnoObj.hdr: ",
                    true},
        FailureCase{"StoreCannotBeReplaced", 4, "ZarnoObj.lod", false, false, "Can not write ZarnoObj.lod: ", false},
        FailureCase{"HeaderCannotBeReplaced", 5, "ZarnoObj.hdr", false, false, "Can not write ZarnoObj.hdr: ", true},
        FailureCase{"JournalCannotBeWritten", 6, "ZarnoObj.journal.new", false, false,
                    "Can not write ZarnoObj.journal: ", false},
        FailureCase{"StoreWrite", 0, "ZarnoObj.lod.new", true, false, "Can not write ZarnoObj.lod: ", false},
        FailureCase{"StoreFlush", 0, "ZarnoObj.lod.new", false, true, "Can not write ZarnoObj.lod: ", false},
        FailureCase{"HeaderWrite", 0, "ZarnoObj.hdr.new", true, false, "Can not write ZarnoObj.hdr: ", true},
        FailureCase{"HeaderFlush", 0, "ZarnoObj.hdr.new", false, true, "Can not write ZarnoObj.hdr: ", true}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(LodCompactionTest, AnInterruptedReplacementIsFinishedAtTheNextStart) {
  Prepare();
  // Operation 8 renames the new store over the old one.
  platform_.FailFileOperation(8);
  Run();
  EXPECT_EQ(OperationOfRun(8).operation, FileOperation::kReplaceFile);
  EXPECT_EQ(OperationOfRun(8).path, paths_.objectDirSlash + "ZarnoObj.lod.new");
  ExpectBox("Can not write ZarnoObj.lod: " + paths_.lodPath);
  // The old store stays and the journal remains for the next start; the
  // tables in memory keep the old offsets.
  EXPECT_EQ(FileBytes(folder_ / "ZarnoObj.lod"), store_);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "ZarnoObj.journal"));
  EXPECT_EQ(RecordsInMemory()[2].fileOffset, 180u);

  ASSERT_TRUE(RecoverReplacement(platform_, paths_.objectDirSlash));
  EXPECT_EQ(FileBytes(folder_ / "ZarnoObj.lod"), PackedStore());
  HeaderSpec expected = header_;
  expected.lods = PackedRecords();
  EXPECT_EQ(FileBytes(folder_ / "ZarnoObj.hdr"), BuildHeaderFile(expected));
  EXPECT_TRUE(OtherFiles().empty());
}

}  // namespace
}  // namespace zarno
