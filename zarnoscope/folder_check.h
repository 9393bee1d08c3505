// The health check of an object folder: every record against its store and
// the other tables, every texture's stream decoded, and what an interrupted
// update left behind.
#pragma once

#include <string>
#include <vector>

#include "core/platform.h"
#include "zarnoscope/inspected_folder.h"

namespace zarno {

struct FolderProblem {
  std::string file;    // the file the problem is in, named within the folder
  std::string record;  // "texture 12", "lod 5", "parent 3"; empty for a whole file
  std::string text;
};

std::vector<FolderProblem> CheckFolder(Platform& platform, const InspectedFolder& folder);

}  // namespace zarno
