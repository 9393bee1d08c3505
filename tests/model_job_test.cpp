// Rigwright's install and check runs end to end: from the argument line to
// the boxes, beeps, close request, exit code and the bytes left on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/header_database.h"
#include "rigwright/rigwright_program.h"
#include "tests/support/header_builder.h"
#include "tests/support/ihr_builder.h"
#include "tests/support/object_folder.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

// Passes every call on to the real file, except writes, which fail.
class UnwritableFile : public File {
 public:
  explicit UnwritableFile(std::unique_ptr<File> file) : file_(std::move(file)) {}
  size_t Read(void* buffer, size_t size) override { return file_->Read(buffer, size); }
  bool Write(const void*, size_t) override { return false; }
  bool Seek(uint64_t offset) override { return file_->Seek(offset); }
  std::optional<uint64_t> Size() override { return file_->Size(); }
  bool Flush() override { return file_->Flush(); }
  bool Close() override { return file_->Close(); }

 private:
  std::unique_ptr<File> file_;
};

// The recording platform with failures chosen by file name.
class FaultyPlatform : public RecordingPlatform {
 public:
  std::set<std::string> unopenable;  // file names whose opening fails
  std::string unwritable;            // a file name whose writes fail
  bool replaceFails = false;

  std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) override {
    const std::string name = std::filesystem::path(path).filename().string();
    if (unopenable.count(name) > 0) return nullptr;
    std::unique_ptr<File> file = RecordingPlatform::OpenFile(path, mode);
    if (file && name == unwritable) return std::make_unique<UnwritableFile>(std::move(file));
    return file;
  }
  bool ReplaceFile(const std::string& from, const std::string& to) override {
    return !replaceFails && RecordingPlatform::ReplaceFile(from, to);
  }
};

MessageBoxRecord Box(const std::string& text, const std::string& caption, BoxIcon icon) {
  return {text, caption, icon};
}

// The parent an install-parent file describes, as the header file holds it
// afterwards: hostParam6 is cleared and so is the low byte of hostParam7.
ParentSpec ParentFromIhr(const IhrSpec& ihr, std::vector<int32_t> lodRefs, uint16_t oldHostParam7 = 0) {
  ParentSpec parent;
  parent.hitbox = ihr.hitbox;
  parent.hostParam1 = static_cast<uint32_t>(ihr.hostParam1);
  parent.hostParam2 = static_cast<uint32_t>(ihr.hostParam2);
  parent.hostParam3 = static_cast<uint16_t>(ihr.hostParam3);
  parent.hostParam4 = static_cast<uint8_t>(ihr.hostParam4);
  parent.hostParam5 = static_cast<uint8_t>(ihr.hostParam5);
  parent.hostParam6 = 0;
  parent.hostParam7 = static_cast<uint16_t>(oldHostParam7 & 0xFF00);
  parent.slots = ihr.slots;
  parent.dynamicPoints = ihr.dynamicPoints;
  for (size_t j = 0; j < lodRefs.size(); ++j) parent.lodRefs.push_back({lodRefs[j], ihr.lods[j].distance});
  return parent;
}

