#include "rigwright/lod_distances.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/header_file.h"
#include "core/install_paths.h"
#include "rigwright/distance_run.h"
#include "tests/support/class_table_builder.h"
#include "tests/support/header_builder.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

using Distances = std::vector<float>;

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

ClassRecord Class(std::vector<uint16_t> parents, uint8_t idByte1 = 0, uint8_t selectorByte = 0) {
  ClassRecord record{};
  for (size_t k = 0; k < parents.size(); ++k) record.parentIndex[k] = parents[k];
  record.idBytes[1] = idByte1;
  record.selectorByte = selectorByte;
  return record;
}

ClassDatabase Classes(std::vector<ClassRecord> records) {
  ClassDatabase classes;
  classes.classCount = static_cast<int32_t>(records.size());
  classes.ClassTable = std::move(records);
  return classes;
}

class AdjustLodDistancesTest : public testing::Test {
 protected:
  AdjustLodDistancesTest() : db_(std::make_unique<HeaderDatabase>(kRigwrightLimits)) {
    db_->parentCount = 10;
  }

  void SetDistances(size_t parent, const Distances& d) {
    db_->ParentTable[parent].lodRefCount = static_cast<uint8_t>(d.size());
    for (size_t i = 0; i < d.size(); ++i) db_->ParentLists[parent].lodDistance[i] = d[i];
  }
  Distances DistancesOf(size_t parent) const {
    const size_t n = db_->ParentTable[parent].lodRefCount;
    return Distances(db_->ParentLists[parent].lodDistance, db_->ParentLists[parent].lodDistance + n);
  }
  uint32_t Adjust(const ClassDatabase& classes, ClassSelector selector = {}, DistanceBand band = {}) {
    return AdjustLodDistances(classes, selector, band, *db_);
  }

  std::unique_ptr<HeaderDatabase> db_;
};

// One class naming parent 3 in the slots given (parent 4 has the distance
// 150000, parent 5 none); parent 3's distances before and after, and the
// changes counted. Slot 0 caps at 150000, the others at
// 15000; ordering alone counts no change.
struct AdjustCase {
  const char* name;
  std::vector<uint16_t> classParents;
  Distances before;
  uint32_t changes;
  Distances after;
  DistanceBand band = {};
};

const AdjustCase kAdjustCases[] = {
    {"slot one: capped, ordered, clamped and spread", {0, 3}, {20000.0f, 60000.0f, 200000.0f}, 3,
     {25000.0f, 30000.0f, 15000.0f}},
    {"slot zero has the larger cap", {3}, {20000.0f, 60000.0f, 200000.0f}, 2, {25000.0f, 87500.0f, 150000.0f}},
    {"a slot repeating the previous parent is passed over", {3, 3, 3}, {20000.0f, 60000.0f, 200000.0f}, 2,
     {25000.0f, 87500.0f, 150000.0f}},
    // Slot 0 gives 25000, 87500, 150000 (2 changes); slot 2 then caps both
    // later distances (2 changes) and orders the middle one below the last.
    {"a parent named again later is adjusted again with that slot's cap", {3, 5, 3},
     {20000.0f, 60000.0f, 200000.0f}, 4, {25000.0f, 12000.0f, 15000.0f}},
    {"two distances are never spread", {0, 3}, {20000.0f, 60000.0f}, 2, {25000.0f, 15000.0f}},
    // The middle distance is not below the last one, so ordering lowers it.
    {"values equal to the limits are not changes", {4, 3}, {25000.0f, 15000.0f, 15000.0f}, 0,
     {25000.0f, 12000.0f, 15000.0f}},
    {"ordering alone counts no change", {0, 3}, {30000.0f, 12000.0f, 10000.0f}, 0, {30000.0f, 8000.0f, 10000.0f}},
    {"ordering walks down from the last distance", {0, 3}, {30000.0f, 14000.0f, 13000.0f, 12000.0f}, 0,
     {30000.0f, 7680.0f, 9600.0f, 12000.0f}},
    // 0.8f times 100000.023f is 80000.0234f; in double precision the product
    // would round to 80000.0156f.
    {"ordering multiplies in single precision", {3}, {30000.0f, 120000.0f, 0x1.86a006p+16f}, 0,
     {30000.0f, 0x1.388006p+16f, 0x1.86a006p+16f}},
    {"no spreading when the first distance stays in the band", {3}, {30000.0f, 1000.0f, 100000.0f}, 0,
     {30000.0f, 1000.0f, 100000.0f}},
    {"no spreading when the span is below ten thousand", {3}, {20000.0f, 5000.0f, 34999.0f}, 1,
     {25000.0f, 5000.0f, 34999.0f}},
    // d[0] rises to 25000; |15000 - 25000| is 10000, so the middle one moves
    // to 25000 + 5000 even though the last distance is the smaller.
    {"spreading also measures a span below the first distance", {0, 3}, {1000.0f, 14000.0f, 15000.0f}, 1,
     {25000.0f, 30000.0f, 15000.0f}},
    {"spreading fills every middle distance in single precision", {3},
     {20000.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 149999.984375f}, 1,
     {25000.0f, 0x1.6612a8p+15f, 0x1.046aa8p+16f, 0x1.55cbfep+16f, 0x1.a72d52p+16f, 0x1.f88ea6p+16f,
      149999.984375f}},
    {"a first distance above the band comes down to far", {3}, {200000.0f}, 1, {150000.0f}},
    {"a band with far below near clamps twice and ends at near", {3}, {25000.0f}, 2, {30000.0f},
     DistanceBand{30000.0f, 20000.0f}},
};

