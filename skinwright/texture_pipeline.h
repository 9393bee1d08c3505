// A normal run's BMP images on every core: each image is checked, given its
// palette and read on the job's thread in search order, its pixels are
// compressed by the workers, and its stream is appended and recorded on the
// job's thread in search order again, so the files come out byte for byte
// as a run on one thread leaves them. A bounded number of images is in
// flight: one pixel buffer and one stream per thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "skinwright/texture_job_state.h"

namespace zarno {

// Stores the images of `names` (in the texture folder) with `threads`
// compressing threads. Nothing, or the failure that ended the run (a file of
// the object folder that could not be written); the images after it are not
// stored.
std::optional<std::string> StoreImagesOnEveryCore(TextureJobState& state, const std::vector<std::string>& names,
                                                  uint32_t threads);

}  // namespace zarno
