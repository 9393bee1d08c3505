// The core's file layer: the header database's reader and writer, the byte
// streams under them, loading ZarnoObj.hdr, and recovering a replacement.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <tuple>

#include "core/byte_stream.h"
#include "core/header_file.h"
#include "core/replacement_journal.h"
#include "tests/support/header_builder.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Free = std::vector<uint32_t>;

// Small tables, so that thousands of reads stay quick; the standard file fits.
constexpr HeaderLimits kTinyLimits{10, 10, 20, 20, 10, 10, 20, 20, 5, 5, false};

// ---- the header database ---------------------------------------------------

// Each row is read and written back; the free LOD records (1 and 4 in the
// standard file) are listed by Skinwright always, by Rigwright only outside
// a check run.
TEST(HeaderDatabase, WritesBackTheBytesItRead) {
  HeaderSpec full = StandardHeaderSpec(), trailing = full, lowLodWord = full, raised = full;
  // Every table at the tiny limits, every list full, odd floats: NaNs with payloads, -0, a denormal, infinity.
  full.colors.resize(10, ColorRecord{{std::bit_cast<float>(0x7FC01234u), -0.0f, std::bit_cast<float>(1u), -INFINITY}});
  full.palettes.resize(20, TestPalette(77));
  for (uint32_t i = 0; i < kPaletteEntries; ++i) full.palettes[19].entries[i][3] = static_cast<uint8_t>(i);
  full.textures.resize(10, TextureRecord{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  full.lods.resize(20, LodRecord{1, 2, 3, 4, 5});
  full.parents[2].lodRefs.resize(10, LodRefSpec{-7, std::bit_cast<float>(0xFF800001u)});
  full.parents.resize(5, full.parents[2]);
  trailing.trailingBytes = {1, 2, 3, 4, 5};
  lowLodWord.lodWord = 9999, raised.lodWord = 10000;
  const std::tuple<const HeaderLimits*, bool, HeaderSpec, HeaderSpec, Free> cases[] = {
      {&kRigwrightLimits, false, StandardHeaderSpec(), StandardHeaderSpec(), {1, 4}},
      {&kRigwrightLimits, true, StandardHeaderSpec(), StandardHeaderSpec(), {}},
      {&kSkinwrightLimits, true, StandardHeaderSpec(), StandardHeaderSpec(), {1, 4}},
      {&kTinyLimits, false, full, full, {1, 4}},
      {&kTinyLimits, false, trailing, StandardHeaderSpec(), {1, 4}},
      {&kTinyLimits, false, lowLodWord, raised, {1, 4}}};
  for (const auto& [limits, checkRun, file, written, freeList] : cases) {
    HeaderDatabase db(*limits);
    ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(file), db, checkRun), kReadOk);
    EXPECT_TRUE(IsSafeToWriteBack(kReadOk, db));
    EXPECT_EQ((std::array{db.lodCountAtRead, db.freeLodCount}), (std::array<uint32_t, 2>{static_cast<uint32_t>(file.lods.size()), 2}));
    EXPECT_EQ(db.FreeLodList, freeList);
    const Bytes bytes = WriteHeaderDatabase(db);
    EXPECT_EQ(bytes, BuildHeaderFile(written));
    EXPECT_EQ(bytes.capacity(), bytes.size());  // reserved exactly, once
  }
}

// The first `reached` records as in `full`, the rest zero but for `skipped`.
template <class Record>
void ExpectPrefix(const std::vector<Record>& got, const std::vector<Record>& full, size_t reached, size_t skipped = -1) {
  static const Record zero{};
  for (size_t i = 0; i < got.size(); ++i) {
    const bool same = std::memcmp(&got[i], i < reached && i < full.size() ? &full[i] : &zero, sizeof(Record)) == 0;
    EXPECT_TRUE(same || i == skipped) << sizeof(Record) << "-byte record " << i;
  }
}

