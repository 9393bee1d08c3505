#include "core/platform_posix.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/progress.h"
#include "tests/support/header_builder.h"
#include "tests/support/recording_platform.h"

namespace zarno {
namespace {

namespace fs = std::filesystem;

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  ASSERT_TRUE(WriteFile(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Bytes that differ from their neighbours, so a misplaced block shows.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

class PosixPlatformTest : public testing::Test {
 protected:
  std::string In(const std::string& relative) const { return folder_.Path().string() + "/" + relative; }
  std::string ReadAll(File& file, size_t size) {
    std::string bytes(size, '\0');
    bytes.resize(file.Read(bytes.data(), size));
    return bytes;
  }

  TempFolder folder_;
  PosixPlatform platform_{"rigwright", false};
};

// ---- names ignoring case ------------------------------------------------

TEST_F(PosixPlatformTest, OpensAFileWhoseNameDiffersInCaseButPrefersTheExactName) {
  WriteText(folder_ / "models" / "plane.ihr", "parent");
  WriteText(folder_ / "ZarnoObj.hdr", "exact");
  WriteText(folder_ / "zarnoobj.hdr", "lower");
  std::unique_ptr<File> file = platform_.OpenFile(In("Models/PLANE.IHR"), OpenMode::kRead);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(*file, 100), "parent");
  EXPECT_EQ(platform_.FileSize(In("MODELS/Plane.Ihr")), 6u);
  file = platform_.OpenFile(In("ZarnoObj.hdr"), OpenMode::kRead);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(*file, 100), "exact");
}

TEST_F(PosixPlatformTest, CreatesANewFileUnderTheNameAsGiven) {
  fs::create_directory(folder_ / "models");
  std::unique_ptr<File> file = platform_.OpenFile(In("MODELS/ErrorList.txt"), OpenMode::kCreate);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Close());
  EXPECT_TRUE(fs::exists(folder_ / "models" / "ErrorList.txt"));
  EXPECT_FALSE(fs::exists(folder_ / "MODELS"));
}

TEST_F(PosixPlatformTest, CreateReplacesTheContentOfAFileNamedInOtherCase) {
  WriteText(folder_ / "ZarnoObj.tex", "old content");
  std::unique_ptr<File> file = platform_.OpenFile(In("ZARNOOBJ.TEX"), OpenMode::kCreate);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Size(), 0u);  // emptied at once
  ASSERT_TRUE(file->Write("new", 3));
  ASSERT_TRUE(file->Close());
  EXPECT_EQ(ReadText(folder_ / "ZarnoObj.tex"), "new");
  EXPECT_FALSE(fs::exists(folder_ / "ZARNOOBJ.TEX"));
}

// ---- folder search ------------------------------------------------------

TEST_F(PosixPlatformTest, FindFilesReturnsTheSearchOrderOfTheHost) {
  for (const char* name : {"b.ihr", "A.IHR", "_x.ihr", "a2.ihr", "notes.txt", "c.ihr.bak"}) {
    WriteText(folder_ / "Models" / name, "");
  }
  fs::create_directory(folder_ / "Models" / "folder.ihr");
  EXPECT_EQ(platform_.FindFiles(In("models/*.ihr")),
            (std::vector<std::string>{"A.IHR", "a2.ihr", "b.ihr", "folder.ihr", "_x.ihr"}));
  EXPECT_EQ(platform_.FindFiles(In("Models/*.IHR")), platform_.FindFiles(In("models/*.ihr")));
}

TEST_F(PosixPlatformTest, FindFilesSkipsDotEntriesAndFindsNothingWhereItCannotSearch) {
  WriteText(folder_ / "one", "");
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"*", {"one"}}, {"*.*", {"one"}}, {"missing/*.bmp", {}}, {"one/*.bmp", {}}, {"", {}}};
  for (const auto& [pattern, names] : cases) EXPECT_EQ(platform_.FindFiles(In(pattern)), names) << pattern;
}

TEST_F(PosixPlatformTest, FindFilesWithoutFolderSearchesTheCurrentOne) {
  WriteText(folder_ / "12plane.BMP", "");
  fs::path previous = fs::current_path();
  fs::current_path(folder_.Path());
  std::vector<std::string> names = platform_.FindFiles("*.bmp");
  fs::current_path(previous);
  EXPECT_EQ(names, (std::vector<std::string>{"12plane.BMP"}));
}

