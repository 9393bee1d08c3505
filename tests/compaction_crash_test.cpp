// Crash recovery of the compactions. A child process runs a compaction on a
// fresh copy of an object folder and is killed (SIGKILL) right after its Nth
// file operation, for N = 1, 2, ... until it gets to the end of its run. After
// every kill a normal start of the program (which recovers an interrupted
// replacement and then finds nothing to do) must leave the object folder
// holding exactly its complete old state or its complete new state, with no
// ".new" or journal file left; and a fault-free run of the same job from
// there must give the new state.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rigwright/rigwright_program.h"
#include "skinwright/skinwright_program.h"
#include "tests/crash/crash_child.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/header_builder.h"
#include "tests/support/object_folder.h"
#include "tests/support/recording_platform.h"
#include "tests/support/texture_images.h"

namespace zarno {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr const char* kChildPath = ZARNO_BIN_DIR "/compaction_crash_child";
// More operations than any run here makes; a loop that gets this far has
// lost count of them.
constexpr size_t kMaxKillPoints = 2000;

// ---- the child -----------------------------------------------------------------

enum class ChildEnd { kKilled, kFinished, kOther };

struct ChildResult {
  ChildEnd end = ChildEnd::kOther;
  int status = 0;
};

// Runs the child with standard output and error going to `log`.
ChildResult RunChild(const std::string& program, const std::string& from, size_t killAfter,
                     const std::string& line, const fs::path& log) {
  const std::string number = std::to_string(killAfter);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      ::dup2(fd, STDOUT_FILENO);
      ::dup2(fd, STDERR_FILENO);
    }
    ::execl(kChildPath, kChildPath, program.c_str(), from.c_str(), number.c_str(), line.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ChildResult result;
  if (pid < 0 || ::waitpid(pid, &result.status, 0) != pid) return result;
  if (WIFSIGNALED(result.status) && WTERMSIG(result.status) == SIGKILL) result.end = ChildEnd::kKilled;
  if (WIFEXITED(result.status) && WEXITSTATUS(result.status) == kChildFinished) result.end = ChildEnd::kFinished;
  return result;
}

// ---- folder states -----------------------------------------------------------

// Every entry of a folder by name: a file with its bytes, a folder as "/".
using FolderState = std::map<std::string, Bytes>;

FolderState ReadFolderState(const fs::path& folder) {
  FolderState state;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    state[name] = entry.is_directory() ? Bytes{'/'} : ReadFileBytes(entry.path());
  }
  return state;
}

std::string Names(const FolderState& state) {
  std::string names;
  for (const auto& [name, bytes] : state) names += " " + name + "(" + std::to_string(bytes.size()) + ")";
  return names;
}

// ---- one kind of compaction --------------------------------------------------

// A run to interrupt: the program, where the child starts counting, the
// argument line of the run, and that of a normal start that recovers and
// changes nothing else. The lines name the fixture's folders.
struct CrashScenario {
  std::string program;
  std::string from;  // "start" or "compaction"
  std::string runLine;
  std::string quietLine;
};

class CompactionCrashTest : public ::testing::Test {
 protected:
  fs::path Fixture() const { return fixture_.Path(); }
  // The object folder below a fixture's root, as ObjectFolderAt names it.
  static fs::path Objects(const fs::path& root) { return root / "Objects"; }

  static std::string Line(const std::string& switchText, const fs::path& content, const fs::path& objects) {
    return switchText + "~\"" + content.string() + "\" ~\"" + objects.string() + "\"";
  }

  // A fresh copy of the fixture; the argument lines name folders of the copy.
  fs::path FreshCopy(const TempFolder& place) const {
    const fs::path root = place / "root";
    fs::copy(Fixture(), root, fs::copy_options::recursive);
    return root;
  }

  // Runs the program in this process, as a user would start it.
  static void RunProgram(const std::string& program, const std::string& line) {
    RecordingPlatform platform(program);
    if (program == "rigwright") {
      RunRigwright(platform, line);
    } else {
      RunSkinwright(platform, line);
    }
  }