// Each read starts from zero, whatever the read before left, so that what a
// failed read did not reach is zero.
TEST(HeaderDatabase, EachStatusKeepsWhatWasReadAndZeroBeyond) {
  const struct {
    void (*change)(HeaderSpec&);
    ReadStatus status;
    std::array<uint32_t, 5> counts;  // colour, palette, texture, LOD, parent
    size_t stop;                     // the section whose count stopped the read; 5: none
    uint32_t lodWord, lists;         // lists: parents whose lists were read whole (the next one in part)
  } cases[] = {
      {[](HeaderSpec& s) { s.colorCount = 0; }, kBadColorCount, {0, 0, 0, 0, 0}, 0, 0, 0},
      {[](HeaderSpec& s) { s.colorCount = 11; }, kBadColorCount, {11, 0, 0, 0, 0}, 0, 0, 0},
      {[](HeaderSpec& s) { s.palettes.clear(); }, kBadPaletteCount, {3, 0, 3, 6, 3}, 5, 12000, 3},
      {[](HeaderSpec& s) { s.palettes.resize(21); }, kBadPaletteCount, {3, 21, 3, 6, 3}, 5, 12000, 3},  // 1 dropped
      {[](HeaderSpec& s) { s.textureCount = 0; }, kBadTextureCount, {3, 14, 0, 0, 0}, 2, 0, 0},
      {[](HeaderSpec& s) { s.textureCount = 11; }, kBadTextureCount, {3, 14, 11, 0, 0}, 2, 0, 0},
      {[](HeaderSpec& s) { s.lodCount = 0, s.lodWord = 5000; }, kBadLodCount, {3, 14, 3, 0, 0}, 3, 10000, 0},
      {[](HeaderSpec& s) { s.lodCount = 21; }, kBadLodCount, {3, 14, 3, 21, 0}, 3, 12000, 0},
      {[](HeaderSpec& s) { s.parentCount = 0; }, kBadParentCount, {3, 14, 3, 6, 0}, 4, 12000, 0},
      {[](HeaderSpec& s) { s.parentCount = 6; }, kBadParentCount, {3, 14, 3, 6, 6}, 4, 12000, 0},
      {[](HeaderSpec& s) { s.parents[1].slotCount = 26; }, kBadSlotCount, {3, 14, 3, 6, 3}, 5, 12000, 1},
      {[](HeaderSpec& s) { s.parents[2].dynamicCount = 11; }, kBadDynamicCount, {3, 14, 3, 6, 3}, 5, 12000, 2},
      {[](HeaderSpec& s) { s.parents[2].lodRefCount = 11; }, kBadLodRefCount, {3, 14, 3, 6, 3}, 5, 12000, 2},
      {[](HeaderSpec& s) { s.parents[2].lodRefCount = 3; }, kTruncated, {3, 14, 3, 6, 3}, 5, 12000, 2},
  };
  HeaderDatabase full(kTinyLimits), db(kTinyLimits);
  ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(StandardHeaderSpec()), full, false), kReadOk);
  ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(StandardHeaderSpec()), db, false), kReadOk);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.status << " with " << c.counts[1] << " palettes");
    HeaderSpec recipe = StandardHeaderSpec();
    c.change(recipe);
    db.nextFreeLod = 1;
    ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(recipe), db, false), c.status);
    EXPECT_EQ(IsSafeToWriteBack(c.status, db), c.status == kBadPaletteCount && c.counts[1] == 0);  // nothing lost
    EXPECT_EQ((std::array{db.colorCount, db.paletteCount, db.textureCount, db.lodCount, db.parentCount}), c.counts);
    std::array<uint32_t, 5> reached{};
    std::copy_n(c.counts.begin(), c.stop, reached.begin());
    ExpectPrefix(db.ColorTable, full.ColorTable, reached[0]), ExpectPrefix(db.PaletteTable, full.PaletteTable, reached[1]);
    ExpectPrefix(db.TextureTable, full.TextureTable, reached[2]), ExpectPrefix(db.LodTable, full.LodTable, reached[3]);
    const size_t changed = c.stop == 5 ? c.lists : -1;  // the parent whose list count stopped the read
    ExpectPrefix(db.ParentTable, full.ParentTable, reached[4], changed);
    ExpectPrefix(db.ParentLists, full.ParentLists, c.lists, changed);
    EXPECT_EQ((std::array{db.leadWord, db.colorWord, db.maxTextureSize, db.lodWord, db.lodCountAtRead}),
              (std::array{recipe.leadWord, c.stop > 0 ? recipe.colorWord : 0, c.stop > 2 ? recipe.maxTextureSize : 0,
                          c.lodWord, c.counts[3]}));
    EXPECT_EQ(db.freeLodCount, c.stop > 3 ? 2u : 0u);
    EXPECT_EQ(db.FreeLodList, c.stop > 3 ? Free({1, 4}) : Free());
    EXPECT_EQ(db.nextFreeLod, 0u);
  }
  HeaderSpec huge = StandardHeaderSpec();
  huge.paletteCount = 0xFFFFFFFF;  // read into the end of the file at once
  EXPECT_EQ(ReadHeaderDatabase(BuildHeaderFile(huge), db, false), kBadTextureCount);
}