TEST_F(AdjustLodDistancesTest, AdjustsTheDistancesOfTheNamedParent) {
  for (const AdjustCase& c : kAdjustCases) {
    SCOPED_TRACE(c.name);
    SetDistances(3, c.before);
    SetDistances(4, {150000.0f});
    EXPECT_EQ(Adjust(Classes({Class(c.classParents)}), {}, c.band), c.changes);
    EXPECT_EQ(DistancesOf(3), c.after);
    EXPECT_EQ(DistancesOf(4), (Distances{150000.0f}));
  }
}

TEST_F(AdjustLodDistancesTest, ParentIndexZeroAndSlotSevenChangeNothing) {
  SetDistances(0, {1.0f, 2.0f, 900000.0f});
  SetDistances(3, {1.0f, 2.0f, 900000.0f});
  EXPECT_EQ(Adjust(Classes({Class({0, 0, 0, 0, 0, 0, 0, 3})})), 0u);
  EXPECT_EQ(DistancesOf(0), (Distances{1.0f, 2.0f, 900000.0f}));
  EXPECT_EQ(DistancesOf(3), (Distances{1.0f, 2.0f, 900000.0f}));
}

TEST_F(AdjustLodDistancesTest, AParentWithoutLodReferencesIsLeftAlone) {
  db_->ParentLists[3].lodDistance[0] = 5.0f;  // not in use: lodRefCount is 0
  EXPECT_EQ(Adjust(Classes({Class({3})})), 0u);
  EXPECT_EQ(db_->ParentLists[3].lodDistance[0], 5.0f);
}

TEST_F(AdjustLodDistancesTest, TheBandComesFromTheCaller) {
  SetDistances(3, {9000.0f});
  SetDistances(4, {500.0f});
  EXPECT_EQ(Adjust(Classes({Class({3, 4})}), {}, DistanceBand{1000.0f, 5000.0f}), 2u);
  EXPECT_EQ(DistancesOf(3), (Distances{5000.0f}));
  EXPECT_EQ(DistancesOf(4), (Distances{1000.0f}));
}

TEST_F(AdjustLodDistancesTest, IndicesAtOrAboveTheTableCapacityArePassedOver) {
  ASSERT_EQ(db_->ParentTable.size(), 5002u);
  SetDistances(5001, {1.0f});
  EXPECT_EQ(Adjust(Classes({Class({5002, 65535, 5001})})), 1u);
  EXPECT_EQ(DistancesOf(5001), (Distances{25000.0f}));
}

TEST_F(AdjustLodDistancesTest, ALodReferenceCountAboveTheLimitIsTakenAsTheLimit) {
  db_->ParentTable[3].lodRefCount = 200;
  for (float& d : db_->ParentLists[3].lodDistance) d = 900000.0f;
  EXPECT_EQ(Adjust(Classes({Class({3})})), 10u);
  EXPECT_EQ(db_->ParentLists[3].lodDistance[9], 150000.0f);
  EXPECT_EQ(db_->ParentLists[3].lodDistance[0], 150000.0f);
}

TEST_F(AdjustLodDistancesTest, NoClassesMeansNothingToDo) {
  SetDistances(3, {1.0f});
  ClassDatabase negative = Classes({Class({3})});
  negative.classCount = -1;
  EXPECT_EQ(Adjust(negative), 0u);
  EXPECT_EQ(Adjust(Classes({})), 0u);
  EXPECT_EQ(DistancesOf(3), (Distances{1.0f}));
}

