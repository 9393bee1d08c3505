#include "core/header_file.h"

#include <vector>

#include "core/file_utils.h"

namespace zarno {

HeaderLoadResult LoadHeaderDatabase(Platform& platform, const std::string& hdrPath,
                                    HeaderDatabase& db, bool checkRun) {
  const std::unique_ptr<File> file = platform.OpenFile(hdrPath, OpenMode::kRead);
  if (!file) return {HeaderLoadOutcome::kCannotOpen, kReadOk, false};
  std::vector<uint8_t> bytes;
  if (!ReadOpenedFile(*file, bytes)) return {HeaderLoadOutcome::kCannotRead, kReadOk, false};
  const ReadStatus status = ReadHeaderDatabase(bytes, db, checkRun);
  return {HeaderLoadOutcome::kRead, status, IsSafeToWriteBack(status, db)};
}

bool SaveHeaderDatabase(Platform& platform, const std::string& hdrPath, HeaderDatabase& db) {
  const std::vector<uint8_t> bytes = WriteHeaderDatabase(db);
  return ReplaceFileContents(platform, hdrPath, bytes);
}

}  // namespace zarno
