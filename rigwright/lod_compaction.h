// The compact run: ZarnoObj.lod rewritten with only the blobs that parents
// refer to, packed from offset 0 in record order.
#pragma once

#include "core/header_database.h"
#include "core/install_paths.h"
#include "core/platform.h"

namespace zarno {

// Compacts ZarnoObj.lod under the progress display and saves the new offsets
// in ZarnoObj.hdr. Both files are replaced together, or neither is; a
// failure is reported in a box naming the file.
void CompactLodFile(Platform& platform, const InstallPaths& paths, HeaderDatabase& db);

}  // namespace zarno
