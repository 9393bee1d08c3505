// The host's object folder and the paths both programs build from it.
#pragma once

#include <string>
#include <string_view>

#include "core/argument_line.h"
#include "core/platform.h"

namespace zarno {

// Where the host registers its object folder, below HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kRegistryKeyBase = "Software\\Vantorelle\\Orvane";
inline constexpr std::string_view kRegistrySubkey = "4.0";
inline constexpr std::string_view kObjectDirValue = "objectDir";

inline constexpr std::string_view kHeaderFileName = "ZarnoObj.hdr";
inline constexpr std::string_view kLodFileName = "ZarnoObj.lod";
// The folder of DDS texture copies inside the object folder.
inline constexpr std::string_view kDdsFolderName = "ZarnoObj";
inline constexpr std::string_view kModelsFolderName = "Models";
inline constexpr std::string_view kSkinsFolderName = "Skins";

// Paths resolved once at start-up and only read afterwards.
struct InstallPaths {
  std::string objectDir;       // the object folder, without a trailing separator
  std::string objectDirSlash;  // objectDir followed by one separator
  std::string hdrPath;         // objectDir + separator + "ZarnoObj.hdr"
  std::string lodPath;         // Rigwright: objectDir + separator + "ZarnoObj.lod"
  std::string modelDir;        // Rigwright: the models folder, ending in a separator
  std::string texDir;          // Skinwright: the texture folder
};

// Reads a value of the host's key (kRegistryKeyBase, then `subkey` when it is
// not empty) into `destination`, which keeps what it held when the value is
// missing. Returns whether the key could be opened or created.
bool ReadRegistryValue(Platform& platform, std::string_view subkey, std::string_view valueName,
                       std::string& destination);

// The steps both programs share: in a check run the registered object folder
// takes the place of the object folder argument; then objectDir (the argument,
// or the current directory), objectDirSlash and hdrPath. Returns false when
// the current directory is needed and cannot be had.
bool ResolveObjectFolder(Platform& platform, bool checkRun, FolderArguments& folders,
                         InstallPaths& paths);

// Rigwright's folders: the shared steps, then modelDir (the argument followed
// by one separator, else the Models folder of the object folder) and lodPath.
bool ResolveModelFolders(Platform& platform, bool checkRun, FolderArguments& folders,
                         InstallPaths& paths);

}  // namespace zarno
