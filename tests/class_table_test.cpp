#include "rigwright/class_table.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/class_table_builder.h"
#include "tests/support/header_builder.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

ClassSpec DistinctClass(uint8_t seed) {
  ClassSpec recipe;
  for (size_t i = 0; i < recipe.idBytes.size(); ++i) recipe.idBytes[i] = static_cast<uint8_t>(seed + i);
  for (size_t i = 0; i < recipe.parentIndex.size(); ++i) {
    recipe.parentIndex[i] = static_cast<uint16_t>(seed * 1000 + i * 7 + 0x100);
  }
  recipe.selectorByte = static_cast<uint8_t>(seed + 40);
  recipe.classWord = 0xC1A55000u + seed;
  return recipe;
}

void ExpectClassEquals(const ClassRecord& record, const ClassSpec& recipe) {
  for (size_t i = 0; i < recipe.idBytes.size(); ++i) EXPECT_EQ(record.idBytes[i], recipe.idBytes[i]) << i;
  for (size_t i = 0; i < recipe.parentIndex.size(); ++i) {
    EXPECT_EQ(record.parentIndex[i], recipe.parentIndex[i]) << i;
  }
  EXPECT_EQ(record.selectorByte, recipe.selectorByte);
  EXPECT_EQ(record.classWord, recipe.classWord);
}

TEST(ClassTableTest, BuiltRecordsAreEightyOneBytes) {
  ClassTableSpec recipe;
  recipe.classes = {DistinctClass(1), DistinctClass(2), DistinctClass(3)};
  const std::vector<uint8_t> file = BuildClassTableFile(recipe);
  ASSERT_EQ(file.size(), 2u + 3u * 81u);
  EXPECT_EQ(file[0], 3);
  EXPECT_EQ(file[1], 0);
  // Class 1 starts at 2 + 81: its idBytes at record offset 8, its
  // parentIndex[0] at 60 and its selector at 76.
  EXPECT_EQ(file[2 + 81 + 8], 2);
  EXPECT_EQ(file[2 + 81 + 60] | file[2 + 81 + 61] << 8, 2 * 1000 + 0x100);
  EXPECT_EQ(file[2 + 81 + 76], 42);
}

TEST(ClassTableTest, ReadsTheKeptFieldsOfEveryClass) {
  ClassTableSpec recipe;
  recipe.classes = {DistinctClass(1), DistinctClass(2), DistinctClass(3)};
  ClassDatabase classes;
  ASSERT_EQ(ParseClassTable(BuildClassTableFile(recipe), classes), ClassTableParse::kRead);
  EXPECT_EQ(classes.classCount, 3);
  ASSERT_EQ(classes.ClassTable.size(), 3u);
  for (size_t i = 0; i < 3; ++i) ExpectClassEquals(classes.ClassTable[i], recipe.classes[i]);
}

TEST(ClassTableTest, ZeroClassesReadAsAnEmptyTable) {
  ClassDatabase classes;
  classes.classCount = 5;
  classes.ClassTable.resize(5);
  ASSERT_EQ(ParseClassTable(BuildClassTableFile({}), classes), ClassTableParse::kRead);
  EXPECT_EQ(classes.classCount, 0);
  EXPECT_TRUE(classes.ClassTable.empty());
}

TEST(ClassTableTest, BytesAfterTheLastRecordAreIgnored) {
  ClassTableSpec recipe;
  recipe.classes = {DistinctClass(9)};
  recipe.trailingBytes = {1, 2, 3, 4, 5};
  ClassDatabase classes;
  ASSERT_EQ(ParseClassTable(BuildClassTableFile(recipe), classes), ClassTableParse::kRead);
  ASSERT_EQ(classes.classCount, 1);
  ExpectClassEquals(classes.ClassTable[0], recipe.classes[0]);
}

TEST(ClassTableTest, ACountBelowTheRecordsReadsOnlyThatMany) {
  ClassTableSpec recipe;
  recipe.classes = {DistinctClass(1), DistinctClass(2)};
  recipe.classCount = 1;
  ClassDatabase classes;
  ASSERT_EQ(ParseClassTable(BuildClassTableFile(recipe), classes), ClassTableParse::kRead);
  ASSERT_EQ(classes.ClassTable.size(), 1u);
  ExpectClassEquals(classes.ClassTable[0], recipe.classes[0]);
}

struct DamagedCase {
  const char* name;
  ClassTableSpec recipe;
  ClassTableParse expected;
};

class DamagedClassTableTest : public testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedClassTableTest, IsRefusedAndLeavesTheTableAlone) {
  ClassDatabase classes;
  classes.classCount = 1;
  classes.ClassTable = {ClassRecord{{7, 7, 7, 7, 7, 7}, {1, 2, 3, 4, 5, 6, 7, 8}, 9, 10}};
  EXPECT_EQ(ParseClassTable(BuildClassTableFile(GetParam().recipe), classes), GetParam().expected);
  EXPECT_EQ(classes.classCount, 1);
  ASSERT_EQ(classes.ClassTable.size(), 1u);
  EXPECT_EQ(classes.ClassTable[0].parentIndex[7], 8);
}

