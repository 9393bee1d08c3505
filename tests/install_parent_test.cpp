#include "rigwright/install_parent.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "rigwright/text_scanner.h"
#include "tests/support/header_builder.h"
#include "tests/support/ihr_builder.h"
#include "tests/support/object_folder.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

// ---- the scanner ---------------------------------------------------------

TEST(TextScanner, TurnsCrLfIntoLfOnly) {
  EXPECT_EQ(TextModeContents("a\r\nb\rc\n\r\r\n"), "a\nb\rc\n\r\n");
}

template <class Number>
struct NumberCase {
  const char* text;
  ScanResult result;
  Number value;  // what the variable holds afterwards; it starts as 99
};

template <class Number, size_t N>
void ExpectNumbersRead(const NumberCase<Number> (&cases)[N], ScanResult (TextScanner::*read)(Number&)) {
  for (const NumberCase<Number>& c : cases) {
    SCOPED_TRACE(c.text);
    TextScanner in(c.text);
    Number value = 99;
    EXPECT_EQ((in.*read)(value), c.result);
    EXPECT_EQ(value, c.value);
  }
}

TEST(TextScanner, ReadsNumbersLikeTheFormattedScan) {
  const NumberCase<int32_t> integers[] = {
      {"  42 rest", ScanResult::kConverted, 42},  {"\n\n-7", ScanResult::kConverted, -7},
      {"+5", ScanResult::kConverted, 5},          {"300x", ScanResult::kConverted, 300},
      {"4294967297", ScanResult::kConverted, 1},  {"-2147483648", ScanResult::kConverted, INT32_MIN},
      {"abc", ScanResult::kNoMatch, 99},          {"-", ScanResult::kNoMatch, 99},
      {"  \n\t ", ScanResult::kEnd, 99},          {"", ScanResult::kEnd, 99},
  };
  ExpectNumbersRead(integers, &TextScanner::ReadInt);
  const NumberCase<float> floats[] = {
      {"2.0", ScanResult::kConverted, 2.0f},   {" -0.125\n", ScanResult::kConverted, -0.125f},
      {"1e3,", ScanResult::kConverted, 1000.0f}, {"7", ScanResult::kConverted, 7.0f},
      {"0x10", ScanResult::kConverted, 16.0f}, {".5", ScanResult::kConverted, 0.5f},
      {"word", ScanResult::kNoMatch, 99.0f},   {"", ScanResult::kEnd, 99.0f},
  };
  ExpectNumbersRead(floats, &TextScanner::ReadFloat);
}

TEST(TextScanner, AFailedConversionLeavesTheTextForTheNextRead) {
  TextScanner in("  x1 2");
  float number = 0.0f;
  EXPECT_EQ(in.ReadFloat(number), ScanResult::kNoMatch);
  std::string word;
  EXPECT_EQ(in.ReadWord(word), ScanResult::kConverted);
  EXPECT_EQ(word, "x1");
  EXPECT_EQ(in.ReadFloat(number), ScanResult::kConverted);
  EXPECT_EQ(number, 2.0f);
}

TEST(TextScanner, ReadsLinesLikeFgets) {
  TextScanner in("first\nsecond line\nthird");
  std::string line;
  ASSERT_TRUE(in.ReadLine(254, line));
  EXPECT_EQ(line, "first\n");
  ASSERT_TRUE(in.ReadLine(6, line));
  EXPECT_EQ(line, "second");
  ASSERT_TRUE(in.ReadLine(254, line));
  EXPECT_EQ(line, " line\n");
  ASSERT_TRUE(in.ReadLine(254, line));
  EXPECT_EQ(line, "third");
  EXPECT_FALSE(in.ReadLine(254, line));
  EXPECT_EQ(line, "third");
  // A line ends at its first NUL, as a C string would.
  TextScanner nul(std::string_view("ab\0cd\nnext", 10));
  ASSERT_TRUE(nul.ReadLine(254, line));
  EXPECT_EQ(line, "ab");
  ASSERT_TRUE(nul.ReadLine(254, line));
  EXPECT_EQ(line, "next");
}

