// Every kind of run of both programs, with each of its file operations made
// to fail in turn: once, from then on, and as a full disk. After every run
// the object folder must be as it was before or as the run without a fault
// leaves it (a store may keep bytes appended behind every recorded blob), no
// temporary file may stay where the run could have removed it, and a fault
// that changed the outcome must have been reported, never closed by the two
// beeps of a run that got through.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "core/header_database.h"
#include "core/replacement_journal.h"
#include "rigwright/rigwright_program.h"
#include "skinwright/skinwright_program.h"
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

// A whole file's bytes, read at once (empty when it cannot be read).
std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(file.tellg()));
  file.seekg(0);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  ASSERT_TRUE(WriteFile(path, bytes)) << path;
}

// ---- the counted operations themselves ---------------------------------------

TEST(FaultInjectingPlatform, CountsEveryFileOperationAndFailsOnlyTheChosenOne) {
  TempFolder temp;
  const std::string path = (temp / "a.bin").string();
  ASSERT_TRUE(WriteFile(path, std::vector<uint8_t>{1, 2, 3}));
  RecordingPlatform recording;
  FaultInjectingPlatform platform(recording);
  std::vector<std::string> seen;
  platform.SetAfterOperation([&seen](size_t number, std::string_view kind, const std::string&) {
    seen.push_back(std::to_string(number) + std::string(kind));
  });
  platform.SetFault(FaultMode::kOnce, 3);

  std::unique_ptr<File> file = platform.OpenFile(path, OpenMode::kUpdate);  // 1
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Size(), uint64_t{3});                                     // 2
  uint8_t bytes[3] = {};
  EXPECT_EQ(file->Read(bytes, 3), 0u);                                      // 3 fails
  EXPECT_TRUE(file->Seek(0));                                               // 4
  EXPECT_EQ(file->Read(bytes, 3), 3u);                                      // 5
  EXPECT_TRUE(file->Write(bytes, 1));                                       // 6
  EXPECT_TRUE(file->Flush());                                               // 7
  EXPECT_TRUE(file->Close());                                               // 8
  EXPECT_EQ(platform.FileSize(path), uint64_t{4});                          // 9

  EXPECT_EQ(seen, (std::vector<std::string>{"1OpenFile", "2Size", "3Read", "4Seek", "5Read", "6Write", "7Flush",
                                            "8Close", "9FileSize"}));
  EXPECT_EQ(platform.FaultsInjected(), 1u);
  EXPECT_TRUE(platform.FailedAny(fault_kind::kRead));
  EXPECT_FALSE(platform.FailedAny(fault_kind::kWrite));
}

TEST(FaultInjectingPlatform, AFullDiskStopsOnlyWhatNeedsRoom) {
  TempFolder temp;
  const std::string path = (temp / "a.bin").string();
  ASSERT_TRUE(WriteFile(path, std::vector<uint8_t>{1, 2, 3}));
  RecordingPlatform recording;
  FaultInjectingPlatform platform(recording);
  platform.SetFault(FaultMode::kDiskFull, 2);

  EXPECT_EQ(platform.FindFiles((temp / "*.bin").string()), std::vector<std::string>{"a.bin"});
  std::unique_ptr<File> reader = platform.OpenFile(path, OpenMode::kRead);
  ASSERT_NE(reader, nullptr);
  uint8_t bytes[3] = {};
  EXPECT_EQ(reader->Read(bytes, 3), 3u);
  EXPECT_TRUE(reader->Close());
  EXPECT_EQ(platform.OpenFile((temp / "b.bin").string(), OpenMode::kCreate), nullptr);
  std::unique_ptr<File> writer = platform.OpenFile(path, OpenMode::kUpdate);
  ASSERT_NE(writer, nullptr);
  EXPECT_FALSE(writer->Write(bytes, 3));
  EXPECT_FALSE(writer->Flush());
  EXPECT_FALSE(writer->Close());
  EXPECT_FALSE(platform.CopyFile(path, (temp / "c.bin").string()));
  EXPECT_TRUE(platform.RemoveFile(path));
  EXPECT_FALSE(fs::exists(temp / "b.bin"));
  EXPECT_FALSE(fs::exists(temp / "c.bin"));
}