  // `line` with the fixture's folders replaced by those of its copy at `root`.
  std::string InCopy(const std::string& line, const fs::path& root) const {
    std::string result = line;
    const std::string from = Fixture().string();
    for (size_t at = result.find(from); at != std::string::npos; at = result.find(from, at)) {
      result.replace(at, from.size(), root.string());
      at += root.string().size();
    }
    return result;
  }

  // The object folder after a fault-free run of the child.
  FolderState StateAfterRun(const CrashScenario& scenario) const {
    TempFolder place;
    const fs::path root = FreshCopy(place);
    const ChildResult result = RunChild(scenario.program, "start", 0, InCopy(scenario.runLine, root),
                                        place / "child.log");
    EXPECT_EQ(result.end, ChildEnd::kFinished) << ReadFileText(place / "child.log");
    return ReadFolderState(Objects(root));
  }

  // The object folder when the child is killed as its compaction begins.
  FolderState StateBeforeCompaction(const CrashScenario& scenario) const {
    TempFolder place;
    const fs::path root = FreshCopy(place);
    const ChildResult result = RunChild(scenario.program, "compaction", 0,
                                        InCopy(scenario.runLine, root), place / "child.log");
    EXPECT_EQ(result.end, ChildEnd::kKilled) << ReadFileText(place / "child.log");
    RunProgram(scenario.program, InCopy(scenario.quietLine, root));
    return ReadFolderState(Objects(root));
  }

  struct Outcome {
    size_t killPoints = 0;
    size_t oldStates = 0;
    size_t newStates = 0;
  };

  // Kills the child after each operation in turn and checks the folder.
  Outcome KillAfterEachOperation(const CrashScenario& scenario, const FolderState& oldState,
                                 const FolderState& newState) const {
    Outcome outcome;
    for (size_t n = 1; n <= kMaxKillPoints; ++n) {
      TempFolder place;
      const fs::path root = FreshCopy(place);
      const fs::path log = place / "child.log";
      const ChildResult result =
          RunChild(scenario.program, scenario.from, n, InCopy(scenario.runLine, root), log);
      if (result.end == ChildEnd::kFinished) return outcome;
      if (result.end != ChildEnd::kKilled) {
        ADD_FAILURE() << "child ended with status " << result.status << " at operation " << n << "\n"
                      << ReadFileText(log);
        return outcome;
      }
      ++outcome.killPoints;
      RunProgram(scenario.program, InCopy(scenario.quietLine, root));
      const FolderState recovered = ReadFolderState(Objects(root));
      const bool isOld = recovered == oldState;
      const bool isNew = recovered == newState;
      outcome.oldStates += isOld ? 1 : 0;
      outcome.newStates += isNew ? 1 : 0;
      EXPECT_TRUE(isOld || isNew) << ReadFileText(log)
                                  << "folder:" << Names(recovered) << "\nold:" << Names(oldState)
                                  << "\nnew:" << Names(newState);

      RunProgram(scenario.program, InCopy(scenario.runLine, root));
      EXPECT_EQ(ReadFolderState(Objects(root)), newState) << "run again after operation " << n;
    }
    ADD_FAILURE() << "the child never got to the end of its run";
    return outcome;
  }

  TempFolder fixture_;
};

// ---- Rigwright: the compact run ----------------------------------------------

// The standard object folder, except that no parent refers to LOD record 3
// any more, so its 70 bytes (and the gaps between blobs) go.
HeaderSpec LodSpecWithUnusedRecord() {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.parents[1].lodRefs = {{-1, 250.0f}};
  return recipe;
}

TEST_F(CompactionCrashTest, RigwrightCompactRunIsWholeAfterAKillAtEveryOperation) {
  const ObjectFolder folder = ObjectFolderAt(Fixture());
  ASSERT_TRUE(WriteObjectFolder(folder, LodSpecWithUnusedRecord()));
  const fs::path objects = folder.objectDir;
  ASSERT_EQ(objects, Objects(Fixture()));
  const CrashScenario scenario{"rigwright", "start", Line("@compact ", folder.modelDir, objects),
                               Line("", folder.modelDir, objects)};

  const FolderState oldState = ReadFolderState(objects);
  const FolderState newState = StateAfterRun(scenario);
  ASSERT_EQ(oldState.size(), 2u) << Names(oldState);
  ASSERT_NE(newState, oldState);
  ASSERT_EQ(newState.size(), 2u) << Names(newState);
  EXPECT_EQ(newState.at("ZarnoObj.lod").size(), 100u + 50u + 30u);

  const Outcome outcome = KillAfterEachOperation(scenario, oldState, newState);
  EXPECT_GE(outcome.killPoints, 20u);
  EXPECT_GT(outcome.oldStates, 0u);
  EXPECT_GT(outcome.newStates, 0u);
  RecordProperty("killPoints", static_cast<int>(outcome.killPoints));
}

