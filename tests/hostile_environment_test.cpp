// Hostile environments, end to end on the POSIX build: read-only folders and
// files, object files that are missing or folders, install-parent files that
// are folders or cannot be read, a full disk, a header database at every
// limit, a thousand install-parent files and the largest texture. Each run
// tells what went wrong, leaves the object files as they were (or as the run
// over that environment leaves them), and holds only one object of a file at
// once: a blob, a texture or the header database, never a whole store.
//
// The superuser writes into read-only folders and reads files without read
// permission all the same; for it the platform plays those permissions. A
// file without any write permission is read-only for every user, the
// superuser included, so those cases use the real permission bits.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/header_database.h"
#include "core/replacement_journal.h"
#include "rigwright/rigwright_program.h"
#include "skinwright/lzss.h"
#include "skinwright/skinwright_program.h"
#include "skinwright/texture_image.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/class_table_builder.h"
#include "tests/support/fault_platform.h"
#include "tests/support/header_builder.h"
#include "tests/support/ihr_builder.h"
#include "tests/support/object_folder.h"
#include "tests/support/recording_platform.h"
#include "tests/support/texture_images.h"

namespace zarno {
namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;
using Snapshot = std::map<std::string, Bytes>;

// The most a run may hold of a file at once outside the header database and
// single textures: one block of a copy.
constexpr size_t kCopyBlockBytes = size_t{1} << 20;
// A loose bound on how much the process's peak memory may grow in one run;
// the sanitizers' shadow memory and red zones are part of it.
constexpr long kPeakGrowthLimitKb = 512 * 1024;

bool RunningAsRoot() { return ::geteuid() == 0; }

long PeakMemoryKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A path without "." parts, doubled or trailing separators.
fs::path Normal(const std::string& path) {
  fs::path normal = fs::path(path).lexically_normal();
  return normal.has_filename() ? normal : normal.parent_path();
}

Snapshot TakeSnapshot(const fs::path& folder) {
  Snapshot files;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).generic_string()] = ReadFileBytes(entry.path());
  }
  return files;
}

std::vector<std::string> TemporaryFiles(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with(".new") || name == kJournalFileName || name.starts_with(".zarno-copy")) names.push_back(name);
  }
  return names;
}

// The permissions of a read-only folder and of unreadable files, played for
// the superuser: nothing can be created, renamed or removed in such a folder,
// and such a file cannot be opened, viewed or copied. Every call goes on to
// the platform below and is counted there.
class PermissionsPlatform : public FaultInjectingPlatform {
 public:
  using FaultInjectingPlatform::FaultInjectingPlatform;

  void AddReadOnlyFolder(const fs::path& folder) { readOnlyFolders_.insert(Normal(folder.string())); }
  void AddUnreadableFile(const fs::path& file) { unreadableFiles_.insert(Normal(file.string())); }

  std::unique_ptr<File> OpenFile(const std::string& path, OpenMode mode) override {
    if (IsUnreadable(path) || (mode == OpenMode::kCreate && InReadOnlyFolder(path) && !fs::exists(path))) {
      return nullptr;
    }
    return FaultInjectingPlatform::OpenFile(path, mode);
  }
  std::unique_ptr<FileView> ViewFile(const std::string& path) override {
    if (IsUnreadable(path)) return nullptr;
    return FaultInjectingPlatform::ViewFile(path);
  }
  bool CopyFile(const std::string& from, const std::string& to) override {
    return !IsUnreadable(from) && !InReadOnlyFolder(to) && FaultInjectingPlatform::CopyFile(from, to);
  }
  bool ReplaceFile(const std::string& from, const std::string& to) override {
    return !InReadOnlyFolder(from) && !InReadOnlyFolder(to) && FaultInjectingPlatform::ReplaceFile(from, to);
  }
  bool RemoveFile(const std::string& path) override {
    return !InReadOnlyFolder(path) && FaultInjectingPlatform::RemoveFile(path);
  }

 private:
  bool IsUnreadable(const std::string& path) const { return unreadableFiles_.count(Normal(path)) > 0; }
  bool InReadOnlyFolder(const std::string& path) const {
    return readOnlyFolders_.count(Normal(path).parent_path()) > 0;
  }

  std::set<fs::path> readOnlyFolders_;
  std::set<fs::path> unreadableFiles_;
};

MessageBoxRecord Box(const std::string& text, const std::string& caption, BoxIcon icon) {
  return {text, caption, icon};
}

