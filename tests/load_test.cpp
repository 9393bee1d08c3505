// Runs started at the same moment on one object folder, in processes of their own: each waits for the other, so
// afterwards the header holds what both wrote, no two blobs in use overlap, and each ends as a lone run ends. Also
// a run killed while it holds the lock, and one started right after it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "core/header_database.h"
#include "rigwright/rigwright_program.h"
#include "skinwright/skinwright_program.h"
#include "tests/support/kit.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct WallClockPlatform : RecordingPlatform {
  using RecordingPlatform::RecordingPlatform;
  void Sleep(uint32_t milliseconds) override { PosixPlatform::Sleep(milliseconds), slept += milliseconds; }
  uint32_t slept = 0;
};

struct Child { pid_t pid; int result; };  // `result`: read end of the pipe the child writes its wait to

// Starts `content`'s run once `go` can be read; the child writes how long it waited, or -1 when it did not end as
// a lone run ends. `killAfter` kills it after that many file operations.
Child Start(const fs::path& root, const std::string& content, int go, size_t killAfter = 0) {
  int result[2];
  EXPECT_EQ(pipe(result), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    char byte;
    if (go >= 0 && read(go, &byte, 1) != 1) _exit(2);
    const bool rig = content.starts_with("rig");
    WallClockPlatform platform(rig ? "rigwright" : "skinwright");
    platform.SetAfterOperation([&](const Operation&) {
      if (platform.Operations().size() == killAfter) kill(getpid(), SIGKILL);
    });
    const std::string line = "~\"" + (root / content).string() + "\" ~\"" + (root / "Objects").string() + "\"";
    const int exitCode = (rig ? RunRigwright : RunSkinwright)(platform, line);
    const bool normal = exitCode == 1 && platform.Beeps() == 2 && platform.MessageBoxes().empty();
    const int waited = normal ? int(platform.slept) : -1;
    _exit(write(result[1], &waited, sizeof waited) == sizeof waited ? 0 : 2);
  }
  close(result[1]);
  return {pid, result[0]};
}

int Finish(const Child& child) {  // -2 when the child wrote nothing
  int status = 0, waited = -1;
  EXPECT_EQ(waitpid(child.pid, &status, 0), child.pid);
  if (read(child.result, &waited, sizeof waited) != sizeof waited) waited = -2;
  return close(child.result), waited;
}

class LoadTest : public testing::Test {
 protected:
  TempFolder root;
  const fs::path objects = root / "Objects";
  std::map<int, Bytes> models;  // parent index → its model's bytes

  void SetUp() override {
    ASSERT_TRUE(WriteObjectFolder(ObjectFolderAt(root.Path()), StandardHeaderSpec()));
    ASSERT_TRUE(WriteFile(objects / "ZarnoObj.tex", MakeRandomBytes(5500, 3)));
    for (int parent : {3, 4}) {
      const fs::path content = root / ("rig" + std::to_string(parent));
      IhrSpec ihr;
      ihr.parentIndex = parent, ihr.lods = {{1000.0f, -1, "m.3ds"}};
      models[parent] = PatternBytes(parent, 3000 + 500 * parent);
      ASSERT_TRUE(fs::create_directories(content) && WriteIhrFile(content / "p.ihr", ihr));
      ASSERT_TRUE(WriteFile(content / "m.lod", models[parent]));
    }
    fs::create_directories(root / "skin");
    ASSERT_TRUE(WriteFile(root / "skin" / "1.bmp", BuildBmpFile(StandardTextureBmp(64, 64, 3, 5))));
  }

  // Whether the header holds every parent of `parents` with its own model, blobs apart, and texture 1 when
  // `texture` is set.
  void ExpectBothRunsKept(std::vector<int> parents, bool texture) {
    auto db = std::make_unique<HeaderDatabase>(kRigwrightLimits);
    ASSERT_EQ(ReadHeaderDatabase(ReadFileBytes(objects / "ZarnoObj.hdr"), *db, false), kReadOk);
    const Bytes lod = ReadFileBytes(objects / "ZarnoObj.lod");
    std::vector<std::pair<uint64_t, uint64_t>> blobs;
    for (uint32_t p = 0; p < db->parentCount; ++p) {
      for (uint32_t j = 0; j < db->ParentTable[p].lodRefCount; ++j) {
        if (db->ParentLists[p].lodRef[j] < 0) continue;
        const LodRecord& r = db->LodTable[uint32_t(db->ParentLists[p].lodRef[j]) / 2];
        ASSERT_LE(uint64_t{r.fileOffset} + r.fileSize, lod.size());
        blobs.emplace_back(r.fileOffset, uint64_t{r.fileOffset} + r.fileSize);
        if (!models.count(int(p))) continue;
        EXPECT_EQ(Bytes(lod.begin() + r.fileOffset, lod.begin() + r.fileOffset + r.fileSize), models[int(p)]);
        std::erase(parents, int(p));
      }
    }
    EXPECT_TRUE(parents.empty()) << "a run's parent is missing";
    std::sort(blobs.begin(), blobs.end());
    for (size_t i = 1; i < blobs.size(); ++i) EXPECT_LE(blobs[i - 1].second, blobs[i].first) << "overlap";
    EXPECT_EQ(db->TextureTable[1].dataSize > 0, texture) << "the texture run's record";
  }
};

TEST_F(LoadTest, RunsStartedTogetherBothKeepTheirWork) {
  const fs::path fixture = root / "fixture";
  fs::copy(objects, fixture);
  int rounds = 0, longestWait = 0;
  for (const char* other : {"rig4", "skin"}) {
    for (int round = 0; round < 25 && !HasFailure(); ++round, ++rounds) {
      fs::remove_all(objects), fs::copy(fixture, objects);
      int go[2];
      ASSERT_EQ(pipe(go), 0);
      const Child a = Start(root.Path(), "rig3", go[0]), b = Start(root.Path(), other, go[0]);
      ASSERT_EQ(write(go[1], "gg", 2), 2);
      close(go[0]), close(go[1]);
      for (const Child& child : {a, b}) {
        const int waited = Finish(child);
        EXPECT_GE(waited, 0) << "a run did not end as a lone run ends, round " << round;
        longestWait = std::max(longestWait, waited);
      }
      ExpectBothRunsKept(other[0] == 'r' ? std::vector{3, 4} : std::vector{3}, other[0] == 's');
    }
  }
  std::cout << "load: " << rounds << " rounds of two runs, longest wait " << longestWait << " ms" << std::endl;
}

TEST_F(LoadTest, AKilledRunLeavesNoLockBehind) {
  EXPECT_EQ(Finish(Start(root.Path(), "skin", -1, 12)), -2);  // died without a word
  EXPECT_EQ(Finish(Start(root.Path(), "rig3", -1)), 0);
  ExpectBothRunsKept({3}, false);
}

}  // namespace
}  // namespace zarno
