#include "core/header_database.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/byte_stream.h"
#include "tests/support/kit.h"

namespace zarno {
namespace {

using Bytes = std::vector<uint8_t>;

// Small tables, so that a test can read thousands of cut files quickly.
constexpr HeaderLimits kTinyLimits{10, 10, 4, 4, 10, 10, 20, 20, 5, 5, false};

template <class Record>
bool SameBytes(const Record& a, const Record& b) {
  return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

template <class Record>
bool IsZero(const Record& record) {
  return SameBytes(record, Record{});
}

// Counts the records from `first` on that are not all zero.
template <class Record>
size_t NonZeroFrom(const std::vector<Record>& table, size_t first) {
  size_t count = 0;
  for (size_t i = first; i < table.size(); ++i) count += IsZero(table[i]) ? 0 : 1;
  return count;
}

// The planar record that a file palette becomes, worked out here by hand.
PaletteRecord Planar(const PaletteSpec& recipe) {
  PaletteRecord record{};
  for (size_t i = 0; i < kPaletteEntries; ++i) {
    record.red[i] = recipe.entries[i][0];
    record.green[i] = recipe.entries[i][1];
    record.blue[i] = recipe.entries[i][2];
    record.alpha[i] = recipe.entries[i][3];
  }
  record.palWord0 = recipe.palWord0;
  record.palWord1 = recipe.palWord1;
  return record;
}

ParentRecord FixedPart(const ParentSpec& recipe) {
  ParentRecord record{};
  std::copy(recipe.hitbox.begin(), recipe.hitbox.end(), record.hitbox);
  record.hostParam1 = recipe.hostParam1;
  record.hostParam2 = recipe.hostParam2;
  record.hostParam3 = recipe.hostParam3;
  record.dynamicCount = recipe.dynamicCount.value_or(static_cast<uint16_t>(recipe.dynamicPoints.size()));
  record.lodRefCount = recipe.lodRefCount.value_or(static_cast<uint8_t>(recipe.lodRefs.size()));
  record.hostParam4 = recipe.hostParam4;
  record.hostParam5 = recipe.hostParam5;
  record.slotCount = recipe.slotCount.value_or(static_cast<uint8_t>(recipe.slots.size()));
  record.hostParam6 = recipe.hostParam6;
  record.hostParam7 = recipe.hostParam7;
  return record;
}

// Which lists of a parent the reader is expected to have filled.
struct ListsRead {
  bool slots, dynamicPoints, lodRefs;
};
constexpr ListsRead kAllLists{true, true, true};
constexpr ListsRead kNoLists{false, false, false};

ParentListRecord Lists(const ParentSpec& recipe, ListsRead read) {
  ParentListRecord record{};
  for (size_t i = 0; read.slots && i < recipe.slots.size(); ++i) {
    record.slotX[i] = recipe.slots[i][0];
    record.slotY[i] = recipe.slots[i][1];
    record.slotZ[i] = recipe.slots[i][2];
  }
  for (size_t i = 0; read.dynamicPoints && i < recipe.dynamicPoints.size(); ++i) {
    record.dynamicX[i] = recipe.dynamicPoints[i][0];
    record.dynamicY[i] = recipe.dynamicPoints[i][1];
    record.dynamicZ[i] = recipe.dynamicPoints[i][2];
  }
  for (size_t i = 0; read.lodRefs && i < recipe.lodRefs.size(); ++i) {
    record.lodRef[i] = recipe.lodRefs[i].lodRef;
    record.lodDistance[i] = recipe.lodRefs[i].lodDistance;
  }
  return record;
}

// How many records of each table a read is expected to have filled.
struct Reached {
  size_t colors, palettes, textures, lods, parents;
};

void ExpectTablesHold(const HeaderDatabase& db, const HeaderSpec& recipe, Reached reached) {
  for (size_t i = 0; i < reached.colors; ++i) EXPECT_TRUE(SameBytes(db.ColorTable[i], recipe.colors[i])) << i;
  for (size_t i = 0; i < reached.palettes; ++i) {
    EXPECT_TRUE(SameBytes(db.PaletteTable[i], Planar(recipe.palettes[i]))) << "palette " << i;
  }
  for (size_t i = 0; i < reached.textures; ++i) {
    EXPECT_TRUE(SameBytes(db.TextureTable[i], recipe.textures[i])) << "texture " << i;
  }
  for (size_t i = 0; i < reached.lods; ++i) EXPECT_TRUE(SameBytes(db.LodTable[i], recipe.lods[i])) << "LOD " << i;
  for (size_t i = 0; i < reached.parents; ++i) {
    EXPECT_TRUE(SameBytes(db.ParentTable[i], FixedPart(recipe.parents[i]))) << "parent " << i;
  }
  EXPECT_EQ(NonZeroFrom(db.ColorTable, reached.colors), 0u);
  EXPECT_EQ(NonZeroFrom(db.PaletteTable, reached.palettes), 0u);
  EXPECT_EQ(NonZeroFrom(db.TextureTable, reached.textures), 0u);
  EXPECT_EQ(NonZeroFrom(db.LodTable, reached.lods), 0u);
  EXPECT_EQ(NonZeroFrom(db.ParentTable, reached.parents), 0u);
}

void ExpectListsHold(const HeaderDatabase& db, const HeaderSpec& recipe, size_t parent, ListsRead read) {
  EXPECT_TRUE(SameBytes(db.ParentLists[parent], Lists(recipe.parents[parent], read))) << "lists of parent " << parent;
}

constexpr Reached kEverything{3, 14, 3, 6, 3};

std::array<uint32_t, 5> Counts(const HeaderDatabase& db) {
  return {db.colorCount, db.paletteCount, db.textureCount, db.lodCount, db.parentCount};
}

// ---- reading a whole file --------------------------------------------------

TEST(ReadHeaderDatabaseTest, FillsEveryTableFromTheStandardFile) {
  const HeaderSpec recipe = StandardHeaderSpec();
  HeaderDatabase db(kRigwrightLimits);
  ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(recipe), db, false), kReadOk);