TEST(SearchMaskTest, MatchesLikeTheHostsSearch) {
  struct Case {
    const char* name;
    const char* mask;
    bool matches;
  };
  const Case cases[] = {
      {"plane.ihr", "*.ihr", true}, {"PLANE.IHR", "*.ihr", true},  {"plane.ihr", "*.IHR", true},
      {"plane.ihrx", "*.ihr", false}, {"plane.bmp", "*.ihr", false}, {".ihr", "*.ihr", true},
      {"ihr", "*.ihr", false},      {"a.b.ihr", "*.ihr", true},    {"7.bmp", "?.bmp", true},
      {"17.bmp", "?.bmp", false},   {"readme", "*.*", true},       {"readme", "*", true},
      {"abc", "abc.*", true},       {"abc.d", "abc.*", true},      {"abcd", "abc.*", false},
      {"a*b", "a*b", true},         {"aXXbXXb", "a*b*b", true},    {"aXXbXX", "a*b*b", false},
      {"", "*", true},              {"x", "", false},              {"[a].ihr", "[A].IHR", true},
      {"{a}.ihr", "[A].IHR", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesSearchMask(c.name, c.mask), c.matches) << c.name << " against " << c.mask;
  }
}

TEST(SearchOrderTest, ComparesUpperCasedBytesThenRawNames) {
  EXPECT_TRUE(ComesBeforeInSearchOrder("A.IHR", "a2.ihr"));
  EXPECT_TRUE(ComesBeforeInSearchOrder("b.ihr", "_x.ihr"));  // 'B' 0x42 < '_' 0x5F < 'b' 0x62
  EXPECT_TRUE(ComesBeforeInSearchOrder("_x.ihr", "{y}.ihr"));
  EXPECT_TRUE(ComesBeforeInSearchOrder("ab", "abc"));
  EXPECT_TRUE(ComesBeforeInSearchOrder("A.ihr", "a.ihr"));  // tie: raw bytes
  EXPECT_FALSE(ComesBeforeInSearchOrder("a.ihr", "A.ihr"));
  EXPECT_FALSE(ComesBeforeInSearchOrder("x", "x"));
}

// ---- opening files --------------------------------------------------------

TEST_F(PosixPlatformTest, OpenRefusesFoldersPipesAndMissingFiles) {
  fs::create_directory(folder_ / "Objects");
  ASSERT_EQ(::mkfifo(In("pipe").c_str(), 0600), 0);
  for (OpenMode mode : {OpenMode::kRead, OpenMode::kUpdate, OpenMode::kCreate}) {
    EXPECT_EQ(platform_.OpenFile(In("Objects"), mode), nullptr);
    EXPECT_EQ(platform_.OpenFile(In("pipe"), mode), nullptr);
  }
  EXPECT_EQ(platform_.OpenFile(In("ZarnoObj.hdr"), OpenMode::kRead), nullptr);
  EXPECT_EQ(platform_.OpenFile(In("ZarnoObj.hdr"), OpenMode::kUpdate), nullptr);
  EXPECT_FALSE(fs::exists(folder_ / "ZarnoObj.hdr"));
  EXPECT_EQ(platform_.OpenFile(In("missing/ZarnoObj.hdr"), OpenMode::kCreate), nullptr);
  EXPECT_EQ(platform_.ViewFile(In("pipe")), nullptr);
  EXPECT_EQ(platform_.FileSize(In("pipe")), std::nullopt);
}

TEST_F(PosixPlatformTest, UpdateNeverShortensTheFile) {
  WriteText(folder_ / "ZarnoObj.lod", "0123456789");
  std::unique_ptr<File> file = platform_.OpenFile(In("ZarnoObj.lod"), OpenMode::kUpdate);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Size(), 10u);
  ASSERT_TRUE(file->Write("ab", 2));
  ASSERT_TRUE(file->Close());
  EXPECT_EQ(ReadText(folder_ / "ZarnoObj.lod"), "ab23456789");
}

