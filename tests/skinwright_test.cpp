// Skinwright end to end, one case per row: texture and object folders in; the exact object files,
// TexErrorList.txt, boxes, beeps, failure texts and progress out.
#include <gtest/gtest.h>
#include <algorithm>
#include "core/folder_lock.h"
#include "skinwright/skinwright_program.h"
#include "tests/support/kit.h"
#include "tests/support/recording_platform.h"
namespace zarno {
namespace {
using Kind = ProgressCall::Kind;
TextureRecord Rec(uint32_t offset, uint32_t size, uint32_t width, uint32_t flags, uint32_t color, uint32_t pal) {
  return TextureRecord{offset, size, width, 0, 0, flags, color, 0, pal, 0};
}
// A colour table that equals no standard palette; entry 0 is red 0x12, green 0x34, blue 0x56.
std::vector<BmpColor> FreshColors(uint8_t reserved = 0) {
  std::vector<BmpColor> colors(256);
  for (size_t i = 0; i < 256; ++i) colors[i] = {uint8_t(0x12 + i), uint8_t(0x34 + 3 * i), uint8_t(0x56 - i), reserved};
  return colors;
}
BmpSpec Tex(int32_t width, int32_t height, uint32_t palette, uint64_t seed, void (*change)(BmpSpec&) = nullptr) {
  BmpSpec recipe = StandardTextureBmp(width, height, palette, seed); return change ? change(recipe), recipe : recipe;
}
Bytes Bmp(const BmpSpec& recipe) { return BuildBmpFile(recipe); }
// What the store must hold for an image: the stream of its top width rows.
Bytes Blob(const BmpSpec& recipe) {
  Bytes pixels;
  for (int32_t r = 0; r < recipe.width; ++r) pixels.insert(pixels.end(), recipe.rows[r].begin(), recipe.rows[r].end());
  return LzssCompressReference(pixels);
}
uint32_t SizeOf(const Bytes& bytes) { return static_cast<uint32_t>(bytes.size()); }
void Put(Bytes& store, size_t offset, const Bytes& data) {
  if (store.size() < offset + data.size()) store.resize(offset + data.size(), 0);
  std::copy(data.begin(), data.end(), store.begin() + static_cast<std::ptrdiff_t>(offset));
}
struct Stored { uint32_t id; BmpSpec image; uint32_t palette, flags, color; };  // a texture stored by the run
struct Fault { std::string_view operation; std::string pathEnd; int nth = 1; };  // as FailNth takes it
// The folders are <root>/obj (with its ZarnoObj folder) and <root>/<texFolder>, "$O" and "$T" in the texts. The
// object folder starts as the standard header over a store of storeSize bytes (texture 0 at 0, 4000 bytes;
// texture 2 at 4000, 1500 bytes). Images: a name ending in "/" is a folder; "../obj/" puts it in the object folder.
struct Case {
  const char* what; std::string line = "~\"$T\" ~\"$O\""; const char* texFolder = "tex";
  std::vector<std::pair<std::string, Bytes>> images{}; std::function<void(HeaderSpec&)> before{};
  bool noHeader = false, registry = false, cwd = true;  // registry: the host's object folder is <root>/obj
  std::optional<Fault> fault{}; std::optional<LockAttempt> lock{}; size_t storeSize = 5500;
  std::vector<Stored> stored{};  // after `before`; then `after`, then the store is packed when `packs`
  std::function<void(HeaderSpec&, Bytes&)> after{}; bool packs = false;
  std::optional<std::string> report{};  // TexErrorList.txt; nothing: no such file
  std::vector<MessageBoxRecord> boxes{}; int beeps = 2;
  std::string failure{}; std::vector<int64_t> progress{};  // the one failure; range, then the pass's positions
  std::map<std::string, Bytes> copies{}; int exitCode = 1;  // copies: the ZarnoObj folder afterwards
};
const std::string kHead = "Models folder $T//\n\n";
const MessageBoxRecord kNoTexturesBox{"No Texture files (.bmp/.dds) found.", "Error", BoxIcon::kHand, false},
    kPaletteBox{"No O4 palette\tmatch. You need to save this BMP with a O4 palette.", "Palette Error", BoxIcon::kHand,
                true};
PaletteSpec AddedPalette(const std::vector<BmpColor>& colors) {
  PaletteSpec palette;
  for (size_t i = 0; i < 256; ++i) palette.entries[i] = {colors[i].red, colors[i].green, colors[i].blue, 255};
  return palette;
}
// The object files a case must leave, from those it started with.
void ExpectedFolder(const Case& c, HeaderSpec& header, Bytes& store) {
  std::map<size_t, Bytes> blobs;
  for (const Stored& s : c.stored) {
    if (header.textures.size() <= s.id) header.textures.resize(s.id + 1, TextureRecord{});
    blobs[s.id] = Blob(s.image);
    header.textures[s.id] = Rec(0, SizeOf(blobs[s.id]), uint32_t(s.image.width), s.flags, s.color, s.palette);
  }
  if (c.after) c.after(header, store);
  if (!c.packs) return;
  Bytes packed;  // each record in use gets its own copy, in record order
  for (size_t i = 0; i < header.textures.size(); ++i) {
    TextureRecord& t = header.textures[i]; if (t.dataSize == 0) continue;
    const auto from = store.begin() + t.fileOffset;
    const Bytes data = blobs.count(i) ? blobs[i] : Bytes(from, from + t.dataSize); t.fileOffset = SizeOf(packed);
    packed.insert(packed.end(), data.begin(), data.end());
    header.maxTextureSize = std::max(header.maxTextureSize, t.dataSize);
  }
  store = packed;
}
std::map<std::string, Bytes> FolderContents(const fs::path& folder) {
  std::map<std::string, Bytes> files;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name != kLockFileName) files[name] = e.is_directory() ? Bytes{} : ReadFileBytes(e.path());
  }
  return files;
}
// One run of a case in folders of its own; `header` and `store` are what the object folder held.
struct Run {
  explicit Run(const Case& c) : tex(root / c.texFolder), store(MakeRandomBytes(c.storeSize, 3)) {
    fs::create_directories(obj / "ZarnoObj"), fs::create_directories(tex); if (c.before) c.before(header);
    EXPECT_TRUE(c.noHeader || WriteFile(obj / "ZarnoObj.hdr", BuildHeaderFile(header)));
    EXPECT_TRUE(WriteFile(obj / "ZarnoObj.tex", store));
    for (const auto& [name, bytes] : c.images) {
      EXPECT_TRUE(name.back() == '/' ? fs::create_directories(tex / name) : WriteFile(tex / name, bytes));
    }
    platform.SetCurrentDirectory(c.cwd ? std::optional(obj.string()) : std::nullopt);
    if (c.registry) platform.SetRegistryValue("Software\\Vantorelle\\Orvane\\4.0", "objectDir", obj.string());
    platform.SetLockAttempt(c.lock); if (c.fault) platform.FailNth(c.fault->operation, c.fault->pathEnd, c.fault->nth);
    exitCode = RunSkinwright(platform, Fill(c.line));
  }
  std::string Fill(std::string text) const {
    for (const auto& [mark, path] : {std::pair{"$T", tex.string()}, std::pair{"$O", obj.string()}}) {
      for (size_t at; (at = text.find(mark)) != std::string::npos;) text.replace(at, 2, path);
    }
    return text;
  }
  TempFolder root; fs::path obj = root / "obj", tex; RecordingPlatform platform{"skinwright"};
  HeaderSpec header = StandardHeaderSpec(); Bytes store; int exitCode = -1;
};
void RunCase(const Case& c) {
  Run run(c);
  EXPECT_EQ(run.exitCode, c.exitCode);
  ExpectedFolder(c, run.header, run.store);
  std::map<std::string, Bytes> objectFolder = {{"ZarnoObj", {}}, {"ZarnoObj.tex", run.store}};
  if (!c.noHeader) objectFolder["ZarnoObj.hdr"] = BuildHeaderFile(run.header);
  if (std::string_view(c.texFolder).starts_with("obj/")) objectFolder[c.texFolder + 4] = {};
  for (const auto& [name, bytes] : c.images) {
    if (name.starts_with("../obj/")) objectFolder[name.substr(7, name.size() - 8)] = {};
  }
  EXPECT_EQ(FolderContents(run.obj), objectFolder);
  EXPECT_EQ(FolderContents(run.obj / "ZarnoObj"), c.copies);
  const fs::path reportPath = run.tex / "TexErrorList.txt";
  EXPECT_EQ(fs::is_regular_file(reportPath), c.report.has_value());
  EXPECT_EQ(c.report ? ReadFileText(reportPath) : "", run.Fill(c.report.value_or("")));
  EXPECT_EQ(run.platform.MessageBoxes(), c.boxes);
  EXPECT_EQ(run.platform.Beeps(), c.beeps);
  EXPECT_EQ(run.platform.Failures(), c.failure.empty() ? std::vector<std::string>{} : std::vector{run.Fill(c.failure)});
  EXPECT_EQ(run.platform.WaitNotes().size() * kLockWaitLimitMs, run.platform.Slept());
  std::vector<ProgressCall> progress;
  if (!c.progress.empty()) {
    progress = {{Kind::kOpen, 1}, {Kind::kSetPosition, 0}, {Kind::kSetRange, c.progress[0]}};
    for (size_t i = 1; i < c.progress.size(); ++i) progress.push_back({Kind::kSetPosition, c.progress[i]});
    progress.push_back({Kind::kClose, 0});
  }
  EXPECT_EQ(run.platform.ProgressCalls(), progress);
  EXPECT_EQ(run.platform.CloseRequests(), c.exitCode);
}
std::vector<Case> Cases() {
  const BmpSpec one = Tex(16, 16, 1, 9), three = Tex(16, 16, 1, 8), good = Tex(16, 16, 1, 1);
  const BmpSpec seven = Tex(32, 32, 2, 1), five = Tex(16, 16, 5, 2), two = Tex(16, 16, 6, 5);
  const BmpSpec four = Tex(16, 16, 3, 6, [](BmpSpec& s) { s.fileHeader = false; });
  const BmpSpec twelve = Tex(16, 16, 0, 7), twelveX = Tex(16, 16, 4, 10), eleven = Tex(16, 16, 11, 2);
  BmpSpec twenty = Tex(16, 24, 0, 3), twentyOne = Tex(64, 64, 0, 4);
  twenty.colors = FreshColors(), twentyOne.colors = FreshColors(0x5A);  // the fourth bytes are not compared
  const Bytes oneBlob = Blob(one), narrow = Bmp(Tex(8, 8, 1, 1)); const Stored oneStored{1, one, 1, 0xA0, 0xFFFF00FF};
  const auto with = [](void (*change)(BmpSpec&)) { return Bmp(Tex(16, 16, 1, 1, change)); };
  const auto normal = [&](const char* what, std::string line, const char* texFolder = "tex") {
    return Case{.what = what, .line = line, .texFolder = texFolder, .images = {{"1.bmp", Bmp(one)}},
                .stored = {oneStored}, .packs = true, .progress = {3, 0, 1, 2}};
  };
  const auto check = [&](const char* what, std::string line) {
    return Case{.what = what, .line = line, .images = {{"1.bmp", Bmp(one)}, {"1.dds", {1}}}, .registry = true,
                .report = kHead + "Tex ID 1 file 1.bmp good, so far.\n"};
  };
  const auto dds = [&](const char* what, std::string line) {
    return Case{.what = what, .line = line, .images = {{"1.bmp", Bmp(one)}, {"1.dds", {7}}},
                .after = [](HeaderSpec& h, Bytes&) { h.textures[1] = Rec(0, 4000, 64, 0xE0, 0xFF000000, 2); },
                .copies = {{"1.dds", {7}}}};
  };
  const std::string checkLine = "@check ~\"$T\" ~\"$O\"", ddsLine = "@dds ~\"$T\" ~\"$O\"",
                    noHeader = "Can not open ZarnoObj.hdr: $O/ZarnoObj.hdr",
                    cannotWriteHeader = "Can not write ZarnoObj.hdr: $O/ZarnoObj.hdr";
  return {
      {.what = "a normal run stores, adds one palette, grows the table and compacts",
       .images = {{"7.bmp", Bmp(seven)}, {"5wall.bmp", Bmp(five)}, {"20.bmp", Bmp(twenty)}, {"21.BMP", Bmp(twentyOne)},
                  {"2.bmp", Bmp(two)}, {"4.bmp", Bmp(four)}, {"12.bmp", Bmp(twelve)}, {"12x.bmp", Bmp(twelveX)},
                  {"9.bmp", Bmp(Tex(48, 48, 1, 6))}, {"roof.bmp", Bmp(five)}, {"10000.bmp", Bmp(five)},
                  {"6.bmp/", {}}, {"3.dds", {1}}}, .before = [](HeaderSpec& h) { h.maxTextureSize = 100; },
       .stored = {{2, two, 6, 0xA0, 0xFF815A02}, {4, four, 3, 0xA0, 0xFFFF00FF}, {5, five, 5, 0xA0, 0xFF7F5903},
                  {7, seven, 2, 0xE0, 0}, {12, twelveX, 4, 0xA0, 0xFF000000}, {20, twenty, 14, 0xA0, 0xFF563412},
                  {21, twentyOne, 14, 0xA0, 0xFF563412}},
       .after = [](HeaderSpec& h, Bytes&) { h.palettes.push_back(AddedPalette(FreshColors())); },
       .packs = true, .progress = {22, 0, 2, 4, 5, 7, 12, 20, 21}},
      {.what = "every image rejected: the store is still compacted, maxTextureSize kept",
       .images = {{"1.bmp", narrow}}, .before = [](HeaderSpec& h) { h.maxTextureSize = 9999; }, .storeSize = 6000,
       .packs = true, .progress = {3, 0, 2}},
      {.what = "an image whose view fails is skipped, the others are stored",
       .images = {{"1.bmp", Bmp(one)}, {"3.bmp", Bmp(three)}}, .fault = Fault{op::kViewFile, "/1.bmp"},
       .stored = {{3, three, 1, 0xA0, 0xFFFF00FF}}, .packs = true, .progress = {4, 0, 2, 3}},
      {.what = "nested and overlapping records: the new data goes behind the largest end",
       .images = {{"3.bmp", Bmp(three)}}, .before = [](HeaderSpec& h) {
         h.textures = {Rec(0, 5500, 64, 0, 1, 0), Rec(1000, 200, 16, 0, 2, 0), Rec(4000, 1000, 16, 0, 3, 0)}; },
       .stored = {{3, three, 1, 0xA0, 0xFFFF00FF}}, .packs = true, .progress = {4, 0, 1, 2, 3}},
      {.what = "the compaction cannot open the store: the header saved before names the new data at 150",
       .images = {{"1.bmp", Bmp(one)}}, .before = [](HeaderSpec& h) {
         h.maxTextureSize = 10, h.textures = {Rec(0, 100, 16, 0, 1, 0), {}, Rec(100, 50, 16, 0, 2, 0)}; },
       .fault = Fault{op::kOpenFile, "Zarnoobj.tex", 2}, .after = [oneBlob](HeaderSpec& h, Bytes& s) {
         h.textures[1] = Rec(150, SizeOf(oneBlob), 16, 0xA0, 0xFFFF00FF, 1), h.maxTextureSize = SizeOf(oneBlob);
         Put(s, 150, oneBlob); }, .beeps = 1, .failure = "Can not open ZarnoObj.tex: $O/Zarnoobj.tex", .progress = {3}},
      {.what = "the compaction cannot write the header: the one saved before stays",
       .images = {{"1.bmp", Bmp(one)}}, .fault = Fault{op::kOpenFile, "ZarnoObj.hdr.new", 2},
       .after = [oneBlob](HeaderSpec& h, Bytes& s) {
         h.textures[1] = Rec(5500, SizeOf(oneBlob), 16, 0xA0, 0xFFFF00FF, 1), Put(s, 5500, oneBlob); },
       .beeps = 1, .failure = cannotWriteHeader, .progress = {3, 0, 1, 2}},
      {.what = "a record past the end of the store: the compaction refuses", .images = {{"4.bmp", narrow}},
       .before = [](HeaderSpec& h) { h.textures[1] = Rec(9000, 10, 16, 0xA0, 0, 0); }, .beeps = 1,
       .failure = "ZarnoObj.tex is damaged: record 1 runs past the end of $O/Zarnoobj.tex", .progress = {3}},
      {.what = "the header cannot be saved: the appended data stays unnamed",
       .images = {{"../obj/ZarnoObj.hdr.new/", {}}, {"1.bmp", Bmp(one)}},
       .after = [oneBlob](HeaderSpec&, Bytes& s) { Put(s, 5500, oneBlob); }, .beeps = 1, .failure = cannotWriteHeader},
      {.what = "a folder another run keeps past the wait: one failure, nothing changes",
       .images = {{"1.bmp", Bmp(one)}}, .lock = LockAttempt::kBusy, .beeps = 1,
       .failure = "Another run is using the object folder: $O"},
      {.what = "12 palettes: a new colour table or palette 13 gives the palette box",
       .images = {{"3.bmp", Bmp(twenty)}, {"4.bmp", Bmp(Tex(16, 16, 13, 1))}, {"5.bmp", Bmp(eleven)}},
       .before = [](HeaderSpec& h) { h.palettes.resize(12); }, .stored = {{5, eleven, 11, 0xA0, 0xFFFF00FF}},
       .packs = true, .boxes = {kPaletteBox, kPaletteBox}, .progress = {6, 0, 2, 5}},
      {.what = "a check run: one line per image, the first check that fails", .line = "@check ~\"$T\" ~\"/nowhere\"",
       .images = {{"-1.bmp", Bmp(good)}, {"10000.bmp", Bmp(good)}, {"12.bmp", Bmp(good)}, {"12x.bmp", Bmp(good)},
                  {"120.bmp", with([](BmpSpec& s) { s.bitCount = 4; })}, {"13.bmp", Bmp(Tex(48, 48, 1, 1))},
                  {"13x.bmp", Bmp(good)}, {"14.bmp", with([](BmpSpec& s) { s.rows[0].pop_back(); })},
                  {"15.bmp", with([](BmpSpec& s) { s.clrUsed = 255, s.colors.resize(255); })},
                  {"16.bmp", with([](BmpSpec& s) { s.height = -16; })}, {"19.bmp", Bmp(twenty)},
                  {"17.bmp", with([](BmpSpec& s) { s.height = 0, s.rows.clear(); })},
                  {"18.bmp", with([](BmpSpec& s) { s.height = 8, s.rows.resize(8); })},
                  {"2.bmp", with([](BmpSpec& s) { s.bitCount = 1; })}, {"5.bmp/", {}}, {"5.dds", {1}},
                  {"20.bmp", with([](BmpSpec& s) { s.bitCount = 24; })}, {"9.bmp", Bmp(four)}, {"24.bmp", narrow},
                  {"21.bmp", with([](BmpSpec& s) { s.infoHeaderSize = 56; })}, {"roof.bmp", Bmp(good)},
                  {"22.bmp", with([](BmpSpec& s) { s.compression = 1; })},
                  {"23.bmp", with([](BmpSpec& s) { s.infoHeaderSize = 12; })}, {"99999999999.bmp", Bmp(good)},
                  {"4096.bmp", Bmp(Tex(4096, 4096, 3, 1))}, {"8192.bmp", Bmp(Tex(8192, 1, 1, 1))}},
       .registry = true, .report = kHead +
                 "Tex ID -1 is out of range.\nTex ID 10000 is out of range.\nTex ID 12 file 12.bmp good, so far.\n"
                 "Tex ID 120 has only 16 colors.\nTex ID 12 file 12x.bmp good, so far.\n"
                 "Tex ID 13 size is not power of 2.\nTex ID 13 duplicated.\nTex ID 14 file 14.bmp is truncated.\n"
                 "Tex ID 15 file 15.bmp has a colour table of fewer than 256 entries.\n"
                 "Tex ID 16 file 16.bmp is stored top-down.\nTex ID 17 file 17.bmp has no rows.\n"
                 "Tex ID 18 file 18.bmp is shorter than it is wide.\nTex ID 19 file 19.bmp good, so far.\n"
                 "Tex ID 2 has only 2 colors.\nTex ID 20 has only 0 colors.\nTex ID 21 has only 0 colors.\n"
                 "Tex ID 22 has only 0 colors.\nTex ID 23 has only 0 colors.\nTex ID 24 size is not power of 2.\n"
                 "Tex ID 4096 file 4096.bmp good, so far.\nTex ID 5 has only 0 colors.\n"
                 "Tex ID 8192 size is not power of 2.\nTex ID 9 file 9.bmp good, so far.\n"
                 "Tex ID 2147483647 is out of range.\nTex file roof.bmp has no ID number.\n"},
      {.what = "a check run with a full palette table", .line = checkLine, .images = {{"3.bmp", Bmp(twenty)}},
       .before = [](HeaderSpec& h) { for (uint32_t k = 14; k < 2000; ++k) h.palettes.push_back(TestPalette(k)); },
       .report = kHead + "Tex ID 3 file 3.bmp has no room for its palette.\n", .boxes = {kPaletteBox}},
      {.what = "a dups run writes only the duplicate lines and opens no image", .line = "@dups ~\"$T\" ~\"$O\"",
       .images = {{"-1.bmp", {}}, {"10000.bmp", {}}, {"12.bmp", {}}, {"120.bmp", {}}, {"12x.bmp", {}}, {"13.bmp", {}},
                  {"13a.bmp", {}}, {"13b.bmp", {}}, {"40.bmp", {}}, {"40b.bmp", {}}, {"x.bmp", {}}},
       .report = kHead + "Tex ID 13 duplicated.\nTex ID 13 duplicated.\nTex ID 40 duplicated.\n"},
      {.what = "a check run whose report cannot be created", .line = checkLine,
       .images = {{"TexErrorList.txt/", {}}, {"1.bmp", Bmp(one)}}, .beeps = 1,
       .failure = "Can not open TexErrorList.txt: $T///TexErrorList.txt"},
      {.what = "no ZarnoObj.hdr", .images = {{"1.bmp", Bmp(one)}}, .noHeader = true, .beeps = 1, .failure = noHeader},
      {.what = "no ZarnoObj.hdr, check run", .line = checkLine, .images = {{"1.bmp", Bmp(one)}}, .noHeader = true,
       .report = kHead, .beeps = 1, .failure = noHeader},
      {.what = "a header that cannot be read whole is not written back", .images = {{"1.bmp", Bmp(one)}},
       .before = [](HeaderSpec& h) { h.textureCount = 0; }, .beeps = 1,
       .failure = "Can not read ZarnoObj.hdr: $O/ZarnoObj.hdr (the texture count is 0 or above the limit)"},
      {.what = "no BMP image: silence", .images = {{"1.dds", {1}}}, .beeps = 0},
      {.what = "a third separator after ~ is part of the folder's name", .line = "~  \"$T\" ~\"$O\"",
       .images = {{"1.bmp", Bmp(one)}}, .beeps = 0},
      {.what = "no BMP image, check run", .line = checkLine, .images = {{"1.dds", {1}}}, .report = kHead,
       .boxes = {kNoTexturesBox}, .beeps = 0},
      {.what = "no texture folder, check run", .line = "@check ~\"$T/none\" ~\"$O\"", .boxes = {kNoTexturesBox},
       .beeps = 0},
      {.what = "a DDS run copies and adds placeholders", .line = ddsLine,
       .images = {{"57.dds", {5, 7}}, {"057.DDS", {0, 5, 7}}, {"2.dds", {2}}, {"1x.dds", {1}}, {"sky.dds", {3}},
                  {"10000.dds", {4}}, {"5.dds/", {}}, {"9.bmp", Bmp(one)}},
       .before = [](HeaderSpec& h) { h.palettes.push_back(TestPalette(14)); }, .after = [](HeaderSpec& h, Bytes&) {
         h.textures.resize(58, TextureRecord{}); h.textures[1] = h.textures[57] = Rec(0, 4000, 64, 0xE0, 0xFF96B662, 2);
       }, .copies = {{"1.dds", {1}}, {"2.dds", {2}}, {"57.dds", {5, 7}}}},
      {.what = "a DDS copy that cannot be made ends the run and keeps no copy", .line = ddsLine,
       .images = {{"2.dds", {2}}, {"57.dds", {5, 7}}}, .fault = Fault{op::kCopyFile, "/57.dds"},
       .beeps = 1, .failure = "Can not copy $T//57.dds to $O/ZarnoObj/57.dds.new"},
      {.what = "a check DDS run copies but keeps the header", .line = "@dds ~\"$T\" ~\"check\"",
       .images = {{"8.dds", {8}}, {"1.bmp", Bmp(one)}}, .registry = true, .report = kHead, .copies = {{"8.dds", {8}}}},
      normal("an empty line: the Skins folder of the current directory", "", "obj/Skins"),
      normal("@dup is no switch", "@dup ~\"$T\" ~\"$O\""),
      normal("no separators around the second ~", "~$Tx~x$O"),
      normal("a quoted texture folder alone", "~\"$T\""),
      normal("blanks kept to the end of the line", "~$T", "my tex"),
      check("@checkall takes the registered folder", "@checkall ~\"$T\" ~\"/nowhere\""),
      check("the object folder \"check\"", "~\"$T\" ~\"check\""),
      dds("@dds @check", "@dds @check ~\"$T\" ~\"$O\""),
      {.what = "the object folder \"check\", nothing registered", .line = "~\"$T\" ~\"check\"",
       .images = {{"1.bmp", Bmp(one)}}, .report = kHead, .beeps = 1,
       .failure = "Can not open ZarnoObj.hdr: check/ZarnoObj.hdr"},
      {.what = "no current directory: Skinwright cannot start", .line = "", .cwd = false,
       .boxes = {{"Skinwright couldn't start!", "", BoxIcon::kNone, false}}, .beeps = 0, .exitCode = 0},
  };
}
TEST(Skinwright, RunsEveryCase) {
  for (const Case& c : Cases()) { SCOPED_TRACE(c.what); RunCase(c); }
}
// Compressing on every core changes no byte: a run of many images (new colour tables, rejects, identifiers taken
// twice, sizes from 16 to 256) leaves the same files as a run on one thread.
TEST(Skinwright, EveryCoreWritesWhatOneThreadWrites) {
  std::map<std::string, Bytes> folders[2];
  for (int run = 0; run < 2; ++run) {
    TempFolder root; const fs::path obj = root / "obj";
    fs::create_directories(obj / "ZarnoObj"), fs::create_directories(root / "tex");
    ASSERT_TRUE(WriteFile(obj / "ZarnoObj.hdr", BuildHeaderFile(StandardHeaderSpec())));
    ASSERT_TRUE(WriteFile(obj / "ZarnoObj.tex", Bytes(5500, 1)));
    for (uint32_t i = 0; i < 40; ++i) {
      BmpSpec image = Tex(16 << (i % 5), 16 << (i % 5), i % 14, i);
      if (i % 7 == 3) image.colors = FreshColors(uint8_t(i / 7));
      if (i % 11 == 5) image.truncateTo = 2000;
      ASSERT_TRUE(WriteFile(root / "tex" / (std::to_string(i % 29) + "_" + std::to_string(i) + ".bmp"), Bmp(image)));
    }
    ::setenv("ZARNO_THREADS", run ? "3" : "1", 1);
    RecordingPlatform platform("skinwright");
    EXPECT_EQ(RunSkinwright(platform, "~\"" + (root / "tex").string() + "\" ~\"" + obj.string() + "\""), 1);
    ::unsetenv("ZARNO_THREADS");
    for (const char* name : {"ZarnoObj.hdr", "ZarnoObj.tex"}) folders[run][name] = ReadFileBytes(obj / name);
  }
  EXPECT_EQ(folders[0], folders[1]);
  EXPECT_GT(folders[0]["ZarnoObj.tex"].size(), 20000u);
}
}  // namespace
}  // namespace zarno