  EXPECT_EQ(db.leadWord, recipe.leadWord);
  EXPECT_EQ(db.colorWord, recipe.colorWord);
  EXPECT_EQ(db.maxTextureSize, 4000u);
  EXPECT_EQ(db.lodWord, 12000u);
  EXPECT_EQ(Counts(db), (std::array<uint32_t, 5>{3, 14, 3, 6, 3}));
  ExpectTablesHold(db, recipe, kEverything);
  for (size_t p = 0; p < 3; ++p) ExpectListsHold(db, recipe, p, kAllLists);
  EXPECT_EQ(NonZeroFrom(db.ParentLists, 3), 0u);

  EXPECT_EQ(db.lodCountAtRead, 6u);
  EXPECT_EQ(db.freeLodCount, 2u);
  EXPECT_EQ(db.FreeLodList, (std::vector<uint32_t>{1, 4}));
  EXPECT_EQ(db.nextFreeLod, 0u);
}

TEST(ReadHeaderDatabaseTest, AcceptsBytesAfterTheLastParentsLists) {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.trailingBytes = {1, 2, 3, 4, 5};
  HeaderDatabase db(kRigwrightLimits);
  EXPECT_EQ(ReadHeaderDatabase(BuildHeaderFile(recipe), db, false), kReadOk);
  recipe.trailingBytes.clear();
  EXPECT_EQ(WriteHeaderDatabase(db), BuildHeaderFile(recipe));
}

// ---- statuses and the state each leaves ------------------------------------

struct StatusCase {
  const char* name;
  void (*change)(HeaderSpec&);
  ReadStatus status;
  Reached reached;
  std::array<uint32_t, 5> counts;  // colour, palette, texture, LOD, parent
  uint32_t lodWord;
  bool lodsNoted;  // lastLod*, freeLodCount and FreeLodList set from the records
};

const StatusCase kStatusCases[] = {
    {"colour count 0", [](HeaderSpec& s) { s.colorCount = 0; }, kBadColorCount,
     Reached{}, {0, 0, 0, 0, 0}, 0, false},
    {"colour count above the limit", [](HeaderSpec& s) { s.colorCount = 2001; }, kBadColorCount,
     Reached{}, {2001, 0, 0, 0, 0}, 0, false},
    {"palette count 0", [](HeaderSpec& s) { s.palettes.clear(); }, kBadPaletteCount,
     Reached{3, 0, 3, 6, 3}, {3, 0, 3, 6, 3}, 12000, true},
    {"texture count 0", [](HeaderSpec& s) { s.textureCount = 0; }, kBadTextureCount,
     Reached{3, 14, 0, 0, 0}, {3, 14, 0, 0, 0}, 0, false},
    {"texture count above the limit", [](HeaderSpec& s) { s.textureCount = 8001; }, kBadTextureCount,
     Reached{3, 14, 0, 0, 0}, {3, 14, 8001, 0, 0}, 0, false},
    {"LOD count 0", [](HeaderSpec& s) {
       s.lodCount = 0;
       s.lodWord = 5000;
     }, kBadLodCount,
     Reached{3, 14, 3, 0, 0}, {3, 14, 3, 0, 0}, 10000, false},
    {"LOD count above the limit", [](HeaderSpec& s) { s.lodCount = 20001; }, kBadLodCount,
     Reached{3, 14, 3, 0, 0}, {3, 14, 3, 20001, 0}, 12000, false},
    {"parent count 0", [](HeaderSpec& s) { s.parentCount = 0; }, kBadParentCount,
     Reached{3, 14, 3, 6, 0}, {3, 14, 3, 6, 0}, 12000, true},
    {"parent count above the limit", [](HeaderSpec& s) { s.parentCount = 5001; }, kBadParentCount,
     Reached{3, 14, 3, 6, 0}, {3, 14, 3, 6, 5001}, 12000, true},
    {"26 slots", [](HeaderSpec& s) { s.parents[1].slotCount = 26; }, kBadSlotCount,
     kEverything, {3, 14, 3, 6, 3}, 12000, true},
    {"11 dynamic points", [](HeaderSpec& s) { s.parents[2].dynamicCount = 11; }, kBadDynamicCount,
     kEverything, {3, 14, 3, 6, 3}, 12000, true},
    {"11 LOD references", [](HeaderSpec& s) { s.parents[2].lodRefCount = 11; }, kBadLodRefCount,
     kEverything, {3, 14, 3, 6, 3}, 12000, true},
    {"last list cut short", [](HeaderSpec& s) { s.parents[2].lodRefCount = 3; }, kTruncated,
     kEverything, {3, 14, 3, 6, 3}, 12000, true},
};

// Each read starts from zero, whatever the read before it left.
TEST(ReadHeaderDatabaseTest, EachStatusLeavesWhatWasReadAndZeroBeyond) {
  HeaderDatabase db(kRigwrightLimits);
  ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(StandardHeaderSpec()), db, false), kReadOk);
  for (const StatusCase& c : kStatusCases) {
    SCOPED_TRACE(c.name);
    HeaderSpec recipe = StandardHeaderSpec();
    c.change(recipe);
    db.nextFreeLod = 1;
    EXPECT_EQ(ReadHeaderDatabase(BuildHeaderFile(recipe), db, false), c.status);
    ExpectTablesHold(db, recipe, c.reached);
    EXPECT_EQ(NonZeroFrom(db.ParentLists, c.reached.parents), 0u);
    EXPECT_EQ(db.nextFreeLod, 0u);
    EXPECT_EQ(db.leadWord, recipe.leadWord);
    EXPECT_EQ(Counts(db), c.counts);
    EXPECT_EQ(db.colorWord, c.reached.colors ? recipe.colorWord : 0u);
    EXPECT_EQ(db.maxTextureSize, c.reached.textures ? recipe.maxTextureSize : 0u);
    EXPECT_EQ(db.lodWord, c.lodWord);
    EXPECT_EQ(db.lodCountAtRead, c.counts[3]);
    EXPECT_EQ(db.freeLodCount, c.lodsNoted ? 2u : 0u);
    const std::vector<uint32_t> freeList = c.lodsNoted ? std::vector<uint32_t>{1, 4} : std::vector<uint32_t>{};
    EXPECT_EQ(db.FreeLodList, freeList);
  }
}

