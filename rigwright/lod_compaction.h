// The compact run: ZarnoObj.lod rewritten with only the blobs that parents
// refer to, packed from offset 0 in record order.
#pragma once

#include <cstdint>
#include <vector>

#include "core/header_database.h"
#include "core/install_paths.h"
#include "core/platform.h"

namespace zarno {

// One flag per LOD record (lodCount of them, kept inside the table): whether
// some parent's LOD reference names it, so that a compaction keeps it.
std::vector<bool> RecordsReferencedByParents(const HeaderDatabase& db);
// The bytes of the records no parent refers to; a compaction rewrites the
// store only when there are some.
uint64_t UnreferencedBytes(const HeaderDatabase& db, const std::vector<bool>& used);

// Compacts ZarnoObj.lod under the progress display and saves the new offsets
// in ZarnoObj.hdr. Both files are replaced together, or neither is; a
// failure is reported in a box naming the file.
void CompactLodFile(Platform& platform, const InstallPaths& paths, HeaderDatabase& db);

}  // namespace zarno
