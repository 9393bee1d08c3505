#include "rigwright/lod_installation.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/block_copy.h"
#include "tests/support/object_folder.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

// Writes nothing: every write fails.
class UnwritableFile : public File {
 public:
  size_t Read(void*, size_t) override { return 0; }
  bool Write(const void*, size_t) override { return false; }
  bool Seek(uint64_t) override { return true; }
  std::optional<uint64_t> Size() override { return 0; }
  bool Flush() override { return true; }
  bool Close() override { return true; }
};

// Announces one model file as longer than it is, as a file that shrinks
// between the size query and the copy would.
class GrowingSizePlatform : public RecordingPlatform {
 public:
  explicit GrowingSizePlatform(std::string grows) : grows_(std::move(grows)) {}
  std::optional<uint64_t> FileSize(const std::string& path) override {
    std::optional<uint64_t> size = RecordingPlatform::FileSize(path);
    if (size && path.ends_with(grows_)) *size += 5;
    return size;
  }

 private:
  std::string grows_;
};

using LodFields = std::array<uint32_t, 5>;

LodFields FieldsOf(const LodRecord& record) {
  return {record.lodWord0, record.lodWord1, record.lodWord2, record.fileOffset, record.fileSize};
}

class LodInstallationTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(platform, false); }

  // A job state over an object folder with an empty ZarnoObj.lod of
  // `lodFileSize` filler bytes, a database of `lodCount` used records (all
  // at offset 0, size 1) and parent 1 with no LOD entries yet.
  void Start(RecordingPlatform& on, bool checkRun, uint32_t lodCount = 700, uint64_t lodFileSize = 1000) {
    folder = ObjectFolderAt(temp.Path());
    HeaderSpec recipe;
    ASSERT_TRUE(WriteObjectFolder(folder, recipe));
    ASSERT_TRUE(WriteFile(folder.lodPath, std::vector<uint8_t>(lodFileSize, kLodFillerByte)));
    settings.checkRun = checkRun;
    paths.modelDir = folder.modelDir.string() + "/";
    paths.lodPath = folder.lodPath.string();
    state = std::make_unique<ModelJobState>(on, settings, paths);
    HeaderDatabase& db = state->db;
    db.lodCount = lodCount;
    for (uint32_t k = 0; k < lodCount; ++k) db.LodTable[k] = LodRecord{k, 0, 0, 0, 1};
    db.parentCount = 2;
    state->lodFile = on.OpenFile(paths.lodPath, OpenMode::kUpdate);
    ASSERT_NE(state->lodFile, nullptr);
    state->lodAppendOffset = 1000;
  }

  // Frees records of the table as the reader would have listed them.
  void FreeRecords(std::vector<uint32_t> indices) {
    for (uint32_t k : indices) state->db.LodTable[k].fileSize = 0;
    state->db.FreeLodList = indices;
    state->db.freeLodCount = static_cast<uint32_t>(indices.size());
  }

  // Gives parent 1 one LOD entry per name, each still to install.
  void AskFor(std::vector<std::string> names, std::vector<int32_t> refs = {}) {
    state->db.ParentTable[1].lodRefCount = static_cast<uint8_t>(names.size());
    for (size_t j = 0; j < names.size(); ++j) {
      state->LodFileNames[j] = names[j];
      state->db.ParentLists[1].lodRef[j] = j < refs.size() ? refs[j] : -1;
    }
  }

  void AddModel(const std::string& name, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(WriteModelFile(folder, name, bytes));
  }

  std::vector<uint8_t> LodBytes() {
    state->lodFile->Flush();
    return ReadFileBytes(folder.lodPath);
  }

  std::string ModelPath(const std::string& name) const { return paths.modelDir + name; }

  // Parent 1's first `count` LOD references.
  std::vector<int32_t> Refs(size_t count = 2) const {
    const int32_t* refs = state->db.ParentLists[1].lodRef;
    return {refs, refs + count};
  }
  // A model file that cannot be read counts as a failure of its parent and
  // gets no record; the parent's other models are still installed.
  void ExpectModelReadFailure(const LodInstallResult& result, const RecordingPlatform& on, const std::string& model) {
    EXPECT_EQ(result.failures, 1);
    EXPECT_EQ(Refs()[0], -1);
    ASSERT_FALSE(on.MessageBoxes().empty());
    EXPECT_EQ(on.MessageBoxes()[0], (MessageBoxRecord{"Could not open model file: " + ModelPath(model) + ".",
                                                      "Model File Error", BoxIcon::kExclamation}));
  }

  const LodRecord& Record(uint32_t k) const { return state->db.LodTable[k]; }

  TempFolder temp;
  ObjectFolder folder;
  RecordingPlatform platform;
  RigwrightSettings settings;
  InstallPaths paths;
  std::unique_ptr<ModelJobState> state;
};