ClassTableSpec TwoClasses() {
  ClassTableSpec recipe;
  recipe.classes = {DistinctClass(1), DistinctClass(2)};
  return recipe;
}

ClassTableSpec Cut(ClassTableSpec recipe, size_t size) {
  recipe.cutTo = size;
  return recipe;
}

ClassTableSpec Counted(ClassTableSpec recipe, int16_t count) {
  recipe.classCount = count;
  return recipe;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedClassTableTest,
    testing::Values(DamagedCase{"Empty", Cut({}, 0), ClassTableParse::kTruncated},
                    DamagedCase{"HalfACount", Cut({}, 1), ClassTableParse::kTruncated},
                    DamagedCase{"LastByteMissing", Cut(TwoClasses(), 2 + 2 * 81 - 1),
                                ClassTableParse::kTruncated},
                    DamagedCase{"SecondRecordMissing", Cut(TwoClasses(), 2 + 81), ClassTableParse::kTruncated},
                    DamagedCase{"CountAboveTheRecords", Counted(TwoClasses(), 3), ClassTableParse::kTruncated},
                    DamagedCase{"HugeCountOfAShortFile", Counted({}, 32767), ClassTableParse::kTruncated},
                    DamagedCase{"CountMinusOne", Counted(TwoClasses(), -1), ClassTableParse::kNegativeCount},
                    DamagedCase{"LowestCount", Counted(TwoClasses(), -32768), ClassTableParse::kNegativeCount}),
    [](const testing::TestParamInfo<DamagedCase>& info) { return std::string(info.param.name); });

// ---- through the platform ---------------------------------------------------

class ReadClassTableTest : public testing::Test {
 protected:
  std::string FolderSlash() const { return folder_.Path().string() + "/"; }
  std::string TablePath() const { return FolderSlash() + "Orvane4.ct"; }
  void WriteTable(const ClassTableSpec& recipe, const char* name = "Orvane4.ct") {
    ASSERT_TRUE(WriteFile(folder_ / name, BuildClassTableFile(recipe)));
  }

  TempFolder folder_;
  RecordingPlatform platform_;
  ClassDatabase classes_;
  std::string message_;
};

TEST_F(ReadClassTableTest, PathIsTheObjectFolderFollowedByTheName) {
  EXPECT_EQ(ClassTablePath("/data/objects/"), "/data/objects/Orvane4.ct");
}

TEST_F(ReadClassTableTest, ReadsTheTableOfTheObjectFolder) {
  ClassTableSpec recipe;
  recipe.classes = {DistinctClass(4)};
  WriteTable(recipe);
  ASSERT_TRUE(ReadClassTable(platform_, FolderSlash(), classes_, message_)) << message_;
  ASSERT_EQ(classes_.classCount, 1);
  ExpectClassEquals(classes_.ClassTable[0], recipe.classes[0]);
  EXPECT_TRUE(message_.empty());
}

TEST_F(ReadClassTableTest, FindsTheTableWhateverTheCaseOfItsName) {
  ClassTableSpec recipe;
  recipe.classes = {DistinctClass(4)};
  WriteTable(recipe, "ORVANE4.CT");
  ASSERT_TRUE(ReadClassTable(platform_, FolderSlash(), classes_, message_)) << message_;
  EXPECT_EQ(classes_.classCount, 1);
}

TEST_F(ReadClassTableTest, AMissingTableNamesTheFile) {
  EXPECT_FALSE(ReadClassTable(platform_, FolderSlash(), classes_, message_));
  EXPECT_EQ(message_, "Can not open Orvane4.ct: " + TablePath());
  EXPECT_EQ(classes_.classCount, 0);
}

TEST_F(ReadClassTableTest, AnUnopenableTableNamesTheFile) {
  WriteTable(TwoClasses());
  platform_.FailFileOperation(1);
  EXPECT_FALSE(ReadClassTable(platform_, FolderSlash(), classes_, message_));
  EXPECT_EQ(message_, "Can not open Orvane4.ct: " + TablePath());
  EXPECT_TRUE(classes_.ClassTable.empty());
}

TEST_F(ReadClassTableTest, ATruncatedTableNamesTheFile) {
  WriteTable(Cut(TwoClasses(), 100));
  EXPECT_FALSE(ReadClassTable(platform_, FolderSlash(), classes_, message_));
  EXPECT_EQ(message_, "Can not read Orvane4.ct: " + TablePath());
  EXPECT_TRUE(classes_.ClassTable.empty());
}

TEST_F(ReadClassTableTest, ANegativeCountNamesTheFile) {
  WriteTable(Counted(TwoClasses(), -2));
  EXPECT_FALSE(ReadClassTable(platform_, FolderSlash(), classes_, message_));
  EXPECT_EQ(message_, "Can not read Orvane4.ct: " + TablePath());
  EXPECT_TRUE(classes_.ClassTable.empty());
}

}  // namespace
}  // namespace zarno
