#include <gtest/gtest.h>

#include "core/argument_line.h"
#include "rigwright/command_line.h"

namespace zarno {
namespace {

struct LineCase {
  const char* line;
  bool checkRun, compactRun, distanceRun;
  int32_t filterA, filterB;
  float nearDistance, farDistance;
  bool modelGiven;
  const char* modelDir;
  bool objectGiven;
  const char* objectDir;
};

TEST(RigwrightCommandLine, ParsesEveryFormOfTheLine) {
  const LineCase cases[] = {
      {"", false, false, false, -1, -1, 25000, 150000, false, "", false, ""},
      {"@COMPACT", false, true, false, -1, -1, 25000, 150000, false, "", false, ""},
      {"@checkall", true, false, false, -1, -1, 25000, 150000, false, "", false, ""},
      {"@distance", false, false, true, -1, -1, 25000, 150000, false, "", false, ""},
      {"@distance   ", false, false, true, -1, -1, 25000, 150000, false, "", false, ""},
      {"@distance 3", false, false, true, 3, -1, 25000, 150000, false, "", false, ""},
      {"@distance 3 7 20000", false, false, true, 3, 7, 20000, 150000, false, "", false, ""},
      {"@distance -1 4 1000.5 2e5", false, false, true, -1, 4, 1000.5f, 200000, false, "", false, ""},
      {"@Distance 3x", false, false, true, 3, -1, 25000, 150000, false, "", false, ""},
      {"@distance ~\"D:\\Models\"", false, false, false, -1, -1, 25000, 150000, true, "D:\\Models", false, ""},
      {"@distance 2 ~\"D:\\Models\"", false, false, true, 2, -1, 25000, 150000, true, "D:\\Models", false, ""},
      {"@check @compact", true, false, false, -1, -1, 25000, 150000, false, "", false, ""},
      {"@compact ~\"D:\\Models\" ~\"check\"", true, true, false, -1, -1, 25000, 150000, true, "D:\\Models", true, "check"},
      {"~\"D:\\Models\" ~\"check\"", true, false, false, -1, -1, 25000, 150000, true, "D:\\Models", true, "check"},
      {"~\"D:\\Models\" ~\"CHECKS\"", true, false, false, -1, -1, 25000, 150000, true, "D:\\Models", true, "CHECKS"},
      {"@check ~\"D:\\Models\" ~\"D:\\Objects\"", true, false, false, -1, -1, 25000, 150000, true, "D:\\Models", true, "D:\\Objects"},
      {"~\"D:\\Models\"", false, false, false, -1, -1, 25000, 150000, true, "D:\\Models", false, ""},
      {"~D:\\My Models", false, false, false, -1, -1, 25000, 150000, true, "D:\\My Models", false, ""},
      {"~D:\\Models~D:\\Objects", false, false, false, -1, -1, 25000, 150000, true, "D:\\Model", true, ":\\Objects"},
      {"~\"D:\\PROGRA~1\\Models\"", false, false, false, -1, -1, 25000, 150000, true, "D:\\PROGR", true, "\\Models"},
      {"~\"D:\\M@dels\"", false, false, false, -1, -1, 25000, 150000, true, "D:\\M@dels", false, ""},
      {"~\"D:\\@check\"", true, false, false, -1, -1, 25000, 150000, true, "D:\\@check", false, ""},
      {"~\"a\" ~\"b\" ~\"c\"", false, false, false, -1, -1, 25000, 150000, true, "a", true, "b\" ~\"c"},
      {"~", false, false, false, -1, -1, 25000, 150000, true, "", false, ""},
      {"~~", false, false, false, -1, -1, 25000, 150000, true, "", true, ""},
      {"~\"x\" ~", false, false, false, -1, -1, 25000, 150000, true, "x", true, ""},
      {"@distance 99999999999", false, false, true, INT32_MAX, -1, 25000, 150000, false, "", false, ""},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line);
    RigwrightSettings s = ParseRigwrightArguments(c.line);
    EXPECT_EQ(s.checkRun, c.checkRun);
    EXPECT_EQ(s.compactRun, c.compactRun);
    EXPECT_EQ(s.distanceRun, c.distanceRun);
    EXPECT_EQ(s.distanceFilterA, c.filterA);
    EXPECT_EQ(s.distanceFilterB, c.filterB);
    EXPECT_EQ(s.nearDistance, c.nearDistance);
    EXPECT_EQ(s.farDistance, c.farDistance);
    EXPECT_EQ(s.folders.contentDirGiven, c.modelGiven);
    EXPECT_EQ(s.folders.contentDirArg, c.modelDir);
    EXPECT_EQ(s.folders.objectDirGiven, c.objectGiven);
    EXPECT_EQ(s.folders.objectDirArg, c.objectDir);
  }
}

TEST(RigwrightCommandLine, HoldsLongFolderArgumentsWhole) {
  std::string models(2000, 'm');
  std::string objects(3000, 'o');
  RigwrightSettings s = ParseRigwrightArguments("~\"" + models + "\" ~\"" + objects + "\"");
  EXPECT_EQ(s.folders.contentDirArg, models);
  EXPECT_EQ(s.folders.objectDirArg, objects);
}

TEST(ArgumentLine, JoinsPosixArgumentsAsOneLine) {
  struct JoinCase {
    std::vector<const char*> argv;
    const char* line;
  };
  const JoinCase cases[] = {
      {{"rigwright"}, ""},
      {{"rigwright", "@check", "~/data/models", "~/data/objects"}, "@check ~\"/data/models\" ~\"/data/objects\""},
      {{"rigwright", "@check ~\"/data/models\" ~\"/data/objects\""}, "@check ~\"/data/models\" ~\"/data/objects\""},
      {{"rigwright", "~\"/a b\"", "~"}, "~\"/a b\" ~\"\""},
      {{"rigwright", "@distance", "3", "7"}, "@distance 3 7"},
  };
  for (const JoinCase& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(JoinArguments(static_cast<int>(c.argv.size()), c.argv.data()), c.line);
  }
  const char* split[] = {"rigwright", "@check", "~/data/models", "~/data/objects"};
  RigwrightSettings a = ParseRigwrightArguments(JoinArguments(4, split));
  RigwrightSettings b = ParseRigwrightArguments("@check ~\"/data/models\" ~\"/data/objects\"");
  EXPECT_EQ(a.folders.contentDirArg, b.folders.contentDirArg);
  EXPECT_EQ(a.folders.objectDirArg, "/data/objects");
  EXPECT_TRUE(a.checkRun);
}

}  // namespace
}  // namespace zarno
