#include "core/install_paths.h"

namespace zarno {

bool ReadRegistryValue(Platform& platform, std::string_view subkey, std::string_view valueName,
                       std::string& destination) {
  std::string keyPath(kRegistryKeyBase);
  if (!subkey.empty()) {
    keyPath += '\\';
    keyPath += subkey;
  }
  return platform.ReadRegistryValue(keyPath, std::string(valueName), destination);
}

bool ResolveObjectFolder(Platform& platform, bool checkRun, FolderArguments& folders,
                         InstallPaths& paths) {
  if (checkRun) ReadRegistryValue(platform, kRegistrySubkey, kObjectDirValue, folders.objectDirArg);
  if (folders.objectDirGiven) {
    paths.objectDir = folders.objectDirArg;
  } else {
    std::optional<std::string> current = platform.CurrentDirectory();
    if (!current) return false;
    paths.objectDir = *current;
  }
  const char separator = platform.PathSeparator();
  paths.objectDirSlash = paths.objectDir + separator;
  paths.hdrPath = paths.objectDirSlash + std::string(kHeaderFileName);
  return true;
}

bool ResolveModelFolders(Platform& platform, bool checkRun, FolderArguments& folders,
                         InstallPaths& paths) {
  if (!ResolveObjectFolder(platform, checkRun, folders, paths)) return false;
  const char separator = platform.PathSeparator();
  if (folders.contentDirGiven) {
    paths.modelDir = folders.contentDirArg + separator;
  } else {
    paths.modelDir = paths.objectDirSlash + std::string(kModelsFolderName) + separator;
  }
  paths.lodPath = paths.objectDirSlash + std::string(kLodFileName);
  return true;
}

}  // namespace zarno
