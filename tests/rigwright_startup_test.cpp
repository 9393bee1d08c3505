#include <gtest/gtest.h>

#include "core/install_paths.h"
#include "rigwright/command_line.h"
#include "rigwright/rigwright_program.h"
#include "core/byte_stream.h"
#include "tests/support/header_builder.h"
#include "tests/support/object_folder.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

constexpr const char* kHostKey = "Software\\Vantorelle\\Orvane\\4.0";

struct FolderCase {
  const char* line;
  const char* registered;  // nullptr: no registered object folder
  const char* objectDir;
  const char* modelDir;
};

TEST(ResolveModelFolders, BuildsEveryPathFromTheArgumentsOrTheCurrentDirectory) {
  const FolderCase cases[] = {
      {"", nullptr, "/cwd", "/cwd/Models/"},
      {"~\"/data/models\"", nullptr, "/cwd", "/data/models/"},
      {"~\"/m\" ~\"/objects\"", nullptr, "/objects", "/m/"},
      {"~\"/m\" ~\"/objects/\"", nullptr, "/objects/", "/m/"},
      {"@check ~\"/m\" ~\"/objects\"", "/registered", "/registered", "/m/"},
      {"~\"/m\" ~\"check\"", "/registered", "/registered", "/m/"},
      {"~\"/m\" ~\"check\"", nullptr, "check", "/m/"},
      {"@check", "/registered", "/cwd", "/cwd/Models/"},
      {"@compact ~\"/m\" ~\"/objects\"", "/registered", "/objects", "/m/"},
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.line);
    RecordingPlatform platform;
    platform.SetCurrentDirectory("/cwd");
    if (c.registered) platform.SetRegistryValue(kHostKey, "objectDir", c.registered);
    RigwrightSettings settings = ParseRigwrightArguments(c.line);
    InstallPaths paths;
    ASSERT_TRUE(ResolveModelFolders(platform, settings.checkRun, settings.folders, paths));
    const std::string objectDir = c.objectDir;
    EXPECT_EQ(paths.objectDir, objectDir);
    EXPECT_EQ(paths.objectDirSlash, objectDir + "/");
    EXPECT_EQ(paths.hdrPath, objectDir + "/ZarnoObj.hdr");
    EXPECT_EQ(paths.lodPath, objectDir + "/ZarnoObj.lod");
    EXPECT_EQ(paths.modelDir, c.modelDir);
    // Only check runs look at the registry.
    EXPECT_EQ(platform.RegistryReads().size(), settings.checkRun ? 1u : 0u);
  }
}

TEST(ResolveModelFolders, AsksForTheHostsKeyAndValue) {
  RecordingPlatform platform;
  RigwrightSettings settings = ParseRigwrightArguments("@check ~\"/m\" ~\"/o\"");
  InstallPaths paths;
  ASSERT_TRUE(ResolveModelFolders(platform, settings.checkRun, settings.folders, paths));
  ASSERT_EQ(platform.RegistryReads().size(), 1u);
  EXPECT_EQ(platform.RegistryReads()[0].first, kHostKey);
  EXPECT_EQ(platform.RegistryReads()[0].second, "objectDir");
  EXPECT_EQ(paths.objectDir, "/o");
}

TEST(ResolveModelFolders, KeepsTheArgumentWhenTheKeyCannotBeOpened) {
  RecordingPlatform platform;
  platform.SetRegistryValue(kHostKey, "objectDir", "/registered");
  platform.SetRegistryKeyUnavailable(true);
  RigwrightSettings settings = ParseRigwrightArguments("@check ~\"/m\" ~\"/o\"");
  InstallPaths paths;
  ASSERT_TRUE(ResolveModelFolders(platform, settings.checkRun, settings.folders, paths));
  EXPECT_EQ(paths.objectDir, "/o");
}

TEST(RunRigwright, ShowsTheStartupBoxAndExitsWithZeroWhenItCannotStart) {
  RecordingPlatform platform;
  platform.SetCurrentDirectory(std::nullopt);
  EXPECT_EQ(RunRigwright(platform, ""), 0);
  ASSERT_EQ(platform.MessageBoxes().size(), 1u);
  EXPECT_EQ(platform.MessageBoxes()[0],
            (MessageBoxRecord{"Rigwright couldn't start!", "", BoxIcon::kNone, false}));
  EXPECT_EQ(platform.CloseRequests(), 0);
  EXPECT_TRUE(platform.FileOperations().empty());
}

TEST(RunRigwright, EndsAFailedFirstStepWithOneCloseRequestAndExitCodeOne) {
  TempFolder folder;
  RecordingPlatform platform;
  const std::string objects = (folder / "objects").string();
  EXPECT_EQ(RunRigwright(platform, "~\"" + (folder / "models").string() + "\" ~\"" + objects + "\""), 1);
  ASSERT_EQ(platform.MessageBoxes().size(), 1u);
  EXPECT_EQ(platform.MessageBoxes()[0],
            (MessageBoxRecord{"Can not open ZarnoObj.hdr: " + objects + "/ZarnoObj.hdr", "File Open Error",
                              BoxIcon::kHand, false}));
  EXPECT_EQ(platform.CloseRequests(), 1);
  EXPECT_EQ(platform.Beeps(), 0);
}

struct RejectedHeaderCase {
  const char* what;
  size_t cutTo;        // 0: keep the whole file
  uint32_t colorCount; // 0: as built
  const char* reason;
};

TEST(RunRigwright, NeverBuildsOnAHeaderItCouldNotReadWhole) {
  const RejectedHeaderCase cases[] = {
      {"truncated", 100, 0, "the file ends before its last parent's lists"},
      {"colour count above the limit", 0, 2001, nullptr},
  };
  for (const RejectedHeaderCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    HeaderSpec recipe = StandardHeaderSpec();
    std::vector<uint8_t> header = BuildHeaderFile(recipe);
    if (c.colorCount) StoreLong(header.data() + 4, c.colorCount);
    // Cut inside the last parent's lists, after every count was read.
    if (c.cutTo) header.resize(header.size() - c.cutTo);
    ASSERT_TRUE(WriteFile(folder / "ZarnoObj.hdr", header));
    RecordingPlatform platform;
    for (const char* line : {"", "@compact", "@distance", "@check"}) {
      const std::string args = std::string(line) + " ~\"" + (folder / "Models").string() + "\" ~\"" +
                               folder.Path().string() + "\"";
      EXPECT_EQ(RunRigwright(platform, args), 1);
    }
    ASSERT_EQ(platform.MessageBoxes().size(), 4u);
    for (const MessageBoxRecord& box : platform.MessageBoxes()) {
      EXPECT_EQ(box.caption, "File Read Error");
      EXPECT_EQ(box.icon, BoxIcon::kHand);
      EXPECT_EQ(box.text.rfind("Can not read ZarnoObj.hdr: " + (folder / "ZarnoObj.hdr").string() + " (", 0), 0u)
          << box.text;
      if (c.reason) {
        EXPECT_NE(box.text.find(c.reason), std::string::npos) << box.text;
      }
    }
    EXPECT_EQ(platform.CloseRequests(), 4);
    EXPECT_EQ(ReadFileBytes(folder / "ZarnoObj.hdr"), header);
  }
}

}  // namespace
}  // namespace zarno
