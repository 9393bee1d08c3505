// Skinwright's whole job, run once when the start command arrives.
#pragma once

#include "core/install_paths.h"
#include "core/platform.h"
#include "skinwright/command_line.h"

namespace zarno {

// Reads the header database, hands every image of the texture folder to the
// texture store and then, outside check runs, writes the header database and
// (in a BMP run) compacts ZarnoObj.tex; a check run writes TexErrorList.txt
// instead. Failures are signalled by one beep, a run that got through its
// images and its writes by two. Its last act on every path is one close
// request.
void RunTextureJob(Platform& platform, const SkinwrightSettings& settings, const InstallPaths& paths);

}  // namespace zarno