TEST(ReadHeaderDatabaseTest, AListCountAboveItsLimitStopsBeforeThatList) {
  struct Case {
    void (*change)(HeaderSpec&);
    ReadStatus status;
    std::array<ListsRead, 3> lists;  // per parent
  };
  const Case cases[] = {
      {[](HeaderSpec& s) { s.parents[1].slotCount = 26; }, kBadSlotCount, {kAllLists, kNoLists, kNoLists}},
      {[](HeaderSpec& s) { s.parents[2].dynamicCount = 11; }, kBadDynamicCount,
       {kAllLists, kAllLists, ListsRead{true, false, false}}},
      {[](HeaderSpec& s) { s.parents[2].lodRefCount = 11; }, kBadLodRefCount,
       {kAllLists, kAllLists, ListsRead{true, true, false}}},
  };
  HeaderDatabase db(kRigwrightLimits);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    HeaderSpec recipe = StandardHeaderSpec();
    c.change(recipe);
    ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(recipe), db, false), c.status);
    for (size_t p = 0; p < 3; ++p) ExpectListsHold(db, recipe, p, c.lists[p]);
  }
}

// ---- the two programs' limits ----------------------------------------------

struct LimitCase {
  const char* name;
  void (*grow)(HeaderSpec&);
  ReadStatus rigwright;
  ReadStatus skinwright;
};