TEST(FaultInjectingPlatform, FromThenOnEveryOperationFails) {
  TempFolder temp;
  const std::string path = (temp / "a.bin").string();
  ASSERT_TRUE(WriteFile(path, std::vector<uint8_t>{1}));
  RecordingPlatform recording;
  FaultInjectingPlatform platform(recording);
  platform.SetFault(FaultMode::kFromThenOn, 2);
  EXPECT_EQ(platform.FileSize(path), uint64_t{1});
  EXPECT_EQ(platform.FileSize(path), std::nullopt);
  EXPECT_EQ(platform.ViewFile(path), nullptr);
  EXPECT_TRUE(platform.FindFiles((temp / "*").string()).empty());
  EXPECT_FALSE(platform.RemoveFile(path));
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(platform.FaultsInjected(), 4u);
}

// ---- the journal of a DDS run ---------------------------------------------------------

std::vector<uint8_t> Text(std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); }

TEST(DdsCopyJournal, AnInterruptedDdsRunIsFinishedAtTheNextStart) {
  TempFolder temp;
  fs::create_directory(temp / "ZarnoObj");
  WriteBytes(temp / "ZarnoObj" / "57.dds", {1});
  WriteBytes(temp / "ZarnoObj" / "57.dds.new", {5, 7});
  WriteBytes(temp / "ZarnoObj.hdr.new", {9});
  WriteBytes(temp / "ZarnoObj.journal", Text("ZarnoObj/57.dds\nZarnoObj.hdr\n"));
  RecordingPlatform platform;
  EXPECT_TRUE(RecoverReplacement(platform, temp.Path().string() + "/"));
  EXPECT_EQ(ReadAll(temp / "ZarnoObj" / "57.dds"), (std::vector<uint8_t>{5, 7}));
  EXPECT_EQ(ReadAll(temp / "ZarnoObj.hdr"), std::vector<uint8_t>{9});
  EXPECT_FALSE(fs::exists(temp / "ZarnoObj.journal"));
  EXPECT_FALSE(fs::exists(temp / "ZarnoObj" / "57.dds.new"));
}

TEST(DdsCopyJournal, CopiesLeftWithoutAJournalAreThrownAway) {
  TempFolder temp;
  fs::create_directory(temp / "ZarnoObj");
  WriteBytes(temp / "ZarnoObj" / "57.dds", {1});
  WriteBytes(temp / "ZarnoObj" / "57.dds.new", {5, 7});
  WriteBytes(temp / "ZarnoObj" / "8.DDS.NEW", {8});
  RecordingPlatform platform;
  EXPECT_TRUE(RecoverReplacement(platform, temp.Path().string() + "/"));
  EXPECT_EQ(ReadAll(temp / "ZarnoObj" / "57.dds"), std::vector<uint8_t>{1});
  EXPECT_FALSE(fs::exists(temp / "ZarnoObj" / "57.dds.new"));
  EXPECT_FALSE(fs::exists(temp / "ZarnoObj" / "8.DDS.NEW"));
}

// A damaged journal may touch only the object files and the DDS copies.
TEST(DdsCopyJournal, NamesOutsideTheObjectFolderAreRefused) {
  for (const char* name : {"../ZarnoObj.hdr", "Other/57.dds", "ZarnoObj/../x", "ZarnoObj/", "ZarnoObj/a/b", ".."}) {
    SCOPED_TRACE(name);
    TempFolder temp;
    WriteBytes(temp / "ZarnoObj.journal", Text(std::string(name) + "\n"));
    RecordingPlatform platform;
    EXPECT_FALSE(RecoverReplacement(platform, temp.Path().string() + "/"));
    EXPECT_TRUE(fs::exists(temp / "ZarnoObj.journal"));
  }
}

// ---- the fixtures -------------------------------------------------------------------

constexpr const char* kObjectFolderName = "Objects";
constexpr const char* kContentFolderName = "Content";

enum class Program { kRigwright, kSkinwright };

// How a run tells of a failure that changed its outcome.
enum class Telling {
  kBox,     // a box naming a file, and not the two closing beeps
  kReport,  // a check run: a box as above, or a line of its report naming a file
  kBeep,    // Skinwright's normal and DDS runs: one beep
};

struct RunKind {
  const char* name;
  Program program;
  const char* switchText;
  Telling telling;
  int32_t closingBeeps;  // sounded by a run that gets through
  void (*buildContent)(const fs::path& root);
};

