#include <gtest/gtest.h>

#include <string>

#include "core/install_paths.h"
#include "skinwright/command_line.h"
#include "skinwright/skinwright_program.h"
#include "skinwright/texture_id.h"
#include "skinwright/texture_paths.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

struct LineCase {
  const char* line;
  bool checkRun, dupsOnly, ddsRun;
  bool texGiven;
  const char* texDir;
  bool objectGiven;
  const char* objectDir;
};

TEST(SkinwrightCommandLine, ParsesEveryFormOfTheLine) {
  const LineCase cases[] = {
      {"", false, false, false, false, "", false, ""},
      {"@DDS", false, false, true, false, "", false, ""},
      {"@checkall", true, false, false, false, "", false, ""},
      {"@Check", true, false, false, false, "", false, ""},
      {"@check @dds", true, false, false, false, "", false, ""},
      {"@dds @check", false, false, true, false, "", false, ""},
      {"@dups", true, true, false, false, "", false, ""},
      {"@DUPSx", true, true, false, false, "", false, ""},
      {"@dup", false, false, false, false, "", false, ""},
      {"@ds", false, false, false, false, "", false, ""},
      {"@nonsense", false, false, false, false, "", false, ""},
      {"@", false, false, false, false, "", false, ""},
      {"@dds ~\"D:\\Textures\" ~\"D:\\Objects\"", false, false, true, true, "D:\\Textures", true, "D:\\Objects"},
      {"~\"D:\\Textures\" ~\"check\"", true, false, false, true, "D:\\Textures", true, "check"},
      {"@dds ~\"D:\\Textures\" ~\"check\"", true, false, true, true, "D:\\Textures", true, "check"},
      {"~\"D:\\Textures\" ~\"Checked\"", true, false, false, true, "D:\\Textures", true, "Checked"},
      {"~\"D:\\Textures\"", false, false, false, true, "D:\\Textures", false, ""},
      {"~D:\\My Textures", false, false, false, true, "D:\\My Textures", false, ""},
      {"~D:\\Textures~D:\\Objects", false, false, false, true, "D:\\Texture", true, ":\\Objects"},
      {"~\"D:\\TEXTUR~1\\Skins\"", false, false, false, true, "D:\\TEXTU", true, "\\Skins"},
      {"~\"D:\\T@xtures\"", false, false, false, true, "D:\\T@xtures", false, ""},
      {"~\"D:\\@dds\"", false, false, true, true, "D:\\@dds", false, ""},
      {"@check ~\"D:\\@dds\"", true, false, false, true, "D:\\@dds", false, ""},
      {"~\"a\" ~\"b\" ~\"c\"", false, false, false, true, "a", true, "b\" ~\"c"},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line);
    SkinwrightSettings s = ParseSkinwrightArguments(c.line);
    EXPECT_EQ(s.checkRun, c.checkRun);
    EXPECT_EQ(s.dupsOnly, c.dupsOnly);
    EXPECT_EQ(s.ddsRun, c.ddsRun);
    EXPECT_EQ(s.folders.contentDirGiven, c.texGiven);
    EXPECT_EQ(s.folders.contentDirArg, c.texDir);
    EXPECT_EQ(s.folders.objectDirGiven, c.objectGiven);
    EXPECT_EQ(s.folders.objectDirArg, c.objectDir);
  }
}

TEST(SkinwrightCommandLine, HoldsLongFolderArgumentsWhole) {
  std::string textures(1500, 't');
  SkinwrightSettings s = ParseSkinwrightArguments("~\"" + textures + "\" ~\"/objects\"");
  EXPECT_EQ(s.folders.contentDirArg, textures);
  EXPECT_EQ(s.folders.objectDirArg, "/objects");
}

// ---- folders ------------------------------------------------------------------

InstallPaths Resolve(RecordingPlatform& platform, std::string_view line, bool expectResolved = true) {
  SkinwrightSettings settings = ParseSkinwrightArguments(line);
  InstallPaths paths;
  EXPECT_EQ(ResolveTexFolders(platform, settings.checkRun, settings.folders, paths), expectResolved);
  return paths;
}

TEST(ResolveTexFolders, DefaultsToTheCurrentDirectoryAndItsSkinsFolder) {
  RecordingPlatform platform;
  platform.SetCurrentDirectory("/games/orvane");
  InstallPaths paths = Resolve(platform, "");
  EXPECT_EQ(paths.objectDir, "/games/orvane");
  EXPECT_EQ(paths.objectDirSlash, "/games/orvane/");
  EXPECT_EQ(paths.hdrPath, "/games/orvane/ZarnoObj.hdr");
  EXPECT_EQ(paths.texDir, "/games/orvane/Skins/");
  EXPECT_EQ(paths.lodPath, "");
  EXPECT_TRUE(platform.RegistryReads().empty());
}