// A file cut anywhere is read up to the cut, then as zero words and 0xFF bytes.
TEST(HeaderDatabase, EveryCutOfTheFileStopsWithTheStatusOfTheSectionItCuts) {
  const HeaderOffsets at = OffsetsOf(StandardHeaderSpec());
  const Bytes file = BuildHeaderFile(StandardHeaderSpec());
  const size_t lastSlotCount = at.parentFixedParts + 2 * kParentRecordSize + 43;  // parent 2's slotCount byte
  HeaderDatabase db(kTinyLimits);
  for (size_t length = 0; length <= file.size(); ++length) {
    const ReadStatus expected = length < at.colorCount + 4     ? kBadColorCount
                                : length < at.textureCount + 4 ? kBadTextureCount
                                : length < at.lodCount + 4     ? kBadLodCount
                                : length < at.parentCount + 4  ? kBadParentCount
                                : length <= lastSlotCount      ? kBadSlotCount
                                : length < at.end              ? kTruncated
                                                               : kReadOk;
    const ReadStatus status = ReadHeaderDatabase(std::span(file).first(length), db, false);
    ASSERT_EQ(status, expected) << length;
    ASSERT_EQ(IsSafeToWriteBack(status, db), status == kReadOk) << length;
  }
}

// The writer lowers counts above the limits, in memory too, and never past
// the records a table holds.
TEST(HeaderDatabase, TheWriterKeepsCountsWithinTheLimitsAndTheTables) {
  constexpr HeaderLimits kLimits{3, 3, 6, 4, 5, 5, 7, 7, 2, 2, false};  // 6 palettes allowed, 4 held
  const std::tuple<uint32_t HeaderDatabase::*, uint32_t, void (*)(HeaderSpec&)> cases[] = {
      {&HeaderDatabase::colorCount, 3, [](HeaderSpec& s) { s.colors.resize(3); }},
      {&HeaderDatabase::paletteCount, 4, [](HeaderSpec& s) { s.palettes.resize(4); }},
      {&HeaderDatabase::textureCount, 5, [](HeaderSpec& s) { s.textures.resize(5); }},
      {&HeaderDatabase::lodCount, 7, [](HeaderSpec& s) { s.lods.resize(7); }},
      {&HeaderDatabase::parentCount, 2, [](HeaderSpec& s) { s.parents.resize(2), s.parents[0].hostParam3 = s.parents[1].hostParam3 = 0; }}};
  for (const auto& [count, kept, records] : cases) {
    HeaderDatabase db(kLimits);
    db.*count = 0xFFFFFFFF;
    HeaderSpec expected;
    expected.lodWord = 0, records(expected);
    EXPECT_EQ(WriteHeaderDatabase(db), BuildHeaderFile(expected));
    EXPECT_EQ(db.*count, kept);
  }
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.parents[2].lodRefs.resize(10, LodRefSpec{-1, 5.0f});  // every list of parent 2 full
  HeaderDatabase db(kRigwrightLimits);
  ASSERT_EQ(ReadHeaderDatabase(BuildHeaderFile(recipe), db, false), kReadOk);
  ParentRecord& parent = db.ParentTable[2];
  parent.slotCount = 26, parent.dynamicCount = 11, parent.lodRefCount = 255;
  EXPECT_EQ(WriteHeaderDatabase(db), BuildHeaderFile(recipe));
  EXPECT_EQ((std::array<uint32_t, 3>{parent.slotCount, parent.dynamicCount, parent.lodRefCount}),
            (std::array<uint32_t, 3>{25, 10, 10}));
}

// ---- byte streams ------------------------------------------------------------

