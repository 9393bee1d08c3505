#include "skinwright/texture_paths.h"

#include <string>

namespace zarno {

bool ResolveTexFolders(Platform& platform, bool checkRun, FolderArguments& folders,
                       InstallPaths& paths) {
  if (!ResolveObjectFolder(platform, checkRun, folders, paths)) return false;
  const char separator = platform.PathSeparator();
  if (folders.contentDirGiven) {
    // Two separators, which the file functions take as one; the doubled one
    // shows in the first line of TexErrorList.txt.
    paths.texDir = folders.contentDirArg + separator + separator;
  } else {
    paths.texDir = paths.objectDirSlash + std::string(kSkinsFolderName) + separator;
  }
  return true;
}

}  // namespace zarno