fs::path ObjectsOf(const fs::path& root) { return root / kObjectFolderName; }
fs::path ContentOf(const fs::path& root) { return root / kContentFolderName; }

IhrSpec Ihr(int32_t parentIndex, std::vector<IhrLodEntry> lods) {
  IhrSpec recipe;
  recipe.parentIndex = parentIndex;
  recipe.hitbox = {-2.0f, -1.0f, 0.5f, 2.0f, 1.0f, 3.0f, static_cast<float>(parentIndex)};
  recipe.slots = {{1.0f, 2.0f, 3.0f}};
  recipe.lods = std::move(lods);
  return recipe;
}

// The standard database with its ZarnoObj.lod and a class table that names
// parents 1 and 2, whose first distances lie below the band.
void BuildRigwrightObjects(const fs::path& root, const HeaderSpec& recipe) {
  fs::create_directories(ObjectsOf(root));
  fs::create_directories(ContentOf(root));
  WriteBytes(ObjectsOf(root) / "ZarnoObj.hdr", BuildHeaderFile(recipe));
  WriteBytes(ObjectsOf(root) / "ZarnoObj.lod", BuildLodFile(recipe));
  ClassTableSpec classes;
  classes.classes = {ClassNaming({1, 2}), ClassNaming({0, 0, 1})};
  WriteBytes(ObjectsOf(root) / "Orvane4.ct", BuildClassTableFile(classes));
}

// Two install-parent files: a new parent whose models take the two free LOD
// records around a reference to an existing one, and an existing parent
// installed again, whose model needs a new record.
void BuildModels(const fs::path& root) {
  BuildRigwrightObjects(root, StandardHeaderSpec());
  const fs::path models = ContentOf(root);
  ASSERT_TRUE(WriteIhrFile(models / "a_tank.ihr", Ihr(3, {{8000.0f, -1, "tank_hi.3ds"},
                                                          {2000.0f, 2, "unused.3ds"},
                                                          {500.0f, -1, "tank_lo.3ds"}})));
  ASSERT_TRUE(WriteIhrFile(models / "b_hut.ihr", Ihr(1, {{1000.0f, -1, "hut.3ds"}})));
  WriteBytes(models / "tank_hi.lod", PatternBytes(1, 100));
  WriteBytes(models / "tank_lo.lod", PatternBytes(2, 40));
  WriteBytes(models / "hut.lod", PatternBytes(3, 60));
}

// LOD record 3 is referred to by no parent, so a compaction has work.
void BuildCompactable(const fs::path& root) {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.parents[1].lodRefs = {{-1, 250.0f}};
  BuildRigwrightObjects(root, recipe);
}

void BuildDistances(const fs::path& root) { BuildRigwrightObjects(root, StandardHeaderSpec()); }

std::vector<BmpColor> FreshColors() {
  std::vector<BmpColor> colors(256);
  for (size_t i = 0; i < colors.size(); ++i) {
    colors[i] = {static_cast<uint8_t>(90 + i), static_cast<uint8_t>(3 * i), static_cast<uint8_t>(255 - i), 7};
  }
  return colors;
}

// The standard database, a 5500-byte store (texture 0 at 0, texture 2 at
// 4000) and a ZarnoObj folder that already holds a copy of texture 57.
void BuildTextureObjects(const fs::path& root) {
  fs::create_directories(ObjectsOf(root) / "ZarnoObj");
  fs::create_directories(ContentOf(root));
  WriteBytes(ObjectsOf(root) / "ZarnoObj.hdr", BuildHeaderFile(StandardHeaderSpec()));
  WriteBytes(ObjectsOf(root) / "ZarnoObj.tex", MakeRandomBytes(5500, 3));
  WriteBytes(ObjectsOf(root) / "ZarnoObj" / "57.dds", {0xAA, 0xBB, 0xCC});
}

