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

std::optional<std::string> DescribeLoadFailure(const HeaderLoadResult& load, const std::string& hdrPath) {
  if (load.outcome == HeaderLoadOutcome::kCannotOpen) return "Can not open ZarnoObj.hdr: " + hdrPath;
  if (load.outcome == HeaderLoadOutcome::kRead && load.safeToWrite) return std::nullopt;
  const std::string reason(load.outcome == HeaderLoadOutcome::kCannotRead ? "the file could not be read"
                                                                          : DescribeReadStatus(load.status));
  return "Can not read ZarnoObj.hdr: " + hdrPath + " (" + reason + ")";
}

bool SaveHeaderDatabase(Platform& platform, const std::string& hdrPath, HeaderDatabase& db) {
  const std::vector<uint8_t> bytes = WriteHeaderDatabase(db);
  return ReplaceFileContents(platform, hdrPath, bytes);
}

}  // namespace zarno