TEST(ByteStream, ReadsLittleEndianAndPastTheEndYieldsWhatAStreamWould) {
  const Bytes bytes = {0xAB, 0xFF, 0xFE, 0x78, 0x56, 0x34, 0x92, 0x00, 0x00, 0x80, 0xBF};
  ByteReader in(bytes);
  EXPECT_EQ((std::tuple{in.ReadByte(), in.ReadShort(), in.ReadLong(), in.ReadFloat(), in.ReadPastEnd()}),
            (std::tuple<uint8_t, uint16_t, uint32_t, float, bool>{0xAB, 0xFEFF, 0x92345678, -1.0f, false}));
  in.Seek(9);
  EXPECT_EQ(in.ReadShort(), 0xBF80);
  in.Seek(100);
  EXPECT_FALSE(in.ReadPastEnd());
  EXPECT_EQ(in.ReadLong(), 0u);
  in.Seek(1), in.Skip(1);
  EXPECT_EQ(in.ReadByte(), 0xFE);
  in.Skip(SIZE_MAX);  // stays past the end instead of wrapping round
  EXPECT_EQ(in.ReadByte(), 0xFF);
  // Fewer bytes left than a value needs: what ReadByte gives past the end for
  // each byte (0 for a word), and those bytes used up.
  const size_t widths[] = {1, 2, 4, 4};  // ReadByte, ReadShort, ReadLong, ReadBytes of four
  for (size_t k = 0; k < 4; ++k) {
    for (size_t left = 0; left < widths[k]; ++left) {
      const Bytes data(left, 0x77);
      ByteReader r(data);
      Bytes block(4, 0), expected(4, 0xFF);
      std::fill_n(expected.begin(), left, 0x77);
      const uint32_t value = k == 0 ? r.ReadByte() : k == 1 ? r.ReadShort() : k == 2 ? r.ReadLong() : (r.ReadBytes(block), 0);
      EXPECT_EQ((std::tuple{value, block, r.ReadPastEnd(), r.ReadByte()}),
                (std::tuple{k == 0 ? 0xFFu : 0u, k == 3 ? expected : Bytes(4, 0), true, uint8_t{0xFF}})) << k << left;
    }
  }
}

TEST(ByteStream, WritesLowBitsLittleEndianWithOrWithoutAReservation) {
  for (size_t reserved : {0, 3, 1000}) {
    ByteWriter out;
    out.Reserve(reserved);
    out.WriteByte(0x1234), out.WriteShort(0xABCD1234), out.WriteFloatBits(-2.0f), out.WriteBytes(Bytes{9, 8});
    out.WriteBytes(Bytes{});
    Bytes expected = {0x34, 0x34, 0x12, 0x00, 0x00, 0x00, 0xC0, 9, 8};
    for (uint32_t i = 0; i < 250; ++i) {
      out.WriteLong(i | (i + 1) << 8 | (i + 2) << 16 | (i + 3) << 24);
      for (uint32_t b = 0; b < 4; ++b) expected.push_back(static_cast<uint8_t>(i + b));
    }
    EXPECT_EQ(Bytes(out.Bytes().begin(), out.Bytes().end()), expected);
    EXPECT_EQ(out.TakeBytes(), expected);
    out.WriteByte(7);
    EXPECT_EQ(out.TakeBytes(), Bytes{7});
  }
}

// ---- loading ZarnoObj.hdr --------------------------------------------------

// Its files announce one byte more than they hold, as a file cut while it is read.
struct CutPlatform : RecordingPlatform {
  struct CutFile : File {
    explicit CutFile(std::unique_ptr<File> f) : file(std::move(f)) {}
    size_t Read(void* buffer, size_t size) override { return file->Read(buffer, size); }
    bool Write(const void* data, size_t size) override { return file->Write(data, size); }
    bool Seek(uint64_t offset) override { return file->Seek(offset); }
    std::optional<uint64_t> Size() override { return file->Size().value_or(0) + 1; }
    bool Flush() override { return file->Flush(); }
    bool Close() override { return file->Close(); }
    std::unique_ptr<File> file;
  };
  std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) override {
    std::unique_ptr<File> file = RecordingPlatform::OpenFile(path, mode);
    return file ? std::make_unique<CutFile>(std::move(file)) : nullptr;
  }
};

