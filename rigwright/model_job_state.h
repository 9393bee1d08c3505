// What Rigwright's install loop carries from one install-parent file to the
// next: the header database, the open ZarnoObj.lod and its append position,
// the error list of a check run, the file being read and the failure tally.
// One instance lives for one job; the parser and the LOD installation get it
// handed in.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/header_database.h"
#include "core/install_paths.h"
#include "core/platform.h"
#include "core/text_report.h"
#include "rigwright/command_line.h"

namespace zarno {

inline constexpr std::string_view kErrorListName = "ErrorList.txt";
inline constexpr std::string_view kInstallParentMask = "*.ihr";
// Failures tolerated in an install run; the next one ends it.
inline constexpr int32_t kMaxInstallFailures = 20;
// Bytes left between the end of one appended blob and the start of the next.
inline constexpr uint32_t kLodBlobGap = 10;

struct ModelJobState {
  ModelJobState(Platform& platform, const RigwrightSettings& settings, const InstallPaths& paths)
      : platform(platform), settings(settings), paths(paths), db(kRigwrightLimits) {}

  Platform& platform;
  const RigwrightSettings& settings;
  const InstallPaths& paths;
  HeaderDatabase db;

  // ErrorList.txt of a check run, open through the install loop.
  std::optional<TextReport> errorListFile;
  // ZarnoObj.lod, open for update through the install loop.
  std::unique_ptr<File> lodFile;
  // Where the next blob goes in ZarnoObj.lod. Wider than a record's offset,
  // so that a blob that would end beyond what a record can hold is noticed.
  uint64_t lodAppendOffset = 0;

  std::string currentIhrName;   // file name, without folder, of the file being read
  int32_t ihrFileNumber = 0;    // 1-based, in search order
  int32_t installFailureCount = 0;
  int32_t maxInstallFailures = kMaxInstallFailures;

  // The model files that the last parsed parent asks to install, one per LOD
  // entry, already named with ".lod".
  std::array<std::string, kMaxLodRefs> LodFileNames;
  // The parent index of the previous install-parent file; -1 before the first.
  int32_t lastParentIndex = -1;

  // The block buffer of the model file copies, kept for the whole run.
  std::vector<uint8_t> copyBuffer;
};

// The path of ErrorList.txt: the models folder (which ends in a separator),
// another separator and the name, as the host's tools have always built it.
inline std::string ErrorListPath(const ModelJobState& state) {
  return state.paths.modelDir + state.platform.PathSeparator() + std::string(kErrorListName);
}

// Appends a finding to ErrorList.txt; nothing happens when it is not open.
inline void WriteFinding(ModelJobState& state, std::string_view line) {
  if (state.errorListFile && state.errorListFile->IsOpen()) state.errorListFile->Write(line);
}

}  // namespace zarno