// A texture of a fixed palette, one that replaces texture 2 (so the store
// holds dead data), one with a new palette, and one of a width no texture has.
void BuildImages(const fs::path& root) {
  BuildTextureObjects(root);
  const fs::path images = ContentOf(root);
  WriteBytes(images / "7.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 2, 1)));
  WriteBytes(images / "2.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 6, 5)));
  BmpSpec fresh = StandardTextureBmp(32, 32, 0, 4);
  fresh.colors = FreshColors();
  WriteBytes(images / "20.bmp", BuildBmpFile(fresh));
  WriteBytes(images / "9.bmp", BuildBmpFile(StandardTextureBmp(48, 48, 1, 6)));
}

// Texture 57 replaces a copy, 2 has a stored texture, 9 gets a placeholder.
void BuildDdsImages(const fs::path& root) {
  BuildTextureObjects(root);
  WriteBytes(ContentOf(root) / "57.dds", {5, 7});
  WriteBytes(ContentOf(root) / "2.dds", {2});
  WriteBytes(ContentOf(root) / "9.dds", {9, 9});
}

void BuildNeighbours(const fs::path& root) {
  BuildTextureObjects(root);
  for (const char* name : {"12.bmp", "12x.bmp", "13.bmp"}) WriteBytes(ContentOf(root) / name, {'b', 'm'});
}

const RunKind kRunKinds[] = {
    {"rigwright install", Program::kRigwright, "", Telling::kBox, 2, BuildModels},
    {"rigwright check", Program::kRigwright, "@check ", Telling::kReport, 2, BuildModels},
    {"rigwright compact", Program::kRigwright, "@compact ", Telling::kBox, 0, BuildCompactable},
    {"rigwright distance", Program::kRigwright, "@distance -1 -1 ", Telling::kBox, 0, BuildDistances},
    {"skinwright normal", Program::kSkinwright, "", Telling::kBeep, 2, BuildImages},
    {"skinwright dds", Program::kSkinwright, "@dds ", Telling::kBeep, 2, BuildDdsImages},
    {"skinwright check", Program::kSkinwright, "@check ", Telling::kReport, 2, BuildImages},
    {"skinwright dups", Program::kSkinwright, "@dups ", Telling::kReport, 2, BuildNeighbours},
};

// ---- folder states --------------------------------------------------------------------

// Relative path (with '/') → bytes of every regular file below a folder.
using Snapshot = std::map<std::string, std::vector<uint8_t>>;

Snapshot TakeSnapshot(const fs::path& folder) {
  Snapshot files;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), folder).generic_string()] = ReadAll(entry.path());
    }
  }
  return files;
}

bool IsTemporaryName(const std::string& relativePath) {
  const std::string name = fs::path(relativePath).filename().string();
  const bool newFile = name.size() > kNewFileSuffix.size() &&
                       name.compare(name.size() - kNewFileSuffix.size(), kNewFileSuffix.size(), kNewFileSuffix) == 0;
  return newFile || name == kJournalFileName || name.rfind(".zarno-copy", 0) == 0;
}

std::vector<std::string> TemporaryFiles(const Snapshot& files) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) {
    if (IsTemporaryName(name)) names.push_back(name);
  }
  return names;
}

Snapshot WithoutTemporaryFiles(Snapshot files) {
  std::erase_if(files, [](const auto& file) { return IsTemporaryName(file.first); });
  return files;
}

// Where the last blob that the header database of `files` records ends in
// the store `storeName`.
uint64_t RecordedStoreEnd(const Snapshot& files, Program program, const std::string& storeName) {
  const auto header = files.find("ZarnoObj.hdr");
  if (header == files.end()) return 0;
  auto db = std::make_unique<HeaderDatabase>(program == Program::kRigwright ? kRigwrightLimits : kSkinwrightLimits);
  ReadHeaderDatabase(header->second, *db, false);
  uint64_t end = 0;
  if (storeName == "ZarnoObj.lod") {
    for (uint32_t k = 0; k < std::min<size_t>(db->lodCount, db->LodTable.size()); ++k) {
      end = std::max<uint64_t>(end, uint64_t{db->LodTable[k].fileOffset} + db->LodTable[k].fileSize);
    }
  } else {
    for (uint32_t i = 0; i < std::min<size_t>(db->textureCount, db->TextureTable.size()); ++i) {
      const TextureRecord& record = db->TextureTable[i];
      if (record.dataSize > 0) end = std::max<uint64_t>(end, uint64_t{record.fileOffset} + record.dataSize);
    }
  }
  return end;
}

// A store that holds the reference's bytes and more behind them, none of
// which a record of `files` names.
bool IsStoreWithAppendedBytes(const Snapshot& files, Program program, const std::string& name,
                              const std::vector<uint8_t>& actual, const std::vector<uint8_t>& reference) {
  if (name != "ZarnoObj.lod" && name != "ZarnoObj.tex") return false;
  return actual.size() > reference.size() && std::equal(reference.begin(), reference.end(), actual.begin()) &&
         RecordedStoreEnd(files, program, name) <= reference.size();
}

