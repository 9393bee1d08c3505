// The health check of an object folder: every record against its store and
// the other tables, every texture's stream decoded, and what an interrupted
// update left behind.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/platform.h"
#include "zarnoscope/inspected_folder.h"

namespace zarno {

// The streams go to the decoding threads in batches of about this many
// pixels (at least one texture): handing over one small texture at a time
// would cost more than decoding it.
inline constexpr size_t kVerifyBatchPixels = size_t{4} << 20;

struct FolderProblem {
  std::string file;    // the file the problem is in, named within the folder
  std::string record;  // "texture 12", "lod 5", "parent 3"; empty for a whole file
  std::string text;
};

std::vector<FolderProblem> CheckFolder(Platform& platform, const InspectedFolder& folder);

}  // namespace zarno
