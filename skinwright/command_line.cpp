#include "skinwright/command_line.h"

#include <optional>

namespace zarno {
namespace {

// Each switch word is compared over its own length, as a prefix.
void ParseSwitch(std::string_view text, SkinwrightSettings& settings) {
  if (StartsWithIgnoringCase(text, "check")) settings.checkRun = true;
  if (StartsWithIgnoringCase(text, "dups")) {
    settings.dupsOnly = true;
    settings.checkRun = true;
  }
  if (StartsWithIgnoringCase(text, "dds")) settings.ddsRun = true;
}

}  // namespace

SkinwrightSettings ParseSkinwrightArguments(std::string_view line) {
  SkinwrightSettings settings;
  if (std::optional<std::string_view> switchText = SwitchText(line)) ParseSwitch(*switchText, settings);
  settings.folders = ParseFolderArguments(line);
  if (settings.folders.objectDirIsCheck) settings.checkRun = true;
  return settings;
}

}  // namespace zarno