TEST(TextScanner, SkipsLinesAndReadsSingleCharacters) {
  TextScanner in("5\nskipped\nx");
  int32_t n = 0;
  char c = 0;
  ASSERT_EQ(in.ReadInt(n), ScanResult::kConverted);
  ASSERT_TRUE(in.ReadChar(c));
  EXPECT_EQ(c, '\n');
  in.SkipLine();
  ASSERT_TRUE(in.ReadChar(c));
  EXPECT_EQ(c, 'x');
  EXPECT_FALSE(in.ReadChar(c));
}

TEST(ScanSequence, CountsConversionsUpToTheFirstFailure) {
  struct Case {
    const char* text;
    int32_t result;
  };
  const Case cases[] = {{"w 1 2", 3}, {"w 1 x", 2}, {"w", 1}, {"", -1}, {"   \n", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TextScanner in(c.text);
    int32_t a = 0, b = 0;
    EXPECT_EQ(ScanSequence(in).Word().Int(a).Int(b).Result(), c.result);
  }
  TextScanner numbers("x 1");
  float value = 0.0f;
  EXPECT_EQ(ScanSequence(numbers).Float(value).Float(value).Result(), 0);
}

// ---- the parser ----------------------------------------------------------

class InstallParentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    paths.objectDir = folder.Path().string();
    paths.objectDirSlash = paths.objectDir + "/";
    paths.hdrPath = paths.objectDirSlash + "ZarnoObj.hdr";
    paths.lodPath = paths.objectDirSlash + "ZarnoObj.lod";
    paths.modelDir = paths.objectDirSlash + "Models/";
    Restart(false);
  }

  // A fresh job state over the standard database (6 LOD records, 3 parents).
  void Restart(bool checkRun) {
    settings.checkRun = checkRun;
    state = std::make_unique<ModelJobState>(platform, settings, paths);
    const std::vector<uint8_t> hdr = BuildHeaderFile(StandardHeaderSpec());
    ASSERT_EQ(ReadHeaderDatabase(hdr, state->db, checkRun), kReadOk);
    if (checkRun) state->errorListFile.emplace(platform, ListPath());
  }

  std::string ListPath() const { return (folder / "list.txt").string(); }

  int32_t Parse(const std::string& text, const std::string& name = "plane.ihr") {
    state->currentIhrName = name;
    return ReadInstallParent(*state, text);
  }
  int32_t Parse(const IhrSpec& recipe, const std::string& name = "plane.ihr") {
    return Parse(BuildIhrText(recipe), name);
  }

  // What the check run wrote so far.
  std::string Findings() {
    state->errorListFile->Close();
    state->errorListFile.reset();
    return ReadFileText(ListPath());
  }

  const ParentRecord& Parent(size_t p) const { return state->db.ParentTable[p]; }
  const ParentListRecord& Lists(size_t p) const { return state->db.ParentLists[p]; }

  TempFolder folder;
  RecordingPlatform platform;
  RigwrightSettings settings;
  InstallPaths paths;
  std::unique_ptr<ModelJobState> state;
};

bool SameBytes(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }

// The first `count` model file names the parser noted.
std::vector<std::string> Names(const ModelJobState& state, size_t count) {
  return {state.LodFileNames.begin(), state.LodFileNames.begin() + static_cast<std::ptrdiff_t>(count)};
}

IhrSpec FullSpec() {
  IhrSpec recipe;
  recipe.parentIndex = 3;
  recipe.hitbox = {-10.5f, 0.0f, 10.5f, -3.0f, 3.0f, 0.25f, 12.0f};
  recipe.hostParam1 = 70000;
  recipe.hostParam2 = -1;
  recipe.hostParam3 = 9;
  recipe.hostParam4 = 17;
  recipe.hostParam5 = 255;
  recipe.dynamicPoints = {{1.0f, 2.0f, 3.0f}, {-4.0f, 5.5f, 6.0f}};
  recipe.slots = {{0.5f, 0.25f, 0.125f}, {7.0f, 8.0f, 9.0f}, {-1.0f, -2.0f, -3.0f}};
  recipe.lods = {{8000.0f, -1, "tank.3ds"}, {2500.5f, 2, "tank_far.3ds"}, {900.0f, -1, "Tank.Near.x"}};
  return recipe;
}