IhrSpec Ihr(int32_t parentIndex, std::vector<IhrLodEntry> lods) {
  IhrSpec recipe;
  recipe.parentIndex = parentIndex;
  recipe.hitbox = {-2.0f, -1.0f, 0.5f, 2.0f, 1.0f, 3.0f, static_cast<float>(parentIndex)};
  recipe.hostParam1 = 1000 + parentIndex;
  recipe.hostParam2 = 2000 + parentIndex;
  recipe.dynamicPoints = {{0.5f, 1.5f, -2.5f}};
  recipe.slots = {{1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}};
  recipe.lods = std::move(lods);
  return recipe;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<uint8_t> Zeros(size_t count) { return std::vector<uint8_t>(count, 0); }

class ModelJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = ObjectFolderAt(temp.Path());
    ASSERT_TRUE(WriteObjectFolder(folder, StandardHeaderSpec()));
  }

  void AddIhr(const std::string& name, const IhrSpec& recipe) {
    ASSERT_TRUE(WriteIhrFile(folder.modelDir / name, recipe));
  }
  void AddRawIhr(const std::string& name, const std::string& text) {
    ASSERT_TRUE(WriteFile(folder.modelDir / name, std::vector<uint8_t>(text.begin(), text.end())));
  }
  void AddModel(const std::string& name, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(WriteModelFile(folder, name, bytes));
  }

  // The argument line naming both folders after the switches given.
  std::string Line(const std::string& switchText) const {
    return switchText + "~\"" + folder.modelDir.string() + "\" ~\"" + folder.objectDir.string() + "\"";
  }

  // Runs rigwright with the folders named and checks what every run does:
  // exit code 1 and exactly one close request.
  void Run(bool checkRun) {
    hdrBefore = ReadFileBytes(folder.hdrPath);
    lodBefore = ReadFileBytes(folder.lodPath);
    EXPECT_EQ(RunRigwright(platform, Line(checkRun ? "@check " : "")), 1);
    EXPECT_EQ(platform.CloseRequests(), 1);
  }

  // A run that ends with one stop box and no beeps, the object files as they were.
  void ExpectRunEndsWithBox(bool checkRun, const std::string& text, const std::string& caption = "File Open Error") {
    Run(checkRun);
    EXPECT_EQ(platform.MessageBoxes(), std::vector{Box(text, caption, BoxIcon::kHand)});
    EXPECT_EQ(platform.Beeps(), 0);
    ExpectObjectFilesUnchanged();
  }

  // Install-parent files f01.ihr... for parents first, first + 1, ..., each
  // naming a model file m01.lod... that is not there.
  void AddFilesWithMissingModels(int count, int32_t firstParent) {
    for (int i = 1; i <= count; ++i) {
      const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
      AddIhr("f" + n + ".ihr", Ihr(firstParent + i - 1, {{100.0f, -1, "m" + n + ".3ds"}}));
    }
  }
  MessageBoxRecord MissingModelBox(const std::string& model) const {
    return Box("Could not open model file: " + ModelPath(model) + ".", "Model File Error", BoxIcon::kExclamation);
  }
  MessageBoxRecord InstallErrorBox(const std::string& ihr, const std::string& ending = ".\n") const {
    return Box("Problem installing model " + ModelPath(ihr) + " in ZO.lod file" + ending, "Model Install Error",
               BoxIcon::kExclamation);
  }

  std::string ModelDir() const { return folder.modelDir.string() + "/"; }
  std::string ModelPath(const std::string& name) const { return ModelDir() + name; }
  std::string ErrorListPath() const { return ModelDir() + "/ErrorList.txt"; }

  std::vector<uint8_t> Hdr() const { return ReadFileBytes(folder.hdrPath); }
  std::vector<uint8_t> Lod() const { return ReadFileBytes(folder.lodPath); }
  // The parent count of ZarnoObj.hdr as saved; 0 when it cannot be read whole.
  uint32_t ParentCountOnDisk() const {
    HeaderDatabase db(kRigwrightLimits);
    return ReadHeaderDatabase(Hdr(), db, false) == kReadOk ? db.parentCount : 0;
  }
  void ExpectObjectFilesUnchanged() const {
    EXPECT_EQ(Hdr(), hdrBefore);
    EXPECT_EQ(Lod(), lodBefore);
  }

  TempFolder temp;
  ObjectFolder folder;
  FaultyPlatform platform;
  std::vector<uint8_t> hdrBefore;
  std::vector<uint8_t> lodBefore;
};

// ---- install runs ----------------------------------------------------------

