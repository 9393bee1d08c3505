#include "rigwright/model_job.h"

#include "core/format.h"
#include "core/header_database.h"
#include "core/header_file.h"

namespace zarno {
namespace {

// Reads ZarnoObj.hdr whole. A file that cannot be opened, or whose tables
// could not be read completely, ends the job with a box naming the file: such
// tables must never be written back or built upon.
bool LoadHeaderForJob(Platform& platform, const RigwrightSettings& settings,
                      const InstallPaths& paths, HeaderDatabase& db) {
  HeaderLoadResult load = LoadHeaderDatabase(platform, paths.hdrPath, db, settings.checkRun);
  if (load.outcome == HeaderLoadOutcome::kCannotOpen) {
    platform.ShowMessageBox(Format("Can not open ZarnoObj.hdr: %s", paths.hdrPath.c_str()),
                            "File Open Error", BoxIcon::kHand);
    return false;
  }
  if (load.outcome == HeaderLoadOutcome::kCannotRead || !load.safeToWrite) {
    std::string reason(load.outcome == HeaderLoadOutcome::kCannotRead
                           ? std::string_view("the file could not be read")
                           : DescribeReadStatus(load.status));
    platform.ShowMessageBox(
        Format("Can not read ZarnoObj.hdr: %s (%s)", paths.hdrPath.c_str(), reason.c_str()),
        "File Read Error", BoxIcon::kHand);
    return false;
  }
  return true;
}

}  // namespace

void RunModelJob(Platform& platform, const RigwrightSettings& settings, const InstallPaths& paths) {
  HeaderDatabase db(kRigwrightLimits);
  if (!LoadHeaderForJob(platform, settings, paths, db)) {
    platform.RequestClose();
    return;
  }
  platform.RequestClose();
}

}  // namespace zarno
