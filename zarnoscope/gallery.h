// A page of every texture in use: OUTDIR/index.html and one BMP image per
// stored blob, for any browser.
#pragma once

#include <string>
#include <vector>

#include "core/platform.h"
#include "zarnoscope/inspected_folder.h"

namespace zarno {

struct GalleryResult {
  bool written = false;               // the folder, the images and the page are there
  std::string failure;                // when not: the file that could not be written
  std::vector<std::string> damaged;   // "texture 12: <why>" for each texture not shown
  uint32_t shown = 0;
};

GalleryResult WriteGallery(Platform& platform, const InspectedFolder& folder, const std::string& outDir);

}  // namespace zarno