IhrSpec Ihr(int32_t parentIndex, std::vector<IhrLodEntry> lods) {
  IhrSpec recipe;
  recipe.parentIndex = parentIndex;
  recipe.hitbox = {-2.0f, -1.0f, 0.5f, 2.0f, 1.0f, 3.0f, static_cast<float>(parentIndex)};
  recipe.lods = std::move(lods);
  return recipe;
}

std::vector<BmpColor> FreshColors() {
  std::vector<BmpColor> colors(256);
  for (size_t i = 0; i < colors.size(); ++i) {
    colors[i] = {static_cast<uint8_t>(90 + i), static_cast<uint8_t>(3 * i), static_cast<uint8_t>(255 - i), 7};
  }
  return colors;
}

// The standard database with LOD record 3 free, so a compaction has work.
HeaderSpec FreedLodSpec() {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.parents[1].lodRefs = {{-1, 250.0f}};
  return recipe;
}

// ---- databases at every limit ---------------------------------------------------------

// A parent with every list full; its LOD references name records
// first, first + 1, ... (wrapping below `records`).
ParentSpec FullParent(uint32_t first, uint32_t records) {
  ParentSpec parent;
  parent.hitbox = {1, 2, 3, 4, 5, 6, 7};
  parent.slots.assign(kMaxSlots, {1.0f, 2.0f, 3.0f});
  parent.dynamicPoints.assign(kMaxDynamicPoints, {4.0f, 5.0f, 6.0f});
  for (uint32_t j = 0; j < kMaxLodRefs; ++j) {
    parent.lodRefs.push_back({static_cast<int32_t>(2 * ((first + j) % records) + 1), 1000.0f * (j + 1)});
  }
  return parent;
}

// Every count at the limits of `limits`. Each LOD record owns 2 bytes of
// ZarnoObj.lod, so none is free; the parents refer to all of them but the
// last `unreferenced`.
HeaderSpec FullDatabase(const HeaderLimits& limits, uint32_t unreferenced) {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.colors.assign(limits.colorLimit, ColorRecord{{0.5f, 0.25f, 0.125f, 1.0f}});
  recipe.palettes.clear();
  for (uint32_t k = 0; k < limits.paletteLimit; ++k) recipe.palettes.push_back(TestPalette(k));
  const std::vector<TextureRecord> standardTextures = recipe.textures;
  recipe.textures.assign(limits.textureLimit, TextureRecord{});
  std::copy(standardTextures.begin(), standardTextures.end(), recipe.textures.begin());
  recipe.lods.clear();
  for (uint32_t k = 0; k < limits.lodLimit; ++k) recipe.lods.push_back({k, 0, 0, 2 * k, 2});
  recipe.parents.clear();
  const uint32_t referenced = limits.lodLimit - unreferenced;
  for (uint32_t p = 0; p < limits.parentLimit; ++p) recipe.parents.push_back(FullParent(p * kMaxLodRefs, referenced));
  return recipe;
}

// The counts a header database holds, read with `limits`.
struct Counts {
  uint32_t colors, palettes, textures, lods, parents;
  bool operator==(const Counts&) const = default;
};

Counts CountsOf(const Bytes& header, const HeaderLimits& limits, bool* readWhole = nullptr) {
  auto db = std::make_unique<HeaderDatabase>(limits);
  const ReadStatus status = ReadHeaderDatabase(header, *db, false);
  if (readWhole) *readWhole = status == kReadOk;
  return {db->colorCount, db->paletteCount, db->textureCount, db->lodCount, db->parentCount};
}

Counts LimitsOf(const HeaderLimits& limits) {
  return {limits.colorLimit, limits.paletteLimit, limits.textureLimit, limits.lodLimit, limits.parentLimit};
}

// ---- the fixture -------------------------------------------------------------------------

class HostileEnvironmentTest : public ::testing::Test {
 protected:
  HostileEnvironmentTest() { fs::create_directories(Content()); }

  // No run, whatever went wrong, leaves a temporary file behind.
  void TearDown() override { EXPECT_EQ(TemporaryFiles(temp_.Path()), std::vector<std::string>{}); }

  ~HostileEnvironmentTest() override {
    for (const auto& [path, permissions] : restore_) fs::permissions(path, permissions);
  }

  using Program = int (*)(Platform&, std::string_view);