// Classes 1, 2 and 3 name parents 1, 2 and 3; each parent's one distance
// lies below the band, so every adjusted parent counts one change.
struct FilterCase {
  const char* name;
  ClassSelector selector;
  std::vector<size_t> adjusted;
};

class DistanceFilterTest : public AdjustLodDistancesTest,
                           public testing::WithParamInterface<FilterCase> {};

TEST_P(DistanceFilterTest, SelectsClassesByIdByteAndSelector) {
  for (size_t p = 1; p <= 3; ++p) SetDistances(p, {100.0f});
  const ClassDatabase classes = Classes({Class({1}, 3, 7), Class({2}, 3, 8), Class({3}, 4, 7)});
  EXPECT_EQ(Adjust(classes, GetParam().selector), GetParam().adjusted.size());
  for (size_t p = 1; p <= 3; ++p) {
    const bool adjusted = std::count(GetParam().adjusted.begin(), GetParam().adjusted.end(), p) > 0;
    EXPECT_EQ(DistancesOf(p)[0], adjusted ? 25000.0f : 100.0f) << "parent " << p;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, DistanceFilterTest,
                         testing::Values(FilterCase{"Any", {-1, -1}, {1, 2, 3}},
                                         FilterCase{"IdByteThree", {3, -1}, {1, 2}},
                                         FilterCase{"IdByteFour", {4, -1}, {3}},
                                         FilterCase{"SelectorSeven", {-1, 7}, {1, 3}},
                                         FilterCase{"Both", {3, 8}, {2}},
                                         FilterCase{"NoIdByte", {5, -1}, {}},
                                         FilterCase{"NoPair", {4, 8}, {}},
                                         FilterCase{"LargeNegativeIsAny", {-1000, -2}, {1, 2, 3}}),
                         [](const testing::TestParamInfo<FilterCase>& info) {
                           return std::string(info.param.name);
                         });

// ---- the whole distance run -------------------------------------------------

class DistanceRunTest : public testing::Test {
 protected:
  DistanceRunTest() {
    paths_.objectDir = folder_.Path().string();
    paths_.objectDirSlash = paths_.objectDir + "/";
    paths_.hdrPath = paths_.objectDirSlash + "ZarnoObj.hdr";
    paths_.lodPath = paths_.objectDirSlash + "ZarnoObj.lod";
    header_ = StandardHeaderSpec();
    // Parent 1 has one LOD: 250. Parent 2 has two: 150 and 900.
  }

  // Writes both files and loads the header database as the driver does.
  void Prepare(const ClassTableSpec& classes) {
    headerBytes_ = BuildHeaderFile(header_);
    ASSERT_TRUE(WriteFile(folder_ / "ZarnoObj.hdr", headerBytes_));
    ASSERT_TRUE(WriteFile(folder_ / "Orvane4.ct", BuildClassTableFile(classes)));
    ASSERT_EQ(LoadHeaderDatabase(platform_, paths_.hdrPath, *db_, false).outcome, HeaderLoadOutcome::kRead);
  }
  std::vector<uint8_t> HeaderOnDisk() const { return FileBytes(folder_ / "ZarnoObj.hdr"); }
  void Run() { RunDistanceAdjustment(platform_, settings_, paths_, *db_); }

  TempFolder folder_;
  RecordingPlatform platform_;
  InstallPaths paths_;
  RigwrightSettings settings_;
  HeaderSpec header_;
  std::vector<uint8_t> headerBytes_;
  std::unique_ptr<HeaderDatabase> db_ = std::make_unique<HeaderDatabase>(kRigwrightLimits);
};

ClassTableSpec TableNaming(std::vector<ClassSpec> classes) {
  ClassTableSpec recipe;
  recipe.classes = std::move(classes);
  return recipe;
}

TEST_F(DistanceRunTest, SavesTheAdjustedDistances) {
  settings_.distanceFilterA = 3;
  Prepare(TableNaming({ClassNaming({0, 2}, 3), ClassNaming({1}, 9)}));
  Run();
  // Parent 2 (slot 1, cap 15000): 150 rises to 25000, 900 stays. Parent 1
  // belongs to a class that is not selected.
  HeaderSpec expected = header_;
  expected.parents[2].lodRefs[0].lodDistance = 25000.0f;
  EXPECT_EQ(HeaderOnDisk(), BuildHeaderFile(expected));
  EXPECT_TRUE(platform_.MessageBoxes().empty());
  EXPECT_TRUE(platform_.ProgressCalls().empty());
  EXPECT_EQ(platform_.Beeps(), 0);
}

TEST_F(DistanceRunTest, NothingIsWrittenWhenNoClassMatches) {
  header_.lodWord = 5000;  // a rewrite would raise it to 10000
  settings_.distanceFilterB = 77;
  Prepare(TableNaming({ClassNaming({0, 2}, 3, 1)}));
  Run();
  EXPECT_EQ(HeaderOnDisk(), headerBytes_);
  EXPECT_TRUE(platform_.MessageBoxes().empty());
  for (const FileOperationRecord& op : platform_.FileOperations()) {
    EXPECT_NE(op.operation, FileOperation::kReplaceFile) << op;
  }
}

TEST_F(DistanceRunTest, OrderingAloneIsNotSaved) {
  header_.lodWord = 5000;
  header_.parents[2].lodRefs = {{11, 30000.0f}, {-1, 12000.0f}, {-1, 10000.0f}};
  Prepare(TableNaming({ClassNaming({0, 2})}));
  Run();
  EXPECT_EQ(db_->ParentLists[2].lodDistance[1], 8000.0f);
  EXPECT_EQ(HeaderOnDisk(), headerBytes_);
}

struct BrokenTableCase {
  const char* name;
  bool writeTable;
  ClassTableSpec table;
  const char* messageStart;
};

class DistanceRunBrokenTableTest : public DistanceRunTest,
                                   public testing::WithParamInterface<BrokenTableCase> {};

TEST_P(DistanceRunBrokenTableTest, IsReportedAndChangesNothing) {
  header_.lodWord = 5000;
  Prepare(TableNaming({ClassNaming({0, 2})}));
  std::filesystem::remove(folder_ / "Orvane4.ct");
  if (GetParam().writeTable) {
    ASSERT_TRUE(WriteFile(folder_ / "Orvane4.ct", BuildClassTableFile(GetParam().table)));
  }
  Run();
  const std::string tablePath = paths_.objectDirSlash + "Orvane4.ct";
  EXPECT_EQ(platform_.MessageBoxes(),
            (std::vector<MessageBoxRecord>{
                {std::string(GetParam().messageStart) + tablePath, "File Open Error", BoxIcon::kHand}}));
  EXPECT_EQ(HeaderOnDisk(), headerBytes_);
  EXPECT_EQ(db_->ParentLists[2].lodDistance[0], 150.0f);
}

ClassTableSpec BrokenTable(std::optional<int16_t> count, std::optional<size_t> cutTo) {
  ClassTableSpec recipe = TableNaming({ClassNaming({0, 2}), ClassNaming({1})});
  recipe.classCount = count;
  recipe.cutTo = cutTo;
  return recipe;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DistanceRunBrokenTableTest,
    testing::Values(BrokenTableCase{"Missing", false, {}, "Can not open Orvane4.ct: "},
                    BrokenTableCase{"Truncated", true, BrokenTable(std::nullopt, 2 + 81 + 80),
                                    "Can not read Orvane4.ct: "},
                    BrokenTableCase{"NegativeCount", true, BrokenTable(-2, std::nullopt),
                                    "Can not read Orvane4.ct: "}),
    [](const testing::TestParamInfo<BrokenTableCase>& info) { return std::string(info.param.name); });

TEST_F(DistanceRunTest, AHeaderThatCannotBeReplacedIsReportedAndKept) {
  Prepare(TableNaming({ClassNaming({0, 2})}));
  // Reading the table, creating the new header, then the replacement.
  const size_t before = platform_.FileOperations().size();
  platform_.FailFileOperation(3);
  Run();
  ASSERT_GE(platform_.FileOperations().size(), before + 3);
  EXPECT_EQ(platform_.FileOperations()[before + 2].operation, FileOperation::kReplaceFile);
  EXPECT_EQ(platform_.MessageBoxes(), (std::vector<MessageBoxRecord>{{"Can not write ZarnoObj.hdr: " + paths_.hdrPath,
                                                                     "File Open Error", BoxIcon::kHand}}));
  EXPECT_EQ(HeaderOnDisk(), headerBytes_);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "ZarnoObj.hdr.new"));
}

}  // namespace
}  // namespace zarno