// Whether the object folder `actual` is the state `reference`, allowing only
// bytes appended to a store behind every recorded blob.
bool IsState(const Snapshot& actual, const Snapshot& reference, Program program) {
  if (actual.size() != reference.size()) return false;
  for (const auto& [name, bytes] : actual) {
    const auto other = reference.find(name);
    if (other == reference.end()) return false;
    if (bytes != other->second && !IsStoreWithAppendedBytes(actual, program, name, bytes, other->second)) {
      return false;
    }
  }
  return true;
}

std::string Names(const Snapshot& files) {
  std::string names;
  for (const auto& [name, bytes] : files) names += " " + name + "(" + std::to_string(bytes.size()) + ")";
  return names;
}

// ---- one run ----------------------------------------------------------------------------

struct RunResult {
  std::vector<MessageBoxRecord> boxes;
  int32_t beeps = 0;
  int32_t closeRequests = 0;
  int exitCode = 0;
  bool faultMet = false;
  bool renameFailed = false;                  // a rename was made to fail
  std::set<std::string> unremovedNames;       // names of files whose removal was made to fail
  std::string_view firstFailure;  // the kind of the first operation made to fail
  size_t operations = 0;
  std::string operationLog;
  Snapshot objects;     // temporary files included
  Snapshot content;
};

std::string ArgumentLine(const RunKind& kind, const fs::path& root) {
  return std::string(kind.switchText) + "~\"" + ContentOf(root).string() + "\" ~\"" + ObjectsOf(root).string() + "\"";
}

RunResult RunWithFault(const RunKind& kind, const fs::path& root, FaultMode mode, size_t number) {
  RecordingPlatform recording(kind.program == Program::kRigwright ? "rigwright" : "skinwright");
  FaultInjectingPlatform platform(recording);
  platform.SetFault(mode, number);
  RunResult result;
  const std::string line = ArgumentLine(kind, root);
  result.exitCode = kind.program == Program::kRigwright ? RunRigwright(platform, line) : RunSkinwright(platform, line);
  result.boxes = recording.MessageBoxes();
  result.beeps = recording.Beeps();
  result.closeRequests = recording.CloseRequests();
  result.faultMet = platform.FaultMet();
  result.renameFailed = platform.FailedAny(fault_kind::kReplaceFile);
  for (const FaultOperation& operation : platform.Operations()) {
    if (operation.failed && operation.kind == fault_kind::kRemoveFile) {
      result.unremovedNames.insert(fs::path(operation.path).filename().string());
    }
  }
  for (const FaultOperation& operation : platform.Operations()) {
    if (!operation.failed) continue;
    result.firstFailure = operation.kind;
    break;
  }
  result.operations = platform.OperationCount();
  result.operationLog = platform.Describe();
  result.objects = TakeSnapshot(ObjectsOf(root));
  result.content = TakeSnapshot(ContentOf(root));
  return result;
}

