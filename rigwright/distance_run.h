// The distance run: LOD switch distances of the parents that selected
// classes of Orvane4.ct name are capped, ordered and pulled into a band.
#pragma once

#include "core/header_database.h"
#include "core/install_paths.h"
#include "core/platform.h"
#include "rigwright/command_line.h"

namespace zarno {

// Reads Orvane4.ct (ReadClassTable), adjusts the distances
// (AdjustLodDistances) and saves ZarnoObj.hdr when anything counted as a
// change. A class table that cannot be read is reported in a box naming the
// file, and nothing changes.
void RunDistanceAdjustment(Platform& platform, const RigwrightSettings& settings,
                           const InstallPaths& paths, HeaderDatabase& db);

}  // namespace zarno
