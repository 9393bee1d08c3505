// Rigwright's argument line and the folders resolved from it. Properties: no
// fault on any line; a folder is given exactly when the line holds a '~',
// the object folder only with the models folder; switches need an '@', and
// a distance run the word "distance" right after it.
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/argument_line.h"
#include "core/install_paths.h"
#include "rigwright/command_line.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// "check" right after the '@', or right after "distance" (the word is taken
// off before the check switch is looked for).
bool SwitchSaysCheck(std::string_view text) {
  if (zarno::StartsWithIgnoringCase(text, "distance")) text.remove_prefix(8);
  return zarno::StartsWithIgnoringCase(text, "check");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zarno;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  RigwrightSettings settings = ParseRigwrightArguments(line);

  const bool hasTilde = line.find('~') != std::string_view::npos;
  const std::optional<std::string_view> switchText = SwitchText(line);
  FuzzCheck(settings.folders.contentDirGiven == hasTilde, "a models folder exactly when there is a '~'");
  FuzzCheck(!settings.folders.objectDirGiven || settings.folders.contentDirGiven,
            "an object folder only after a models folder");
  FuzzCheck(switchText || (!settings.compactRun && !settings.distanceRun), "switches need an '@'");
  FuzzCheck(!settings.distanceRun || StartsWithIgnoringCase(*switchText, "distance"),
            "a distance run needs its word");
  FuzzCheck(settings.checkRun == (settings.folders.objectDirIsCheck || (switchText && SwitchSaysCheck(*switchText))),
            "a check run comes from its switch or the object folder \"check\"");

  InertPlatform platform;
  InstallPaths paths;
  ResolveModelFolders(platform, settings.checkRun, settings.folders, paths);
  return 0;
}