TEST_F(PosixPlatformTest, ReadsSeeBufferedWrites) {
  WriteText(folder_ / "ZarnoObj.lod", "..........");
  std::unique_ptr<File> file = platform_.OpenFile(In("ZarnoObj.lod"), OpenMode::kUpdate);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Write("abc", 3));
  EXPECT_EQ(ReadAll(*file, 2), "..");  // reads on from the end of the write
  ASSERT_TRUE(file->Seek(0));
  EXPECT_EQ(ReadAll(*file, 4), "abc.");
  ASSERT_TRUE(file->Seek(8));
  ASSERT_TRUE(file->Write("XYZ", 3));  // grows the file by one
  EXPECT_EQ(file->Size(), 11u);
  ASSERT_TRUE(file->Seek(7));
  EXPECT_EQ(ReadAll(*file, 100), ".XYZ");
  EXPECT_EQ(ReadAll(*file, 100), "");  // at the end
  ASSERT_TRUE(file->Close());
  EXPECT_EQ(ReadText(folder_ / "ZarnoObj.lod"), "abc.....XYZ");
}

TEST_F(PosixPlatformTest, SeekPastTheEndWritesAGap) {
  std::unique_ptr<File> file = platform_.OpenFile(In("gap.bin"), OpenMode::kCreate);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Write("a", 1));
  ASSERT_TRUE(file->Seek(4));
  ASSERT_TRUE(file->Write("b", 1));
  ASSERT_TRUE(file->Close());
  EXPECT_EQ(ReadText(folder_ / "gap.bin"), std::string("a\0\0\0b", 5));
}

TEST_F(PosixPlatformTest, MixedSmallAndLargeWritesKeepTheirOrder) {
  const std::string bytes = Pattern(4 * 64 * 1024 + 123);
  std::unique_ptr<File> file = platform_.OpenFile(In("ZarnoObj.tex"), OpenMode::kCreate);
  ASSERT_NE(file, nullptr);
  const size_t pieces[] = {1, 7, 65536, 3, 65535, 2, 70000};
  size_t at = 0;
  for (size_t piece : pieces) {
    ASSERT_TRUE(file->Write(bytes.data() + at, piece));
    at += piece;
  }
  ASSERT_TRUE(file->Write(bytes.data() + at, bytes.size() - at));
  ASSERT_TRUE(file->Close());
  EXPECT_EQ(ReadText(folder_ / "ZarnoObj.tex"), bytes);

  std::unique_ptr<File> reader = platform_.OpenFile(In("zarnoobj.TEX"), OpenMode::kRead);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(ReadAll(*reader, bytes.size() + 10), bytes);
}

TEST_F(PosixPlatformTest, ModesRefuseTheOtherDirection) {
  WriteText(folder_ / "ZarnoObj.hdr", "header");
  std::unique_ptr<File> reader = platform_.OpenFile(In("ZarnoObj.hdr"), OpenMode::kRead);
  ASSERT_NE(reader, nullptr);
  EXPECT_FALSE(reader->Write("x", 1));
  EXPECT_TRUE(reader->Close());
  std::unique_ptr<File> writer = platform_.OpenFile(In("ZarnoObj.hdr"), OpenMode::kCreate);
  ASSERT_NE(writer, nullptr);
  char byte;
  EXPECT_EQ(writer->Read(&byte, 1), 0u);
}

TEST_F(PosixPlatformTest, FlushStoresWhatWasWritten) {
  std::unique_ptr<File> file = platform_.OpenFile(In("ErrorList.txt"), OpenMode::kCreate);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Write("line\n", 5));
  EXPECT_EQ(ReadText(folder_ / "ErrorList.txt"), "");  // still in the buffer
  ASSERT_TRUE(file->Flush());
  EXPECT_EQ(ReadText(folder_ / "ErrorList.txt"), "line\n");
}

TEST_F(PosixPlatformTest, AFileDestroyedWithoutCloseKeepsItsData) {
  {
    std::unique_ptr<File> file = platform_.OpenFile(In("ErrorList.txt"), OpenMode::kCreate);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->Write("kept", 4));
  }
  EXPECT_EQ(ReadText(folder_ / "ErrorList.txt"), "kept");
}

TEST_F(PosixPlatformTest, ClosedFilesRefuseEverything) {
  std::unique_ptr<File> file = platform_.OpenFile(In("x"), OpenMode::kCreate);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Close());
  char byte;
  EXPECT_FALSE(file->Close());
  EXPECT_FALSE(file->Write("x", 1));
  EXPECT_EQ(file->Read(&byte, 1), 0u);
  EXPECT_FALSE(file->Seek(0));
  EXPECT_EQ(file->Size(), std::nullopt);
  EXPECT_FALSE(file->Flush());
}

