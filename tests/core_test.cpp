// The core's files: the header database's reader and writer, recovering a replacement.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <tuple>
#include "core/header_database.h"
#include "core/replacement_journal.h"
#include "tests/support/kit.h"
#include "tests/support/recording_platform.h"
namespace zarno {
namespace {
using Free = std::vector<uint32_t>;
constexpr HeaderLimits kTinyLimits{10, 10, 20, 20, 10, 10, 20, 20, 5, 5, false};  // quick to read; the standard fits
// The free LOD records (1, 4) are listed by Skinwright always, by Rigwright outside a check run.
TEST(HeaderDatabase, WritesBackTheBytesItRead) {
  const HeaderSpec standard = StandardHeaderSpec();
  HeaderSpec full = standard;  // tables at the tiny limits, lists full; NaNs with payloads, -0, a denormal
  full.colors.resize(10, ColorRecord{{std::bit_cast<float>(0x7FC01234u), -0.0f, std::bit_cast<float>(1u), 2.0f}});
  full.palettes.resize(20, TestPalette(77));
  for (uint32_t i = 0; i < kPaletteEntries; ++i) full.palettes[19].entries[i][3] = static_cast<uint8_t>(i);
  full.textures.resize(10, TextureRecord{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  full.lods.resize(20, LodRecord{1, 2, 3, 4, 5});
  full.parents[2].lodRefs.resize(10, LodRefSpec{-7, std::bit_cast<float>(0xFF800001u)});
  full.parents.resize(5, full.parents[2]), full.trailingBytes = {1, 2, 3, 4, 5};  // not written back
  const std::tuple<const HeaderLimits*, bool, HeaderSpec, Free> cases[] = {
      {&kRigwrightLimits, false, standard, {1, 4}}, {&kRigwrightLimits, true, standard, {}},
      {&kSkinwrightLimits, true, standard, {1, 4}}, {&kTinyLimits, false, full, {1, 4}}};
  for (const auto& [limits, checkRun, file, listed] : cases) {
    HeaderDatabase db(*limits);
    ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(file), db, checkRun), kReadOk);
    EXPECT_EQ(std::tuple(db.lodCountAtRead, db.freeLodCount, db.FreeLodList), std::tuple(file.lods.size(), 2u, listed));
    const Bytes bytes = WriteHeaderDatabase(db), read = BuildHeaderFile(file);
    EXPECT_EQ(std::pair(bytes, bytes.capacity()),
              std::pair(Bytes(read.begin(), read.end() - file.trailingBytes.size()), bytes.size()));
  }
}
// What a failed read did not reach is zero, whatever the read before left. A row: the change, the status,
// the counts (colours, palettes, textures, LOD records, parents), the section whose count stopped it, lodWord.
TEST(HeaderDatabase, EachStatusLeavesItsCountsAndZeroPastWhereTheReadStopped) {
  const std::tuple<void (*)(HeaderSpec&), ReadStatus, std::array<uint32_t, 5>, size_t, uint32_t> cases[] = {
      {[](HeaderSpec& s) { s.colorCount = 0; }, kBadColorCount, {0, 0, 0, 0, 0}, 0, 0},
      {[](HeaderSpec& s) { s.colorCount = 11; }, kBadColorCount, {11, 0, 0, 0, 0}, 0, 0},
      {[](HeaderSpec& s) { s.palettes.clear(); }, kBadPaletteCount, {3, 0, 3, 6, 3}, 5, 12000},
      {[](HeaderSpec& s) { s.palettes.resize(21); }, kBadPaletteCount, {3, 21, 3, 6, 3}, 5, 12000},  // 1 dropped
      {[](HeaderSpec& s) { s.textureCount = 0; }, kBadTextureCount, {3, 14, 0, 0, 0}, 2, 0},
      {[](HeaderSpec& s) { s.textureCount = 11; }, kBadTextureCount, {3, 14, 11, 0, 0}, 2, 0},
      {[](HeaderSpec& s) { s.lodCount = 0, s.lodWord = 5000; }, kBadLodCount, {3, 14, 3, 0, 0}, 3, 10000},
      {[](HeaderSpec& s) { s.lodCount = 21; }, kBadLodCount, {3, 14, 3, 21, 0}, 3, 12000},
      {[](HeaderSpec& s) { s.parentCount = 0; }, kBadParentCount, {3, 14, 3, 6, 0}, 4, 12000},
      {[](HeaderSpec& s) { s.parentCount = 6; }, kBadParentCount, {3, 14, 3, 6, 6}, 4, 12000},
      {[](HeaderSpec& s) { s.parents[1].slotCount = 26; }, kBadSlotCount, {3, 14, 3, 6, 3}, 5, 12000},
      {[](HeaderSpec& s) { s.parents[2].dynamicCount = 11; }, kBadDynamicCount, {3, 14, 3, 6, 3}, 5, 12000},
      {[](HeaderSpec& s) { s.parents[2].lodRefCount = 11; }, kBadLodRefCount, {3, 14, 3, 6, 3}, 5, 12000},
      {[](HeaderSpec& s) { s.parents[2].lodRefCount = 3; }, kTruncated, {3, 14, 3, 6, 3}, 5, 12000}};
  const auto zero = []<class Record>(const ZeroedTable<Record>& table) {
    static const Record none{};
    return std::all_of(table.begin(), table.end(), [](const Record& r) { return !std::memcmp(&r, &none, sizeof r); });
  };
  HeaderDatabase db(kTinyLimits);
  for (const auto& [change, status, counts, stop, lodWord] : cases) {
    SCOPED_TRACE(testing::Message() << status << " with " << counts[1] << " palettes");
    HeaderSpec recipe = StandardHeaderSpec();
    change(recipe);
    ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(StandardHeaderSpec()), db, false), kReadOk);
    db.nextFreeLod = 1;
    ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(recipe), db, false), status);
    EXPECT_EQ(IsSafeToWriteBack(status, db), status == kBadPaletteCount && counts[1] == 0);  // none: all added
    EXPECT_EQ((std::array{db.colorCount, db.paletteCount, db.textureCount, db.lodCount, db.parentCount}), counts);
    const bool zeroFrom[] = {zero(db.ColorTable), zero(db.PaletteTable), zero(db.TextureTable), zero(db.LodTable),
                             zero(db.ParentTable) && zero(db.ParentLists)};
    for (size_t section = stop; section < 5; ++section) EXPECT_TRUE(zeroFrom[section]) << section;
    EXPECT_EQ((std::array{db.colorWord, db.lodWord, db.lodCountAtRead}),
              (std::array{stop > 0 ? recipe.colorWord : 0, lodWord, counts[3]}));
    EXPECT_EQ(std::tuple(db.freeLodCount, db.FreeLodList, db.nextFreeLod),
              std::tuple(stop > 3 ? 2u : 0u, stop > 3 ? Free({1, 4}) : Free(), 0u));
  }
}
// A file cut anywhere is read as zero words and 0xFF bytes past the cut; a cut before a bound gives its status.
TEST(HeaderDatabase, EveryCutOfTheFileStopsWithTheStatusOfTheSectionItCuts) {
  const HeaderOffsets at = OffsetsOf(StandardHeaderSpec());
  const Bytes file = BuildHeaderFile(StandardHeaderSpec());
  const size_t lastSlotCount = at.parentFixedParts + 2 * kParentRecordSize + 43;  // parent 2's slotCount byte
  const std::pair<size_t, ReadStatus> bounds[] = {
      {at.colorCount + 4, kBadColorCount}, {at.textureCount + 4, kBadTextureCount}, {at.lodCount + 4, kBadLodCount},
      {at.parentCount + 4, kBadParentCount}, {lastSlotCount + 1, kBadSlotCount}, {at.end, kTruncated},
      {SIZE_MAX, kReadOk}};
  HeaderDatabase db(kTinyLimits);
  for (size_t length = 0; length <= file.size(); ++length) {
    const ReadStatus status = ReadHeaderDatabase(std::span(file).first(length), db, false);
    ASSERT_EQ(status, std::find_if(std::begin(bounds), std::end(bounds), [&](auto& b) { return length < b.first; })
                          ->second) << length;
    ASSERT_EQ(IsSafeToWriteBack(status, db), status == kReadOk) << length;
  }
}
// The writer lowers counts above the limits, in memory too, and never past the records a table holds.
TEST(HeaderDatabase, TheWriterKeepsCountsWithinTheLimitsAndTheTables) {
  HeaderDatabase db(HeaderLimits{3, 3, 6, 4, 5, 5, 7, 7, 2, 2, false});  // 6 palettes allowed, 4 held
  db.colorCount = db.paletteCount = db.textureCount = db.lodCount = db.parentCount = 0xFFFFFFFF;
  ParentRecord& p = db.ParentTable[1];
  p.slotCount = 26, p.dynamicCount = 11, p.lodRefCount = 255;
  HeaderSpec expected;
  expected.lodWord = 0, expected.colors.resize(3), expected.palettes.resize(4), expected.textures.resize(5);
  expected.lods.resize(7), expected.parents.resize(2), expected.parents[0].hostParam3 = 0;
  ParentSpec& lists = expected.parents[1];
  lists.hostParam3 = 0, lists.slots.resize(25), lists.dynamicPoints.resize(10), lists.lodRefs.resize(10, {0, 0.0f});
  EXPECT_EQ(WriteHeaderDatabase(db), BuildHeaderFile(expected));
  EXPECT_EQ((std::array<uint32_t, 8>{db.colorCount, db.paletteCount, db.textureCount, db.lodCount, db.parentCount,
                                     p.slotCount, p.dynamicCount, p.lodRefCount}),
            (std::array<uint32_t, 8>{3, 4, 5, 7, 2, 25, 10, 10}));
}
// A journal's renames are finished (some may be done) and every ".new" file left goes, also beside a retired
// journal; a journal that names a file it may not list is not followed, and nothing goes.
TEST(ReplacementJournal, RecoveryFinishesAJournalAndFollowsOnlyTheNamesItMayList) {
  using Files = std::map<std::string, std::string>;  // path below the folder → content
  const Files old = {{"ZarnoObj.hdr", "old"}, {"ZarnoObj.lod", "old"}};
  std::vector<std::tuple<Files, bool, Files>> cases = {
      {{{"ZarnoObj.hdr", "old"}, {"ZarnoObj.lod", "old"}, {"ZarnoObj.hdr.new", "x"}, {"ZarnoObj.tex.new", "x"},
        {"ZarnoObj/5.dds.new", "x"}, {"ZarnoObj.journal.new", "ZarnoObj.hdr\n"}}, true, old},
      {{{"ZarnoObj.hdr", "old"}, {"ZarnoObj.lod", "new"}, {"ZarnoObj.hdr.new", "new"}, {"ZarnoObj/57.dds.new", "new"},
        {"ZarnoObj/8.dds.new", "x"}, {"ZarnoObj.tex.new", "x"},
        {"ZarnoObj.journal", "ZarnoObj.lod\nZarnoObj.hdr\nZarnoObj/57.dds\n"}},
       true, {{"ZarnoObj.hdr", "new"}, {"ZarnoObj.lod", "new"}, {"ZarnoObj/57.dds", "new"}}}};
  for (const char* journal : {"Orvane4.ct\n", "ErrorList.txt\n", "ZarnoObj/57.txt\n", "zarnoobj.hdr\n", "ZarnoObj.hdr",
                              "ZarnoObj/../x.dds\n", "ZarnoObj//57.dds\n", "ZarnoObjX57.dds\n", "ZarnoObj/.\n", "\n"}) {
    Files before = old;
    before.insert({{"Orvane4.ct", "ct"}, {"Orvane4.ct.new", "x"}, {"ZarnoObj.hdr.new", "new"},
                   {"ZarnoObj.journal", journal}});
    cases.emplace_back(before, false, before);
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& [before, recovered, after] = cases[i];
    TempFolder folder;
    fs::create_directory(folder / "ZarnoObj");
    for (const auto& [name, text] : before) ASSERT_TRUE(WriteFile(folder / name, Bytes(text.begin(), text.end())));
    RecordingPlatform platform;
    EXPECT_EQ(RecoverReplacement(platform, folder.Path().string() + "/"), recovered) << i;
    Files found;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder.Path()))
      if (entry.is_regular_file()) found[fs::relative(entry, folder.Path())] = ReadFileText(entry.path());
    EXPECT_EQ(found, after) << i;
  }
}
}  // namespace
}  // namespace zarno