TEST(ResolveTexFolders, DoublesTheSeparatorAfterAGivenTextureFolder) {
  RecordingPlatform platform;
  platform.SetCurrentDirectory("/cwd");
  InstallPaths paths = Resolve(platform, "~\"/data/textures\"");
  EXPECT_EQ(paths.texDir, "/data/textures//");
  EXPECT_EQ(paths.objectDir, "/cwd");
  paths = Resolve(platform, "@dds ~\"/data/textures\" ~\"/data/objects\"");
  EXPECT_EQ(paths.texDir, "/data/textures//");
  EXPECT_EQ(paths.objectDirSlash, "/data/objects/");
  EXPECT_EQ(paths.hdrPath, "/data/objects/ZarnoObj.hdr");
}

TEST(ResolveTexFolders, TakesTheRegisteredObjectFolderInACheckRun) {
  RecordingPlatform platform;
  platform.SetRegistryValue("Software\\Vantorelle\\Orvane\\4.0", "objectDir", "/registered");
  InstallPaths paths = Resolve(platform, "~\"/tex\" ~\"check\"");
  EXPECT_EQ(paths.objectDir, "/registered");
  EXPECT_EQ(paths.texDir, "/tex//");
  ASSERT_EQ(platform.RegistryReads().size(), 1u);
  EXPECT_EQ(platform.RegistryReads()[0].first, "Software\\Vantorelle\\Orvane\\4.0");
  EXPECT_EQ(platform.RegistryReads()[0].second, "objectDir");

  paths = Resolve(platform, "@check ~\"/tex\" ~\"/named\"");
  EXPECT_EQ(paths.objectDir, "/registered");
  paths = Resolve(platform, "~\"/tex\" ~\"/named\"");
  EXPECT_EQ(paths.objectDir, "/named");
}

TEST(ResolveTexFolders, KeepsTheWordCheckWhenNothingIsRegistered) {
  RecordingPlatform platform;
  platform.SetCurrentDirectory("/cwd");
  InstallPaths paths = Resolve(platform, "~\"/tex\" ~\"check\"");
  EXPECT_EQ(paths.objectDir, "check");
  EXPECT_EQ(paths.hdrPath, "check/ZarnoObj.hdr");
}

TEST(ResolveTexFolders, FailsWhenTheCurrentDirectoryIsNeededAndMissing) {
  RecordingPlatform platform;
  platform.SetCurrentDirectory(std::nullopt);
  Resolve(platform, "~\"/tex\"", false);
  InstallPaths paths = Resolve(platform, "~\"/tex\" ~\"/objects\"");
  EXPECT_EQ(paths.texDir, "/tex//");
}

TEST(RunSkinwright, ShowsTheStartupBoxAndExitsWithZeroWithoutAFolder) {
  RecordingPlatform platform("skinwright");
  platform.SetCurrentDirectory(std::nullopt);
  EXPECT_EQ(RunSkinwright(platform, ""), 0);
  ASSERT_EQ(platform.MessageBoxes().size(), 1u);
  EXPECT_EQ(platform.MessageBoxes()[0], (MessageBoxRecord{"Skinwright couldn't start!", "", BoxIcon::kNone, false}));
  EXPECT_EQ(platform.CloseRequests(), 0);
  EXPECT_TRUE(platform.FileOperations().empty());
}

// ---- identifiers ----------------------------------------------------------------

TEST(TextureId, ReadsTheNumberAsADecimalConversionDoes) {
  struct IdCase {
    const char* name;
    std::optional<int32_t> id;
  };
  const IdCase cases[] = {
      {"57.bmp", 57},
      {"57roof.bmp", 57},
      {"0057.bmp", 57},
      {"057.dds", 57},
      {"0.bmp", 0},
      {"9999.bmp", 9999},
      {"10000.bmp", 10000},
      {" \t12.bmp", 12},
      {"\n\v\f\r7.bmp", 7},
      {"+12.bmp", 12},
      {"-3.bmp", -3},
      {"-0.bmp", 0},
      {"12 34.bmp", 12},
      {"2147483647.bmp", INT32_MAX},
      {"2147483648.bmp", INT32_MAX},
      {"99999999999999999999999.bmp", INT32_MAX},
      {"-2147483648.bmp", INT32_MIN},
      {"-99999999999999999999999.bmp", INT32_MIN},
      {"roof57.bmp", std::nullopt},
      {".bmp", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"-", std::nullopt},
      {"+x1.bmp", std::nullopt},
      {"- 1.bmp", std::nullopt},
      {"x", std::nullopt},
  };
  for (const IdCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextureIdOfName(c.name), c.id);
  }
}

TEST(TextureId, TakesTheFileNameAfterTheLastSeparator) {
  EXPECT_EQ(FileNameOfPath("/data/tex//57.bmp", '/'), "57.bmp");
  EXPECT_EQ(FileNameOfPath("D:\\Textures\\\\57.bmp", '\\'), "57.bmp");
  EXPECT_EQ(FileNameOfPath("57.bmp", '/'), "57.bmp");
  EXPECT_EQ(FileNameOfPath("/data/", '/'), "");
}

}  // namespace
}  // namespace zarno