TEST_F(InstallParentTest, TakesEveryFieldOfAFileIntoANewParent) {
  ASSERT_EQ(state->db.parentCount, 3u);
  EXPECT_EQ(Parse(FullSpec()), 3);
  const ParentRecord& fixed = Parent(3);
  const float hitbox[7] = {-10.5f, 0.0f, 10.5f, -3.0f, 3.0f, 0.25f, 12.0f};
  EXPECT_TRUE(SameBytes(fixed.hitbox, hitbox, sizeof hitbox));
  EXPECT_EQ(fixed.hostParam1, 70000u);
  EXPECT_EQ(fixed.hostParam2, 0xFFFFFFFFu);
  EXPECT_EQ(fixed.hostParam3, 9);
  EXPECT_EQ(fixed.dynamicCount, 2);
  EXPECT_EQ(fixed.lodRefCount, 3);
  EXPECT_EQ(fixed.hostParam4, 17);
  EXPECT_EQ(fixed.hostParam5, 255);
  EXPECT_EQ(fixed.slotCount, 3);
  const ParentListRecord& lists = Lists(3);
  EXPECT_EQ(lists.dynamicX[1], -4.0f);
  EXPECT_EQ(lists.dynamicY[1], 5.5f);
  EXPECT_EQ(lists.dynamicZ[1], 6.0f);
  EXPECT_EQ(lists.slotX[0], 0.5f);
  EXPECT_EQ(lists.slotZ[2], -3.0f);
  EXPECT_EQ(lists.lodDistance[0], 8000.0f);
  EXPECT_EQ(lists.lodDistance[1], 2500.5f);
  EXPECT_EQ(lists.lodRef[0], -1);
  EXPECT_EQ(lists.lodRef[1], 5);
  EXPECT_EQ(lists.lodRef[2], -1);
  EXPECT_EQ(Names(*state, 4), (std::vector<std::string>{"tank.lod", "tank_far.lod", "Tank.lod", ""}));
  EXPECT_EQ(state->db.parentCount, 4u);
  EXPECT_EQ(state->lastParentIndex, 3);
}

TEST_F(InstallParentTest, CrLfLineBreaksReadLikeLf) {
  IhrSpec recipe = FullSpec();
  recipe.crlf = true;
  EXPECT_EQ(Parse(recipe), 3);
  const ParentRecord crlfParent = Parent(3);
  const ParentListRecord crlfLists = Lists(3);
  const auto crlfNames = state->LodFileNames;
  Restart(false);
  EXPECT_EQ(Parse(FullSpec()), 3);
  EXPECT_TRUE(SameBytes(&crlfParent, &Parent(3), sizeof(ParentRecord)));
  EXPECT_TRUE(SameBytes(&crlfLists, &Lists(3), sizeof(ParentListRecord)));
  EXPECT_EQ(crlfNames, state->LodFileNames);
}

TEST_F(InstallParentTest, AcceptsOnlyTheVersionTwo) {
  struct Case {
    const char* versionLine;
    int32_t result;
  };
  const Case cases[] = {{"2", 3},   {"2.00", 3}, {"2.0 version of the file", 3}, {"  2e0", 3},
                        {"1.5", 0}, {"3", 0},    {"two", 0},                     {"", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.versionLine);
    Restart(false);
    IhrSpec recipe = FullSpec();
    recipe.versionLine = c.versionLine;
    EXPECT_EQ(Parse(recipe), c.result);
    EXPECT_EQ(state->db.parentCount, c.result == 0 ? 3u : 4u);
    EXPECT_EQ(Parent(3).hostParam1, c.result == 0 ? 0u : 70000u);
  }
  Restart(false);
  EXPECT_EQ(Parse(""), 0);
  EXPECT_EQ(state->lastParentIndex, -1);
}

TEST_F(InstallParentTest, AGrowingIndexRaisesTheParentCountAndASmallerOneLeavesIt) {
  IhrSpec recipe = FullSpec();
  recipe.parentIndex = 1;
  EXPECT_EQ(Parse(recipe), 1);
  EXPECT_EQ(state->db.parentCount, 3u);
  recipe.parentIndex = 10;
  EXPECT_EQ(Parse(recipe), 10);
  EXPECT_EQ(state->db.parentCount, 11u);
  recipe.parentIndex = 0;
  EXPECT_EQ(Parse(recipe), 0);
  EXPECT_EQ(Parent(0).hostParam1, 70000u);
}

