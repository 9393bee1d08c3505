// Install-parent files the fuzzer found slow, replayed in a check run: counts of 65535 points and 255 slots
// whose reads each re-read the same word or the end of the file, now counted as the first such read finds.
#include <gtest/gtest.h>
#include <fstream>
#include "core/platform_posix.h"
#include "rigwright/install_parent.h"
namespace zarno {
TEST(FuzzRegressionTest, PointReadsStopAtAWordAndTakeTheEndOfTheFileAsRead) {
  const std::string head = "2.0\nN\n1 2 3\nH 1 2 3 4 5 6 7\nP 1 2\nP3 1\nD 65535\nL 0\nP4 1\nP5 1\nS 255\n0\n";
  const std::string list = testing::TempDir() + "fuzz_regression.txt", e = "Dynamics Error \tf.ihr - ";
  const struct { std::string tail, findings; std::array<float, 3> second; } cases[] = {
      {std::string(300, 'x') + "\n", e + "0 - 65535\n" + e + "0 - 255\n", {0, 0, 0}}, {"1 2 3\n4 5\n", "", {4, 5, 0}},
      {"1 2 3\n4 5 6\nend\n", e + "2 - 65535\n" + e + "0 - 255\n", {4, 5, 6}}};
  for (const auto& c : cases) {
    PosixPlatform platform("test", false);
    const RigwrightSettings settings{.checkRun = true, .folders = {}};
    const InstallPaths paths;
    ModelJobState state(platform, settings, paths);
    state.errorListFile.emplace(platform, list), state.currentIhrName = "f.ihr";
    EXPECT_EQ(ReadInstallParent(state, head + c.tail), 3);
    state.errorListFile->Close();
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(std::ifstream(list).rdbuf()), {}), c.findings) << c.tail;
    const ParentListRecord& lists = state.db.ParentLists[3];
    EXPECT_EQ((std::array{lists.dynamicX[1], lists.dynamicY[1], lists.dynamicZ[1]}), c.second) << c.tail;
  }
}
}  // namespace zarno
