// The reader of Wine's system.reg: keys and values, escapes, case, damaged
// text, the mapping of drive paths, and the platform's registry on top.
#include "core/wine_registry_posix.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "core/platform_posix.h"
#include "tests/support/header_builder.h"

namespace zarno {
namespace {

namespace fs = std::filesystem;
constexpr const char* kKey = "Software\\Vantorelle\\Orvane\\4.0";

// As Wine writes it, with neighbouring keys whose values must not be taken.
constexpr const char* kSystemReg = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine
[Software\\Vantorelle\\Orvane] 1700000000
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
"objectDir"="Z:\\home\\me\\objects"
"objectDir"="the first one counts"
"simple"="\a\b\e\f\n\r\t\v\q\\\"\[\]"
"octal"="\101\1012\7\08"
"hex"="\x41\x00412\x7f\x80\x7FF\x800\xffff\xaF\xAf\x0039\xg"
"surrogates"="\xd800\xdc00\xdbff\xdfff"
"lonely"="\xdc00\xd83d!\xd83d\xd83d\xde00\xd83d"
"raw"="caf)" "\xc3\xa9" R"( \y \)" "\x80" R"("
"continued"="C:\\very\
  \\long"
"unterminated"="abc
"withNul"="ab\0cd"
"spaced" = "around the sign"
"noSign" "x"
"cr"="a)" "\r" R"(b"
  "indented"="not a value"
"\"quoted\" name"="q"

[Software\\Vantorelle\\Orvane\\4.0\\Extra] 1700000002
"objectDir"="C:\\child"

[Software\\Odd\]Name] 1700000003
"v"="odd"
[Software\\Vantorelle\\Orvane\\4.0] 1700000004
"again"="a key may come twice"
)";

TEST(FindRegistryString, FollowsTheRulesOfTheFile) {
  const struct {
    const char* key;
    const char* value;
    std::optional<std::string> expected;
  } cases[] = {
      {kKey, "objectDir", "Z:\\home\\me\\objects"},
      {kKey, "OBJECTDIR", "Z:\\home\\me\\objects"},
      {"SOFTWARE\\vantorelle\\ORVANE\\4.0", "objectDir", "Z:\\home\\me\\objects"},
      {"Software\\Vantorelle\\Orvane", "objectDir", "C:\\parent"},
      {"Software\\Vantorelle\\Orvane\\4.0\\Extra", "objectDir", "C:\\child"},
      {"Software\\Odd]Name", "v", "odd"},
      {kKey, "again", "a key may come twice"},
      {kKey, "onlyInParent", std::nullopt},
      {kKey, "textureDir", std::nullopt},
      {"Software\\Vantorelle\\Orvane\\5.0", "objectDir", std::nullopt},
      {"Software\\Vantorelle\\Orv", "objectDir", std::nullopt},
      {kKey, "", "default value"},
      {kKey, "Count", std::nullopt},
      {kKey, "binary", std::nullopt},
      {kKey, "expandDir", "%ProgramFiles%\\Orvane"},
      {kKey, "multi", std::nullopt},
      {kKey, "simple", "\a\b\x1b\f\n\r\t\vq\\\"[]"},
      {kKey, "octal", std::string("AA2\a\0" "8", 6)},
      {kKey, "hex", "AA2\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf\xc2\xaf\xc2\xaf" "9xg"},
      {kKey, "surrogates", "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf"},
      {kKey, "lonely", "\xef\xbf\xbd\xef\xbf\xbd!\xef\xbf\xbd\xf0\x9f\x98\x80\xef\xbf\xbd"},
      {kKey, "raw", "caf\xc3\xa9 y \x80"},
      {kKey, "continued", "C:\\very\\long"},
      {kKey, "unterminated", std::nullopt},
      {kKey, "withNul", std::string("ab\0cd", 5)},
      {kKey, "spaced", "around the sign"},
      {kKey, "noSign", std::nullopt},
      {kKey, "cr", "a\rb"},
      {kKey, "indented", std::nullopt},
      {kKey, "\"quoted\" name", "q"},
  };
  for (const auto& c : cases) EXPECT_EQ(FindRegistryString(kSystemReg, c.key, c.value), c.expected) << c.value;
  const std::string crlf = "[Software\\\\Vantorelle\\\\Orvane\\\\4.0] 1\r\n\"o\"=\"C:\\\\x\"\r\n\"c\"=\"a\\\r\n  b\"\r\n";
  EXPECT_EQ(FindRegistryString(crlf, kKey, "o"), "C:\\x");
  EXPECT_EQ(FindRegistryString(crlf, kKey, "c"), "ab");
  // Cut anywhere, the text is never read past its end; a cut string is no value.
  const std::string full = kSystemReg;
  for (size_t size = 0; size < full.size(); ++size) {
    const std::string cut = full.substr(0, size);  // its own buffer, so that a read past it is seen
    for (const char* value : {"continued", "lonely", "noSign", ""}) (void)FindRegistryString(cut, kKey, value);
    (void)FindRegistryString(cut, "Software\\Odd]Name", "v");
  }
  EXPECT_EQ(FindRegistryString(full.substr(0, full.find("\\xde00")), kKey, "lonely"), std::nullopt);
  EXPECT_EQ(FindRegistryString(full.substr(0, full.find("yes") + 2), "Software\\Vantorelle\\Orvane", "onlyInParent"),
            std::nullopt);
}

