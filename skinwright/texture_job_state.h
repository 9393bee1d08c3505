// What Skinwright's job holds while it runs: the settings and paths it was
// started with, the header database, the report of a check run and the
// identifier of the image checked before. The texture store works on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/header_database.h"
#include "core/install_paths.h"
#include "core/platform.h"
#include "core/text_report.h"
#include "skinwright/command_line.h"
#include "skinwright/texture_image.h"

namespace zarno {

struct TextureJobState {
  TextureJobState(Platform& platform, const SkinwrightSettings& settings, const InstallPaths& paths)
      : platform(platform), settings(settings), paths(paths) {}

  Platform& platform;
  const SkinwrightSettings& settings;
  const InstallPaths& paths;

  HeaderDatabase db{kSkinwrightLimits};
  // TexErrorList.txt, open only during a check run.
  std::optional<TextReport> texErrorFile;
  // The identifier of the image checked just before, in a check run; nothing
  // before the first image and after an image without an identifier.
  std::optional<int32_t> lastTexId;
  // The DDS copies waiting under their ".new" names, as names within the
  // object folder ("ZarnoObj/57.dds"). They replace the old copies, together
  // with ZarnoObj.hdr, at the end of the run.
  std::vector<std::string> stagedDdsCopies;

  // While set, a palette box is counted in deferredPaletteBoxes instead of
  // shown: the job shows it when it comes to the image in search order.
  bool deferPaletteBoxes = false;
  uint32_t deferredPaletteBoxes = 0;

  // Writes a line to TexErrorList.txt when it is open.
  void ReportLine(std::string_view line) {
    if (texErrorFile) texErrorFile->Write(line);
  }
  // The palette box, or its place in the queue.
  void PaletteBox() {
    if (deferPaletteBoxes) {
      ++deferredPaletteBoxes;
    } else {
      ShowPaletteError(platform);
    }
  }
};

}  // namespace zarno