// Lowers the file size limit so that writes fail with EFBIG.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = old_;
    lowered.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  sighandler_t oldHandler_;
};

TEST_F(PosixPlatformTest, CloseReportsBufferedDataThatCouldNotBeStored) {
  std::unique_ptr<File> file = platform_.OpenFile(In("ZarnoObj.hdr"), OpenMode::kCreate);
  ASSERT_NE(file, nullptr);
  const std::string bytes = Pattern(1000);
  FileSizeLimit limit(100);
  EXPECT_TRUE(file->Write(bytes.data(), bytes.size()));  // only buffered yet
  EXPECT_FALSE(file->Close());
}

TEST_F(PosixPlatformTest, LargeWriteThatCannotBeStoredFails) {
  std::unique_ptr<File> file = platform_.OpenFile(In("ZarnoObj.lod"), OpenMode::kCreate);
  ASSERT_NE(file, nullptr);
  const std::string bytes = Pattern(200000);
  FileSizeLimit limit(100000);
  EXPECT_FALSE(file->Write(bytes.data(), bytes.size()));
  EXPECT_FALSE(file->Close());
}

// ---- views, sizes, copies, replacements ----------------------------------

TEST_F(PosixPlatformTest, ViewShowsTheWholeFileAndRefusesFoldersAndMissingFiles) {
  WriteText(folder_ / "Textures" / "12plane.bmp", "BM\x01\x02");
  WriteText(folder_ / "empty.bmp", "");
  std::unique_ptr<FileView> view = platform_.ViewFile(In("textures/12PLANE.BMP"));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(std::string(view->Bytes().begin(), view->Bytes().end()), "BM\x01\x02");
  view = platform_.ViewFile(In("empty.bmp"));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->Bytes().empty());
  EXPECT_EQ(platform_.ViewFile(In("Textures")), nullptr);
  EXPECT_EQ(platform_.ViewFile(In("missing.bmp")), nullptr);
}

TEST_F(PosixPlatformTest, FileSizeOfFilesAndFolders) {
  WriteText(folder_ / "ZarnoObj.hdr", "12345");
  fs::create_directory(folder_ / "ZarnoObj");
  EXPECT_EQ(platform_.FileSize(In("zarnoobj.hdr")), 5u);
  EXPECT_EQ(platform_.FileSize(In("ZARNOOBJ")), 0u);
  EXPECT_EQ(platform_.FileSize(In("missing")), std::nullopt);
}

std::vector<std::string> FolderNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(PosixPlatformTest, CopyReplacesTheDestinationAndLeavesNoTemporaryFile) {
  const std::string bytes = Pattern(2 * 1024 * 1024 + 17);  // more than one copy block
  WriteText(folder_ / "dds" / "12plane.dds", bytes);
  WriteText(folder_ / "ZarnoObj" / "12.dds", "old");
  ASSERT_TRUE(platform_.CopyFile(In("DDS/12PLANE.DDS"), In("zarnoobj/12.DDS")));
  EXPECT_EQ(ReadText(folder_ / "ZarnoObj" / "12.dds"), bytes);
  EXPECT_EQ(FolderNames(folder_ / "ZarnoObj"), (std::vector<std::string>{"12.dds"}));
  EXPECT_EQ(ReadText(folder_ / "dds" / "12plane.dds"), bytes);
  ASSERT_TRUE(platform_.CopyFile(In("DDS/12PLANE.DDS"), In("ZarnoObj/7.dds")));  // a new destination
  EXPECT_EQ(ReadText(folder_ / "ZarnoObj" / "7.dds"), bytes);
}

TEST_F(PosixPlatformTest, FailedCopyLeavesTheDestinationAndNoTemporaryFile) {
  WriteText(folder_ / "ZarnoObj" / "12.dds", "old");
  fs::create_directory(folder_ / "ZarnoObj" / "13.dds");
  WriteText(folder_ / "a.dds", "new");
  EXPECT_FALSE(platform_.CopyFile(In("missing.dds"), In("ZarnoObj/12.dds")));
  EXPECT_FALSE(platform_.CopyFile(In("ZarnoObj"), In("ZarnoObj/12.dds")));
  EXPECT_FALSE(platform_.CopyFile(In("a.dds"), In("ZarnoObj/13.dds")));  // a folder is in the way
  EXPECT_FALSE(platform_.CopyFile(In("a.dds"), In("missing/12.dds")));
  EXPECT_EQ(ReadText(folder_ / "ZarnoObj" / "12.dds"), "old");
  EXPECT_EQ(FolderNames(folder_ / "ZarnoObj"), (std::vector<std::string>{"12.dds", "13.dds"}));
}

