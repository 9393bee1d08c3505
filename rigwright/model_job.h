// Rigwright's whole job, run once when the start command arrives: it reads
// the header database, then does a compact run, a distance run, or the
// install loop over the install-parent files of the models folder (an
// install run, or a check run that changes nothing and writes its findings
// to ErrorList.txt).
#pragma once

#include "core/install_paths.h"
#include "core/platform.h"
#include "rigwright/command_line.h"

namespace zarno {

// Its last act on every path is one close request. Two beeps mark an install
// or check run that got through its loop and finished.
void RunModelJob(Platform& platform, const RigwrightSettings& settings, const InstallPaths& paths);

}  // namespace zarno