TEST_F(InstallParentTest, StoresEachIntegerToItsFieldsWidth) {
  struct Case {
    int64_t hostParam3, hostParam4, slotCount;
    uint16_t storedParam3;
    uint8_t storedParam4, storedSlots;
  };
  const Case cases[] = {{0, 4, 3, 1, 4, 3},          {65536, 256, 300, 1, 0, 44},
                        {65537, 257, 256, 1, 1, 0},  {-1, -1, 3, 0xFFFF, 0xFF, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slotCount);
    Restart(false);
    IhrSpec recipe = FullSpec();
    recipe.hostParam3 = c.hostParam3;
    recipe.hostParam4 = c.hostParam4;
    recipe.slotCount = c.slotCount;
    recipe.slots.assign(c.storedSlots, {1.0f, 1.0f, 1.0f});
    EXPECT_EQ(Parse(recipe), 3);
    EXPECT_EQ(Parent(3).hostParam3, c.storedParam3);
    EXPECT_EQ(Parent(3).hostParam4, c.storedParam4);
    EXPECT_EQ(Parent(3).slotCount, c.storedSlots);
    EXPECT_EQ(Lists(3).lodRef[1], 5);  // the slot lines read match the stored count
  }
}

TEST_F(InstallParentTest, ASlotCountClearsHostParam6AndTheLowByteOfHostParam7) {
  for (int64_t slotCount : {0, 25, 255}) {
    SCOPED_TRACE(slotCount);
    Restart(false);
    state->db.ParentTable[1].hostParam6 = 0xBEEF;
    state->db.ParentTable[1].hostParam7 = 0x1234;
    IhrSpec recipe = FullSpec();
    recipe.parentIndex = 1;
    recipe.slotCount = slotCount;
    recipe.slots.assign(static_cast<size_t>(slotCount), {0.0f, 0.0f, 0.0f});
    EXPECT_EQ(Parse(recipe), 1);
    EXPECT_EQ(Parent(1).hostParam6, 0);
    EXPECT_EQ(Parent(1).hostParam7, 0x1200);
  }
}

TEST_F(InstallParentTest, AReplacedParentKeepsWhatTheFileDoesNotGive) {
  // The standard parent 1 has hitbox 4, 8, ... and refers to LOD record 3.
  const ParentRecord before = Parent(1);
  const std::string text =
      "2.0\nName\n0 0 1\nHitbox 9 9\nParams 5\nParam3 x\n";
  EXPECT_EQ(Parse(text), 1);
  EXPECT_EQ(Parent(1).hitbox[0], 9.0f);
  EXPECT_EQ(Parent(1).hitbox[1], 9.0f);
  EXPECT_EQ(Parent(1).hitbox[2], before.hitbox[2]);
  EXPECT_EQ(Parent(1).hostParam1, 5u);
  EXPECT_EQ(Parent(1).hostParam2, before.hostParam2);
  EXPECT_EQ(Parent(1).hostParam3, before.hostParam3);
  EXPECT_EQ(Parent(1).lodRefCount, before.lodRefCount);
  // The one LOD entry is read at the end of the file: its distance stays,
  // and its number, never read, is the last one read (0 before any).
  EXPECT_EQ(Lists(1).lodDistance[0], 250.0f);
  EXPECT_EQ(Lists(1).lodRef[0], 1);
}

TEST_F(InstallParentTest, Form0EntriesFollowTheLodNumberTable) {
  state->db.ParentLists[2].lodRef[2] = 77;
  IhrSpec recipe;
  recipe.parentIndex = 2;
  recipe.lodRefCount = 5;
  recipe.lods = {{100.0f, 5, "gear.3ds"}, {200.0f, -1, "tank.x.old"}, {300.0f, -2, "ignored.3ds"},
               {400.0f, 0, "nodot"}, {500.0f, -5, "odd.3ds"}};
  EXPECT_EQ(Parse(recipe), 2);
  const ParentListRecord& lists = Lists(2);
  EXPECT_EQ(std::vector<int32_t>(lists.lodRef, lists.lodRef + 5), (std::vector<int32_t>{11, -1, 77, 1, -9}));
  EXPECT_EQ(lists.lodDistance[2], 300.0f);
  EXPECT_EQ(Names(*state, 5), (std::vector<std::string>{"gear.lod", "tank.lod", "", "nodot\n.lod", "odd.lod"}));
}

