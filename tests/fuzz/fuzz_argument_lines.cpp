// Both programs' argument lines and the folders resolved from them: no
// fault on any line; a folder is given exactly when the line holds a '~',
// the object folder only after the content folder; switches need an '@'
// and their word right after it; "dups" brings a check run.
#include "core/argument_line.h"
#include "core/install_paths.h"
#include "rigwright/command_line.h"
#include "skinwright/command_line.h"
#include "skinwright/texture_paths.h"
#include "tests/fuzz/fuzz_support.h"

using namespace zarno;

void CheckFolders(const FolderArguments& folders, std::string_view line) {
  FuzzCheck(folders.contentDirGiven == (line.find('~') != std::string_view::npos), "a folder exactly with a '~'");
  FuzzCheck(!folders.objectDirGiven || folders.contentDirGiven, "an object folder only after a content folder");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string_view> switchText = SwitchText(line);
  const auto switchIs = [&](std::string_view word) { return switchText && StartsWithIgnoringCase(*switchText, word); };
  QuietPlatform platform;
  InstallPaths paths;

  RigwrightSettings rig = ParseRigwrightArguments(line);
  CheckFolders(rig.folders, line);
  FuzzCheck(rig.compactRun == switchIs("compact"), "a compact run from its switch");
  FuzzCheck(!rig.distanceRun || switchIs("distance"), "a distance run needs its word");
  const bool checkAfterDistance = switchIs("distance") && StartsWithIgnoringCase(switchText->substr(8), "check");
  FuzzCheck(rig.checkRun == (rig.folders.objectDirIsCheck || switchIs("check") || checkAfterDistance),
            "a check run from its switch or the object folder \"check\"");
  ResolveModelFolders(platform, rig.checkRun, rig.folders, paths);

  SkinwrightSettings skin = ParseSkinwrightArguments(line);
  CheckFolders(skin.folders, line);
  FuzzCheck(skin.ddsRun == switchIs("dds") && skin.dupsOnly == switchIs("dups"), "DDS and dups runs from switches");
  FuzzCheck(skin.checkRun == (switchIs("check") || switchIs("dups") || skin.folders.objectDirIsCheck),
            "a check run from its switches or the object folder \"check\"");
  ResolveTexFolders(platform, skin.checkRun, skin.folders, paths);
  return 0;
}
