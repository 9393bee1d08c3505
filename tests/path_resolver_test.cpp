#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/path_resolver_posix.h"
#include "tests/support/header_builder.h"

namespace zarno {
namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& path) {
  fs::create_directories(path.parent_path());
  ASSERT_TRUE(WriteFile(path, std::span<const uint8_t>{}));
}

class PathResolverTest : public testing::Test {
 protected:
  std::string In(const std::string& relative) const { return folder_.Path().string() + "/" + relative; }
  TempFolder folder_;
};

TEST_F(PathResolverTest, KeepsAPathThatExistsAsGiven) {
  Touch(folder_ / "ZarnoObj.hdr");
  EXPECT_EQ(ResolveCaseInsensitive(In("ZarnoObj.hdr")), In("ZarnoObj.hdr"));
}

TEST_F(PathResolverTest, ExactMatchWinsOverOtherCase) {
  Touch(folder_ / "ZarnoObj.hdr");
  Touch(folder_ / "zarnoobj.hdr");
  EXPECT_EQ(ResolveCaseInsensitive(In("ZarnoObj.hdr")), In("ZarnoObj.hdr"));
  EXPECT_EQ(ResolveCaseInsensitive(In("zarnoobj.hdr")), In("zarnoobj.hdr"));
}

TEST_F(PathResolverTest, SeveralCaseMatchesGiveTheLowestInByteOrder) {
  Touch(folder_ / "zarnoobj.hdr");
  Touch(folder_ / "ZarnoObj.hdr");
  EXPECT_EQ(ResolveCaseInsensitive(In("ZARNOOBJ.HDR")), In("ZarnoObj.hdr"));
}

TEST_F(PathResolverTest, FindsEveryComponentIgnoringCase) {
  Touch(folder_ / "models" / "plane.ihr");
  EXPECT_EQ(ResolveCaseInsensitive(In("Models/PLANE.IHR")), In("models/plane.ihr"));
}

TEST_F(PathResolverTest, KeepsAMissingFileUnderTheNameAsGiven) {
  fs::create_directory(folder_ / "models");
  EXPECT_EQ(ResolveCaseInsensitive(In("MODELS/New.lod")), In("models/New.lod"));
}

TEST_F(PathResolverTest, KeepsTheRestAsGivenFromTheFirstMissingFolder) {
  Touch(folder_ / "a" / "b.txt");
  EXPECT_EQ(ResolveCaseInsensitive(In("A/Missing/B.TXT")), In("a/Missing/B.TXT"));
}

TEST_F(PathResolverTest, KeepsEmptyAndDotComponents) {
  Touch(folder_ / "sub" / "file.bmp");
  EXPECT_EQ(ResolveCaseInsensitive(In("SUB//./FILE.BMP")), In("sub//./file.bmp"));
  EXPECT_EQ(ResolveCaseInsensitive(In("SUB/../SUB/File.Bmp")), In("sub/../sub/file.bmp"));
}

TEST_F(PathResolverTest, ResolvesAFolderPathWithATrailingSlash) {
  fs::create_directory(folder_ / "Textures");
  EXPECT_EQ(ResolveCaseInsensitive(In("textures/")), In("Textures/"));
}

TEST_F(PathResolverTest, ResolvesRelativePathsFromTheCurrentFolder) {
  Touch(folder_ / "Objects" / "ZarnoObj.LOD");
  fs::path previous = fs::current_path();
  fs::current_path(folder_.Path());
  std::string resolved = ResolveCaseInsensitive("objects/zarnoobj.lod");
  fs::current_path(previous);
  EXPECT_EQ(resolved, "Objects/ZarnoObj.LOD");
}

TEST(PathResolverEmptyTest, KeepsAnEmptyPath) { EXPECT_EQ(ResolveCaseInsensitive(""), ""); }

TEST(EqualsIgnoringAsciiCaseTest, FoldsOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsIgnoringAsciiCase("ZarnoObj.HDR", "zarnoobj.hdr"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("a_", "A\x7f"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xc3\xa9", "\xc3\x89"));  // é and É differ
  EXPECT_FALSE(EqualsIgnoringAsciiCase("abc", "abcd"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("[", "{"));  // 0x5B and 0x7B are not letters
}

}  // namespace
}  // namespace zarno
