// Rigwright's whole job, run once when the start command arrives.
#pragma once

#include "core/install_paths.h"
#include "core/platform.h"
#include "rigwright/command_line.h"

namespace zarno {

// Reads the header database, then does the run the settings ask for. Its
// last act on every path is one close request.
void RunModelJob(Platform& platform, const RigwrightSettings& settings, const InstallPaths& paths);

}  // namespace zarno