TEST_F(PosixPlatformTest, ReplaceRenamesOverAnExistingFileAndNeedsASource) {
  WriteText(folder_ / "ZarnoObj.hdr", "old header");
  WriteText(folder_ / "ZarnoObj.hdr.new", "new header");
  EXPECT_FALSE(platform_.ReplaceFile(In("missing"), In("ZarnoObj.hdr")));
  EXPECT_EQ(ReadText(folder_ / "ZarnoObj.hdr"), "old header");
  ASSERT_TRUE(platform_.ReplaceFile(In("ZarnoObj.hdr.new"), In("zarnoobj.HDR")));
  EXPECT_EQ(ReadText(folder_ / "ZarnoObj.hdr"), "new header");
  EXPECT_EQ(FolderNames(folder_.Path()), (std::vector<std::string>{"ZarnoObj.hdr"}));
}

TEST_F(PosixPlatformTest, RemoveDeletesAFileNamedInOtherCase) {
  WriteText(folder_ / "ZarnoObj.tmp", "");
  EXPECT_TRUE(platform_.RemoveFile(In("ZARNOOBJ.TMP")));
  EXPECT_FALSE(fs::exists(folder_ / "ZarnoObj.tmp"));
  EXPECT_FALSE(platform_.RemoveFile(In("ZARNOOBJ.TMP")));
}

// ---- user interface ---------------------------------------------------------

TEST(PosixPlatformBoxTest, WritesOneLinePerBoxOnStandardError) {
  PosixPlatform platform("skinwright", false);
  testing::internal::CaptureStderr();
  platform.ShowMessageBox("Couldn't open ZarnoObj.hdr\n", "Error", BoxIcon::kHand);
  platform.ShowMessageBox("Skinwright couldn't start!", "", BoxIcon::kNone);
  platform.ShowMessageBox("two breaks\n\n", "Caption", BoxIcon::kExclamation, true);
  platform.ShowMessageBox("", "", BoxIcon::kAsterisk);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "skinwright: Error: Couldn't open ZarnoObj.hdr\n"
            "skinwright: Skinwright couldn't start!\n"
            "skinwright: Caption: two breaks\n\n"
            "skinwright: \n");
}

TEST(PosixPlatformBoxTest, BeepRingsTheTerminalBellAndProgressStaysQuietWithoutOne) {
  for (bool terminal : {false, true}) {
    PosixPlatform platform("rigwright", terminal);
    testing::internal::CaptureStderr();
    platform.Beep();
    platform.Beep();
    if (!terminal) {
      platform.ProgressOpen(kProgressStageLod);
      platform.ProgressSetRange(10);
      platform.ProgressSetPosition(5);
      platform.ProgressClose();
      platform.RequestClose();
      EXPECT_EQ(platform.CloseRequests(), 1);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), terminal ? "\a\a" : "");
  }
}

std::string Bar(std::string_view title, int filled, const char* percent) {
  return "\r" + std::string(title) + " [" + std::string(filled, '#') + std::string(40 - filled, '-') + "] " +
         percent;
}

TEST(PosixPlatformProgressTest, DrawsOnlyWhenThePercentageChanges) {
  PosixPlatform platform("rigwright", true);
  testing::internal::CaptureStderr();
  platform.ProgressSetPosition(3);  // nothing open: ignored
  platform.ProgressOpen(kProgressStageLod);
  platform.ProgressSetPosition(0);
  platform.ProgressSetRange(200);
  platform.ProgressSetPosition(1);    // 0 %
  platform.ProgressSetPosition(2);    // 1 %
  platform.ProgressSetPosition(3);    // 1 %
  platform.ProgressSetPosition(100);  // 50 %
  platform.ProgressSetPosition(0);    // 0 % again before a second pass
  platform.ProgressSetPosition(200);  // 100 %
  platform.ProgressSetPosition(900);  // past the end: still 100 %
  platform.ProgressClose();
  platform.ProgressClose();
  const std::string_view title = "Compacting ZarnoObj.lod File";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), Bar(title, 0, "  0%") + Bar(title, 0, "  1%") +
                                                        Bar(title, 20, " 50%") + Bar(title, 0, "  0%") +
                                                        Bar(title, 40, "100%") + "\n");
}

