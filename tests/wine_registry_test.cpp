#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "core/platform_posix.h"
#include "core/wine_registry_posix.h"
#include "tests/support/kit.h"

namespace zarno {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOrvaneKey = "Software\\Vantorelle\\Orvane\\4.0";

// A system.reg as Wine writes it, with neighbours that must not be taken.
constexpr const char* kSystemReg = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win32

[Software\\Vantorelle\\Orvane] 1700000000
#time=1da0c2b9e6c43a2
"objectDir"="C:\\parent"
"onlyInParent"="yes"

[Software\\Vantorelle\\Orvane\\4.0] 1700000001
#time=1da0c2b9e6c43a2
@="default value"
"Count"=dword:00000003
"binary"=hex:01,02,\
  03,04
"expandDir"=str(2):"%ProgramFiles%\\Orvane"
"multi"=str(7):"a\0b\0"
"hexExpand"=hex(2):25,00,00,00
"objectDir"="Z:\\home\\me\\objects"
"quoted"="say \"hi\"\tand\\or\nnot"
"accented"="caf\x00e9 \x20ac"
"surrogates"="\xd83d\xde00"
"lonely"="\xd83d!"
"octal"="\101\102C"
"notHex"="\xyz"
"brackets"="\[x\]"
"continued"="C:\\very\
  \\long"
"unterminated"="abc
"withNul"="ab\0cd"
"spaced" = "around the sign"

[Software\\Vantorelle\\Orvane\\4.0\\Extra] 1700000002
"objectDir"="C:\\child"

[Software\\Odd\]Name] 1700000003
"v"="odd"
)";

struct FindCase {
  const char* name;
  const char* keyPath;
  const char* valueName;
  std::optional<std::string> expected;
};

class FindRegistryStringTest : public testing::TestWithParam<FindCase> {};

