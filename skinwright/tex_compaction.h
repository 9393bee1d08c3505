// Compaction of ZarnoObj.tex: the store is rewritten with only the data that
// the texture records in use name, back to back in record order from offset
// 0, and the header database records the new offsets.
#pragma once

#include <string>

#include "core/header_database.h"
#include "core/install_paths.h"
#include "core/platform.h"

namespace zarno {

// Compacts ZarnoObj.tex under the progress display ("Compacting ZarnoObj.tex
// File"). The packed store and the new header database are written beside the
// old files and then replace them together, so both change or neither does.
// Each record in use gets its own copy of its data, also when records share
// it; unused records keep their offsets; maxTextureSize is raised to the
// largest record in use. Returns false, with the files and `db` as they were,
// when the store cannot be read, a record's data runs past its end, the packed
// store would not fit 32-bit offsets, or a file cannot be written or replaced;
// `failure`, when given, then receives words that name the file.
bool CompactTexFile(Platform& platform, const InstallPaths& paths, HeaderDatabase& db,
                    std::string* failure = nullptr);

}  // namespace zarno