TEST_F(LodInstallationTest, ReusesFreeRecordsInAscendingOrderThenGrowsTheTable) {
  FreeRecords({4, 9});
  AskFor({"a.lod", "b.lod", "c.lod"});
  AddModel("a.lod", PatternBytes(1, 40));
  AddModel("b.lod", PatternBytes(2, 30));
  AddModel("c.lod", PatternBytes(3, 20));
  const LodInstallResult result = InstallParentLods(*state, 1);
  EXPECT_EQ(result.failures, 0);
  EXPECT_FALSE(result.lodWriteFailed);
  EXPECT_EQ(Refs(3), (std::vector<int32_t>{9, 19, 1401}));
  EXPECT_EQ(state->db.lodCount, 701u);
  EXPECT_EQ(state->db.freeLodCount, 0u);
  EXPECT_EQ(state->db.nextFreeLod, 2u);
  EXPECT_EQ(FieldsOf(Record(4)), (LodFields{4, 0, 0, 1000, 40}));
  EXPECT_EQ(FieldsOf(Record(9)), (LodFields{9, 0, 0, 1050, 30}));
  EXPECT_EQ(FieldsOf(Record(700)), (LodFields{0, 0, 0, 1090, 20}));
  EXPECT_EQ(state->lodAppendOffset, 1120u);
  EXPECT_TRUE(platform.MessageBoxes().empty());
}

TEST_F(LodInstallationTest, LaysBlobsOutTenBytesApartAndNeverWritesTheGaps) {
  AskFor({"first.lod", "second.lod"});
  const std::vector<uint8_t> first = PatternBytes(7, 100);
  const std::vector<uint8_t> second = PatternBytes(8, 50);
  AddModel("first.lod", first);
  AddModel("second.lod", second);
  EXPECT_EQ(InstallParentLods(*state, 1).failures, 0);
  EXPECT_EQ(Record(700).fileOffset, 1000u);
  EXPECT_EQ(Record(701).fileOffset, 1110u);
  EXPECT_EQ(state->lodAppendOffset, 1170u);
  std::vector<uint8_t> expected(1000, kLodFillerByte);
  expected.insert(expected.end(), first.begin(), first.end());
  expected.insert(expected.end(), 10, 0);  // grown over, never written
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(LodBytes(), expected);
}

TEST_F(LodInstallationTest, AppendsWithinALongerFileWithoutTouchingTheRest) {
  Start(platform, false, 700, 1200);
  AskFor({"m.lod"});
  const std::vector<uint8_t> model = PatternBytes(9, 64);
  AddModel("m.lod", model);
  EXPECT_EQ(InstallParentLods(*state, 1).failures, 0);
  std::vector<uint8_t> expected(1200, kLodFillerByte);
  std::copy(model.begin(), model.end(), expected.begin() + 1000);
  EXPECT_EQ(LodBytes(), expected);
}

TEST_F(LodInstallationTest, CopiesLargeModelsWhole) {
  AskFor({"big.lod"});
  const std::vector<uint8_t> model = PatternBytes(10, 2 * kCopyBlockSize + 12345);
  AddModel("big.lod", model);
  EXPECT_EQ(InstallParentLods(*state, 1).failures, 0);
  const std::vector<uint8_t> lod = LodBytes();
  ASSERT_EQ(lod.size(), 1000 + model.size());
  EXPECT_TRUE(std::equal(model.begin(), model.end(), lod.begin() + 1000));
  EXPECT_EQ(Record(700).fileSize, model.size());
}

TEST_F(LodInstallationTest, SkipsEntriesThatAlreadyReferToARecord) {
  AskFor({"old.lod", "new.lod"}, {11, -1});
  AddModel("new.lod", PatternBytes(1, 5));
  EXPECT_EQ(InstallParentLods(*state, 1).failures, 0);
  EXPECT_EQ(Refs(), (std::vector<int32_t>{11, 1401}));
  for (const FileOperationRecord& op : platform.FileOperations()) {
    EXPECT_EQ(op.path.find("old.lod"), std::string::npos) << op;
  }
}