TEST_F(ModelJobTest, InstallsFilesOneAfterTheOtherWithReusedAndNewRecords) {
  // The standard database: LOD records 1 and 4 free, blobs end at 290.
  const IhrSpec tank = Ihr(3, {{8000.0f, -1, "tank_hi.3ds"}, {2000.0f, 2, "unused.3ds"}, {500.0f, -1, "tank_lo.3ds"}});
  const IhrSpec jeep = Ihr(4, {{3000.0f, -1, "jeep.3ds"}});
  IhrSpec hut = Ihr(1, {{1000.0f, -1, "hut.3ds"}});
  hut.crlf = true;
  AddIhr("a_tank.ihr", tank);
  AddIhr("b_jeep.ihr", jeep);
  AddIhr("c_hut.ihr", hut);
  const std::vector<uint8_t> tankHi = PatternBytes(1, 100), tankLo = PatternBytes(2, 40);
  const std::vector<uint8_t> jeepLod = PatternBytes(3, 25), hutLod = PatternBytes(4, 60);
  AddModel("tank_hi.lod", tankHi);
  AddModel("tank_lo.lod", tankLo);
  AddModel("jeep.lod", jeepLod);
  AddModel("hut.lod", hutLod);

  Run(false);

  EXPECT_TRUE(platform.MessageBoxes().empty());
  EXPECT_EQ(platform.Beeps(), 2);
  EXPECT_EQ(Lod(), Concat({lodBefore, Zeros(10), tankHi, Zeros(10), tankLo, Zeros(10), jeepLod, Zeros(10), hutLod}));

  HeaderSpec expected = StandardHeaderSpec();
  expected.lods[1].fileOffset = 300;  // reused, lowest free record first
  expected.lods[1].fileSize = 100;
  expected.lods[4].fileOffset = 410;
  expected.lods[4].fileSize = 40;
  expected.lods.push_back({0, 0, 0, 460, 25});  // new records once none is free
  expected.lods.push_back({0, 0, 0, 495, 60});
  expected.parents[1] = ParentFromIhr(hut, {15}, expected.parents[1].hostParam7);
  expected.parents.push_back(ParentFromIhr(tank, {3, 5, 9}));
  expected.parents.push_back(ParentFromIhr(jeep, {13}));
  EXPECT_EQ(Hdr(), BuildHeaderFile(expected));
}

// Names that differ in case from the files on disk are found all the same.
TEST_F(ModelJobTest, AMissingModelFileIsShownAndTheRestInstalled) {
  const IhrSpec recipe = Ihr(3, {{800.0f, -1, "Here.3DS"}, {400.0f, -1, "gone.3ds"}});
  AddIhr("PLANE.IHR", recipe);
  const std::vector<uint8_t> here = PatternBytes(5, 33);
  AddModel("HERE.LOD", here);

  Run(false);

  EXPECT_EQ(platform.MessageBoxes(), (std::vector{MissingModelBox("gone.lod"), InstallErrorBox("PLANE.IHR")}));
  EXPECT_EQ(platform.Beeps(), 2);
  EXPECT_EQ(Lod(), Concat({lodBefore, Zeros(10), here}));
  HeaderSpec saved = StandardHeaderSpec();
  saved.lods[1].fileOffset = 300;
  saved.lods[1].fileSize = 33;
  saved.parents.push_back(ParentFromIhr(recipe, {3, -1}));
  EXPECT_EQ(Hdr(), BuildHeaderFile(saved));
}

TEST_F(ModelJobTest, AFileThatCannotBeOpenedIsShownWithItsNumberInSearchOrder) {
  AddIhr("a.ihr", Ihr(3, {}));
  std::filesystem::create_directory(folder.modelDir / "b.ihr");
  AddIhr("c.ihr", Ihr(4, {}));

  Run(false);

  EXPECT_EQ(platform.MessageBoxes(),
            std::vector{Box("Can not open ihr file: " + ModelPath("b.ihr") + " File #2", "ihr Open Error",
                            BoxIcon::kExclamation)});
  EXPECT_EQ(ParentCountOnDisk(), 5u);
  EXPECT_EQ(platform.Beeps(), 2);
}