TEST(ReadHeaderDatabaseTest, EachProgramKeepsItsOwnLimits) {
  const LimitCase cases[] = {
      {"2001 colours", [](HeaderSpec& s) { s.colors.resize(2001); }, kBadColorCount, kReadOk},
      {"4001 colours", [](HeaderSpec& s) { s.colors.resize(4001); }, kBadColorCount, kBadColorCount},
      {"8001 textures", [](HeaderSpec& s) { s.textures.resize(8001); }, kBadTextureCount, kReadOk},
      {"5001 parents", [](HeaderSpec& s) { s.parents.resize(5001); }, kBadParentCount, kReadOk},
      {"20000 LOD records", [](HeaderSpec& s) { s.lods.resize(20000); }, kReadOk, kReadOk},
  };
  HeaderDatabase rigwright(kRigwrightLimits);
  HeaderDatabase skinwright(kSkinwrightLimits);
  for (const LimitCase& c : cases) {
    SCOPED_TRACE(c.name);
    HeaderSpec recipe = StandardHeaderSpec();
    c.grow(recipe);
    const Bytes file = BuildHeaderFile(recipe);
    EXPECT_EQ(ReadHeaderDatabase(file, rigwright, false), c.rigwright);
    EXPECT_EQ(ReadHeaderDatabase(file, skinwright, false), c.skinwright);
  }
  // The last case read whole in Skinwright: the accepted file goes back as it came.
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.parents.resize(5001);
  ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(recipe), skinwright, false), kReadOk);
  EXPECT_EQ(skinwright.parentCount, 5001u);
  EXPECT_EQ(WriteHeaderDatabase(skinwright), BuildHeaderFile(recipe));
}

TEST(HeaderDatabaseTest, TablesAreSizedToTheCapacitiesAndZero) {
  struct Case {
    const HeaderLimits* limits;
    std::array<size_t, 6> sizes;
  };
  const Case cases[] = {{&kRigwrightLimits, {2000, 1002, 8000, 20000, 5002, 5002}},
                        {&kSkinwrightLimits, {4000, 2002, 10000, 20000, 10002, 10002}}};
  for (const Case& c : cases) {
    const HeaderDatabase db(*c.limits);
    EXPECT_EQ((std::array{db.ColorTable.size(), db.PaletteTable.size(), db.TextureTable.size(),
                          db.LodTable.size(), db.ParentTable.size(), db.ParentLists.size()}),
              c.sizes);
    EXPECT_EQ(NonZeroFrom(db.PaletteTable, 0) + NonZeroFrom(db.ParentLists, 0), 0u);
  }
}