TEST_F(InstallParentTest, OtherFormsTakeOnlyNegativeNumbers) {
  state->db.ParentLists[2].lodRef[1] = 77;
  IhrSpec recipe;
  recipe.parentIndex = 2;
  recipe.lodEntryForm = 1;
  recipe.lods = {{100.0f, -5, "anyword"}, {200.0f, 5, "word"}, {300.0f, -1, "w"}};
  EXPECT_EQ(Parse(recipe), 2);
  EXPECT_EQ(Lists(2).lodRef[0], 11);
  EXPECT_EQ(Lists(2).lodRef[1], 77);
  EXPECT_EQ(Lists(2).lodRef[2], 3);
  for (const std::string& name : state->LodFileNames) EXPECT_EQ(name, "");
}

TEST_F(InstallParentTest, LongNamesAreHeldWholeAndNeverCarryOverToTheNextFile) {
  IhrSpec recipe = FullSpec();
  const std::string stem(200, 'm');
  recipe.lods = {{100.0f, -1, stem + ".3ds"}};
  EXPECT_EQ(Parse(recipe), 3);
  EXPECT_EQ(state->LodFileNames[0], stem + ".lod");
  recipe.lods.clear();
  EXPECT_EQ(Parse(recipe), 3);
  for (const std::string& name : state->LodFileNames) EXPECT_EQ(name, "");
}

TEST_F(InstallParentTest, CountsBeyondTheArraysAreReadAndTheExcessDropped) {
  IhrSpec recipe = FullSpec();
  recipe.dynamicPoints.clear();
  for (int i = 0; i < 12; ++i) recipe.dynamicPoints.push_back({float(i), 0.0f, 0.0f});
  recipe.slots.clear();
  for (int i = 0; i < 120; ++i) recipe.slots.push_back({float(i), 1.0f, 2.0f});
  recipe.lods.clear();
  for (int i = 0; i < 12; ++i) recipe.lods.push_back({float(100 * (i + 1)), i, "m" + std::to_string(i) + ".3ds"});
  EXPECT_EQ(Parse(recipe), 3);
  EXPECT_EQ(Parent(3).dynamicCount, 12);
  EXPECT_EQ(Parent(3).slotCount, 120);
  EXPECT_EQ(Parent(3).lodRefCount, 12);
  EXPECT_EQ(Lists(3).dynamicX[9], 9.0f);
  EXPECT_EQ(Lists(3).slotX[99], 99.0f);
  EXPECT_EQ(Lists(3).lodDistance[9], 1000.0f);
  EXPECT_EQ(Lists(3).lodRef[9], 19);
  EXPECT_EQ(state->LodFileNames[9], "m9.lod");
}

TEST_F(InstallParentTest, AParentIndexOutsideTheTableSkipsTheFileWithABox) {
  const std::vector<uint8_t> before = WriteHeaderDatabase(state->db);
  for (int32_t index : {-1, -100, 5002, 100000}) {
    SCOPED_TRACE(index);
    IhrSpec recipe = FullSpec();
    recipe.parentIndex = index;
    EXPECT_EQ(Parse(recipe), kParentSkipped);
    for (const std::string& name : state->LodFileNames) EXPECT_EQ(name, "");
  }
  EXPECT_EQ(WriteHeaderDatabase(state->db), before);
  const std::string path = paths.modelDir + "plane.ihr";
  ASSERT_EQ(platform.MessageBoxes().size(), 4u);
  EXPECT_EQ(platform.MessageBoxes()[0],
            (MessageBoxRecord{"Bad parent index -1 in ihr file: " + path, "ihr Read Error", BoxIcon::kExclamation}));
  EXPECT_EQ(platform.MessageBoxes()[2].text, "Bad parent index 5002 in ihr file: " + path);
  IhrSpec last = FullSpec();
  // The saved database keeps 5000 parents: 5000 and 5001 are refused too.
  last.parentIndex = 5001;
  EXPECT_EQ(Parse(last), -1);
  EXPECT_EQ(platform.MessageBoxes().back().text, "Bad parent index 5001 in ihr file: " + path);
  last.parentIndex = 4999;
  EXPECT_EQ(Parse(last), 4999);
  EXPECT_EQ(state->db.parentCount, 5000u);
}

