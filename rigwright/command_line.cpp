#include "rigwright/command_line.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

namespace zarno {
namespace {

enum class ScanStart { kConverted, kEndOfText, kNotANumber };

const char* SkipBlanks(const char* at) {
  while (*at != '\0' && std::isspace(static_cast<unsigned char>(*at))) ++at;
  return at;
}

// One "%d" conversion: optional blanks, an optional sign, digits. Values out
// of range are held at the nearest 32-bit limit.
ScanStart ScanInteger(const char*& at, int32_t& value) {
  const char* start = SkipBlanks(at);
  if (*start == '\0') return ScanStart::kEndOfText;
  char* end = nullptr;
  errno = 0;
  long long parsed = std::strtoll(start, &end, 10);
  if (end == start) return ScanStart::kNotANumber;
  if (parsed > INT32_MAX) parsed = INT32_MAX;
  if (parsed < INT32_MIN) parsed = INT32_MIN;
  value = static_cast<int32_t>(parsed);
  at = end;
  return ScanStart::kConverted;
}

// One "%f" conversion.
ScanStart ScanFloat(const char*& at, float& value) {
  const char* start = SkipBlanks(at);
  if (*start == '\0') return ScanStart::kEndOfText;
  char* end = nullptr;
  float parsed = std::strtof(start, &end);
  if (end == start) return ScanStart::kNotANumber;
  value = parsed;
  at = end;
  return ScanStart::kConverted;
}

// Reads "%d %d %f %f" into the distance settings. Returns false when not even
// the first number could be converted because something else stands there;
// text that ends before the first number counts as read.
bool ScanDistanceNumbers(std::string_view text, RigwrightSettings& settings) {
  std::string copy(text);
  const char* at = copy.c_str();
  ScanStart first = ScanInteger(at, settings.distanceFilterA);
  if (first != ScanStart::kConverted) return first == ScanStart::kEndOfText;
  if (ScanInteger(at, settings.distanceFilterB) != ScanStart::kConverted) return true;
  if (ScanFloat(at, settings.nearDistance) != ScanStart::kConverted) return true;
  ScanFloat(at, settings.farDistance);
  return true;
}

void ParseSwitch(std::string_view text, RigwrightSettings& settings) {
  if (StartsWithIgnoringCase(text, "compact")) settings.compactRun = true;
  if (StartsWithIgnoringCase(text, "distance")) {
    text.remove_prefix(8);
    settings.distanceRun = true;
    settings.distanceFilterA = -1;
    settings.distanceFilterB = -1;
    if (!ScanDistanceNumbers(text, settings)) settings.distanceRun = false;
  } else {
    settings.distanceRun = false;
  }
  if (StartsWithIgnoringCase(text, "check")) settings.checkRun = true;
}

}  // namespace

RigwrightSettings ParseRigwrightArguments(std::string_view line) {
  RigwrightSettings settings;
  if (std::optional<std::string_view> switchText = SwitchText(line)) ParseSwitch(*switchText, settings);
  settings.folders = ParseFolderArguments(line);
  if (settings.folders.objectDirIsCheck) settings.checkRun = true;
  return settings;
}

}  // namespace zarno