  fs::path Objects() const { return temp_ / "Objects"; }
  fs::path Content() const { return temp_ / "Content"; }
  std::string HdrPath() const { return (Objects() / "ZarnoObj.hdr").string(); }
  std::string LodPath() const { return (Objects() / "ZarnoObj.lod").string(); }
  std::string ContentPath(const std::string& name) const { return Content().string() + "/" + name; }

  // ---- environments ----
  void WriteRigwrightObjects(const HeaderSpec& recipe) {
    fs::create_directories(Objects());
    ASSERT_TRUE(WriteFile(Objects() / "ZarnoObj.hdr", BuildHeaderFile(recipe)));
    ASSERT_TRUE(WriteFile(Objects() / "ZarnoObj.lod", BuildLodFile(recipe)));
    ClassTableSpec classes;
    classes.classes = {ClassNaming({1, 2}), ClassNaming({0, 0, 1})};
    ASSERT_TRUE(WriteFile(Objects() / "Orvane4.ct", BuildClassTableFile(classes)));
  }

  // A new parent with two models and an existing parent installed again.
  void WriteModels() {
    const IhrSpec tank = Ihr(3, {{800.0f, -1, "tank_hi.3ds"}, {200.0f, -1, "tank_lo.3ds"}});
    ASSERT_TRUE(WriteIhrFile(Content() / "a_tank.ihr", tank));
    ASSERT_TRUE(WriteIhrFile(Content() / "b_hut.ihr", Ihr(1, {{900.0f, -1, "hut.3ds"}})));
    ASSERT_TRUE(WriteFile(Content() / "tank_hi.lod", PatternBytes(1, 100)));
    ASSERT_TRUE(WriteFile(Content() / "tank_lo.lod", PatternBytes(2, 40)));
    ASSERT_TRUE(WriteFile(Content() / "hut.lod", PatternBytes(3, 60)));
  }

  void WriteTextureObjects(const HeaderSpec& recipe) {
    fs::create_directories(Objects() / "ZarnoObj");
    ASSERT_TRUE(WriteFile(Objects() / "ZarnoObj.hdr", BuildHeaderFile(recipe)));
    ASSERT_TRUE(WriteFile(Objects() / "ZarnoObj.tex", MakeRandomBytes(5500, 3)));
    ASSERT_TRUE(WriteFile(Objects() / "ZarnoObj" / "57.dds", Bytes{0xAA, 0xBB}));
  }