// Twenty parents whose models are missing: each is shown, and the run goes on.
TEST_F(ModelJobTest, TwentyFailuresAreShownAndTheHeaderIsStillWritten) {
  AddFilesWithMissingModels(20, 3);
  std::vector<MessageBoxRecord> expected;
  for (int i = 1; i <= 20; ++i) {
    const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
    expected.push_back(MissingModelBox("m" + n + ".lod"));
    expected.push_back(InstallErrorBox("f" + n + ".ihr"));
  }

  Run(false);

  EXPECT_EQ(platform.MessageBoxes(), expected);
  EXPECT_EQ(platform.Beeps(), 2);
  HeaderDatabase db(kRigwrightLimits);
  ASSERT_EQ(ReadHeaderDatabase(Hdr(), db, false), kReadOk);
  EXPECT_EQ(db.parentCount, 23u);
  EXPECT_EQ(db.ParentLists[22].lodRef[0], -1);
}

TEST_F(ModelJobTest, TheTwentyFirstFailureAbortsAndKeepsTheHeader) {
  AddIhr("a00.ihr", Ihr(3, {{100.0f, -1, "fine.3ds"}}));
  const std::vector<uint8_t> fine = PatternBytes(7, 20);
  AddModel("fine.lod", fine);
  AddFilesWithMissingModels(22, 4);

  Run(false);

  const std::vector<MessageBoxRecord>& boxes = platform.MessageBoxes();
  ASSERT_EQ(boxes.size(), 42u);
  EXPECT_EQ(boxes[39], InstallErrorBox("f20.ihr"));
  EXPECT_EQ(boxes[40], MissingModelBox("m21.lod"));
  EXPECT_EQ(boxes[41], InstallErrorBox("f21.ihr", ".  Aborting"));
  EXPECT_EQ(platform.Beeps(), 0);
  EXPECT_EQ(Hdr(), hdrBefore);
  // The blob of the first file stays beyond what the header records.
  EXPECT_EQ(Lod(), Concat({lodBefore, Zeros(10), fine}));
}

TEST_F(ModelJobTest, ABadParentIndexSkipsTheFileWithABox) {
  AddIhr("a.ihr", Ihr(5002, {{100.0f, -1, "m.3ds"}}));
  AddIhr("b.ihr", Ihr(3, {}));
  AddModel("m.lod", PatternBytes(1, 10));

  Run(false);

  EXPECT_EQ(platform.MessageBoxes(), std::vector{Box("Bad parent index 5002 in ihr file: " + ModelPath("a.ihr"),
                                                     "ihr Read Error", BoxIcon::kExclamation)});
  EXPECT_EQ(Lod(), lodBefore);
  EXPECT_EQ(ParentCountOnDisk(), 4u);
}

TEST_F(ModelJobTest, AppendsBehindABlobThatStartsAtOffsetZero) {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.lods = {{9, 9, 9, 0, 50}};
  recipe.parents = {recipe.parents[0]};
  recipe.parents[0].lodRefs = {{1, 100.0f}};
  ASSERT_TRUE(WriteObjectFolder(folder, recipe));
  const IhrSpec ihr = Ihr(1, {{100.0f, -1, "m.3ds"}});
  AddIhr("m.ihr", ihr);
  const std::vector<uint8_t> model = PatternBytes(8, 16);
  AddModel("m.lod", model);

  Run(false);

  EXPECT_EQ(Lod(), Concat({BlobBytes(0, 50), Zeros(10), model}));
  recipe.lods.push_back({0, 0, 0, 60, 16});
  recipe.parents.push_back(ParentFromIhr(ihr, {3}));
  EXPECT_EQ(Hdr(), BuildHeaderFile(recipe));
}

// ---- check runs ------------------------------------------------------------