// A fresh copy of the fixture below `target`.
void CopyFixture(const fs::path& fixture, const fs::path& target) {
  fs::copy(fixture, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::string ReportText(const RunResult& run, Program program) {
  const auto report = run.content.find(program == Program::kRigwright ? "ErrorList.txt" : "TexErrorList.txt");
  if (report == run.content.end()) return "<none>";
  return std::string(report->second.begin(), report->second.end());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The boxes of a folder search that found nothing; a search that fails finds
// nothing either.
constexpr std::string_view kNothingFoundTexts[] = {"No Install Parent files (.ihr) found.",
                                                   "No Texture files (.bmp/.dds) found."};

// A failure box that names a file, or says that a folder search found nothing.
bool ShowsFailureBox(const RunResult& run, const fs::path& root) {
  return std::any_of(run.boxes.begin(), run.boxes.end(), [&root](const MessageBoxRecord& box) {
    if (box.icon == BoxIcon::kAsterisk) return false;
    const bool nothingFound = std::find(std::begin(kNothingFoundTexts), std::end(kNothingFoundTexts), box.text) !=
                              std::end(kNothingFoundTexts);
    return nothingFound || box.text.find(root.string()) != std::string::npos;
  });
}

// A line that the report without the fault lacks, naming a file or an image.
bool ReportsALineNamingAFile(const RunResult& run, const std::string& cleanReport, Program program,
                             const fs::path& root) {
  const std::vector<std::string> clean = Lines(cleanReport);
  for (const std::string& line : Lines(ReportText(run, program))) {
    if (std::find(clean.begin(), clean.end(), line) != clean.end()) continue;
    if (line.find(root.string()) != std::string::npos || line.find("Tex ID ") != std::string::npos) return true;
  }
  return false;
}

// ---- the checks after each run ---------------------------------------------------------

struct Reference {
  Snapshot before;  // object folder, relative to the root
  Snapshot after;
  std::string report;  // the report of the run without a fault
  // What a run leaves without a fault when one of its input files cannot be
  // read, and, for a normal Skinwright run, when its compaction fails after
  // the header database was saved.
  std::vector<Snapshot> alsoWhole;
};

bool IsInputFile(const fs::path& path) {
  const std::string extension = path.extension().string();
  return extension == ".ihr" || extension == ".lod" || extension == ".bmp" || extension == ".dds";
}

class FaultInjectionTest : public ::testing::TestWithParam<RunKind> {
 protected:
  // Builds the fixture and runs it once without a fault.
  void SetUp() override {
    GetParam().buildContent(fixture_.Path());
    if (HasFatalFailure()) return;
    reference_.before = TakeSnapshot(ObjectsOf(fixture_.Path()));
    TempFolder clean;
    CopyFixture(fixture_.Path(), clean.Path());
    const RunResult run = RunWithFault(GetParam(), clean.Path(), FaultMode::kNone, 0);
    ASSERT_EQ(run.beeps, GetParam().closingBeeps) << "the run without a fault must get through";
    ASSERT_TRUE(run.boxes.size() <= 1) << run.boxes.front();  // at most a check run's report box
    ASSERT_TRUE(TemporaryFiles(run.objects).empty());
    // Only check runs leave the object folder as it was.
    ASSERT_EQ(run.objects == reference_.before, GetParam().telling == Telling::kReport);
    reference_.after = run.objects;
    reference_.report = ReportText(run, GetParam().program);
    cleanOperations_ = run.operations;
    AddStatesWithUnreadableInputs();
    AddStateOfAFailedCompaction(run.operationLog);
  }

  void AddStatesWithUnreadableInputs() {
    for (const fs::directory_entry& entry : fs::directory_iterator(ContentOf(fixture_.Path()))) {
      if (!IsInputFile(entry.path())) continue;
      TempFolder copy;
      CopyFixture(fixture_.Path(), copy.Path());
      const fs::path unreadable = ContentOf(copy.Path()) / entry.path().filename();
      fs::remove(unreadable);
      fs::create_directory(unreadable);  // a folder in the file's place cannot be read
      reference_.alsoWhole.push_back(RunWithFault(GetParam(), copy.Path(), FaultMode::kNone, 0).objects);
    }
  }

  // The compaction starts right after the header database was saved.
  void AddStateOfAFailedCompaction(const std::string& cleanLog) {
    if (GetParam().program != Program::kSkinwright) return;
    const size_t at = cleanLog.find("ReplaceFile ");
    if (at == std::string::npos) return;
    const size_t number = static_cast<size_t>(std::count(cleanLog.begin(), cleanLog.begin() + at, '\n')) + 2;
    TempFolder copy;
    CopyFixture(fixture_.Path(), copy.Path());
    reference_.alsoWhole.push_back(RunWithFault(GetParam(), copy.Path(), FaultMode::kOnce, number).objects);
  }

  // Runs with operation `number` failing in `mode`; false when the run
  // never met the fault.
  bool CheckRunWithFault(FaultMode mode, size_t number) {
    TempFolder temp;
    CopyFixture(fixture_.Path(), temp.Path());
    RunResult run = RunWithFault(GetParam(), temp.Path(), mode, number);
    if (!run.faultMet) return false;
    SCOPED_TRACE(::testing::Message() << GetParam().name << ", mode " << static_cast<int>(mode) << ", operation "
                                      << number << ":\n" << run.operationLog);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.closeRequests, 1);
    const Snapshot asLeft = WithoutTemporaryFiles(run.objects);
    CheckTemporaryFiles(run, temp.Path());
    const Snapshot objects = WithoutTemporaryFiles(run.objects);
    const bool isBefore = IsState(objects, reference_.before, GetParam().program);
    const bool isAfter = IsState(objects, reference_.after, GetParam().program);
    const bool isAlsoWhole = !isBefore && !isAfter &&
                             std::any_of(reference_.alsoWhole.begin(), reference_.alsoWhole.end(),
                                         [&](const Snapshot& s) { return IsState(objects, s, GetParam().program); });
    EXPECT_TRUE(isBefore || isAfter || isAlsoWhole) << "neither the state before nor after:" << Names(objects);
    // An input file that could not be read is skipped as the run's rules say.
    if (isAlsoWhole && run.beeps == 2) return true;
    // A journal left after all its renames, for instance, changes nothing.
    const bool unchangedOutcome = asLeft == reference_.after && objects == reference_.after &&
                                  ReportText(run, GetParam().program) == reference_.report;
    if (!unchangedOutcome) CheckFailureWasTold(run, temp.Path());
    return true;
  }

  // Temporary files may stay only where a removal or a rename failed; the
  // next start then finishes or throws away what they hold, and `run` is
  // brought to what that start leaves.
  void CheckTemporaryFiles(RunResult& run, const fs::path& root) {
    const std::vector<std::string> left = TemporaryFiles(run.objects);
    const std::vector<std::string> leftInContent = TemporaryFiles(run.content);
    EXPECT_TRUE(leftInContent.empty()) << leftInContent.front();
    if (left.empty()) return;
    // A failed rename leaves its journal and ".new" files for the next start.
    for (const std::string& name : left) {
      EXPECT_TRUE(run.renameFailed || run.unremovedNames.count(fs::path(name).filename().string()) > 0)
          << "left behind although it could be removed: " << name;
    }
    RecordingPlatform next;
    EXPECT_TRUE(RecoverReplacement(next, ObjectsOf(root).string() + "/"));
    run.objects = TakeSnapshot(ObjectsOf(root));
    EXPECT_TRUE(TemporaryFiles(run.objects).empty()) << "the next start leaves " << Names(run.objects);
  }

  void CheckFailureWasTold(const RunResult& run, const fs::path& root) {
    switch (GetParam().telling) {
      case Telling::kBox:
        EXPECT_TRUE(ShowsFailureBox(run, root)) << "no box tells of the failure";
        EXPECT_EQ(run.beeps, 0);
        break;
      case Telling::kReport:
        if (ReportsALineNamingAFile(run, reference_.report, GetParam().program, root)) break;
        EXPECT_TRUE(ShowsFailureBox(run, root) || run.beeps == 1) << "the report:\n"
                                                                       << ReportText(run, GetParam().program);
        EXPECT_LT(run.beeps, 2);
        break;
      case Telling::kBeep:
        // A search that fails finds nothing, and a run that finds no image
        // ends in silence, as it does for an empty texture folder.
        if (run.firstFailure == fault_kind::kFindFiles && run.beeps == 0 && run.boxes.empty()) break;
        EXPECT_EQ(run.beeps, 1);
        break;
    }
  }

  // Walks N from 1 until a run gets through without meeting its fault;
  // returns the number of fault points.
  size_t WalkFaultPoints(FaultMode mode, size_t limit) {
    size_t number = 1;
    while (number <= limit && CheckRunWithFault(mode, number) && !HasFailure()) ++number;
    return number - 1;
  }

  TempFolder fixture_;
  Reference reference_;
  size_t cleanOperations_ = 0;
};

TEST_P(FaultInjectionTest, EveryFaultLeavesAWholeFolderAndIsTold) {
  const size_t points = WalkFaultPoints(FaultMode::kOnce, cleanOperations_ + 1);
  EXPECT_EQ(points, cleanOperations_);
  std::cout << "fault points: " << GetParam().name << " " << points << std::endl;
  const size_t fromThenOn = WalkFaultPoints(FaultMode::kFromThenOn, points);
  EXPECT_EQ(fromThenOn, points);
  WalkFaultPoints(FaultMode::kDiskFull, points);
}

std::string RunKindName(const ::testing::TestParamInfo<RunKind>& info) {
  std::string name = info.param.name;
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(AllRuns, FaultInjectionTest, ::testing::ValuesIn(kRunKinds), RunKindName);

}  // namespace
}  // namespace zarno