  void WriteImages() {
    ASSERT_TRUE(WriteFile(Content() / "7.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 2, 1))));
    BmpSpec fresh = StandardTextureBmp(32, 32, 0, 4);
    fresh.colors = FreshColors();
    ASSERT_TRUE(WriteFile(Content() / "20.bmp", BuildBmpFile(fresh)));
    ASSERT_TRUE(WriteFile(Content() / "57.dds", Bytes{5, 7}));
  }

  // A folder nothing may be created in, renamed in or removed from.
  void MakeFolderReadOnly(const fs::path& folder) {
    if (RunningAsRoot()) {
      platform_.AddReadOnlyFolder(folder);
    } else {
      SetPermissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
  }

  void MakeUnreadable(const fs::path& file) {
    if (RunningAsRoot()) {
      platform_.AddUnreadableFile(file);
    } else {
      SetPermissions(file, fs::perms::none);
    }
  }

  // Read-only for every user: no write permission bit at all.
  void MakeFileReadOnly(const fs::path& file) { SetPermissions(file, fs::perms::owner_read | fs::perms::group_read); }

  void SetPermissions(const fs::path& path, fs::perms permissions) {
    restore_.emplace_back(path, fs::status(path).permissions());
    fs::permissions(path, permissions);
  }

  // ---- runs ----
  int Run(Program program, const std::string& switchText) {
    before_ = TakeSnapshot(Objects());
    const long peakBefore = PeakMemoryKb();
    const int exitCode = program(platform_, Line(switchText));
    peakGrowthKb_ = PeakMemoryKb() - peakBefore;
    EXPECT_EQ(recording_.CloseRequests(), ++runs_);
    return exitCode;
  }
  int Rigwright(const std::string& switchText = "") { return Run(RunRigwright, switchText); }
  int Skinwright(const std::string& switchText = "") { return Run(RunSkinwright, switchText); }

  std::string Line(const std::string& switchText) const {
    return switchText + "~\"" + Content().string() + "\" ~\"" + Objects().string() + "\"";
  }

  // ---- expectations ----
  // Compact and distance runs change nothing; an install run appends its
  // blobs behind the recorded ones, which nothing then records.
  // `compactStopsAt` names the file the compaction cannot replace.
  void ExpectReadOnlyObjectsKeptByRigwright(const std::function<void()>& makeReadOnly,
                                            const std::string& compactStopsAt) {
    WriteRigwrightObjects(FreedLodSpec());
    WriteModels();
    makeReadOnly();
    const Snapshot original = TakeSnapshot(Objects());
    EXPECT_EQ(Rigwright("@compact "), 1);
    EXPECT_EQ(Rigwright("@distance -1 -1 "), 1);
    EXPECT_EQ(TakeSnapshot(Objects()), original);
    EXPECT_EQ(Rigwright(), 1);
    const MessageBoxRecord hdrBox = Box("Can not write ZarnoObj.hdr: " + HdrPath(), "File Open Error", BoxIcon::kHand);
    EXPECT_EQ(recording_.MessageBoxes(),
              (std::vector{Box("Can not write " + compactStopsAt, "File Open Error", BoxIcon::kHand),
                           hdrBox, hdrBox}));
    EXPECT_EQ(recording_.Beeps(), 0);
    ExpectObjectsUnchangedButAppendedTo("ZarnoObj.lod");
  }

  // Every run of `switches` ends with `box` alone, changing nothing.
  void ExpectEveryRigwrightRunEnds(const std::vector<std::string>& switches, const MessageBoxRecord& box) {
    for (const std::string& switchText : switches) {
      SCOPED_TRACE(switchText);
      RecordingPlatform platform;
      before_ = TakeSnapshot(Objects());
      EXPECT_EQ(RunRigwright(platform, Line(switchText)), 1);
      EXPECT_EQ(platform.MessageBoxes(), std::vector{box});
      EXPECT_EQ(platform.Beeps(), 0);
      ExpectObjectsUnchanged();
    }
  }

  void ExpectObjectsUnchanged() const { EXPECT_EQ(TakeSnapshot(Objects()), before_); }

  // The object files as they were, but for bytes appended to the store
  // `storeName` behind everything the unchanged header database records.
  void ExpectObjectsUnchangedButAppendedTo(const std::string& storeName) const {
    Snapshot now = TakeSnapshot(Objects());
    const Bytes& old = before_.at(storeName);
    Bytes& store = now.at(storeName);
    ASSERT_GE(store.size(), old.size());
    EXPECT_TRUE(std::equal(old.begin(), old.end(), store.begin()));
    store = old;
    EXPECT_EQ(now, before_);
  }

  // No read or write of the last run asked for more than the header
  // database (read and written whole), a copy block or `largestObject`; and
  // the process's peak memory grew by less than the loose limit.
  void ExpectBoundedMemory(size_t largestObject = 0) const {
    const auto header = before_.find("ZarnoObj.hdr");
    const size_t headerBytes = std::max(header == before_.end() ? 0 : header->second.size(), ReadFileBytes(HdrPath()).size());
    EXPECT_LE(platform_.LargestTransfer(), std::max({kCopyBlockBytes, headerBytes, largestObject}));
    EXPECT_LT(peakGrowthKb_, kPeakGrowthLimitKb);
  }

  TempFolder temp_;
  RecordingPlatform recording_{"rigwright"};
  PermissionsPlatform platform_{recording_};
  Snapshot before_;
  long peakGrowthKb_ = 0;
  int32_t runs_ = 0;
  std::vector<std::pair<fs::path, fs::perms>> restore_;
};

const MessageBoxRecord kPaletteBox{std::string(kPaletteErrorText), std::string(kPaletteErrorTitle), BoxIcon::kHand,
                                   true};

// ---- read-only files ---------------------------------------------------------------------

// As on Windows, where the read-only attribute stops every user.
TEST(ReadOnlyFile, IsNeitherWrittenEmptiedNorReplacedByAnyUser) {
  TempFolder temp;
  const fs::path file = temp / "ZarnoObj.hdr";
  ASSERT_TRUE(WriteFile(file, Bytes{1, 2, 3}));
  ASSERT_TRUE(WriteFile(temp / "ZarnoObj.hdr.new", Bytes{4}));
  fs::permissions(file, fs::perms::owner_read);
  PosixPlatform platform("rigwright", false);
  EXPECT_EQ(platform.OpenFile(file.string(), OpenMode::kUpdate), nullptr);
  EXPECT_EQ(platform.OpenFile(file.string(), OpenMode::kCreate), nullptr);
  EXPECT_FALSE(platform.ReplaceFile((temp / "ZarnoObj.hdr.new").string(), file.string()));
  EXPECT_FALSE(platform.CopyFile((temp / "ZarnoObj.hdr.new").string(), file.string()));
  EXPECT_NE(platform.OpenFile(file.string(), OpenMode::kRead), nullptr);
  EXPECT_EQ(ReadFileBytes(file), (Bytes{1, 2, 3}));
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(platform.ReplaceFile((temp / "ZarnoObj.hdr.new").string(), file.string()));
  EXPECT_EQ(ReadFileBytes(file), Bytes{4});
}

// ---- Rigwright --------------------------------------------------------------------------------

TEST_F(HostileEnvironmentTest, AReadOnlyObjectFolderKeepsTheObjectFiles) {
  ExpectReadOnlyObjectsKeptByRigwright([this] { MakeFolderReadOnly(Objects()); }, "ZarnoObj.lod: " + LodPath());
}

TEST_F(HostileEnvironmentTest, AReadOnlyHeaderDatabaseIsNeverReplaced) {
  ExpectReadOnlyObjectsKeptByRigwright([this] { MakeFileReadOnly(Objects() / "ZarnoObj.hdr"); },
                                       "ZarnoObj.hdr: " + HdrPath());
  EXPECT_EQ(fs::status(Objects() / "ZarnoObj.hdr").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read);
}

TEST_F(HostileEnvironmentTest, AMissingLodFileEndsEveryRunThatNeedsIt) {
  WriteRigwrightObjects(FreedLodSpec());
  WriteModels();
  fs::remove(Objects() / "ZarnoObj.lod");
  ExpectEveryRigwrightRunEnds({"", "@check ", "@compact "},
                              Box("Can not open ZarnoObj.lod: " + LodPath(), "File Open Error", BoxIcon::kHand));
  EXPECT_FALSE(fs::exists(Content() / "ErrorList.txt"));
}

TEST_F(HostileEnvironmentTest, AHeaderDatabaseThatIsAFolderEndsEveryRun) {
  WriteRigwrightObjects(StandardHeaderSpec());
  WriteModels();
  fs::remove(Objects() / "ZarnoObj.hdr");
  fs::create_directory(Objects() / "ZarnoObj.hdr");
  ExpectEveryRigwrightRunEnds({"", "@check ", "@compact ", "@distance -1 -1 "},
                              Box("Can not open ZarnoObj.hdr: " + HdrPath(), "File Open Error", BoxIcon::kHand));
  EXPECT_TRUE(fs::is_directory(Objects() / "ZarnoObj.hdr"));
}

TEST_F(HostileEnvironmentTest, AnInstallParentFileThatIsAFolderIsSkippedWithItsBox) {
  WriteRigwrightObjects(StandardHeaderSpec());
  WriteModels();
  fs::remove(Content() / "b_hut.ihr");
  fs::create_directory(Content() / "b_hut.ihr");
  EXPECT_EQ(Rigwright(), 1);
  EXPECT_EQ(recording_.MessageBoxes(), std::vector{Box("Can not open ihr file: " + ContentPath("b_hut.ihr") +
                                                           " File #2",
                                                       "ihr Open Error", BoxIcon::kExclamation)});
  EXPECT_EQ(recording_.Beeps(), 2);
  bool readWhole = false;
  EXPECT_EQ(CountsOf(ReadFileBytes(HdrPath()), kRigwrightLimits, &readWhole).parents, 4u);
  EXPECT_TRUE(readWhole);
}

TEST_F(HostileEnvironmentTest, AnUnreadableInstallParentFileIsToldAndSkipped) {
  WriteRigwrightObjects(StandardHeaderSpec());
  WriteModels();
  MakeUnreadable(Content() / "b_hut.ihr");
  EXPECT_EQ(Rigwright(), 1);
  EXPECT_EQ(recording_.MessageBoxes(), std::vector{Box("Can not open ihr file: " + ContentPath("b_hut.ihr") +
                                                           " File #2", "ihr Open Error", BoxIcon::kExclamation)});
  EXPECT_EQ(recording_.Beeps(), 2);

  RecordingPlatform checking;
  PermissionsPlatform platform(checking);
  if (RunningAsRoot()) platform.AddUnreadableFile(Content() / "b_hut.ihr");
  before_ = TakeSnapshot(Objects());
  EXPECT_EQ(RunRigwright(platform, Line("@check ")), 1);
  const std::string list = ReadFileText(Content() / "ErrorList.txt");
  EXPECT_NE(list.find("Can not open ihr file: " + ContentPath("b_hut.ihr") + " File #2\n"), std::string::npos)
      << list;
  EXPECT_EQ(checking.Beeps(), 2);
  ExpectObjectsUnchanged();
}

TEST_F(HostileEnvironmentTest, AFullDiskStopsAnInstallRunBeforeAnythingChanges) {
  WriteRigwrightObjects(StandardHeaderSpec());
  WriteModels();
  platform_.SetFault(FaultMode::kDiskFull, 1);
  EXPECT_EQ(Rigwright(), 1);
  EXPECT_EQ(recording_.MessageBoxes(),
            std::vector{Box("Can not write ZarnoObj.lod: " + LodPath(), "File Open Error", BoxIcon::kHand)});
  EXPECT_EQ(recording_.Beeps(), 0);
  ExpectObjectsUnchanged();
}

TEST_F(HostileEnvironmentTest, ADatabaseAtEveryRigwrightLimitIsInstalledIntoCheckedAndAdjusted) {
  WriteRigwrightObjects(FullDatabase(kRigwrightLimits, 0));
  ASSERT_TRUE(WriteIhrFile(Content() / "p7.ihr", Ihr(7, {{900.0f, -1, "m.3ds"}})));
  ASSERT_TRUE(WriteFile(Content() / "m.lod", PatternBytes(1, 30)));

  EXPECT_EQ(Rigwright("@check "), 1);
  EXPECT_EQ(Rigwright(), 1);
  // Every LOD record is taken: the model has none to go to.
  EXPECT_EQ(recording_.MessageBoxes(),
            (std::vector{Box("List of errors in file: " + Content().string() + "//ErrorList.txt",
                             "Rigwright Error Report", BoxIcon::kAsterisk),
                         Box("LOD table is full: " + ContentPath("m.lod") + ".", "Model File Error",
                             BoxIcon::kExclamation),
                         Box("Problem installing model " + ContentPath("p7.ihr") + " in ZO.lod file.\n",
                             "Model Install Error", BoxIcon::kExclamation)}));
  EXPECT_EQ(recording_.Beeps(), 4);
  EXPECT_EQ(ReadFileBytes(LodPath()), before_.at("ZarnoObj.lod"));
  bool readWhole = false;
  EXPECT_EQ(CountsOf(ReadFileBytes(HdrPath()), kRigwrightLimits, &readWhole), LimitsOf(kRigwrightLimits));
  EXPECT_TRUE(readWhole);
  ExpectBoundedMemory();

  EXPECT_EQ(Rigwright("@distance -1 -1 "), 1);
  EXPECT_NE(ReadFileBytes(HdrPath()), before_.at("ZarnoObj.hdr"));
  EXPECT_EQ(CountsOf(ReadFileBytes(HdrPath()), kRigwrightLimits, &readWhole), LimitsOf(kRigwrightLimits));
  EXPECT_TRUE(readWhole);
  EXPECT_EQ(recording_.MessageBoxes().size(), 3u);
}

TEST_F(HostileEnvironmentTest, ADatabaseAtEveryRigwrightLimitIsCompacted) {
  const uint32_t unreferenced = 10;
  WriteRigwrightObjects(FullDatabase(kRigwrightLimits, unreferenced));
  EXPECT_EQ(Rigwright("@compact "), 1);
  EXPECT_TRUE(recording_.MessageBoxes().empty());
  const uint32_t kept = kRigwrightLimits.lodLimit - unreferenced;
  EXPECT_EQ(ReadFileBytes(LodPath()), Bytes(before_.at("ZarnoObj.lod").begin(),
                                            before_.at("ZarnoObj.lod").begin() + 2 * kept));
  auto db = std::make_unique<HeaderDatabase>(kRigwrightLimits);
  ASSERT_EQ(ReadHeaderDatabase(ReadFileBytes(HdrPath()), *db, false), kReadOk);
  EXPECT_EQ(db->lodCount, kRigwrightLimits.lodLimit);
  EXPECT_EQ(db->LodTable[kept - 1].fileSize, 2u);
  EXPECT_EQ(db->LodTable[kept].fileSize, 0u);
  ExpectBoundedMemory();
}

TEST_F(HostileEnvironmentTest, AThousandInstallParentFilesAreInstalledOneAfterTheOther) {
  WriteRigwrightObjects(StandardHeaderSpec());
  constexpr int kFiles = 1000;
  for (int i = 0; i < kFiles; ++i) {
    const std::string n = std::to_string(10000 + i);
    ASSERT_TRUE(WriteIhrFile(Content() / ("p" + n + ".ihr"), Ihr(3 + i, {{500.0f, -1, "m" + n + ".3ds"}})));
    ASSERT_TRUE(WriteFile(Content() / ("m" + n + ".lod"), PatternBytes(i, 16)));
  }
  EXPECT_EQ(Rigwright(), 1);
  EXPECT_TRUE(recording_.MessageBoxes().empty());
  EXPECT_EQ(recording_.Beeps(), 2);
  auto db = std::make_unique<HeaderDatabase>(kRigwrightLimits);
  ASSERT_EQ(ReadHeaderDatabase(ReadFileBytes(HdrPath()), *db, false), kReadOk);
  EXPECT_EQ(db->parentCount, 3u + kFiles);
  EXPECT_EQ(db->lodCount, 6u + kFiles - 2);  // the two free records are used first
  // The last file's blob is the last one in the store.
  const uint32_t last = static_cast<uint32_t>((db->ParentLists[2 + kFiles].lodRef[0] - 1) / 2);
  const Bytes lod = ReadFileBytes(LodPath());
  EXPECT_EQ(lod.size(), db->LodTable[last].fileOffset + 16u);
  EXPECT_TRUE(std::equal(lod.end() - 16, lod.end(), PatternBytes(kFiles - 1, 16).begin()));
  ExpectBoundedMemory();
}

// ---- Skinwright -------------------------------------------------------------------------------

// Skinwright tells of these only by its one beep at the end of a run.
class HostileTextureTest : public HostileEnvironmentTest {
 protected:
  HostileTextureTest() {
    WriteTextureObjects(StandardHeaderSpec());
    WriteImages();
  }

  // An install run appends to ZarnoObj.tex but records nothing; a DDS run
  // changes nothing.
  void ExpectReadOnlyObjectsKept() {
    EXPECT_EQ(Skinwright(), 1);
    EXPECT_EQ(recording_.Beeps(), 1);
    ExpectObjectsUnchangedButAppendedTo("ZarnoObj.tex");
    EXPECT_EQ(Skinwright("@dds "), 1);
    ExpectEachRunBeepedOnceAndChangedNothing();
  }

  void ExpectEachRunBeepedOnceAndChangedNothing() const {
    EXPECT_EQ(recording_.Beeps(), runs_);
    EXPECT_TRUE(recording_.MessageBoxes().empty());
    ExpectObjectsUnchanged();
  }
};

TEST_F(HostileTextureTest, AReadOnlyObjectFolderGivesOneBeepAndKeepsTheObjectFiles) {
  MakeFolderReadOnly(Objects() / "ZarnoObj");
  MakeFolderReadOnly(Objects());
  ExpectReadOnlyObjectsKept();
}

TEST_F(HostileTextureTest, AReadOnlyHeaderDatabaseGivesOneBeepAndKeepsTheObjectFiles) {
  MakeFileReadOnly(Objects() / "ZarnoObj.hdr");
  ExpectReadOnlyObjectsKept();
}

TEST_F(HostileTextureTest, AMissingStoreGivesOneBeep) {
  fs::remove(Objects() / "ZarnoObj.tex");
  EXPECT_EQ(Skinwright(), 1);
  ExpectEachRunBeepedOnceAndChangedNothing();
}

TEST_F(HostileTextureTest, AHeaderDatabaseThatIsAFolderGivesOneBeep) {
  fs::remove(Objects() / "ZarnoObj.hdr");
  fs::create_directory(Objects() / "ZarnoObj.hdr");
  for (const char* switchText : {"", "@dds ", "@check "}) EXPECT_EQ(Skinwright(switchText), 1) << switchText;
  ExpectEachRunBeepedOnceAndChangedNothing();
  EXPECT_EQ(ReadFileText(Content() / "TexErrorList.txt"), "Models folder " + Content().string() + "//\n\n");
}

TEST_F(HostileTextureTest, AFullDiskGivesOneBeepBeforeAnythingChanges) {
  platform_.SetFault(FaultMode::kDiskFull, 1);
  EXPECT_EQ(Skinwright(), 1);
  EXPECT_EQ(Skinwright("@dds "), 1);
  ExpectEachRunBeepedOnceAndChangedNothing();
}

TEST_F(HostileEnvironmentTest, ADatabaseAtEverySkinwrightLimitTakesTexturesButNoPalette) {
  WriteTextureObjects(FullDatabase(kSkinwrightLimits, 0));
  ASSERT_TRUE(WriteFile(Content() / "9999.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 1, 1))));
  BmpSpec fresh = StandardTextureBmp(16, 16, 0, 2);
  fresh.colors = FreshColors();
  ASSERT_TRUE(WriteFile(Content() / "5.bmp", BuildBmpFile(fresh)));
  ASSERT_TRUE(WriteFile(Content() / "9998.dds", Bytes{9, 8}));

  EXPECT_EQ(Skinwright(), 1);
  // The palette table is full: the new colour table has nowhere to go.
  EXPECT_EQ(recording_.MessageBoxes(), std::vector{kPaletteBox});
  EXPECT_EQ(recording_.Beeps(), 2);
  auto db = std::make_unique<HeaderDatabase>(kSkinwrightLimits);
  ASSERT_EQ(ReadHeaderDatabase(ReadFileBytes(HdrPath()), *db, false), kReadOk);
  EXPECT_EQ(CountsOf(ReadFileBytes(HdrPath()), kSkinwrightLimits), LimitsOf(kSkinwrightLimits));
  EXPECT_NE(db->TextureTable[9999].dataSize, 0u);
  EXPECT_EQ(db->TextureTable[9999].paletteIndex, 1u);
  EXPECT_EQ(db->TextureTable[5].dataSize, 0u);
  // The store holds exactly the textures in use, back to back.
  EXPECT_EQ(ReadFileBytes(Objects() / "ZarnoObj.tex").size(),
            db->TextureTable[0].dataSize + db->TextureTable[2].dataSize + db->TextureTable[9999].dataSize);
  ExpectBoundedMemory();

  EXPECT_EQ(Skinwright("@dds "), 1);
  ASSERT_EQ(ReadHeaderDatabase(ReadFileBytes(HdrPath()), *db, false), kReadOk);
  EXPECT_EQ(db->TextureTable[9998].dataSize, db->TextureTable[0].dataSize);
  EXPECT_EQ(ReadFileBytes(Objects() / "ZarnoObj" / "9998.dds"), (Bytes{9, 8}));

  EXPECT_EQ(Skinwright("@check "), 1);
  const std::string report = ReadFileText(Content() / "TexErrorList.txt");
  EXPECT_NE(report.find("Tex ID 5 file 5.bmp has no room for its palette.\n"), std::string::npos) << report;
  EXPECT_NE(report.find("Tex ID 9999 file 9999.bmp good, so far.\n"), std::string::npos) << report;
  EXPECT_EQ(recording_.Beeps(), 6);
}

TEST_F(HostileEnvironmentTest, TheLargestTextureIsStoredWithBoundedMemory) {
  WriteTextureObjects(StandardHeaderSpec());
  // Flat 64 × 64 blocks: painted texture-like noise would take the
  // compressor most of a minute under the sanitizers.
  BmpSpec largest = StandardTextureBmp(16, 16, 3, 9);
  largest.width = largest.height = 4096;
  largest.rows.assign(4096, std::vector<uint8_t>(4096));
  for (size_t r = 0; r < 4096; ++r) {
    for (size_t c = 0; c < 4096; ++c) largest.rows[r][c] = static_cast<uint8_t>((r / 64) * 7 + (c / 64) * 13);
  }
  ASSERT_TRUE(WriteFile(Content() / "1.bmp", BuildBmpFile(largest)));
  EXPECT_EQ(Skinwright(), 1);
  EXPECT_TRUE(recording_.MessageBoxes().empty());
  EXPECT_EQ(recording_.Beeps(), 2);
  auto db = std::make_unique<HeaderDatabase>(kSkinwrightLimits);
  ASSERT_EQ(ReadHeaderDatabase(ReadFileBytes(HdrPath()), *db, false), kReadOk);
  const TextureRecord& record = db->TextureTable[1];
  EXPECT_EQ(record.width, 4096u);
  EXPECT_EQ(record.paletteIndex, 3u);
  EXPECT_EQ(db->maxTextureSize, std::max(record.dataSize, 4000u));
  EXPECT_EQ(ReadFileBytes(Objects() / "ZarnoObj.tex").size(),
            db->TextureTable[0].dataSize + record.dataSize + db->TextureTable[2].dataSize);
  // A texture's stream is written and copied whole; nothing larger is held.
  ExpectBoundedMemory(LzssWorstCaseSize(size_t{4096} * 4096));
}

}  // namespace
}  // namespace zarno
