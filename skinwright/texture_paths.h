// Skinwright's folders: the object folder and its files, and the texture
// folder whose images a run installs.
#pragma once

#include <string_view>

#include "core/argument_line.h"
#include "core/install_paths.h"
#include "core/platform.h"

namespace zarno {

// The object folder as both programs resolve it (in a check run the folder
// the host registered takes the place of the argument), then texDir: the
// texture folder argument followed by two separators, or the Skins folder of
// the object folder followed by one. Returns false when the current directory
// is needed and cannot be had.
bool ResolveTexFolders(Platform& platform, bool checkRun, FolderArguments& folders,
                       InstallPaths& paths);

}  // namespace zarno