TEST_F(ModelJobTest, ACheckRunListsEveryFindingAndChangesNothing) {
  IhrSpec a = Ihr(5, {{0.0f, 3, "x.3ds"}, {100.0f, 9, "y.3ds"}, {200.0f, -1, "missing.3ds"}});
  a.hitbox = {};
  AddIhr("a.ihr", a);
  std::filesystem::create_directory(folder.modelDir / "b.ihr");
  IhrSpec c = Ihr(5, {{500.0f, -2, "word"}});
  c.lodEntryForm = 1;
  c.crlf = true;
  AddIhr("c.ihr", c);
  std::string cText = ReadFileText(folder.modelDir / "c.ihr");
  cText.replace(cText.find("Hitbox"), cText.find("\r\n", cText.find("Hitbox")) - cText.find("Hitbox"), "Hitbox 1 2");
  AddRawIhr("c.ihr", cText);
  AddRawIhr("d.ihr", "1.5\n");
  AddRawIhr("ErrorList.txt", "old findings\n");  // the list starts afresh
  AddRawIhr("e.ihr",
            "2.0\nE\n0 0 6\nHitbox 1 2 3 4 5 6 7\nParams 1 2\nP3 1\nDynamics 2\nLODs 0\nP4 0\nP5 0\nSlots 0\n0\n"
            "1 2 3\nnone\n");
  AddModel("x.lod", PatternBytes(1, 5));

  Run(true);

  EXPECT_EQ(ReadFileText(ErrorListPath()),
            "Models folder:   " + ModelDir() + "\n"
            "Objects folder:  " + folder.hdrPath.string() + "\n"
            "\n"
            "All Hitbox Values = 0.0f \t,a.ihr\n"
            "LOD #0 Distance = 0.0 \ta.ihr\n"
            "Bad LOD # \ta.ihr - 9\n"
            "Could not open model file: " + ModelPath("missing.lod") + ".\n"
            "Problem installing model " + ModelPath("a.ihr") + ".\n"
            "Can not open ihr file: " + ModelPath("b.ihr") + " File #2\n"
            "Duplicate Parents \t,c.ihr - 5\n"
            "Hitbox Error \t,c.ihr - 2\n"
            "999#END \tc.ihr\n"
            "Dynamics Error \te.ihr - 1 - 2\n");
  EXPECT_EQ(platform.MessageBoxes(), std::vector{Box("List of errors in file: " + ErrorListPath(),
                                                     "Rigwright Error Report", BoxIcon::kAsterisk)});
  EXPECT_EQ(platform.Beeps(), 2);
  ExpectObjectFilesUnchanged();
}

TEST_F(ModelJobTest, ACheckRunNeverStopsForFailures) {
  for (int i = 1; i <= 25; ++i) AddIhr("f" + std::to_string(100 + i) + ".ihr", Ihr(2 + i, {{1.0f, -1, "no.3ds"}}));
  Run(true);
  const std::string list = ReadFileText(ErrorListPath());
  EXPECT_NE(list.find("Problem installing model " + ModelPath("f125.ihr") + ".\n"), std::string::npos);
  EXPECT_EQ(platform.MessageBoxes().size(), 1u);
  EXPECT_EQ(platform.Beeps(), 2);
  ExpectObjectFilesUnchanged();
}

// ---- the end of a job before its loop ---------------------------------------

TEST_F(ModelJobTest, NoInstallParentFilesEndsEitherRunWithABox) {
  for (bool checkRun : {false, true}) {
    SCOPED_TRACE(checkRun);
    FaultyPlatform fresh;
    EXPECT_EQ(RunRigwright(fresh, Line(checkRun ? "@check " : "")), 1);
    EXPECT_EQ(fresh.MessageBoxes(),
              std::vector{Box("No Install Parent files (.ihr) found.", "Error", BoxIcon::kHand)});
    EXPECT_EQ(fresh.CloseRequests(), 1);
    EXPECT_EQ(fresh.Beeps(), 0);
    EXPECT_FALSE(std::filesystem::exists(ErrorListPath()));
  }
}

TEST_F(ModelJobTest, AMissingHeaderEndsTheJob) {
  std::filesystem::remove(folder.hdrPath);
  AddIhr("a.ihr", Ihr(3, {}));
  ExpectRunEndsWithBox(false, "Can not open ZarnoObj.hdr: " + folder.hdrPath.string());
  EXPECT_FALSE(std::filesystem::exists(folder.hdrPath));
}