// ---- Skinwright: the normal run, whose compaction comes at its end ------------

// The standard header database with its two textures apart in a 6000-byte
// store: 100 dead bytes before texture 0 and 200 between the two.
HeaderSpec TexSpecWithDeadBytes() {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.textures[0].fileOffset = 100;
  recipe.textures[2].fileOffset = 4300;
  return recipe;
}

class SkinwrightCrashTest : public CompactionCrashTest {
 protected:
  void SetUp() override {
    fs::create_directories(Objects(Fixture()));
    fs::create_directories(Tex());
    fs::create_directories(Fixture() / "empty");
    ASSERT_TRUE(WriteFile(Objects(Fixture()) / "ZarnoObj.hdr", BuildHeaderFile(TexSpecWithDeadBytes())));
    ASSERT_TRUE(WriteFile(Objects(Fixture()) / "ZarnoObj.tex", MakeRandomBytes(6000, 11)));
  }
  fs::path Tex() const { return Fixture() / "tex"; }
  CrashScenario Scenario(const std::string& from) const {
    return {"skinwright", from, Line("", Tex(), Objects(Fixture())), Line("", Fixture() / "empty", Objects(Fixture()))};
  }
};

// An image that is refused (16 colours), so the run changes nothing but what
// its compaction changes.
TEST_F(SkinwrightCrashTest, NormalRunIsWholeAfterAKillAtEveryOperation) {
  BmpSpec refused = StandardTextureBmp(16, 16, 3, 5);
  refused.bitCount = 4;
  ASSERT_TRUE(WriteFile(Tex() / "1.bmp", BuildBmpFile(refused)));
  const CrashScenario scenario = Scenario("start");

  const FolderState oldState = ReadFolderState(Objects(Fixture()));
  const FolderState newState = StateAfterRun(scenario);
  ASSERT_NE(newState, oldState);
  ASSERT_EQ(newState.size(), 2u) << Names(newState);
  EXPECT_EQ(newState.at("ZarnoObj.tex").size(), 4000u + 1500u);

  const Outcome outcome = KillAfterEachOperation(scenario, oldState, newState);
  EXPECT_GE(outcome.killPoints, 20u);
  EXPECT_GT(outcome.oldStates, 0u);
  EXPECT_GT(outcome.newStates, 0u);
  RecordProperty("killPoints", static_cast<int>(outcome.killPoints));
}

// An image that is stored: the old state is the folder as the compaction
// finds it, with the new texture appended and the header database saved.
TEST_F(SkinwrightCrashTest, CompactionAfterAStoredImageIsWholeAfterAKillAtEveryOperation) {
  ASSERT_TRUE(WriteFile(Tex() / "1.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 3, 5))));
  const CrashScenario scenario = Scenario("compaction");

  const FolderState oldState = StateBeforeCompaction(scenario);
  const FolderState newState = StateAfterRun(scenario);
  ASSERT_NE(newState, oldState);
  ASSERT_EQ(oldState.size(), 2u) << Names(oldState);
  ASSERT_EQ(newState.size(), 2u) << Names(newState);
  EXPECT_GT(oldState.at("ZarnoObj.tex").size(), 6000u);
  EXPECT_LT(newState.at("ZarnoObj.tex").size(), oldState.at("ZarnoObj.tex").size());

  const Outcome outcome = KillAfterEachOperation(scenario, oldState, newState);
  EXPECT_GE(outcome.killPoints, 10u);
  EXPECT_GT(outcome.oldStates, 0u);
  EXPECT_GT(outcome.newStates, 0u);
  RecordProperty("killPoints", static_cast<int>(outcome.killPoints));
}

}  // namespace
}  // namespace zarno
