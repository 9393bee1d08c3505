// Installing a parent's model files as LOD blobs.
//
// ZarnoObj.lod is a plain concatenation of geometry blobs, with no header and
// no framing; LOD record k locates blob k by its fileOffset and fileSize.
// Installation appends each blob kLodBlobGap bytes after the end of the one
// before it and never writes the gap. A free record (fileSize 0) owns no
// bytes and is reused, lowest index first, before the table grows. Records
// are never renumbered, so a parent's lodRef stays valid.
#pragma once

#include <cstdint>

#include "core/header_database.h"
#include "rigwright/model_job_state.h"

namespace zarno {

struct LodInstallResult {
  // Model files of the parent that could not be installed (or, in a check
  // run, opened); 0 when all were handled.
  int32_t failures = 0;
  // ZarnoObj.lod could not be written. The blob being written is not
  // recorded and nothing more is installed; the caller must end the job
  // without saving the header database.
  bool lodWriteFailed = false;
};

// Where the first blob of a run goes: kLodBlobGap bytes after the end of the
// blob that ends last, so that no recorded blob is ever written over (10 for
// a database without blobs).
uint64_t FirstAppendOffset(const HeaderDatabase& db);

// For every LOD entry of parent `parentIndex` whose lodRef is negative,
// appends the model file state.LodFileNames[j] of the models folder to
// state.lodFile at state.lodAppendOffset, gives it a free or a new LOD
// record and points lodRef at it. In a check run it only opens each model
// file, and reports the ones that cannot be opened in ErrorList.txt; in an
// install run each failure is shown in a "Model File Error" box.
LodInstallResult InstallParentLods(ModelJobState& state, uint32_t parentIndex);

}  // namespace zarno