TEST(PosixPlatformProgressTest, AnEmptyRangeShowsNothingDone) {
  PosixPlatform platform("skinwright", true);
  testing::internal::CaptureStderr();
  platform.ProgressOpen(kProgressStageTex);
  platform.ProgressSetPosition(0);
  platform.ProgressSetRange(0);
  platform.ProgressClose();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), Bar("Compacting ZarnoObj.tex File", 0, "  0%") + "\n");
}

TEST(ProgressTitleTest, NamesTheStagesOfBothCompactions) {
  EXPECT_EQ(ProgressTitle(kProgressStageTex), "Compacting ZarnoObj.tex File");
  EXPECT_EQ(ProgressTitle(kProgressStageLod), "Compacting ZarnoObj.lod File");
  EXPECT_EQ(ProgressTitle(0), "");
  EXPECT_EQ(ProgressBarLine("T", 7), Bar("T", 2, "  7%"));
}

// ---- environment ------------------------------------------------------------

TEST(PosixPlatformEnvironmentTest, PathsUseSlashesAndLinesEndInNewline) {
  PosixPlatform platform("rigwright", false);
  EXPECT_EQ(platform.PathSeparator(), '/');
  EXPECT_EQ(platform.LineEnd(), "\n");
}

TEST(PosixPlatformEnvironmentTest, CurrentDirectoryHasNoLengthLimit) {
  TempFolder folder;
  fs::path deep = folder.Path();
  for (int i = 0; i < 12; ++i) deep /= std::string(100, static_cast<char>('a' + i));
  fs::create_directories(deep);
  fs::path previous = fs::current_path();
  fs::current_path(deep);
  PosixPlatform platform("rigwright", false);
  std::optional<std::string> current = platform.CurrentDirectory();
  std::string expected = fs::current_path().string();
  fs::current_path(previous);
  ASSERT_TRUE(current.has_value());
  EXPECT_GT(current->size(), 1200u);
  EXPECT_EQ(*current, expected);
}

// ---- the recording fake --------------------------------------------------

TEST(RecordingPlatformTest, RecordsBoxesBeepsProgressAndCloseRequestsSilently) {
  RecordingPlatform platform;
  testing::internal::CaptureStderr();
  platform.ShowMessageBox("first\n", "Caption", BoxIcon::kExclamation);
  platform.Beep();
  platform.ShowMessageBox("palette", "", BoxIcon::kNone, true);
  platform.Beep();
  platform.RequestClose();
  platform.ProgressOpen(kProgressStageTex);
  platform.ProgressSetPosition(0);
  platform.ProgressSetRange(3);
  platform.ProgressSetPosition(2);
  platform.ProgressClose();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(platform.MessageBoxes(),
            (std::vector<MessageBoxRecord>{{"first\n", "Caption", BoxIcon::kExclamation, false},
                                           {"palette", "", BoxIcon::kNone, true}}));
  EXPECT_EQ(platform.Beeps(), 2);
  EXPECT_EQ(platform.CloseRequests(), 1);
  using Kind = ProgressCall::Kind;
  EXPECT_EQ(platform.ProgressCalls(), (std::vector<ProgressCall>{{Kind::kOpen, 1},
                                                                 {Kind::kSetPosition, 0},
                                                                 {Kind::kSetRange, 3},
                                                                 {Kind::kSetPosition, 2},
                                                                 {Kind::kClose, 0}}));
}

