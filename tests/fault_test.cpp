// Every kind of run of both programs with each of its file operations made to fail in turn (once, from then on, as
// a full disk), and the compactions killed after each of their operations: the object folder must be a whole state
// a run may leave, nothing temporary may stay that could have been removed, a fault that changed the outcome is told.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include "core/folder_lock.h"
#include "core/replacement_journal.h"
#include "rigwright/rigwright_program.h"
#include "skinwright/skinwright_program.h"
#include "tests/support/kit.h"
#include "tests/support/recording_platform.h"
namespace zarno {
namespace {
using Snapshot = std::map<std::string, Bytes>;  // relative path → bytes, below the object folder
enum class Telling { kBox, kReport, kBeep };  // how a failure that changed the outcome is told
struct RunKind {  // `closingBeeps` of a run that gets through; `crash`: also killed after every operation
  const char* name; bool rigwright; const char* switchText; Telling telling; int closingBeeps;
  void (*build)(const fs::path& objects, const fs::path& content); bool crash;
};
void Put(const fs::path& path, const Bytes& bytes) { ASSERT_TRUE(WriteFile(path, bytes)) << path; }
void RigObjects(const fs::path& objects, const HeaderSpec& header) {
  Put(objects / "ZarnoObj.hdr", BuildHeaderFile(header));
  Put(objects / "ZarnoObj.lod", BuildLodFile(header));
  Put(objects / "Orvane4.ct", BuildClassTableFile({.classes = {ClassNaming({1, 2}), ClassNaming({0, 0, 1})}}));
}
IhrSpec Ihr(int32_t parent, std::vector<IhrLodEntry> lods) {
  IhrSpec ihr;
  return ihr.parentIndex = parent, ihr.slots = {{1, 2, 3}}, ihr.lods = std::move(lods), ihr;
}
// A new parent whose models take the free records around a reference, and an existing one again.
void Models(const fs::path& objects, const fs::path& content) {
  RigObjects(objects, StandardHeaderSpec());
  const IhrSpec tank = Ihr(3, {{8000, -1, "hi.3ds"}, {2000, 2, "x"}, {500, -1, "lo.3ds"}});
  ASSERT_TRUE(WriteIhrFile(content / "a_tank.ihr", tank));
  ASSERT_TRUE(WriteIhrFile(content / "b_hut.ihr", Ihr(1, {{1000, -1, "hut.3ds"}})));
  Put(content / "hi.lod", PatternBytes(1, 100)), Put(content / "lo.lod", PatternBytes(2, 40));
  Put(content / "hut.lod", PatternBytes(3, 60));
}
void Compactable(const fs::path& objects, const fs::path&) {
  HeaderSpec header = StandardHeaderSpec();
  header.parents[1].lodRefs = {{-1, 250.0f}};  // LOD record 3 is left to no one
  RigObjects(objects, header);
}
void Distances(const fs::path& objects, const fs::path&) { RigObjects(objects, StandardHeaderSpec()); }
void Put(const fs::path& content, std::vector<std::pair<const char*, Bytes>> files) {
  for (const auto& [name, bytes] : files) Put(content / name, bytes);
}
// Dead bytes before and between the textures, and a DDS copy of texture 57.
void TexObjects(const fs::path& objects) {
  HeaderSpec header = StandardHeaderSpec();
  header.textures[0].fileOffset = 100, header.textures[2].fileOffset = 4300;
  fs::create_directories(objects / "ZarnoObj");
  Put(objects / "ZarnoObj.hdr", BuildHeaderFile(header));
  Put(objects / "ZarnoObj.tex", MakeRandomBytes(6000, 3));
  Put(objects / "ZarnoObj" / "57.dds", {0xAA, 0xBB});
}
// A fixed palette, a replaced texture, a new palette and a width no texture has.
void Images(const fs::path& objects, const fs::path& content) {
  TexObjects(objects);
  BmpSpec fresh = StandardTextureBmp(32, 32, 0, 4);
  for (size_t i = 0; i < 256; ++i) fresh.colors[i] = {uint8_t(90 + i), uint8_t(3 * i), uint8_t(255 - i), 7};
  Put(content, {{"7.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 2, 1))}, {"20.bmp", BuildBmpFile(fresh)},
                {"2.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 6, 5))},
                {"9.bmp", BuildBmpFile(StandardTextureBmp(48, 48, 1, 6))}});
}
void OneImage(const fs::path& objects, const fs::path& content) {
  TexObjects(objects), Put(content, {{"1.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 3, 5))}});
}
void DdsImages(const fs::path& objects, const fs::path& content) {
  TexObjects(objects), Put(content, {{"57.dds", {5, 7}}, {"2.dds", {2}}, {"9.dds", {9, 9}}});
}
const RunKind kRunKinds[] = {
    {"rigwright_install", true, "", Telling::kBox, 2, Models, false},
    {"rigwright_check", true, "@check ", Telling::kReport, 2, Models, false},
    {"rigwright_compact", true, "@compact ", Telling::kBox, 0, Compactable, true},
    {"rigwright_distance", true, "@distance -1 -1 ", Telling::kBox, 0, Distances, false},
    {"skinwright_normal", false, "", Telling::kBeep, 2, Images, false},
    {"skinwright_one_image", false, "", Telling::kBeep, 2, OneImage, true},
    {"skinwright_dds", false, "@dds ", Telling::kBeep, 2, DdsImages, false},
    {"skinwright_check", false, "@check ", Telling::kReport, 2, Images, false},
};
Snapshot Take(const fs::path& folder) {
  Snapshot files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (e.is_regular_file() && e.path().filename() != kLockFileName) files[fs::relative(e, folder)] = ReadFileBytes(e);
  }
  return files;
}
bool IsTemporary(const std::string& path) {
  const std::string name = fs::path(path).filename().string();
  return name.ends_with(kNewFileSuffix) || name == kJournalFileName || name.starts_with(".zarno-copy");
}
std::string Names(const Snapshot& files) {
  std::string names;
  for (const auto& [name, bytes] : files) names += " " + name + "(" + std::to_string(bytes.size()) + ")";
  return names;
}
// Where the last blob the header of `files` records ends in the store `name`.
uint64_t RecordedEnd(const Snapshot& files, bool rigwright, const std::string& name) {
  if (!files.count("ZarnoObj.hdr")) return 0;
  auto db = std::make_unique<HeaderDatabase>(rigwright ? kRigwrightLimits : kSkinwrightLimits);
  ReadHeaderDatabase(files.at("ZarnoObj.hdr"), *db, false);
  uint64_t end = 0;
  for (uint32_t k = 0; name == "ZarnoObj.lod" && k < std::min<size_t>(db->lodCount, db->LodTable.size()); ++k) {
    end = std::max<uint64_t>(end, uint64_t{db->LodTable[k].fileOffset} + db->LodTable[k].fileSize);
  }
  for (uint32_t i = 0; name == "ZarnoObj.tex" && i < std::min<size_t>(db->textureCount, db->TextureTable.size()); ++i) {
    const TextureRecord& t = db->TextureTable[i];
    end = t.dataSize > 0 ? std::max<uint64_t>(end, uint64_t{t.fileOffset} + t.dataSize) : end;
  }
  return end;
}
// `actual` is `reference`, except for bytes a store holds behind every blob the header records.
bool IsState(const Snapshot& actual, const Snapshot& reference, bool rigwright) {
  if (actual.size() != reference.size()) return false;
  for (const auto& [name, bytes] : actual) {
    const auto other = reference.find(name);
    if (other == reference.end()) return false;
    const Bytes& ref = other->second;
    const uint64_t end = RecordedEnd(actual, rigwright, name);
    const bool onlyBehind = (name == "ZarnoObj.lod" || name == "ZarnoObj.tex") && bytes.size() >= ref.size() &&
                            end <= ref.size() && std::equal(ref.begin(), ref.begin() + end, bytes.begin());
    if (bytes != ref && !onlyBehind) return false;
  }
  return true;
}
struct Result {
  int exitCode = 0, beeps = 0, closes = 0; std::vector<MessageBoxRecord> boxes; std::vector<Operation> operations;
  Snapshot objects; std::string report, log;
};
class FaultTest : public testing::TestWithParam<RunKind> {
 protected:
  const RunKind& kind = GetParam();
  TempFolder fixture;
  void SetUp() override { fs::create_directories(fixture / "c"), fs::create_directories(fixture / "o"); Build(); }
  void Build() const { kind.build(fixture / "o", fixture / "c"); }
  // Which of `states` `objects` is; states.size() when none.
  size_t Match(const std::vector<Snapshot>& states, const Snapshot& objects) const {
    const auto is = [&](const Snapshot& s) { return IsState(objects, s, kind.rigwright); };
    return std::find_if(states.begin(), states.end(), is) - states.begin();
  }
  std::string Line(const fs::path& root, bool quiet = false) const {
    return std::string(quiet ? "" : kind.switchText) + "~\"" + (root / (quiet ? "q" : "c")).string() + "\" ~\"" +
           (root / "o").string() + "\"";
  }
  int Start(RecordingPlatform& platform, const std::string& line) const {
    return kind.rigwright ? RunRigwright(platform, line) : RunSkinwright(platform, line);
  }
  // A copy of the fixture, with `unreadable` (an input file) replaced by a folder.
  fs::path Copy(const TempFolder& place, const std::string& unreadable = {}) const {
    fs::copy(fixture.Path(), place / "r", fs::copy_options::recursive);
    fs::create_directories(place / "r" / "q");
    if (!unreadable.empty()) fs::remove(place / "r/c" / unreadable), fs::create_directory(place / "r/c" / unreadable);
    return place / "r";
  }
  Result Run(FaultMode mode, size_t number, const std::string& unreadable = {}) const {
    TempFolder place;
    const fs::path root = Copy(place, unreadable);
    RecordingPlatform platform(kind.rigwright ? "rigwright" : "skinwright");
    platform.SetFault(mode, number);
    Result r{Start(platform, Line(root)), platform.Beeps(), platform.CloseRequests(), platform.MessageBoxes(),
             platform.Operations(), {}, {}, platform.Describe()};
    const Snapshot content = Take(root / "c");
    for (const auto& [name, bytes] : content) {
      EXPECT_FALSE(IsTemporary(name)) << name;
      if (name.ends_with("ErrorList.txt")) r.report.assign(bytes.begin(), bytes.end());
    }
    // Temporary files may stay only where a removal or a rename failed; the next start finishes or throws away
    // what they hold.
    for (const auto& [name, bytes] : Take(root / "o")) {
      const bool excused = std::any_of(r.operations.begin(), r.operations.end(), [&](const Operation& o) {
        return o.failed && (o.kind == op::kReplaceFile || (o.kind == op::kRemoveFile && o.path.ends_with(name)));
      });
      EXPECT_TRUE(!IsTemporary(name) || excused) << "left behind although it could be removed: " << name;
    }
    RecordingPlatform next;
    EXPECT_TRUE(RecoverReplacement(next, (root / "o").string() + "/"));
    return r.objects = Take(root / "o"), r;
  }
  // The states a run may leave: before, after, after with one input file unreadable, and (Skinwright) with the
  // header saved but the compaction failed.
  std::vector<Snapshot> WholeStates(const Result& clean) const {
    std::vector<Snapshot> states{Take(fixture / "o"), clean.objects};
    for (const auto& e : fs::directory_iterator(fixture / "c")) {
      if (e.path().extension() != ".txt") states.push_back(Run(FaultMode::kNone, 0, e.path().filename()).objects);
    }
    const auto firstReplace = std::find_if(clean.operations.begin(), clean.operations.end(),
                                           [](const Operation& o) { return o.kind == op::kReplaceFile; });
    if (!kind.rigwright && firstReplace != clean.operations.end()) {
      states.push_back(Run(FaultMode::kOnce, size_t(firstReplace - clean.operations.begin()) + 2).objects);
    }
    return states;
  }
  bool Told(const Result& r, const Result& clean) const {
    const bool box = std::any_of(r.boxes.begin(), r.boxes.end(), [](const MessageBoxRecord& b) {
      return b.icon != BoxIcon::kAsterisk && (b.text.find('/') != std::string::npos || b.text.starts_with("No "));
    });
    if (kind.telling == Telling::kBox) return box && r.beeps == 0;
    auto first = std::find_if(r.operations.begin(), r.operations.end(), [](const Operation& o) { return o.failed; });
    const bool searchFailed = first != r.operations.end() && first->kind == op::kFindFiles;  // finds, tells nothing
    if (kind.telling == Telling::kBeep) return r.beeps == 1 || (r.beeps == 0 && r.boxes.empty() && searchFailed);
    for (size_t at = 0, end; at < r.report.size(); at = end + 1) {
      end = std::min(r.report.find('\n', at), r.report.size());
      const std::string line = r.report.substr(at, end - at);
      const bool named = line.find('/') != std::string::npos || line.starts_with("Tex ID ");
      if (named && clean.report.find(line + "\n") == std::string::npos) return true;
    }
    return (box || r.beeps == 1) && r.beeps < 2;
  }
};
TEST_P(FaultTest, EveryFaultLeavesAWholeFolderAndIsTold) {
  const Result clean = Run(FaultMode::kNone, 0);
  ASSERT_EQ(clean.beeps, kind.closingBeeps) << clean.log;
  ASSERT_LE(clean.boxes.size(), 1u);
  ASSERT_EQ(clean.objects == Take(fixture / "o"), kind.telling == Telling::kReport);
  const std::vector<Snapshot> states = WholeStates(clean);
  for (FaultMode mode : {FaultMode::kOnce, FaultMode::kFromThenOn, FaultMode::kDiskFull}) {
    for (size_t n = 1; n <= clean.operations.size() && !HasFailure(); ++n) {
      const Result r = Run(mode, n);
      SCOPED_TRACE(testing::Message() << "mode " << int(mode) << ", operation " << n << ":\n" << r.log);
      EXPECT_TRUE(r.exitCode == 1 && r.closes == 1) << r.exitCode << " " << r.closes;
      const size_t match = Match(states, r.objects);
      ASSERT_LT(match, states.size()) << "not a whole state:" << Names(r.objects);
      const bool inputSkipped = match >= 2 && r.beeps == 2;
      const bool unchanged = r.objects == clean.objects && r.report == clean.report;
      EXPECT_TRUE(inputSkipped || unchanged || Told(r, clean)) << "the failure is not told";
    }
  }
  std::cout << "fault points: " << kind.name << " " << clean.operations.size() << std::endl;
}
struct WallClockPlatform : RecordingPlatform {  // sleeps for real, and counts
  using RecordingPlatform::RecordingPlatform;
  void Sleep(uint32_t ms) override { PosixPlatform::Sleep(ms), RecordingPlatform::Sleep(ms); }
};
// Runs `line` in a forked process once a byte can be read from `go` (when given), killed with SIGKILL right after
// its `killAfter`th file operation. It exits with 10 + the 50 ms waits it made when it ended as a lone run ends
// (`beeps` beeps, no box), 255 when it did not.
pid_t Fork(bool rigwright, const std::string& line, int beeps, size_t killAfter = 0, int go = -1) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  char byte;
  if (go >= 0 && read(go, &byte, 1) != 1) _exit(2);
  WallClockPlatform platform(rigwright ? "rigwright" : "skinwright");
  platform.SetAfterOperation([&](const Operation&) {
    if (platform.Operations().size() == killAfter) kill(getpid(), SIGKILL);
  });
  const bool normal = (rigwright ? RunRigwright : RunSkinwright)(platform, line) == 1 && platform.Beeps() == beeps &&
                      platform.MessageBoxes().empty();
  _exit(normal ? 10 + int(std::min<uint64_t>(platform.Slept() / 50, 200)) : 255);
}
int Wait(pid_t pid) {  // the child's exit status; -1 when it was killed
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
TEST_P(FaultTest, AKillAfterAnyOperationLeavesAWholeFolder) {
  if (!kind.crash) GTEST_SKIP();
  const Result clean = Run(FaultMode::kNone, 0);
  const std::vector<Snapshot> states = WholeStates(clean);
  std::vector<size_t> reached(states.size());
  size_t n = 1;
  for (; n < 2000 && !HasFailure(); ++n) {
    TempFolder place;
    const fs::path root = Copy(place);
    if (Wait(Fork(kind.rigwright, Line(root), kind.closingBeeps, n)) >= 0) break;
    RecordingPlatform quiet;
    Start(quiet, Line(root, true));  // a start that finds nothing to do recovers
    const Snapshot recovered = Take(root / "o");
    const size_t match = Match(states, recovered);
    ASSERT_LT(match, states.size()) << "killed after " << n << ":" << Names(recovered);
    RecordingPlatform again;
    Start(again, Line(root)), ++reached[match];
    EXPECT_EQ(Take(root / "o"), clean.objects) << "run again after a kill at " << n;
  }
  EXPECT_TRUE(reached[0] + reached.back() > 0 && reached[1] > 0);
  std::cout << "kill points: " << kind.name << " " << n - 1 << std::endl;
}
INSTANTIATE_TEST_SUITE_P(Runs, FaultTest, testing::ValuesIn(kRunKinds),
                         [](const testing::TestParamInfo<RunKind>& info) { return std::string(info.param.name); });
// Runs started at the same moment on one object folder: each waits for the other, so afterwards the folder is byte
// for byte what the two leave one after the other, and each ended as a lone run ends. Also a run killed while it
// holds the lock (taken before its first file operation), and one started right after it.
class LoadTest : public testing::Test {
 protected:
  TempFolder root;
  const fs::path objects = root / "Objects", fixture = root / "fixture";
  void SetUp() override {
    fs::create_directories(objects), fs::create_directories(root / "skin");
    RigObjects(objects, StandardHeaderSpec()), Put(objects / "ZarnoObj.tex", MakeRandomBytes(5500, 3));
    for (int parent : {3, 4}) {
      const fs::path content = root / ("rig" + std::to_string(parent));
      fs::create_directories(content), Put(content / "m.lod", PatternBytes(parent, 3000 + 500 * parent));
      ASSERT_TRUE(WriteIhrFile(content / "p.ihr", Ihr(parent, {{1000, -1, "m.3ds"}})));
    }
    Put(root / "skin" / "1.bmp", BuildBmpFile(StandardTextureBmp(64, 64, 3, 5)));
    fs::copy(objects, fixture);
  }
  pid_t Start(const std::string& content, int go, size_t killAfter = 0) const {
    const std::string line = "~\"" + (root / content).string() + "\" ~\"" + objects.string() + "\"";
    return Fork(content.starts_with("rig"), line, 2, killAfter, go);
  }
  Snapshot OneAfterTheOther(std::vector<std::string> contents) {  // from the fixture
    fs::remove_all(objects), fs::copy(fixture, objects);
    for (const std::string& content : contents) EXPECT_EQ(Wait(Start(content, -1)), 10) << content;
    return Take(objects);
  }
};
TEST_F(LoadTest, RunsStartedTogetherLeaveTheFolderAsRunsOneAfterTheOther) {
  int rounds = 0, longestWait = 0;
  for (const char* other : {"rig4", "skin"}) {
    const Snapshot first = OneAfterTheOther({"rig3", other}), second = OneAfterTheOther({other, "rig3"});
    for (int round = 0; round < 25 && !HasFailure(); ++round, ++rounds) {
      fs::remove_all(objects), fs::copy(fixture, objects);
      int go[2];
      ASSERT_EQ(pipe(go), 0);
      const pid_t a = Start("rig3", go[0]), b = Start(other, go[0]);
      ASSERT_EQ(write(go[1], "gg", 2), 2);
      close(go[0]), close(go[1]);
      for (const pid_t child : {a, b}) {
        const int status = Wait(child);
        EXPECT_TRUE(status >= 10 && status < 255) << "a run did not end as a lone run ends, round " << round;
        longestWait = std::max(longestWait, status < 255 ? 50 * (status - 10) : 0);
      }
      const Snapshot after = Take(objects);
      EXPECT_TRUE(after == first || after == second) << "round " << round << " with " << other << ":" << Names(after);
    }
  }
  std::cout << "load: " << rounds << " rounds of two runs, longest wait " << longestWait << " ms" << std::endl;
}
TEST_F(LoadTest, AKilledRunLeavesNoLockBehind) {
  const Snapshot alone = OneAfterTheOther({"rig3"});
  fs::remove_all(objects), fs::copy(fixture, objects);
  EXPECT_EQ(Wait(Start("skin", -1, 12)), -1);
  EXPECT_EQ(Wait(Start("rig3", -1)), 10);  // no wait
  EXPECT_TRUE(IsState(Take(objects), alone, true)) << Names(Take(objects));
}
}  // namespace
}  // namespace zarno