TEST(WineRegistry, BufferTextAndPrefixFolder) {
  std::string accented;
  for (int i = 0; i < 255; ++i) accented += "\xc3\xa9";
  EXPECT_TRUE(FitsRegistryBuffer(std::string(255, 'a')));
  EXPECT_FALSE(FitsRegistryBuffer(std::string(256, 'a')));
  EXPECT_TRUE(FitsRegistryBuffer(accented));
  EXPECT_FALSE(FitsRegistryBuffer(accented + "a"));
  EXPECT_EQ(RegistryText(std::string_view("ab\0cd", 5)), "ab");
  EXPECT_EQ(RegistryText("abc"), "abc");
  EXPECT_EQ(WinePrefixFolder("/opt/wine", "/home/me"), "/opt/wine");
  EXPECT_EQ(WinePrefixFolder("", "/home/me"), "/home/me/.wine");
  EXPECT_EQ(WinePrefixFolder(nullptr, "/home/me"), "/home/me/.wine");
  EXPECT_EQ(WinePrefixFolder(nullptr, ""), std::nullopt);
  EXPECT_EQ(WinePrefixFolder(nullptr, nullptr), std::nullopt);
}

// A prefix whose drive C: is its drive_c (a relative link with a trailing
// slash), Z: the root, A: a link of more than 256 characters.
class WinePrefix : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "dosdevices");
    fs::create_directory_symlink("../drive_c/", dir_ / "dosdevices" / "c:");
    fs::create_directory_symlink("/", dir_ / "dosdevices" / "z:");
    fs::create_directory_symlink(longTarget_, dir_ / "dosdevices" / "a:");
  }
  void WriteSystemReg(const std::string& text) {
    ASSERT_TRUE(WriteFile(dir_ / "system.reg", {reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
  }

  TempFolder folder_;
  const fs::path dir_ = folder_ / "prefix";
  const std::string prefix_ = dir_, longTarget_ = "/" + std::string(300, 'l');
};

TEST_F(WinePrefix, MapsDrivePathsThroughDosdevices) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"Z:\\home\\me", "/home/me"}, {"z:\\", "/"}, {"Z:", "/"}, {"C:", prefix_ + "/drive_c"},
      {"C:\\", prefix_ + "/drive_c/"}, {"c:\\Orvane\\Obj\\", prefix_ + "/drive_c/Orvane/Obj/"},
      {"C:/mixed\\slashes", prefix_ + "/drive_c/mixed/slashes"}, {"C:\\\\x", prefix_ + "/drive_c/x"},
      {"A:\\x", longTarget_ + "/x"}, {"a:", longTarget_}, {"E:\\a", std::nullopt}, {"y:\\a", std::nullopt},
      {"\\\\server\\share", "//server/share"}, {"relative\\dir", "relative/dir"}, {"", ""}, {"C", "C"},
      {"1:\\x", "1:/x"}, {"@:\\x", "@:/x"}, {"[:\\x", "[:/x"}, {"`:\\x", "`:/x"}, {"{:\\x", "{:/x"},
  };
  for (const auto& [windows, posix] : cases) EXPECT_EQ(MapWindowsPathToPosix(prefix_, windows), posix) << windows;
}

// The value is mapped to this system's path; one that is missing, too long
// for the host's buffer or on a drive without a link leaves it as it was.
TEST_F(WinePrefix, ReadsAndMapsTheValueAndThePlatformFindsThePrefix) {
  const std::string key = "[Software\\\\Vantorelle\\\\Orvane\\\\4.0] 1\n\"objectDir\"=\"";
  const std::string longest = "Z:\\\\" + std::string(252, 'a');  // 255 characters once unescaped
  const std::pair<std::string, std::string> cases[] = {
      {kSystemReg, "/home/me/objects"},  {key + "C:\\\\O\\x00e9\"\n", prefix_ + "/drive_c/O\xc3\xa9"},
      {key + "Z:\\\\a\\0b\"\n", "/a"},   {key + longest + "\"\n", "/" + std::string(252, 'a')},
      {key + longest + "a\"\n", "before"}, {key + "Q:\\\\O\"\n", "before"},
      {"WINE REGISTRY Version 2\n", "before"},
  };
  for (const auto& [systemReg, expected] : cases) {
    WriteSystemReg(systemReg);
    std::string value = "before";
    EXPECT_TRUE(ReadWineRegistryValue(prefix_, kKey, "objectDir", value));
    EXPECT_EQ(value, expected) << systemReg;
  }
  const char* old = getenv("WINEPREFIX");
  const std::string saved = old ? old : "";
  setenv("WINEPREFIX", prefix_.c_str(), 1);
  WriteSystemReg(kSystemReg);
  std::string value = "check";
  EXPECT_TRUE(PosixPlatform("rigwright", false).ReadRegistryValue(kKey, "objectDir", value));
  EXPECT_EQ(value, "/home/me/objects");
  value = "check";
  fs::remove(dir_ / "system.reg");
  fs::create_directory(dir_ / "system.reg");
  EXPECT_FALSE(PosixPlatform("rigwright", false).ReadRegistryValue(kKey, "objectDir", value));
  setenv("WINEPREFIX", (folder_ / "none").c_str(), 1);
  EXPECT_FALSE(PosixPlatform("rigwright", false).ReadRegistryValue(kKey, "objectDir", value));
  old ? setenv("WINEPREFIX", saved.c_str(), 1) : unsetenv("WINEPREFIX");
  EXPECT_EQ(value, "check");
}

}  // namespace
}  // namespace zarno