TEST(HeaderFile, LoadsAndNamesTheFileInEachFailure) {
  TempFolder folder;
  const std::string path = folder / "ZarnoObj.hdr";
  RecordingPlatform platform;
  CutPlatform cut;
  HeaderDatabase db(kSkinwrightLimits);
  using Result = std::tuple<HeaderLoadOutcome, ReadStatus, bool, std::string>;
  const auto load = [&](Platform& on, void (*change)(HeaderSpec&)) {
    HeaderSpec recipe = StandardHeaderSpec();
    change(recipe);
    EXPECT_TRUE(WriteFile(path, BuildHeaderFile(recipe)));
    const HeaderLoadResult r = LoadHeaderDatabase(on, path, db, false);
    return Result{r.outcome, r.status, r.safeToWrite, DescribeLoadFailure(r, path).value_or("fine")};
  };
  const std::string cannotRead = "Can not read ZarnoObj.hdr: " + path;
  EXPECT_EQ(load(platform, [](HeaderSpec& s) { s.parents[2].lodRefCount = 3; }),
            Result(HeaderLoadOutcome::kRead, kTruncated, false,
                   cannotRead + " (the file ends before its last parent's lists)"));
  EXPECT_EQ(load(platform, [](HeaderSpec& s) { s.palettes.clear(); }),
            Result(HeaderLoadOutcome::kRead, kBadPaletteCount, true, "fine"));
  EXPECT_EQ(load(cut, [](HeaderSpec&) {}),
            Result(HeaderLoadOutcome::kCannotRead, kReadOk, false, cannotRead + " (the file could not be read)"));
  EXPECT_EQ(db.paletteCount, 0u);  // the reader never ran
  EXPECT_EQ(load(platform, [](HeaderSpec&) {}), Result(HeaderLoadOutcome::kRead, kReadOk, true, "fine"));
}

// ---- recovering a replacement ------------------------------------------------

using Files = std::map<std::string, std::string>;  // path below the folder → content

// A journal's renames are finished (some may be done already) and every
// ".new" file left goes; a journal that names a file it may not list is not
// followed, and nothing goes.
TEST(ReplacementJournal, RecoveryFinishesAJournalAndFollowsOnlyTheNamesItMayList) {
  const Files old = {{"ZarnoObj.hdr", "old header"}, {"ZarnoObj.lod", "old store"}};
  Files leftOvers = old;  // a retired journal adopts nothing
  leftOvers.insert({{"ZarnoObj.hdr.new", "half"}, {"ZarnoObj.tex.new", "x"}, {"ZarnoObj/5.dds.new", "d"},
                    {"ZarnoObj.journal.new", "ZarnoObj.hdr\n"}});
  const Files interrupted = {{"ZarnoObj.hdr", "old header"}, {"ZarnoObj.lod", "new store"},
                             {"ZarnoObj.hdr.new", "new header"}, {"ZarnoObj/57.dds.new", "new copy"},
                             {"ZarnoObj/8.dds.new", "stray"}, {"ZarnoObj.tex.new", "stray"},
                             {"ZarnoObj.journal", "ZarnoObj.lod\nZarnoObj.hdr\nZarnoObj/57.dds\n"}};
  std::vector<std::tuple<Files, bool, Files>> cases = {
      {leftOvers, true, old},
      {interrupted, true, {{"ZarnoObj.hdr", "new header"}, {"ZarnoObj.lod", "new store"}, {"ZarnoObj/57.dds", "new copy"}}}};
  for (const char* journal : {"Orvane4.ct\n", "ErrorList.txt\n", "ZarnoObj/57.txt\n", "zarnoobj.hdr\n", "ZarnoObj.hdr",
                              "ZarnoObj/../x.dds\n", "ZarnoObjX57.dds\n", "ZarnoObj/.\n", "\n"}) {
    Files before = old;
    before.insert({{"Orvane4.ct", "ct"}, {"Orvane4.ct.new", "x"}, {"ZarnoObj.hdr.new", "new"}, {"ZarnoObj.journal", journal}});
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
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder.Path())) {
      std::ifstream in(entry.path(), std::ios::binary);
      if (entry.is_regular_file()) found[fs::relative(entry.path(), folder.Path())] = {std::istreambuf_iterator(in), {}};
    }
    EXPECT_EQ(found, after) << i;
  }
}

}  // namespace
}  // namespace zarno