TEST_F(LodInstallationTest, AParentWithoutEntriesInstallsNothing) {
  EXPECT_EQ(InstallParentLods(*state, 1).failures, 0);
  EXPECT_EQ(InstallParentLods(*state, 5002).failures, 0);
  EXPECT_EQ(state->db.lodCount, 700u);
  EXPECT_EQ(LodBytes().size(), 1000u);
}

TEST_F(LodInstallationTest, CountsEveryModelFileThatCannotBeOpened) {
  AskFor({"missing1.lod", "here.lod", "missing2.lod"});
  AddModel("here.lod", PatternBytes(1, 8));
  EXPECT_EQ(InstallParentLods(*state, 1).failures, 2);
  EXPECT_EQ(Refs(3), (std::vector<int32_t>{-1, 1401, -1}));
  const std::vector<MessageBoxRecord> expected = {
      {"Could not open model file: " + ModelPath("missing1.lod") + ".", "Model File Error", BoxIcon::kExclamation},
      {"Could not open model file: " + ModelPath("missing2.lod") + ".", "Model File Error", BoxIcon::kExclamation},
  };
  EXPECT_EQ(platform.MessageBoxes(), expected);
}

TEST_F(LodInstallationTest, AnEmptyModelTakesARecordOfSizeZero) {
  FreeRecords({3});
  AskFor({"empty.lod", "next.lod"});
  AddModel("empty.lod", {});
  AddModel("next.lod", PatternBytes(4, 6));
  EXPECT_EQ(InstallParentLods(*state, 1).failures, 0);
  EXPECT_EQ(FieldsOf(Record(3)), (LodFields{3, 0, 0, 1000, 0}));
  EXPECT_EQ(Refs(1), std::vector<int32_t>{7});
  EXPECT_EQ(Record(700).fileOffset, 1010u);
  EXPECT_EQ(state->lodAppendOffset, 1026u);
}

// A full table fails every model that needs a new record, writes nothing for
// them, and still reuses free records.
TEST_F(LodInstallationTest, AFullTableIsAFailureUnlessARecordIsFree) {
  struct Case {
    std::vector<uint32_t> free;
    int32_t failures;
    std::vector<int32_t> refs;
  };
  const Case cases[] = {{{}, 2, {-1, -1}}, {{19999}, 1, {39999, -1}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failures);
    RecordingPlatform fresh;
    Start(fresh, false, kRigwrightLimits.lodCapacity);
    FreeRecords(c.free);
    AskFor({"m.lod", "n.lod"});
    AddModel("m.lod", PatternBytes(1, 30));
    AddModel("n.lod", PatternBytes(2, 30));
    EXPECT_EQ(InstallParentLods(*state, 1).failures, c.failures);
    EXPECT_EQ(state->db.lodCount, 20000u);
    EXPECT_EQ(Refs(), c.refs);
    ASSERT_EQ(fresh.MessageBoxes().size(), static_cast<size_t>(c.failures));
    EXPECT_EQ(fresh.MessageBoxes().back(), (MessageBoxRecord{"LOD table is full: " + ModelPath("n.lod") + ".",
                                                             "Model File Error", BoxIcon::kExclamation}));
    if (c.free.empty()) {
      EXPECT_EQ(fresh.MessageBoxes()[0].text, "LOD table is full: " + ModelPath("m.lod") + ".");
      EXPECT_EQ(LodBytes(), std::vector<uint8_t>(1000, kLodFillerByte));
    }
    state.reset();
  }
}

// A model file that is there but cannot be read ends the job: the run must
// not save a database without the model it was asked to install. The open,
// the size query or the copy may fail.
TEST_F(LodInstallationTest, AModelThatCannotBeOpenedOrSizedEndsTheJob) {
  for (size_t failing : {1, 2}) {
    SCOPED_TRACE(failing);
    RecordingPlatform fresh;
    Start(fresh, false);
    AskFor({"m.lod", "n.lod"});
    AddModel("m.lod", PatternBytes(1, 30));
    AddModel("n.lod", PatternBytes(2, 30));
    fresh.FailFileOperation(failing);  // the open, then the size query
    const LodInstallResult result = InstallParentLods(*state, 1);
    EXPECT_EQ(result.failures, 1);
    ExpectModelReadFailure(result, fresh, "m.lod");
    state.reset();
  }
}

