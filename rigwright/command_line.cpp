#include "rigwright/command_line.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "core/decimal_scanner.h"

namespace zarno {
namespace {

const char* SkipBlanks(const char* at) {
  while (*at != '\0' && std::isspace(static_cast<unsigned char>(*at))) ++at;
  return at;
}

// One "%d" conversion; values out of range are held at the nearest limit.
// The line is a C string: it ends at its first NUL.
ScanResult ScanInteger(const char*& at, int32_t& value) {
  const DecimalScan scan = ScanDecimal(at, 0, DecimalOverflow::kClamp);
  if (scan.result != ScanResult::kConverted) return scan.result;
  value = scan.value;
  at += scan.end;
  return ScanResult::kConverted;
}

// One "%f" conversion.
ScanResult ScanFloat(const char*& at, float& value) {
  const char* start = SkipBlanks(at);
  if (*start == '\0') return ScanResult::kEnd;
  char* end = nullptr;
  float parsed = std::strtof(start, &end);
  if (end == start) return ScanResult::kNoMatch;
  value = parsed;
  at = end;
  return ScanResult::kConverted;
}

// Reads "%d %d %f %f" into the distance settings. Returns false when not even
// the first number could be converted because something else stands there;
// text that ends before the first number counts as read.
bool ScanDistanceNumbers(std::string_view text, RigwrightSettings& settings) {
  std::string copy(text);
  const char* at = copy.c_str();
  ScanResult first = ScanInteger(at, settings.distanceFilterA);
  if (first != ScanResult::kConverted) return first == ScanResult::kEnd;
  if (ScanInteger(at, settings.distanceFilterB) != ScanResult::kConverted) return true;
  if (ScanFloat(at, settings.nearDistance) != ScanResult::kConverted) return true;
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
