// Inputs the fuzz targets of tests/fuzz found troublesome, kept as cases of
// the test suite once the code was mended. Each input is written out as it
// was found (or cut to what matters), with what it must give.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/install_paths.h"
#include "rigwright/command_line.h"
#include "rigwright/install_parent.h"
#include "rigwright/model_job_state.h"
#include "tests/support/kit.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

// ---- install-parent files ---------------------------------------------------

class InstallParentRegressionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    paths.objectDir = folder.Path().string();
    paths.objectDirSlash = paths.objectDir + "/";
    paths.modelDir = paths.objectDirSlash + "Models/";
    settings.checkRun = true;
    state = std::make_unique<ModelJobState>(platform, settings, paths);
    state->errorListFile.emplace(platform, ListPath());
    state->currentIhrName = "found.ihr";
  }

  std::string ListPath() const { return (folder / "list.txt").string(); }

  std::string Findings() {
    state->errorListFile->Close();
    state->errorListFile.reset();
    return ReadFileText(ListPath());
  }

  TempFolder folder;
  RecordingPlatform platform;
  RigwrightSettings settings;
  InstallPaths paths;
  std::unique_ptr<ModelJobState> state;
};

// The head of a file whose counts ask for 65535 dynamic points, 255 LOD
// entries and 255 slots.
constexpr std::string_view kHugeCountsHead =
    "2.0\nname\n1 2 3\nhitbox 1 2 3 4 5 6 7\nhp 1 2\nh3 1\ndyn 65535\nlods 0\nh4 1\nh5 1\nslots 255\n0\n";

// A word where the first point should be: every one of the 65535 reads
// failed on it again, copying up to 256 characters each time (a second per
// file under the sanitizers). The reads now stop at the first that takes
// nothing; what they report is the same.
TEST_F(InstallParentRegressionTest, AWordInPlaceOfThePointsStopsTheirReads) {
  const std::string text = std::string(kHugeCountsHead) + std::string(300, 'x') + "\n";
  EXPECT_EQ(ReadInstallParent(*state, text), 3);
  EXPECT_EQ(Findings(),
            "Dynamics Error \tfound.ihr - 0 - 65535\n"
            "Dynamics Error \tfound.ihr - 0 - 255\n");
  EXPECT_EQ(state->db.ParentTable[3].dynamicCount, 65535);
  EXPECT_EQ(state->db.ParentLists[3].dynamicX[0], 0.0f);
}

// Points after the end of the file count as read, all 65535 of them.
TEST_F(InstallParentRegressionTest, PointsPastTheEndCountAsRead) {
  const std::string text = std::string(kHugeCountsHead) + "1 2 3\n4 5\n";
  EXPECT_EQ(ReadInstallParent(*state, text), 3);
  EXPECT_EQ(Findings(), "");
  const ParentListRecord& lists = state->db.ParentLists[3];
  EXPECT_EQ(lists.dynamicX[1], 4.0f);
  EXPECT_EQ(lists.dynamicY[1], 5.0f);
  EXPECT_EQ(lists.dynamicZ[1], 0.0f);
}

// Two points, then a word: the count of points read stops at two.
TEST_F(InstallParentRegressionTest, PointsBeforeAWordAreCounted) {
  const std::string text = std::string(kHugeCountsHead) + "1 2 3\n4 5 6\nend\n";
  EXPECT_EQ(ReadInstallParent(*state, text), 3);
  EXPECT_EQ(Findings(),
            "Dynamics Error \tfound.ihr - 2 - 65535\n"
            "Dynamics Error \tfound.ihr - 0 - 255\n");
}

}  // namespace
}  // namespace zarno