TEST_F(ModelJobTest, ARejectedHeaderIsNeverWrittenBack) {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.parents[0].slotCount = 26;
  ASSERT_TRUE(WriteObjectFolder(folder, recipe));
  AddIhr("a.ihr", Ihr(3, {}));
  Run(false);
  ASSERT_EQ(platform.MessageBoxes().size(), 1u);
  EXPECT_EQ(platform.MessageBoxes()[0].caption, "File Read Error");
  EXPECT_EQ(platform.Beeps(), 0);
  ExpectObjectFilesUnchanged();
}

TEST_F(ModelJobTest, AnUnopenableLodFileEndsTheJobUnchanged) {
  AddIhr("a.ihr", Ihr(3, {}));
  platform.unopenable = {"ZarnoObj.lod"};
  ExpectRunEndsWithBox(false, "Can not open ZarnoObj.lod: " + folder.lodPath.string());
}

TEST_F(ModelJobTest, AnErrorListThatCannotBeCreatedEndsTheCheckRun) {
  AddIhr("a.ihr", Ihr(3, {}));
  platform.unopenable = {"ErrorList.txt"};
  ExpectRunEndsWithBox(true, "Can not open ErrorList.txt: " + ErrorListPath());
  EXPECT_FALSE(std::filesystem::exists(ErrorListPath()));
}

TEST_F(ModelJobTest, AnErrorListThatCannotBeWrittenIsReportedInsteadOfTheList) {
  AddIhr("a.ihr", Ihr(3, {}));
  platform.unwritable = "ErrorList.txt";
  ExpectRunEndsWithBox(true, "Can not write ErrorList.txt: " + ErrorListPath());
}

TEST_F(ModelJobTest, AHeaderThatCannotBeWrittenIsReportedAndKept) {
  AddIhr("a.ihr", Ihr(3, {}));
  platform.replaceFails = true;
  ExpectRunEndsWithBox(false, "Can not write ZarnoObj.hdr: " + folder.hdrPath.string());
  EXPECT_FALSE(std::filesystem::exists(folder.hdrPath.string() + ".new"));
}

TEST_F(ModelJobTest, ALodFileThatCannotBeWrittenEndsTheJobWithoutSaving) {
  AddIhr("a.ihr", Ihr(3, {{100.0f, -1, "m.3ds"}}));
  AddIhr("b.ihr", Ihr(4, {{100.0f, -1, "m.3ds"}}));
  AddModel("m.lod", PatternBytes(1, 10));
  platform.unwritable = "ZarnoObj.lod";
  ExpectRunEndsWithBox(false, "Can not write ZarnoObj.lod: " + folder.lodPath.string());
}

TEST_F(ModelJobTest, AnInterruptedUpdateThatCannotBeFinishedEndsTheJob) {
  AddIhr("a.ihr", Ihr(3, {}));
  ASSERT_TRUE(WriteFile(folder.objectDir / "ZarnoObj.journal", std::vector<uint8_t>{'Z', 'a', 'r', 'n', 'o', 'O', 'b',
                                                                                    'j', '.', 'l', 'o', 'd', '\n'}));
  ASSERT_TRUE(WriteFile(folder.objectDir / "ZarnoObj.lod.new", PatternBytes(1, 4)));
  platform.replaceFails = true;
  ExpectRunEndsWithBox(false,
                       "Can not finish the interrupted update of the object folder: " + folder.objectDir.string());
}

TEST_F(ModelJobTest, CompactAndDistanceRunsNeverLookAtTheModelsFolder) {
  AddIhr("a.ihr", Ihr(3, {}));
  for (const char* switchText : {"@compact ", "@distance -1 -1 "}) {
    SCOPED_TRACE(switchText);
    FaultyPlatform fresh;
    EXPECT_EQ(RunRigwright(fresh, Line(switchText)), 1);
    EXPECT_EQ(fresh.CloseRequests(), 1);
    EXPECT_EQ(fresh.Beeps(), 0);
    for (const FileOperationRecord& op : fresh.FileOperations()) {
      if (op.operation != FileOperation::kFindFiles) continue;
      EXPECT_EQ(op.path.rfind(folder.modelDir.string(), 0), std::string::npos) << op;
    }
  }
}

}  // namespace
}  // namespace zarno