TEST_F(InstallParentTest, AnInstallRunReportsNothingElse) {
  IhrSpec recipe = FullSpec();
  recipe.hitbox = {};
  recipe.lodEntryForm = 1;
  recipe.dynamicCount = 5;
  EXPECT_EQ(Parse(recipe), 3);
  EXPECT_EQ(Parse(recipe), 3);
  EXPECT_TRUE(platform.MessageBoxes().empty());
  EXPECT_FALSE(state->errorListFile.has_value());
}

// ---- check-run findings ----------------------------------------------------

TEST_F(InstallParentTest, ReportsDuplicateParentsOnlyForConsecutiveFiles) {
  Restart(true);
  IhrSpec recipe = FullSpec();
  recipe.parentIndex = 12;
  Parse(recipe, "a.ihr");
  Parse(recipe, "b.ihr");
  recipe.parentIndex = 7;
  Parse(recipe, "c.ihr");
  recipe.parentIndex = 12;
  Parse(recipe, "d.ihr");
  EXPECT_EQ(Findings(), "Duplicate Parents \t,b.ihr - 12\n");
}

TEST_F(InstallParentTest, ReportsHitboxLinesWithTheValuesConverted) {
  struct Case {
    const char* hitboxLine;
    const char* findings;
  };
  const Case cases[] = {
      {"Hitbox 1 2 3 4 5 6 7", ""},
      {"Hitbox 1 2 3", "Hitbox Error \t,p.ihr - 3\n"},
      {"Hitbox 1 2 3 x 5 6 7", "Hitbox Error \t,p.ihr - 3\n"},
      {"Hitbox", "Hitbox Error \t,p.ihr - 0\nAll Hitbox Values = 0.0f \t,p.ihr\n"},
      {"", "Hitbox Error \t,p.ihr - -2\nAll Hitbox Values = 0.0f \t,p.ihr\n"},
      {"Hitbox 0 0 0 0 0 0 0", "All Hitbox Values = 0.0f \t,p.ihr\n"},
      {"Hitbox 1 -1 2 -2 0 0 0", "All Hitbox Values = 0.0f \t,p.ihr\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hitboxLine);
    Restart(true);
    const std::string text = std::string("2.0\nName\n0 0 4\n") + c.hitboxLine +
                             "\nParams 1 2\nP3 1\nD 0\nL 0\nP4 0\nP5 0\nS 0\n0\n";
    EXPECT_EQ(Parse(text, "p.ihr"), 4);
    EXPECT_EQ(Findings(), c.findings);
  }
}

TEST_F(InstallParentTest, ReportsEveryFindingOfACheckRunInOrder) {
  Restart(true);
  state->db.lodCountAtRead = 100;
  const std::string text =
      "2.0\n"
      "Broken\n"
      "0 0 3\n"
      "Hitbox 0 0 0\n"
      "Params 1 2\n"
      "Param3 0\n"
      "Dynamics 3\n"
      "LODs 4\n"
      "Param4 1\n"
      "Param5 2\n"
      "Slots 2\n"
      "0\n"
      "1 2 3\n"
      "4 5 6\n"
      "x\n";
  // The word "x" stops the third dynamic point and both slots, and then
  // every LOD entry, whose distances stay 0.0 and numbers stay 0.
  EXPECT_EQ(Parse(text, "broken.ihr"), 3);
  EXPECT_EQ(Findings(),
            "Hitbox Error \t,broken.ihr - 3\n"
            "All Hitbox Values = 0.0f \t,broken.ihr\n"
            "Dynamics Error \tbroken.ihr - 2 - 3\n"
            "Dynamics Error \tbroken.ihr - 0 - 2\n"
            "LOD #0 Distance = 0.0 \tbroken.ihr\n"
            "LOD #0 Distance = 0.0 \tbroken.ihr\n"
            "LOD #0 Distance = 0.0 \tbroken.ihr\n"
            "LOD #0 Distance = 0.0 \tbroken.ihr\n");
  EXPECT_EQ(Parent(3).hostParam3, 1);
}

TEST_F(InstallParentTest, TheLodNumberStartsAtZeroInEveryFile) {
  Restart(true);
  IhrSpec recipe = FullSpec();
  recipe.lods = {{10.0f, 4, "a.3ds"}};
  Parse(recipe, "first.ihr");
  recipe.parentIndex = 4;
  recipe.lods = {{0.0f, 4, "a.3ds"}};
  Parse(recipe, "second.ihr");
  EXPECT_EQ(Findings(), "LOD #0 Distance = 0.0 \tsecond.ihr\n");
}

// A distance report names the LOD number read before it; other entry forms
// are reported and their numbers not tested; a bad parent index shows no box.
TEST_F(InstallParentTest, ReportsSingleFileFindingsInTheList) {
  struct Case {
    const char* name;
    void (*change)(IhrSpec&);
    int32_t result;
    const char* findings;
  };
  const Case cases[] = {
      {"t.ihr",
       [](IhrSpec& s) {
         s.lods = {{0.0f, 7, "a.3ds"}, {0.0f, 101, "b.3ds"}, {50.0f, 100, "c.3ds"}, {0.0f, -2, "d.3ds"},
                   {0.0f, -1, "e.3ds"}};
       },
       3,
       "LOD #0 Distance = 0.0 \tt.ihr\n"
       "LOD #7 Distance = 0.0 \tt.ihr\n"
       "Bad LOD # \tt.ihr - 101\n"
       "LOD #100 Distance = 0.0 \tt.ihr\n"
       "LOD #-2 Distance = 0.0 \tt.ihr\n"},
      {"f.ihr",
       [](IhrSpec& s) {
         s.lodEntryForm = 2;
         s.lods = {{10.0f, 5000, "word"}};
       },
       3, "999#END \tf.ihr\n"},
      {"bad.ihr",
       [](IhrSpec& s) {
         s.parentIndex = -3;
         s.hitbox = {};
       },
       kParentSkipped, "Bad Parent Index \t,bad.ihr - -3\nAll Hitbox Values = 0.0f \t,bad.ihr\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Restart(true);
    state->db.lodCountAtRead = 100;
    IhrSpec recipe = FullSpec();
    c.change(recipe);
    EXPECT_EQ(Parse(recipe, c.name), c.result);
    EXPECT_EQ(Findings(), c.findings);
  }
  EXPECT_TRUE(platform.MessageBoxes().empty());
}

TEST_F(InstallParentTest, StartsTheListItselfWhenTheDriverHasNot) {
  Restart(true);
  state->errorListFile.reset();
  std::filesystem::create_directories(folder / "Models");
  IhrSpec recipe = FullSpec();
  recipe.lodEntryForm = 1;
  Parse(recipe, "own.ihr");
  state->errorListFile->Close();
  EXPECT_EQ(ReadFileText(folder / "Models" / "ErrorList.txt"),
            "Models folder " + paths.modelDir + "\n999#END \town.ihr\n");
}

TEST_F(InstallParentTest, BlankLinesBetweenTokensAreSkipped) {
  const std::string text =
      "2.0\nName\n0 0 3\nHitbox 1 2 3 4 5 6 7\nParams 1 2\n"
      "Param3 2\n\n  Dynamics\n1 LODs 1 Param4 4\nParam5 5\nSlots 0\n\n\n0\n"
      "\n9 8 7\n\n1500.5\n-1\nwing.obj\n";
  EXPECT_EQ(Parse(text), 3);
  EXPECT_EQ(Parent(3).dynamicCount, 1);
  EXPECT_EQ(Parent(3).hostParam4, 4);
  EXPECT_EQ(Lists(3).dynamicZ[0], 7.0f);
  EXPECT_EQ(Lists(3).lodDistance[0], 1500.5f);
  EXPECT_EQ(state->LodFileNames[0], "wing.lod");
}

TEST_F(InstallParentTest, EveryCutOfAFileParsesWithoutHarm) {
  IhrSpec recipe = FullSpec();
  recipe.crlf = true;
  const std::string text = BuildIhrText(recipe);
  for (bool checkRun : {false, true}) {
    Restart(checkRun);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
      const int32_t result = Parse(text.substr(0, cut));
      EXPECT_TRUE(result == 0 || result == 3) << cut;
    }
  }
}

}  // namespace
}  // namespace zarno
