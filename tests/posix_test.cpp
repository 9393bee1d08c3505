// The POSIX platform on real files; then both programs through their entry points on databases at every limit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include "core/folder_lock.h"
#include "core/progress.h"
#include "rigwright/rigwright_program.h"
#include "skinwright/lzss.h"
#include "skinwright/skinwright_program.h"
#include "skinwright/texture_image.h"
#include "tests/support/kit.h"
#include "tests/support/recording_platform.h"
namespace zarno {
namespace {
using Names = std::vector<std::string>;
constexpr OpenMode kRead = OpenMode::kRead, kUpdate = OpenMode::kUpdate, kCreate = OpenMode::kCreate;
Bytes Pattern(size_t size, uint64_t seed = 1) { return MakeTextureImage(size, 1, seed); }
Names Sorted(const fs::path& folder) {
  Names names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  return std::sort(names.begin(), names.end()), names;
}
struct PosixTest : testing::Test {
  std::string In(const std::string& name) const { return temp.Path().string() + "/" + name; }
  void Put(const std::string& name, std::string_view text = "") {
    fs::create_directories((temp / name).parent_path());
    ASSERT_TRUE(WriteFile(temp / name, Bytes(text.begin(), text.end())));
  }
  std::string Text(const std::string& name) const { return ReadFileText(temp / name); }
  std::unique_ptr<File> Open(const std::string& name, OpenMode mode) { return p.OpenFile(In(name), mode); }
  static std::string ReadAll(File* file, size_t size = 1 << 22) {  // "" when not open
    std::string bytes(file ? size : 0, '\0'); return bytes.resize(file ? file->Read(bytes.data(), size) : 0), bytes;
  }
  TempFolder temp; PosixPlatform p{"skinwright", false};
};
TEST_F(PosixTest, NamesMatchIgnoringCaseTheExactNamePreferredAndOnlyRegularFilesOpen) {
  Put("models/plane.ihr", "parent"), Put("ZarnoObj.hdr", "exact"), Put("zarnoobj.hdr", "lower"), Put("e.bmp");
  ASSERT_EQ(::mkfifo(In("pipe").c_str(), 0600), 0);
  EXPECT_EQ(ReadAll(Open("Models/PLANE.IHR", kRead).get()) + ReadAll(Open("ZarnoObj.hdr", kUpdate).get()) +
                ReadAll(Open("zarnoobj.hdr", kRead).get()), "parentexactlower");
  std::unique_ptr<File> file = Open("MODELS/ErrorList.txt", kCreate);  // a new name as given
  ASSERT_TRUE(file && file->Write("new", 3) && file->Close() && p.CopyFile(In("models/errorlist.TXT"), In("E.BMP")));
  EXPECT_TRUE(Sorted(temp / "models") == (Names{"ErrorList.txt", "plane.ihr"}) && Text("e.bmp") == "new");
  EXPECT_TRUE(Open("e.BMP", kCreate)->Size() == 0u && Text("e.bmp").empty() && p.RemoveFile(In("E.bmp")));
  for (OpenMode mode : {kRead, kUpdate, kCreate}) {
    for (const char* name : {"models", "pipe", "missing/x"}) EXPECT_TRUE(!Open(name, mode) && !p.ViewFile(In(name)));
    EXPECT_EQ(Open("new", mode) != nullptr, mode == kCreate);
  }
  EXPECT_EQ(Sorted(temp.Path()), (Names{"ZarnoObj.hdr", "models", "new", "pipe", "zarnoobj.hdr"}));
  std::unique_ptr<FileView> view = p.ViewFile(In("MODELS/plane.IHR")), empty = p.ViewFile(In("new"));
  EXPECT_EQ(view ? std::string(view->Bytes().begin(), view->Bytes().end()) : "", "parent");
  EXPECT_TRUE(empty && empty->Bytes().empty() && p.FileSize(In("Models/PLANE.ihr")) == 6u);
  EXPECT_FALSE(p.RemoveFile(In("e.bmp")));
  EXPECT_TRUE(p.FileSize(In("MODELS")) == 0u && !p.FileSize(In("pipe")) && !p.FileSize(In("missing")));
  std::unique_ptr<FileLock> lock, second;  // a second descriptor is a second holder, as another process is
  EXPECT_TRUE(p.TryLockFile(In("pipe"), lock) == LockAttempt::kUnavailable && !lock);
  EXPECT_TRUE(p.TryLockFile(In("ZarnoObj.lock"), lock) == LockAttempt::kTaken && lock);
  EXPECT_EQ(p.TryLockFile(In("zarnoobj.LOCK"), second), LockAttempt::kBusy);
  EXPECT_EQ((lock.reset(), p.TryLockFile(In("ZarnoObj.lock"), second)), LockAttempt::kTaken);
}
TEST_F(PosixTest, FindFilesGivesTheHostsOrderUpperCasedThenRawAndMatchesMasksAsTheHostDoes) {
  for (const char* name : {"b.ihr", "a.ihr", "A.IHR", "_x.ihr", "{y}.ihr", "z.ihr", "a2.ihr", "c.ihr", "c.ihr.bak"}) {
    Put(name);
  }
  fs::create_directory(temp / "folder.ihr");
  const Names ihr = {"A.IHR", "a.ihr", "a2.ihr", "b.ihr", "c.ihr", "folder.ihr", "z.ihr", "_x.ihr", "{y}.ihr"};
  Names all = ihr;
  all.insert(all.begin() + 5, "c.ihr.bak");  // and no dot entries
  const std::pair<std::string, Names> cases[] = {{In("*.ihr"), ihr}, {In("*.IHR"), ihr}, {In("*"), all},
      {In("*.*"), all}, {In("missing/*"), {}}, {In("c.ihr/*"), {}}, {In(""), {}}};
  for (const auto& [pattern, names] : cases) EXPECT_EQ(p.FindFiles(pattern), names) << pattern;
  const fs::path previous = fs::current_path(); fs::current_path(temp.Path());
  EXPECT_EQ(p.FindFiles("*.BAK"), Names{"c.ihr.bak"}); fs::current_path(previous);
  const struct { const char *name, *mask; bool matches; } masks[] = {
      {"PLANE.IHR", "*.ihr", 1}, {"plane.ihrx", "*.ihr", 0}, {".ihr", "*.ihr", 1}, {"ihr", "*.ihr", 0}, {"x", "", 0},
      {"a.b.ihr", "*.ihr", 1}, {"7.bmp", "?.bmp", 1}, {"17.bmp", "?.bmp", 0}, {"ab", "ab**", 1}, {"readme", "*.*", 1},
      {"abc", "abc.*", 1}, {"abc.d", "abc.*", 1}, {"abcd", "abc.*", 0}, {"aXXbXXb", "a*b*b", 1}, {"aXXbXX", "a*b*b", 0},
      {"", "*", 1}, {"ZA.hdr", "az.*", 0}, {"a", ".*", 0}, {"[a].ihr", "[A].IHR", 1}, {"{a}.ihr", "[A].IHR", 0},
      {"ZarnoObj.HDR", "zARNOoBJ.hdr", 1}, {"", ".*", 1}};
  for (const auto& c : masks) EXPECT_EQ(MatchesSearchMask(c.name, c.mask), c.matches) << c.name << " ~ " << c.mask;
}
TEST_F(PosixTest, BufferedFilesReadWhatIsWrittenStoreItInOrderAndReportWhatCannotBeStored) {
  Put("ZarnoObj.lod", ".........."); std::unique_ptr<File> file = Open("ZarnoObj.lod", kUpdate);
  ASSERT_TRUE(file && file->Size() == 10u && file->Write("abc", 3));
  EXPECT_EQ(ReadAll(file.get(), 2) + (file->Seek(0) ? ReadAll(file.get(), 4) : ""), "..abc.");  // on from the write
  ASSERT_TRUE(file->Seek(8) && file->Write("XYZ", 3) && file->Size() == 11u && file->Seek(7));
  EXPECT_EQ(ReadAll(file.get()) + ReadAll(file.get()), ".XYZ");
  EXPECT_TRUE(!file->Seek(uint64_t{1} << 63) && file->Close() && Text("ZarnoObj.lod") == "abc.....XYZ");  // longer only
  char byte;
  EXPECT_FALSE(file->Close() || file->Write("x", 1) || file->Read(&byte, 1) || file->Seek(0) || file->Flush() ||
      file->Size());
  EXPECT_TRUE(!(file = Open("zarnoobj.lod", kRead))->Write("x", 1) && file->Close());
  EXPECT_FALSE(Open("x", kCreate)->Read(&byte, 1));
  Bytes bytes = Pattern(4 * 65536 + 123); size_t at = 0; file = Open("ZarnoObj.tex", kCreate);
  for (size_t piece : {1, 7, 65536, 3, 65535, 2, 70000, 61183}) at += file->Write(&bytes[at], piece) ? piece : 0;
  ASSERT_TRUE(file->Seek(at + 3) && file->Write("b", 1) && file->Close());  // past the end: a gap
  bytes.insert(bytes.end(), {0, 0, 0, 'b'});
  EXPECT_EQ(ReadAll(Open("zarnoobj.TEX", kRead).get()), std::string(bytes.begin(), bytes.end()));
  ASSERT_TRUE((file = Open("ErrorList.txt", kCreate))->Write("line\n", 5) && Text("ErrorList.txt").empty());
  EXPECT_TRUE(file->Flush() && file->Write("kept", 4) && Text("ErrorList.txt") == "line\n");
  file.reset();  // gone without a close
  EXPECT_EQ(Text("ErrorList.txt"), "line\nkept");
  std::unique_ptr<File> small = Open("ZarnoObj.hdr", kCreate), large = Open("big", kCreate);
  rlimit old{}, lowered{};  // writes past 100 bytes fail with EFBIG
  const auto handler = ::signal(SIGXFSZ, SIG_IGN);
  ::getrlimit(RLIMIT_FSIZE, &old), lowered = old, lowered.rlim_cur = 100, ::setrlimit(RLIMIT_FSIZE, &lowered);
  EXPECT_TRUE(small->Write(bytes.data(), 1000));  // only buffered yet
  EXPECT_FALSE(small->Close() || large->Write(bytes.data(), 200000) || large->Close() ||
      p.CopyFile(In("ZarnoObj.tex"), In("x")));
  ::setrlimit(RLIMIT_FSIZE, &old), ::signal(SIGXFSZ, handler);
  EXPECT_EQ(Sorted(temp.Path()), (Names{"ErrorList.txt", "ZarnoObj.hdr", "ZarnoObj.lod", "ZarnoObj.tex", "big", "x"}));
  EXPECT_EQ(Text("x"), "");
}
TEST_F(PosixTest, CopyAndReplaceAreWholeOrNothingAndSpareReadOnlyFiles) {
  const Bytes bytes = Pattern(2 * 1024 * 1024 + 17);  // more than one copy block
  Put("dds/12plane.dds", std::string(bytes.begin(), bytes.end())), Put("Z/12.dds", "old");
  Put("ZarnoObj.hdr", "old header"), Put("ZarnoObj.hdr.new", "new"), Put("ro", "ro"), Put("Z/13.dds/x");
  ::chmod(In("ro").c_str(), 0444);  // read-only for every user, as the read-only attribute is
  for (const auto& [from, to] : {std::pair{"missing", "Z/12.dds"}, {"Z", "Z/12.dds"}, {"ZarnoObj.hdr", "Z/13.dds"},
                                 {"ZarnoObj.hdr", "missing/12.dds"}, {"ZarnoObj.hdr", "ro"}}) {
    EXPECT_FALSE(p.CopyFile(In(from), In(to))) << from << " to " << to;
  }
  EXPECT_FALSE(p.ReplaceFile(In("ZarnoObj.hdr.new"), In("RO")) || p.ReplaceFile(In("missing"), In("ZarnoObj.hdr")));
  EXPECT_TRUE(!Open("ro", kUpdate) && !Open("ro", kCreate) && Open("ro", kRead));
  EXPECT_EQ(Text("ro") + Text("Z/12.dds") + Text("ZarnoObj.hdr"), "rooldold header");
  EXPECT_EQ(Sorted(temp / "Z").size(), 2u);
  ASSERT_TRUE(p.CopyFile(In("DDS/12PLANE.DDS"), In("z/12.DDS")) && p.CopyFile(In("dds/12plane.dds"), In("Z/7.dds")));
  EXPECT_TRUE(ReadFileBytes(temp / "Z/12.dds") == bytes && ReadFileBytes(temp / "Z/7.dds") == bytes);
  EXPECT_TRUE(p.ReplaceFile(In("ZarnoObj.hdr.NEW"), In("zarnoobj.HDR")) && Text("ZarnoObj.hdr") == "new");
  EXPECT_EQ(Sorted(temp / "Z"), (Names{"12.dds", "13.dds", "7.dds"}));
  EXPECT_EQ(Sorted(temp.Path()), (Names{"Z", "ZarnoObj.hdr", "dds", "ro"}));
}
TEST_F(PosixTest, MessagesGoToStandardError) {
  const auto bar = [](const char* store, int filled, const char* percent) {
    return "\rCompacting ZarnoObj." + std::string(store) + " File [" + std::string(filled, '#') +
        std::string(40 - filled, '-') + "] " + percent;
  };
  for (bool terminal : {false, true}) {  // boxes and failures on standard error; beeps and bars only on a terminal
    PosixPlatform platform("skinwright", terminal); testing::internal::CaptureStderr();
    platform.ShowMessageBox("two\n\n", "Error", BoxIcon::kHand), platform.SignalFailure("Cannot"), platform.Beep();
    platform.ProgressSetPosition(3), platform.ProgressOpen(kProgressStageLod), platform.ProgressSetRange(200);
    for (uint32_t at : {1, 2, 3, 100, 0, 200, 900}) platform.ProgressSetPosition(at);  // drawn at a new percentage
    platform.ProgressClose(), platform.ProgressClose(), platform.ProgressOpen(kProgressStageTex);
    platform.ProgressClose(), platform.NoteWaiting("waiting");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "skinwright: Error: two\n\nskinwright: Cannot\n" +
              (terminal ? "\a\a" + bar("lod", 0, "  0%") + bar("lod", 0, "  1%") + bar("lod", 20, " 50%") +
                              bar("lod", 0, "  0%") + bar("lod", 40, "100%") + "\n" + bar("tex", 0, "  0%") +
                              "\nskinwright: waiting\n"
                        : std::string()));
  }
}
// ---- the programs on databases at every limit ----------------------------------------------------------------
// Every count at the limits; each LOD record owns 2 bytes of the store, the parents' full lists refer to all
// of them but the last `unreferenced`.
HeaderSpec Full(const HeaderLimits& l, uint32_t unreferenced = 0) {
  HeaderSpec h = StandardHeaderSpec();
  h.colors.assign(l.colorLimit, ColorRecord{{0.5f, 0.25f, 0.125f, 1.0f}}), h.lods.clear();
  h.palettes.resize(l.paletteLimit), h.textures.resize(l.textureLimit), h.parents.assign(l.parentLimit, {});
  for (uint32_t k = 0; k < l.lodLimit; ++k) h.lods.push_back({k, 0, 0, 2 * k, 2});
  for (uint32_t p = 0, at = 0; p < l.parentLimit; ++p) {
    h.parents[p].slots.assign(kMaxSlots, {1, 2, 3}), h.parents[p].dynamicPoints.assign(kMaxDynamicPoints, {4, 5, 6});
    for (float d = 1000; d <= 10000; d += 1000) {
      h.parents[p].lodRefs.push_back({int32_t(2 * (at++ % (l.lodLimit - unreferenced)) + 1), d});
    }
  }
  return h;
}
// <temp>/Objects, and <temp>/Models: the models folder of Rigwright, the texture folder of Skinwright.
struct World {
  World(bool skin, const HeaderSpec& h) : skin(skin), rec(skin ? "skinwright" : "rigwright") {
    fs::create_directories(f.objectDir / "ZarnoObj"), fs::create_directories(f.modelDir);
    const Bytes classes = BuildClassTableFile({.classes = {ClassNaming({1, 2}), ClassNaming({0, 0, 1})}});
    EXPECT_TRUE(WriteFile(f.hdrPath, BuildHeaderFile(h)) &&
                WriteFile(store, skin ? Pattern(5500, 3) : BuildLodFile(h)) &&
                WriteFile(f.objectDir / (skin ? "ZarnoObj/57.dds" : "Orvane4.ct"), skin ? Bytes{0xAA} : classes));
  }
  void Put(const std::string& name, const Bytes& bytes) { EXPECT_TRUE(WriteModelFile(f, name, bytes)); }
  void Bmp(const std::string& name, int palette, uint64_t seed) {  // palette -1: grey, no palette's colours
    BmpSpec bmp = StandardTextureBmp(16, 16, std::max(palette, 0), seed);
    Put(name, BuildBmpFile((palette < 0 ? bmp.colors = BmpSpec::GreyColors() : bmp.colors, bmp)));
  }
  int Run(const std::string& switches) {
    hdrBefore = ReadFileBytes(f.hdrPath), storeBefore = ReadFileBytes(store);
    const std::string line = switches + "~\"" + f.modelDir.string() + "\" ~\"" + f.objectDir.string() + "\"";
    const int code = (skin ? RunSkinwright : RunRigwright)(rec, line);
    EXPECT_EQ(rec.CloseRequests(), ++runs);
    return code;
  }
  std::unique_ptr<HeaderDatabase> Header() {  // read whole, every count at the limit
    const HeaderLimits& l = skin ? kSkinwrightLimits : kRigwrightLimits;
    auto db = std::make_unique<HeaderDatabase>(l);
    EXPECT_EQ(ReadHeaderDatabase(ReadFileBytes(f.hdrPath), *db, false), kReadOk);
    EXPECT_TRUE(db->colorCount == l.colorLimit && db->paletteCount == l.paletteLimit &&
                db->textureCount == l.textureLimit && db->lodCount == l.lodLimit && db->parentCount == l.parentLimit);
    return db;
  }
  void ExpectBoundedMemory(size_t largest = 0) {  // no transfer above the header database, a copy block or `largest`
    EXPECT_LE(rec.LargestTransfer(),
              std::max({size_t{1} << 20, hdrBefore.size(), ReadFileBytes(f.hdrPath).size(), largest}));
  }
  bool skin; TempFolder temp; ObjectFolder f = ObjectFolderAt(temp.Path());
  fs::path store = f.objectDir / (skin ? "ZarnoObj.tex" : "ZarnoObj.lod"); RecordingPlatform rec;
  Bytes hdrBefore, storeBefore; int32_t runs = 0;
};
TEST(Hostile, ADatabaseAtEveryRigwrightLimitIsCheckedInstalledIntoAdjustedAndCompacted) {
  World w(false, Full(kRigwrightLimits)), c(false, Full(kRigwrightLimits, 10));
  IhrSpec ihr;
  ihr.parentIndex = 7, ihr.lods = {{900, -1, "m.3ds"}}, w.Put("m.lod", Pattern(30));
  ASSERT_TRUE(WriteIhrFile(w.f.modelDir / "p7.ihr", ihr));
  EXPECT_TRUE(w.Run("@check ") == 1 && w.Run("") == 1);  // every LOD record is taken
  ASSERT_EQ(w.rec.MessageBoxes().size(), 3u);
  const MessageBoxRecord full{"LOD table is full: " + w.f.modelDir.string() + "/m.lod.", "Model File Error",
                              BoxIcon::kExclamation};
  EXPECT_EQ(w.rec.MessageBoxes()[1], full);
  EXPECT_TRUE(w.rec.Beeps() == 4 && ReadFileBytes(w.store) == w.storeBefore && w.Header()); w.ExpectBoundedMemory();
  EXPECT_TRUE(w.Run("@distance -1 -1 ") == 1 && ReadFileBytes(w.f.hdrPath) != w.hdrBefore && w.Header());
  const uint32_t kept = kRigwrightLimits.lodLimit - 10;
  EXPECT_TRUE(c.Run("@compact ") == 1 && c.rec.MessageBoxes().empty());
  EXPECT_EQ(ReadFileBytes(c.store), Bytes(c.storeBefore.begin(), c.storeBefore.begin() + 2 * kept));
  EXPECT_TRUE(c.Header()->LodTable[kept - 1].fileSize == 2u && c.Header()->LodTable[kept].fileSize == 0u);
  c.ExpectBoundedMemory();
}
TEST(Hostile, ADatabaseAtEverySkinwrightLimitTakesTexturesButNoPaletteAndTheLargestTextureInBoundedMemory) {
  World w(true, Full(kSkinwrightLimits)); BmpSpec largest = StandardTextureBmp(16, 16, 3, 9);
  largest.width = largest.height = 4096, largest.rows.assign(4096, Bytes(4096));
  for (size_t r = 0; r < 4096; ++r) {  // flat blocks: noise would take the compressor a minute under the sanitizers
    for (size_t c = 0; c < 4096; ++c) largest.rows[r][c] = uint8_t((r / 64) * 7 + (c / 64) * 13);
  }
  w.Put("1.bmp", BuildBmpFile(largest)), w.Bmp("9999.bmp", 1, 1), w.Bmp("5.bmp", -1, 2), w.Put("9998.dds", {9, 8});
  EXPECT_EQ(w.Run(""), 1);
  const MessageBoxRecord noPalette{std::string(kPaletteErrorText), std::string(kPaletteErrorTitle), BoxIcon::kHand,
                                   true};
  EXPECT_EQ(w.rec.MessageBoxes(), std::vector{noPalette});
  const auto db = w.Header(); const auto& t = db->TextureTable;
  EXPECT_TRUE(w.rec.Beeps() == 2 && t[9999].dataSize != 0u && t[9999].paletteIndex == 1u && t[5].dataSize == 0u);
  EXPECT_TRUE(t[1].width == 4096u && t[1].paletteIndex == 3u && db->maxTextureSize == std::max(t[1].dataSize, 4000u));
  EXPECT_EQ(ReadFileBytes(w.store).size(), t[0].dataSize + t[1].dataSize + t[2].dataSize + t[9999].dataSize);
  w.ExpectBoundedMemory(LzssWorstCaseSize(size_t{4096} * 4096));  // a texture's stream is written whole
  EXPECT_TRUE(w.Run("@dds ") == 1 && w.rec.Beeps() == 4 && w.Header()->TextureTable[9998].dataSize == t[0].dataSize);
  EXPECT_EQ(ReadFileBytes(w.f.objectDir / "ZarnoObj" / "9998.dds"), (Bytes{9, 8}));
}
}  // namespace
}  // namespace zarno