TEST(HeaderDatabaseTest, ResetZeroesTheTablesAndKeepsTheCounts) {
  HeaderDatabase db(kRigwrightLimits);
  ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(StandardHeaderSpec()), db, false), kReadOk);
  db.ResetHeaderTables();
  ExpectTablesHold(db, StandardHeaderSpec(), Reached{});
  EXPECT_EQ(NonZeroFrom(db.ParentLists, 0), 0u);
  EXPECT_EQ(db.colorCount, 3u);
  EXPECT_EQ(db.parentCount, 3u);
  EXPECT_EQ(db.FreeLodList.size(), 2u);
}

// ---- palettes ----------------------------------------------------------------

// Palettes past the table's capacity are read and dropped, so the later
// sections stay in step; only a file without palettes may be written back.
TEST(ReadHeaderDatabaseTest, PaletteCountsOutsideTheLimitReadOn) {
  struct Case {
    size_t palettes, kept;
    bool safe;
  };
  const Case cases[] = {{0, 0, true}, {1001, 1001, false}, {1004, 1002, false}};
  HeaderDatabase db(kRigwrightLimits);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.palettes);
    HeaderSpec recipe = StandardHeaderSpec();
    recipe.palettes.resize(c.palettes, TestPalette(9));
    const ReadStatus status = ReadHeaderDatabase(BuildHeaderFile(recipe), db, false);
    ASSERT_EQ(status, kBadPaletteCount);
    EXPECT_EQ(db.paletteCount, c.palettes);
    ExpectTablesHold(db, recipe, Reached{3, c.kept, 3, 6, 3});
    ExpectListsHold(db, recipe, 2, kAllLists);
    EXPECT_EQ(IsSafeToWriteBack(status, db), c.safe);
    if (c.safe) {
      EXPECT_EQ(WriteHeaderDatabase(db), BuildHeaderFile(recipe));
    }
  }
}

TEST(ReadHeaderDatabaseTest, AHugePaletteCountRunsIntoTheEndOfTheFile) {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.paletteCount = 0xFFFFFFFF;
  HeaderDatabase db(kRigwrightLimits);
  EXPECT_EQ(ReadHeaderDatabase(BuildHeaderFile(recipe), db, false), kBadTextureCount);
  EXPECT_TRUE(SameBytes(db.PaletteTable[13], Planar(TestPalette(13))));
}

// ---- LOD records -------------------------------------------------------------

HeaderSpec WithLods(const std::vector<uint32_t>& offsets, const std::vector<uint32_t>& sizes) {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.lods.clear();
  for (size_t i = 0; i < offsets.size(); ++i) recipe.lods.push_back({7, 8, 9, offsets[i], sizes[i]});
  return recipe;
}

TEST(ReadHeaderDatabaseTest, LastLodIsTheFirstWithTheLargestOffset) {
  struct Case {
    std::vector<uint32_t> offsets;
    uint32_t lastIndex, lastOffset;
  };
  const Case cases[] = {
      {{0, 500, 500, 300}, 1, 500},
      {{0, 0, 0, 0}, 4, 0},
      {{0}, 1, 0},
      {{300, 0xFFFFFFF0}, 1, 0xFFFFFFF0},
      {{40, 30, 20}, 0, 40},
  };
  HeaderDatabase db(kRigwrightLimits);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offsets.size());
    const std::vector<uint32_t> sizes(c.offsets.size(), 5);
    ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(WithLods(c.offsets, sizes)), db, false), kReadOk);
  }
}