TEST(RecordingPlatformTest, RegistryHoldsWhatTheTestSets) {
  RecordingPlatform platform;
  platform.SetRegistryValue("Software\\Vantorelle\\Orvane\\4.0", "objectDir", "/srv/objects");
  platform.SetRegistryValue("Software\\Vantorelle\\Orvane\\4.0", "tooLong", std::string(256, 'x'));
  std::string value = "check";
  EXPECT_TRUE(platform.ReadRegistryValue("SOFTWARE\\Vantorelle\\Orvane\\4.0", "OBJECTDIR", value));
  EXPECT_EQ(value, "/srv/objects");
  value = "check";
  EXPECT_TRUE(platform.ReadRegistryValue("Software\\Vantorelle\\Orvane\\4.0", "tooLong", value));
  EXPECT_TRUE(platform.ReadRegistryValue("Software\\Vantorelle\\Orvane\\4.0", "missing", value));
  EXPECT_EQ(value, "check");
  platform.SetRegistryKeyUnavailable(true);
  EXPECT_FALSE(platform.ReadRegistryValue("Software\\Vantorelle\\Orvane\\4.0", "objectDir", value));
  EXPECT_EQ(value, "check");
  EXPECT_EQ(platform.RegistryReads().size(), 4u);
  EXPECT_EQ(platform.RegistryReads()[0],
            (std::pair<std::string, std::string>{"SOFTWARE\\Vantorelle\\Orvane\\4.0", "OBJECTDIR"}));
}

TEST(RecordingPlatformTest, CurrentDirectoryIsTheRealOneUnlessSet) {
  RecordingPlatform platform;
  EXPECT_EQ(platform.CurrentDirectory(), fs::current_path().string());
  platform.SetCurrentDirectory("/objects");
  EXPECT_EQ(platform.CurrentDirectory(), "/objects");
  platform.SetCurrentDirectory(std::nullopt);
  EXPECT_EQ(platform.CurrentDirectory(), std::nullopt);
}

TEST(RecordingPlatformTest, FileOperationsReachTheRealFilesAndAreRecorded) {
  TempFolder folder;
  const std::string in = folder.Path().string() + "/";
  RecordingPlatform platform;
  WriteText(folder / "ZarnoObj.hdr", "abc");
  EXPECT_EQ(platform.FileSize(in + "zarnoobj.hdr"), 3u);
  EXPECT_NE(platform.OpenFile(in + "ZarnoObj.hdr", OpenMode::kRead), nullptr);
  EXPECT_TRUE(platform.CopyFile(in + "ZarnoObj.hdr", in + "copy"));
  EXPECT_EQ(platform.FindFiles(in + "*.hdr"), (std::vector<std::string>{"ZarnoObj.hdr"}));
  EXPECT_TRUE(platform.RemoveFile(in + "copy"));
  using Op = FileOperation;
  EXPECT_EQ(platform.FileOperations(),
            (std::vector<FileOperationRecord>{{Op::kFileSize, in + "zarnoobj.hdr", ""},
                                              {Op::kOpenFile, in + "ZarnoObj.hdr", ""},
                                              {Op::kCopyFile, in + "ZarnoObj.hdr", in + "copy"},
                                              {Op::kFindFiles, in + "*.hdr", ""},
                                              {Op::kRemoveFile, in + "copy", ""}}));
}

TEST(RecordingPlatformTest, FailsTheChosenFileOperation) {
  TempFolder folder;
  const std::string in = folder.Path().string() + "/";
  WriteText(folder / "ZarnoObj.hdr", "abc");
  WriteText(folder / "new.hdr", "new");
  RecordingPlatform platform;
  platform.FailFileOperation(2);
  EXPECT_NE(platform.ViewFile(in + "ZarnoObj.hdr"), nullptr);
  EXPECT_FALSE(platform.ReplaceFile(in + "new.hdr", in + "ZarnoObj.hdr"));  // the second one
  EXPECT_EQ(ReadText(folder / "ZarnoObj.hdr"), "abc");
  EXPECT_TRUE(platform.ReplaceFile(in + "new.hdr", in + "ZarnoObj.hdr"));
  EXPECT_EQ(ReadText(folder / "ZarnoObj.hdr"), "new");
  platform.FailFileOperation(1);
  EXPECT_EQ(platform.FileSize(in + "ZarnoObj.hdr"), std::nullopt);
  platform.FailFileOperation(1);
  EXPECT_TRUE(platform.FindFiles(in + "*").empty());
  platform.FailFileOperation(1);
  EXPECT_EQ(platform.OpenFile(in + "ZarnoObj.hdr", OpenMode::kRead), nullptr);
  EXPECT_EQ(platform.FileOperations().size(), 6u);
}

}  // namespace
}  // namespace zarno
