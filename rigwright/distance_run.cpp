#include "rigwright/distance_run.h"

#include <string>

#include "core/format.h"
#include "core/header_file.h"
#include "rigwright/class_table.h"
#include "rigwright/lod_distances.h"

namespace zarno {
namespace {

constexpr std::string_view kFileErrorCaption = "File Open Error";

}  // namespace

void RunDistanceAdjustment(Platform& platform, const RigwrightSettings& settings,
                           const InstallPaths& paths, HeaderDatabase& db) {
  ClassDatabase classes;
  std::string message;
  if (!ReadClassTable(platform, paths.objectDirSlash, classes, message)) {
    platform.ShowMessageBox(message, kFileErrorCaption, BoxIcon::kHand);
    return;
  }
  const ClassSelector selector{settings.distanceFilterA, settings.distanceFilterB};
  const DistanceBand band{settings.nearDistance, settings.farDistance};
  if (AdjustLodDistances(classes, selector, band, db) == 0) return;
  if (!SaveHeaderDatabase(platform, paths.hdrPath, db)) {
    platform.ShowMessageBox(Format("Can not write ZarnoObj.hdr: %s", paths.hdrPath.c_str()),
                            kFileErrorCaption, BoxIcon::kHand);
  }
}

}  // namespace zarno