TEST_P(FindRegistryStringTest, FindsTheValueOfTheKey) {
  const FindCase& c = GetParam();
  EXPECT_EQ(FindRegistryString(kSystemReg, c.keyPath, c.valueName), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FindRegistryStringTest,
    testing::Values(
        FindCase{"plain", kOrvaneKey, "objectDir", "Z:\\home\\me\\objects"},
        FindCase{"valueNameCase", kOrvaneKey, "OBJECTDIR", "Z:\\home\\me\\objects"},
        FindCase{"keyCase", "SOFTWARE\\vantorelle\\ORVANE\\4.0", "objectDir", "Z:\\home\\me\\objects"},
        FindCase{"parentKey", "Software\\Vantorelle\\Orvane", "objectDir", "C:\\parent"},
        FindCase{"childKey", "Software\\Vantorelle\\Orvane\\4.0\\Extra", "objectDir", "C:\\child"},
        FindCase{"valueOfAnotherKey", kOrvaneKey, "onlyInParent", std::nullopt},
        FindCase{"missingValue", kOrvaneKey, "textureDir", std::nullopt},
        FindCase{"missingKey", "Software\\Vantorelle\\Orvane\\5.0", "objectDir", std::nullopt},
        FindCase{"keyPrefixIsNotTheKey", "Software\\Vantorelle\\Orv", "objectDir", std::nullopt},
        FindCase{"defaultValue", kOrvaneKey, "", "default value"},
        FindCase{"dword", kOrvaneKey, "Count", std::nullopt},
        FindCase{"binary", kOrvaneKey, "binary", std::nullopt},
        FindCase{"expandString", kOrvaneKey, "expandDir", "%ProgramFiles%\\Orvane"},
        FindCase{"multiString", kOrvaneKey, "multi", std::nullopt},
        FindCase{"hexExpandString", kOrvaneKey, "hexExpand", std::nullopt},
        FindCase{"escapes", kOrvaneKey, "quoted", "say \"hi\"\tand\\or\nnot"},
        FindCase{"utf16Escapes", kOrvaneKey, "accented", "caf\xc3\xa9 \xe2\x82\xac"},
        FindCase{"surrogatePair", kOrvaneKey, "surrogates", "\xf0\x9f\x98\x80"},
        FindCase{"loneSurrogate", kOrvaneKey, "lonely", "\xef\xbf\xbd!"},
        FindCase{"octalEscapes", kOrvaneKey, "octal", "ABC"},
        FindCase{"xWithoutDigits", kOrvaneKey, "notHex", "xyz"},
        FindCase{"escapedBrackets", kOrvaneKey, "brackets", "[x]"},
        FindCase{"continuationLine", kOrvaneKey, "continued", "C:\\very\\long"},
        FindCase{"unterminated", kOrvaneKey, "unterminated", std::nullopt},
        FindCase{"embeddedNul", kOrvaneKey, "withNul", std::string("ab\0cd", 5)},
        FindCase{"blanksAroundTheSign", kOrvaneKey, "spaced", "around the sign"},
        FindCase{"escapedBracketInKey", "Software\\Odd]Name", "v", "odd"}),
    [](const testing::TestParamInfo<FindCase>& info) { return std::string(info.param.name); });

TEST(FindRegistryStringCrlfTest, ReadsAFileWithWindowsLineEndsAndIgnoresIndentedLines) {
  const std::string text =
      "WINE REGISTRY Version 2\r\n\r\n[Software\\\\Vantorelle\\\\Orvane\\\\4.0] 1\r\n"
      "\"other\"=\"x\"\r\n\"objectDir\"=\"C:\\\\Objects\"\r\n\"continued\"=\"a\\\r\n  b\"\r\n"
      "  \"indented\"=\"C:\\\\x\"\r\n";
  EXPECT_EQ(FindRegistryString(text, kOrvaneKey, "objectDir"), "C:\\Objects");
  EXPECT_EQ(FindRegistryString(text, kOrvaneKey, "continued"), "ab");
  EXPECT_EQ(FindRegistryString(text, kOrvaneKey, "indented"), std::nullopt);
}

TEST(FindRegistryStringCrlfTest, SurvivesTruncatedText) {
  const std::string full = kSystemReg;
  for (size_t size = 0; size <= full.size(); ++size) {
    std::string_view cut(full.data(), size);
    (void)FindRegistryString(cut, kOrvaneKey, "continued");
    (void)FindRegistryString(cut, "Software\\Odd]Name", "v");
  }
  EXPECT_EQ(FindRegistryString(std::string_view(full).substr(0, full.find("\\xd83d") + 3), kOrvaneKey,
                               "surrogates"),
            std::nullopt);
}

TEST(FitsRegistryBufferTest, CountsCharactersAndTheTerminatingNul) {
  EXPECT_TRUE(FitsRegistryBuffer(""));
  EXPECT_TRUE(FitsRegistryBuffer(std::string(255, 'a')));
  EXPECT_FALSE(FitsRegistryBuffer(std::string(256, 'a')));
  std::string accented;
  for (int i = 0; i < 255; ++i) accented += "\xc3\xa9";
  EXPECT_TRUE(FitsRegistryBuffer(accented));
  EXPECT_FALSE(FitsRegistryBuffer(accented + "a"));
}

TEST(RegistryTextTest, EndsAtTheFirstNul) {
  EXPECT_EQ(RegistryText(std::string_view("ab\0cd", 5)), "ab");
  EXPECT_EQ(RegistryText("abc"), "abc");
}

TEST(WinePrefixFolderTest, PrefersWineprefixThenHome) {
  EXPECT_EQ(WinePrefixFolder("/opt/wine", "/home/me"), "/opt/wine");
  EXPECT_EQ(WinePrefixFolder(nullptr, "/home/me"), "/home/me/.wine");
  EXPECT_EQ(WinePrefixFolder("", "/home/me"), "/home/me/.wine");
  EXPECT_EQ(WinePrefixFolder(nullptr, nullptr), std::nullopt);
  EXPECT_EQ(WinePrefixFolder(nullptr, ""), std::nullopt);
}

// A Wine prefix in a temporary folder: drive C: is the prefix's drive_c,
// Z: the root of the file system, D: an absolute link.
class WinePrefixTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Prefix() / "dosdevices");
    fs::create_directories(Prefix() / "drive_c");
    fs::create_directory_symlink("../drive_c", Prefix() / "dosdevices" / "c:");
    fs::create_directory_symlink("/", Prefix() / "dosdevices" / "z:");
    fs::create_directory_symlink(folder_ / "elsewhere", Prefix() / "dosdevices" / "d:");
  }

  fs::path Prefix() const { return folder_ / "prefix"; }
  std::string PrefixText() const { return Prefix().string(); }

  void WriteSystemReg(const std::string& text) {
    ASSERT_TRUE(
        WriteFile(Prefix() / "system.reg", {reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
  }

  TempFolder folder_;
};

// Paths without a drive only have their backslashes turned.
TEST_F(WinePrefixTest, MapsDrivesThroughDosdevices) {
  const std::string prefix = PrefixText();
  EXPECT_EQ(MapWindowsPathToPosix(prefix, "Z:\\home\\me\\obj"), "/home/me/obj");
  EXPECT_EQ(MapWindowsPathToPosix(prefix, "z:\\"), "/");
  EXPECT_EQ(MapWindowsPathToPosix(prefix, "C:\\x"), prefix + "/drive_c/x");
  EXPECT_EQ(MapWindowsPathToPosix(prefix, "c:\\Orvane\\Objects\\"), prefix + "/drive_c/Orvane/Objects/");
  EXPECT_EQ(MapWindowsPathToPosix(prefix, "C:"), prefix + "/drive_c");
  EXPECT_EQ(MapWindowsPathToPosix(prefix, "C:/mixed\\slashes"), prefix + "/drive_c/mixed/slashes");
  EXPECT_EQ(MapWindowsPathToPosix(prefix, "D:\\a"), (folder_ / "elsewhere").string() + "/a");
  EXPECT_EQ(MapWindowsPathToPosix(prefix, "E:\\a"), std::nullopt);
  EXPECT_EQ(MapWindowsPathToPosix(prefix, "\\\\server\\share"), "//server/share");
  EXPECT_EQ(MapWindowsPathToPosix(prefix, "relative\\dir"), "relative/dir");
  EXPECT_EQ(MapWindowsPathToPosix(prefix, ""), "");
  EXPECT_EQ(MapWindowsPathToPosix(prefix, "1:\\x"), "1:/x");
}

// Values are mapped to this system's paths; a value that cannot be mapped is
// left as it was.
TEST_F(WinePrefixTest, ReadsAndMapsTheValue) {
  struct Case {
    const char* name;
    std::string systemReg;
    const char* valueName;
    const char* expected;
  };
  const Case cases[] = {
      {"mapped", kSystemReg, "objectDir", "/home/me/objects"},
      {"text before a NUL", kSystemReg, "withNul", "ab"},
      {"Wow6432Node branch",
       "[Software\\\\Wow6432Node\\\\Vantorelle\\\\Orvane\\\\4.0] 1\n\"objectDir\"=\"C:\\\\Orvane\"\n", "objectDir",
       "before"},
      {"drive without link", "[Software\\\\Vantorelle\\\\Orvane\\\\4.0] 1\n\"objectDir\"=\"Q:\\\\Orvane\"\n",
       "objectDir", "before"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteSystemReg(c.systemReg);
    std::string value = "before";
    EXPECT_TRUE(ReadWineRegistryValue(PrefixText(), kOrvaneKey, c.valueName, value));
    EXPECT_EQ(value, c.expected);
  }
}

TEST_F(WinePrefixTest, FailsWithoutSystemRegOrWhenItIsAFolder) {
  std::string value = "before";
  EXPECT_FALSE(ReadWineRegistryValue(PrefixText(), kOrvaneKey, "objectDir", value));
  fs::create_directory(Prefix() / "system.reg");
  EXPECT_FALSE(ReadWineRegistryValue(PrefixText(), kOrvaneKey, "objectDir", value));
  EXPECT_EQ(value, "before");
}

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

class PlatformRegistryTest : public WinePrefixTest {
 protected:
  // Reads objectDir of the host's key through the platform, starting from
  // "check", the object folder argument of a check run.
  bool Read(std::string& value, const std::string& keyPath = kOrvaneKey) {
    value = "check";
    PosixPlatform platform("rigwright", false);
    return platform.ReadRegistryValue(keyPath, "objectDir", value);
  }
};

// Every read starts from "check"; it stays when the key or the value is
// missing or too long for the buffer. The prefix is never written.
TEST_F(PlatformRegistryTest, ReadsTheValueFromWineprefix) {
  ScopedEnvironment prefix("WINEPREFIX", PrefixText().c_str());
  const std::string key = "[Software\\\\Vantorelle\\\\Orvane\\\\4.0] 1\n";
  const std::string longest = "Z:\\\\" + std::string(252, 'a');  // 255 characters once unescaped
  struct Case {
    const char* name;
    std::string systemReg;
    std::string keyPath;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", kSystemReg, kOrvaneKey, "/home/me/objects"},
      {"escapes and drive C", key + "\"objectDir\"=\"C:\\\\Orvane \\\"4\\\"\\\\Obj\\x00e9cts\"\n", kOrvaneKey,
       PrefixText() + "/drive_c/Orvane \"4\"/Obj\xc3\xa9" "cts"},
      {"key ignoring case", "[software\\\\VANTORELLE\\\\orvane\\\\4.0] 1\n\"OBJECTDIR\"=\"Z:\\\\srv\\\\objects\"\n",
       kOrvaneKey, "/srv/objects"},
      {"missing key", kSystemReg, "Software\\Vantorelle\\Orvane\\5.0", "check"},
      {"missing value", key + "\"textureDir\"=\"Z:\\\\x\"\n", kOrvaneKey, "check"},
      {"255 characters", key + "\"objectDir\"=\"" + longest + "\"\n", kOrvaneKey, "/" + std::string(252, 'a')},
      {"256 characters", key + "\"objectDir\"=\"" + longest + "a\"\n", kOrvaneKey, "check"},
      {"no keys", "WINE REGISTRY Version 2\n", kOrvaneKey, "check"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteSystemReg(c.systemReg);
    std::string value;
    EXPECT_TRUE(Read(value, c.keyPath));
    EXPECT_EQ(value, c.expected);
  }
  EXPECT_EQ(fs::file_size(Prefix() / "system.reg"), 24u);
  EXPECT_FALSE(fs::exists(Prefix() / "user.reg"));
}

TEST_F(PlatformRegistryTest, WithoutWineprefixUsesDotWineInHome) {
  fs::create_directory_symlink(Prefix(), folder_ / ".wine");
  ScopedEnvironment prefix("WINEPREFIX", nullptr);
  ScopedEnvironment home("HOME", folder_.Path().string().c_str());
  WriteSystemReg(kSystemReg);
  std::string value;
  EXPECT_TRUE(Read(value));
  EXPECT_EQ(value, "/home/me/objects");
}

TEST_F(PlatformRegistryTest, NoPrefixFails) {
  std::string value;
  {
    ScopedEnvironment prefix("WINEPREFIX", (folder_ / "no-such-prefix").string().c_str());
    EXPECT_FALSE(Read(value));
  }
  ScopedEnvironment prefix("WINEPREFIX", nullptr);
  ScopedEnvironment home("HOME", nullptr);
  EXPECT_FALSE(Read(value));
  EXPECT_EQ(value, "check");
}

}  // namespace
}  // namespace zarno
