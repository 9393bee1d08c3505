// The reader of Wine's system.reg: keys, values, escapes, case, damaged text, and a prefix's drive paths.
#include "core/wine_registry_posix.h"
#include <gtest/gtest.h>
#include "tests/support/kit.h"
namespace zarno {
namespace {
using Found = std::optional<std::string>;
constexpr const char* kKey = "Software\\Vantorelle\\Orvane\\4.0";
// As Wine writes it, with neighbouring keys whose values must not be taken.
constexpr const char* kSystemReg = R"(WINE REGISTRY Version 2
[Software\\Vantorelle\\Orvane] 1700000000
"objectDir"="C:\\parent"
"onlyInParent"="yes"

[Software\\Vantorelle\\Orvane\\4.0] 1700000001
@="default value"
"binary"=hex:01,02,\
  03,04
"expandDir"=str(2):"%ProgramFiles%\\Orvane"
"multi"=str(7):"a\0b\0"
"objectDir"="Z:\\home\\me\\objects"
"objectDir"="the first one counts"
"simple"="\a\b\e\f\n\r\t\v\q\\\"\[\]"
"octal"="\101\1012\7\08"
"hex"="\x41\x00412\x7f\x80\x7FF\x800\xffff\xaF\xAf\x0039\xg"
"lonely"="\xdc00\xd83d!\xd83d\xd83d\xde00\xd83d"
"raw"="caf)" "\xc3\xa9" R"( \y \)" "\x80" R"("
"continued"="C:\\very\
  \\long"
"unterminated"="abc
"withNul"="ab\0cd"
"spaced" = "around the sign"
"noSign" "x"
"cr"="a)" "\r" R"(b"
"\"quoted\" name"="q"

[Software\\Vantorelle\\Orvane\\4.0\\Extra] 1700000002
"objectDir"="C:\\child"

[Software\\Vantorelle\\Orvane\\4.0] 1700000004
"again"="a key may come twice"
)";
TEST(FindRegistryString, FollowsTheRulesOfTheFile) {
  const std::pair<const char*, Found> values[] = {  // of kKey
      {"objectDir", "Z:\\home\\me\\objects"}, {"OBJECTDIR", "Z:\\home\\me\\objects"}, {"", "default value"},
      {"again", "a key may come twice"}, {"onlyInParent", {}}, {"textureDir", {}}, {"binary", {}},
      {"expandDir", "%ProgramFiles%\\Orvane"}, {"multi", {}}, {"simple", "\a\b\x1b\f\n\r\t\vq\\\"[]"},
      {"octal", std::string("AA2\a\0" "8", 6)},
      {"hex", "AA2\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf\xc2\xaf\xc2\xaf" "9xg"},
      {"lonely", "\xef\xbf\xbd\xef\xbf\xbd!\xef\xbf\xbd\xf0\x9f\x98\x80\xef\xbf\xbd"}, {"raw", "caf\xc3\xa9 y \x80"},
      {"continued", "C:\\very\\long"}, {"unterminated", {}}, {"withNul", std::string("ab\0cd", 5)},
      {"spaced", "around the sign"}, {"noSign", {}}, {"cr", "a\rb"}, {"\"quoted\" name", "q"}};
  for (const auto& [value, found] : values) EXPECT_EQ(FindRegistryString(kSystemReg, kKey, value), found) << value;
  const std::pair<const char*, Found> keys[] = {  // their objectDir
      {"SOFTWARE\\vantorelle\\ORVANE\\4.0", "Z:\\home\\me\\objects"}, {"Software\\Vantorelle\\Orvane", "C:\\parent"},
      {"Software\\Vantorelle\\Orvane\\4.0\\Extra", "C:\\child"}, {"Software\\Vantorelle\\Orv", {}}};
  for (const auto& [key, found] : keys) EXPECT_EQ(FindRegistryString(kSystemReg, key, "objectDir"), found) << key;
  // Cut anywhere, the text is never read past its end (each cut is a buffer of its own); a cut string is no value.
  const std::string full = kSystemReg;
  for (size_t size = 0; size < full.size(); ++size)
    for (const char* v : {"continued", "lonely", "noSign", ""}) (void)FindRegistryString(full.substr(0, size), kKey, v);
  EXPECT_EQ(FindRegistryString(full.substr(0, full.find("\\xde00")), kKey, "lonely"), std::nullopt);
}
// Drive paths go through the prefix's links. A value is mapped to this system's path; one that is missing, too
// long for the host's buffer (in characters) or on a drive without a link leaves the result as it was.
TEST(WinePrefix, MapsDrivePathsAndReadsTheValue) {
  TempFolder folder;
  const fs::path dir = folder / "prefix";
  const std::string prefix = dir, longTarget = "/" + std::string(300, 'l');
  fs::create_directories(dir / "dosdevices");
  fs::create_directory_symlink("../drive_c/", dir / "dosdevices" / "c:");
  fs::create_directory_symlink("/", dir / "dosdevices" / "z:");
  fs::create_directory_symlink(longTarget, dir / "dosdevices" / "a:");
  const std::pair<const char*, Found> paths[] = {
      {"Z:\\home\\me", "/home/me"}, {"z:\\", "/"}, {"Z:", "/"}, {"C:", prefix + "/drive_c"},
      {"C:\\", prefix + "/drive_c/"}, {"c:\\Orvane\\Obj\\", prefix + "/drive_c/Orvane/Obj/"},
      {"C:/mixed\\slashes", prefix + "/drive_c/mixed/slashes"}, {"C:\\\\x", prefix + "/drive_c/x"},
      {"A:\\x", longTarget + "/x"}, {"a:", longTarget}, {"E:\\a", {}}, {"y:\\a", {}},
      {"\\\\server\\share", "//server/share"}, {"relative\\dir", "relative/dir"}, {"", ""}, {"C", "C"},
      {"1:\\x", "1:/x"}, {"@:\\x", "@:/x"}, {"[:\\x", "[:/x"}, {"`:\\x", "`:/x"}, {"{:\\x", "{:/x"}};
  for (const auto& [windows, posix] : paths) EXPECT_EQ(MapWindowsPathToPosix(prefix, windows), posix) << windows;
  const std::string key = "[Software\\\\Vantorelle\\\\Orvane\\\\4.0] 1\n\"objectDir\"=\"", z = key + "Z:\\\\";
  std::string longest, accented;  // 255 characters once unescaped, the last 252 of them two bytes long
  for (int i = 0; i < 252; ++i) longest += "\\x00e9", accented += "\xc3\xa9";
  const std::pair<std::string, std::string> cases[] = {
      {kSystemReg, "/home/me/objects"}, {z + "a\\0b\"\n", "/a"}, {z + longest + "\"\n", "/" + accented},
      {z + longest + "a\"\n", "before"}, {key + "Q:\\\\O\"\n", "before"}, {"WINE REGISTRY Version 2\n", "before"}};
  std::string value;
  for (const auto& [systemReg, expected] : cases) {
    ASSERT_TRUE(WriteFile(dir / "system.reg", {reinterpret_cast<const uint8_t*>(systemReg.data()), systemReg.size()}));
    EXPECT_TRUE(ReadWineRegistryValue(prefix, kKey, "objectDir", value = "before"));
    EXPECT_EQ(value, expected) << systemReg;
  }
  fs::remove(dir / "system.reg");
  EXPECT_FALSE(ReadWineRegistryValue(prefix, kKey, "objectDir", value));
  fs::create_directory(dir / "system.reg");
  EXPECT_FALSE(ReadWineRegistryValue(prefix, kKey, "objectDir", value));
  EXPECT_EQ(value, "before");
  EXPECT_EQ((std::array{WinePrefixFolder("/opt/wine", "/me"), WinePrefixFolder("", "/me"), WinePrefixFolder(nullptr,
             "/me"), WinePrefixFolder(nullptr, ""), WinePrefixFolder(nullptr, nullptr)}),
            (std::array<Found, 5>{"/opt/wine", "/me/.wine", "/me/.wine", {}, {}}));
}
}  // namespace
}  // namespace zarno