TEST(ReadHeaderDatabaseTest, FreeLodListFollowsTheProgramAndTheRun) {
  struct Case {
    const char* name;
    const HeaderLimits* limits;
    bool checkRun;
    std::vector<uint32_t> sizes;
    uint32_t freeCount;
    std::vector<uint32_t> list;
  };
  const Case cases[] = {
      {"Rigwright install run", &kRigwrightLimits, false, {10, 0, 7, 0}, 2, {1, 3}},
      {"Rigwright check run", &kRigwrightLimits, true, {10, 0, 7, 0}, 2, {}},
      {"Skinwright check run", &kSkinwrightLimits, true, {10, 0, 7, 0}, 2, {1, 3}},
      {"Skinwright normal run", &kSkinwrightLimits, false, {0, 0, 7}, 2, {0, 1}},
      {"no free record", &kRigwrightLimits, false, {10, 1, 7}, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeaderDatabase db(*c.limits);
    const std::vector<uint32_t> offsets(c.sizes.size(), 100);
    ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(WithLods(offsets, c.sizes)), db, c.checkRun), kReadOk);
    EXPECT_EQ(db.freeLodCount, c.freeCount);
    EXPECT_EQ(db.FreeLodList, c.list);
    EXPECT_EQ(db.nextFreeLod, 0u);
  }
}

// ---- cut files -----------------------------------------------------------------

TEST(ReadHeaderDatabaseTest, FilesCutAtKnownPointsStopWithTheStatusReached) {
  const HeaderSpec recipe = StandardHeaderSpec();
  const HeaderOffsets at = OffsetsOf(recipe);
  struct Case {
    const char* name;
    size_t length;
    ReadStatus status;
  };
  const Case cases[] = {
      {"empty", 0, kBadColorCount},
      {"inside the lead word", 3, kBadColorCount},
      {"inside the palettes", at.paletteCount + 500, kBadTextureCount},
      {"inside the texture count", at.textureCount + 2, kBadTextureCount},
      {"inside the LOD word", at.lodWord + 3, kBadLodCount},
      {"inside the LOD records", at.lodCount + 30, kBadParentCount},
      {"inside the fixed parts", at.parentFixedParts + 10, kBadSlotCount},
      {"inside the first slots", at.parentLists + 5, kTruncated},
      {"one byte short", at.end - 1, kTruncated},
      {"whole", at.end, kReadOk},
  };
  const Bytes file = BuildHeaderFile(recipe);
  HeaderDatabase db(kRigwrightLimits);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadHeaderDatabase(std::span(file).first(c.length), db, false), c.status);
  }
}

TEST(ReadHeaderDatabaseTest, EveryCutOfASmallFileFailsWithoutHarm) {
  HeaderSpec recipe;
  recipe.colors = {ColorRecord{{1, 2, 3, 4}}};
  recipe.palettes = {TestPalette(1), TestPalette(2)};
  recipe.textures = {TextureRecord{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}};
  recipe.lods = {LodRecord{1, 2, 3, 10, 20}, LodRecord{1, 2, 3, 0, 0}};
  recipe.parents.resize(2);
  recipe.parents[0].slots = {{1, 2, 3}, {4, 5, 6}};
  recipe.parents[0].lodRefs = {{1, 50.0f}};
  recipe.parents[1].dynamicPoints = {{7, 8, 9}};
  recipe.parents[1].lodRefs = {{3, 60.0f}, {-1, 70.0f}};
  const Bytes file = BuildHeaderFile(recipe);
  HeaderDatabase db(kTinyLimits);
  ASSERT_EQ(ReadHeaderDatabase(file, db, false), kReadOk);
  for (size_t length = 0; length < file.size(); ++length) {
    const ReadStatus status = ReadHeaderDatabase(std::span(file).first(length), db, false);
    EXPECT_NE(status, kReadOk) << length;
    EXPECT_NE(status, kBadPaletteCount) << length;
    EXPECT_FALSE(IsSafeToWriteBack(status, db)) << length;
  }
}

