// Skinwright's argument line and the folders resolved from it. Properties:
// no fault on any line; a folder is given exactly when the line holds a '~',
// the object folder only with the texture folder; each switch comes from its
// word right after the first '@', and "dups" always brings a check run.
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/argument_line.h"
#include "core/install_paths.h"
#include "skinwright/command_line.h"
#include "skinwright/texture_paths.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zarno;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  SkinwrightSettings settings = ParseSkinwrightArguments(line);

  const std::optional<std::string_view> switchText = SwitchText(line);
  const auto switchIs = [&](std::string_view word) {
    return switchText && StartsWithIgnoringCase(*switchText, word);
  };
  FuzzCheck(settings.folders.contentDirGiven == (line.find('~') != std::string_view::npos),
            "a texture folder exactly when there is a '~'");
  FuzzCheck(!settings.folders.objectDirGiven || settings.folders.contentDirGiven,
            "an object folder only after a texture folder");
  FuzzCheck(settings.ddsRun == switchIs("dds"), "a DDS run from its switch");
  FuzzCheck(settings.dupsOnly == switchIs("dups"), "a dups run from its switch");
  FuzzCheck(settings.checkRun == (switchIs("check") || switchIs("dups") || settings.folders.objectDirIsCheck),
            "a check run from its switches or the object folder \"check\"");

  InertPlatform platform;
  InstallPaths paths;
  ResolveTexFolders(platform, settings.checkRun, settings.folders, paths);
  return 0;
}
