// Loading and saving ZarnoObj.hdr through the platform. Every write of the
// header database goes through SaveHeaderDatabase.
#pragma once

#include <optional>
#include <string>

#include "core/header_database.h"
#include "core/platform.h"

namespace zarno {

enum class HeaderLoadOutcome {
  kCannotOpen,  // the file could not be opened
  kCannotRead,  // it opened but could not be read whole
  kRead,        // the reader ran; see status
};

struct HeaderLoadResult {
  HeaderLoadOutcome outcome;
  ReadStatus status;  // the reader's status; kReadOk unless outcome is kRead
  bool safeToWrite;   // IsSafeToWriteBack for that status; false unless kRead
};

// Reads the file whole and runs the reader over it. The tables are touched
// only when the outcome is kRead.
HeaderLoadResult LoadHeaderDatabase(Platform& platform, const std::string& hdrPath,
                                    HeaderDatabase& db, bool checkRun);

// What went wrong with a load, in words that name the file: "Can not open
// ZarnoObj.hdr: <path>" or "Can not read ZarnoObj.hdr: <path> (<reason>)";
// nothing when the tables were read whole and may be written back.
std::optional<std::string> DescribeLoadFailure(const HeaderLoadResult& load, const std::string& hdrPath);

// Writes the tables (lowering counts above the limits, in memory too) and
// replaces the file with them atomically. False when the file could not be
// replaced; it then keeps its old contents.
bool SaveHeaderDatabase(Platform& platform, const std::string& hdrPath, HeaderDatabase& db);

}  // namespace zarno