TEST(ReadHeaderDatabaseTest, ArbitraryBytesNeverReachOutsideTheTables) {
  // A fixed pseudo-random stream; counts come out huge or small at random.
  Bytes file(4000);
  uint32_t state = 12345;
  for (uint8_t& byte : file) {
    state = state * 1103515245 + 12345;
    byte = static_cast<uint8_t>(state >> 16);
  }
  HeaderDatabase db(kTinyLimits);
  for (size_t start = 0; start < 64; ++start) {
    Bytes shifted(file.begin() + static_cast<std::ptrdiff_t>(start), file.end());
    StoreLong(shifted.data() + 4, 1 + start % 10);  // let some files get past the colours
    const ReadStatus status = ReadHeaderDatabase(shifted, db, false);
    EXPECT_LE(status, kTruncated);
  }
}

// ---- writing -------------------------------------------------------------------

TEST(WriteHeaderDatabaseTest, WritesTheStandardFileBackByteForByte) {
  const Bytes file = BuildHeaderFile(StandardHeaderSpec());
  for (const HeaderLimits* limits : {&kRigwrightLimits, &kSkinwrightLimits}) {
    HeaderDatabase db(*limits);
    ASSERT_EQ(ReadHeaderDatabase(file, db, false), kReadOk);
    const Bytes written = WriteHeaderDatabase(db);
    EXPECT_EQ(written, file);
    EXPECT_EQ(written.capacity(), written.size());  // reserved exactly, once
  }
}

TEST(WriteHeaderDatabaseTest, LodWordIsRaisedToTenThousand) {
  const std::pair<uint32_t, uint32_t> cases[] = {{5000, 10000}, {0, 10000}, {9999, 10000},
                                                 {10000, 10000}, {12000, 12000}};
  HeaderDatabase db(kRigwrightLimits);
  for (const auto& [read, written] : cases) {
    SCOPED_TRACE(read);
    HeaderSpec recipe = StandardHeaderSpec();
    recipe.lodWord = read;
    const Bytes file = BuildHeaderFile(recipe);
    ASSERT_EQ(ReadHeaderDatabase(file, db, false), kReadOk);
    Bytes expected = file;
    StoreLong(expected.data() + OffsetsOf(recipe).lodWord, written);
    EXPECT_EQ(WriteHeaderDatabase(db), expected);
    EXPECT_EQ(db.lodWord, written);
  }
}

TEST(WriteHeaderDatabaseTest, AnEmptyDatabaseIsWrittenWithZeroCounts) {
  HeaderDatabase db(kRigwrightLimits);
  EXPECT_EQ(WriteHeaderDatabase(db), Bytes(36, 0));
}

TEST(WriteHeaderDatabaseTest, ChangesInMemoryAreWrittenInFileOrder) {
  HeaderSpec recipe = StandardHeaderSpec();
  HeaderDatabase db(kRigwrightLimits);
  ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(recipe), db, false), kReadOk);
  db.LodTable[6] = LodRecord{1, 2, 3, 300, 44};
  db.lodCount = 7;
  db.ParentLists[2].lodRef[1] = LodRefFor(6);
  db.PaletteTable[3].alpha[255] = 0xFF;
  recipe.lods.push_back(LodRecord{1, 2, 3, 300, 44});
  recipe.parents[2].lodRefs[1].lodRef = 13;
  recipe.palettes[3].entries[255][3] = 0xFF;
  EXPECT_EQ(WriteHeaderDatabase(db), BuildHeaderFile(recipe));
}

TEST(WriteHeaderDatabaseTest, ParentListCountsAreLoweredToTheLimits) {
  struct Case {
    const char* name;
    void (*raise)(ParentRecord&);
    uint32_t (*count)(const ParentRecord&);
    uint32_t limit;
  };
  const Case cases[] = {
      {"slots", [](ParentRecord& p) { p.slotCount = 30; }, [](const ParentRecord& p) -> uint32_t { return p.slotCount; }, 25},
      {"dynamic points", [](ParentRecord& p) { p.dynamicCount = 11; },
       [](const ParentRecord& p) -> uint32_t { return p.dynamicCount; }, 10},
      {"LOD references", [](ParentRecord& p) { p.lodRefCount = 255; },
       [](const ParentRecord& p) -> uint32_t { return p.lodRefCount; }, 10},
  };
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.parents[2].lodRefs.resize(10, LodRefSpec{-1, 5.0f});  // parent 2 now has every list full
  const Bytes file = BuildHeaderFile(recipe);
  HeaderDatabase db(kRigwrightLimits);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(ReadHeaderDatabase(file, db, false), kReadOk);
    c.raise(db.ParentTable[2]);
    EXPECT_EQ(WriteHeaderDatabase(db), file);
    EXPECT_EQ(c.count(db.ParentTable[2]), c.limit);
  }
}