TEST_F(LodInstallationTest, AModelThatEndsEarlyEndsTheJobAndRecordsNothing) {
  GrowingSizePlatform growing("short.lod");
  Start(growing, false);
  AskFor({"short.lod", "fine.lod"});
  AddModel("short.lod", PatternBytes(1, 30));
  AddModel("fine.lod", PatternBytes(2, 20));
  ExpectModelReadFailure(InstallParentLods(*state, 1), growing, "short.lod");
  state.reset();
}

TEST_F(LodInstallationTest, AModelThatWouldEndBeyondFourGigabytesIsAFailure) {
  state->lodAppendOffset = 0xFFFF'FFF0u;
  AskFor({"m.lod", "fits.lod"});
  AddModel("m.lod", PatternBytes(1, 16));
  AddModel("fits.lod", {});
  EXPECT_EQ(InstallParentLods(*state, 1).failures, 1);
  EXPECT_EQ(platform.MessageBoxes()[0].text, "Model file does not fit in ZarnoObj.lod: " + ModelPath("m.lod") + ".");
  EXPECT_EQ(Record(700).fileOffset, 0xFFFF'FFF0u);
}

TEST_F(LodInstallationTest, AFailedWriteStopsTheParentAndRecordsNothing) {
  FreeRecords({2});
  AskFor({"m.lod", "n.lod"});
  AddModel("m.lod", PatternBytes(1, 30));
  AddModel("n.lod", PatternBytes(2, 30));
  state->lodFile = std::make_unique<UnwritableFile>();
  const LodInstallResult result = InstallParentLods(*state, 1);
  EXPECT_TRUE(result.lodWriteFailed);
  EXPECT_EQ(result.failures, 1);
  EXPECT_EQ(Refs(), (std::vector<int32_t>{-1, -1}));
  EXPECT_EQ(state->db.freeLodCount, 1u);
  EXPECT_EQ(state->db.lodCount, 700u);
  EXPECT_EQ(state->lodAppendOffset, 1000u);
  EXPECT_TRUE(platform.MessageBoxes().empty());
}

TEST_F(LodInstallationTest, ACheckRunOnlyOpensTheModelFiles) {
  Start(platform, true);
  const std::string listPath = (temp / "list.txt").string();
  state->errorListFile.emplace(platform, listPath);
  FreeRecords({4});
  AskFor({"gone.lod", "here.lod"});
  AddModel("here.lod", PatternBytes(1, 30));
  EXPECT_EQ(InstallParentLods(*state, 1).failures, 1);
  EXPECT_EQ(Refs(), (std::vector<int32_t>{-1, -1}));
  EXPECT_EQ(state->db.lodCount, 700u);
  EXPECT_EQ(state->db.freeLodCount, 1u);
  EXPECT_EQ(state->lodAppendOffset, 1000u);
  EXPECT_EQ(LodBytes(), std::vector<uint8_t>(1000, kLodFillerByte));
  EXPECT_TRUE(platform.MessageBoxes().empty());
  state->errorListFile->Close();
  EXPECT_EQ(ReadFileText(listPath), "Could not open model file: " + ModelPath("gone.lod") + ".\n");
}

TEST(FirstAppendOffset, LiesTenBytesAfterTheEndOfEveryRecordedBlob) {
  struct Case {
    const char* name;
    std::vector<LodRecord> records;
    uint64_t offset;
  };
  const Case cases[] = {
      {"no records", {}, 10},
      {"only free records at 0", {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}}, 10},
      {"installed layout", {{0, 0, 0, 10, 100}, {0, 0, 0, 0, 0}, {0, 0, 0, 120, 50}}, 180},
      {"the only blob at offset 0", {{0, 0, 0, 0, 50}}, 60},
      {"packed by a compaction", {{0, 0, 0, 0, 100}, {0, 0, 0, 100, 20}, {0, 0, 0, 120, 5}}, 135},
      {"a free record at the largest offset first", {{0, 0, 0, 500, 0}, {0, 0, 0, 500, 100}}, 610},
      {"a blob beyond four gigabytes", {{0, 0, 0, 0xFFFF'FFF0u, 0x20}}, 0x1'0000'001Aull},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeaderDatabase db(kRigwrightLimits);
    db.lodCount = static_cast<uint32_t>(c.records.size());
    std::copy(c.records.begin(), c.records.end(), db.LodTable.begin());
    EXPECT_EQ(FirstAppendOffset(db), c.offset);
  }
}

}  // namespace
}  // namespace zarno