TEST(WriteHeaderDatabaseTest, CountsAboveTheLimitsAreLoweredInMemoryToo) {
  struct Case {
    const char* name;
    uint32_t HeaderDatabase::*count;
    uint32_t countOffset;
    uint32_t recordSize;
    uint32_t limit;
  };
  const Case cases[] = {
      {"colours", &HeaderDatabase::colorCount, 4, kColorRecordSize, 2000},
      {"palettes", &HeaderDatabase::paletteCount, 12, kPaletteRecordSize, 1000},
      {"textures", &HeaderDatabase::textureCount, 16, kTextureRecordSize, 8000},
      {"LOD records", &HeaderDatabase::lodCount, 28, kLodRecordSize, 20000},
      {"parents", &HeaderDatabase::parentCount, 32, kParentRecordSize, 5000},
  };
  HeaderDatabase db(kRigwrightLimits);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db.*c.count = 0xFFFFFFFF;
    const Bytes file = WriteHeaderDatabase(db);
    EXPECT_EQ(db.*c.count, c.limit);
    EXPECT_EQ(file.size(), 36u + size_t{c.limit} * c.recordSize);
    EXPECT_EQ(LoadLong(file.data() + c.countOffset), c.limit);
    db.*c.count = 0;
  }
}

// ---- results for callers ------------------------------------------------------

TEST(IsSafeToWriteBackTest, OnlyAWholeReadThatDropsNothing) {
  struct Case {
    ReadStatus status;
    uint32_t paletteCount;
    bool safe;
  };
  const Case cases[] = {
      {kReadOk, 14, true},          {kBadPaletteCount, 0, true},   {kBadPaletteCount, 1001, false},
      {kBadPaletteCount, 5000, false}, {kBadColorCount, 14, false}, {kBadTextureCount, 14, false},
      {kBadLodCount, 14, false},    {kBadParentCount, 14, false},  {kBadSlotCount, 14, false},
      {kBadDynamicCount, 14, false}, {kBadLodRefCount, 14, false}, {kTruncated, 14, false},
  };
  HeaderDatabase db(kRigwrightLimits);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.status << " with " << c.paletteCount << " palettes");
    db.paletteCount = c.paletteCount;
    EXPECT_EQ(IsSafeToWriteBack(c.status, db), c.safe);
  }
}

TEST(DescribeReadStatusTest, SaysWhatWentWrong) {
  const std::pair<ReadStatus, std::string_view> cases[] = {
      {kReadOk, "the file was read whole"},
      {kBadColorCount, "the colour count is 0 or above the limit"},
      {kBadPaletteCount, "the palette count is 0 or above the limit"},
      {kBadTextureCount, "the texture count is 0 or above the limit"},
      {kBadLodCount, "the LOD count is 0 or above the limit"},
      {kBadParentCount, "the parent count is 0 or above the limit"},
      {kBadSlotCount, "a parent has more than 25 slots"},
      {kBadDynamicCount, "a parent has more than 10 dynamic points"},
      {kBadLodRefCount, "a parent has more than 10 LOD references"},
      {kTruncated, "the file ends before its last parent's lists"},
      {static_cast<ReadStatus>(77), "the read status is unknown"},
  };
  for (const auto& [status, text] : cases) EXPECT_EQ(DescribeReadStatus(status), text);
}

}  // namespace
}  // namespace zarno
