// Install-parent files (*.ihr): the plain-text description of one object
// parent (index, hitbox, host parameters, dynamic points, slots and levels of
// detail) that Rigwright takes into the header database.
//
//   2.0                                  version, must be 2.0
//   <word>                               name, dropped
//   <int> <int> <parent index>
//   <word> <seven hitbox numbers>
//   <word> <hostParam1> <hostParam2>
//   <word> <hostParam3>                  lines 6 to 11 are read as tokens
//   <word> <dynamicCount>
//   <word> <lodRefCount>
//   <word> <hostParam4>
//   <word> <hostParam5>
//   <word> <slotCount>
//   <lodEntryForm>
//   dynamicCount lines "x y z", then slotCount lines "x y z"
//   lodRefCount LOD entries:
//     form 0:     <distance> / <LOD number> / <model file name line>
//     other form: <distance> / <LOD number> <word>
#pragma once

#include <cstdint>
#include <string_view>

#include "rigwright/model_job_state.h"

namespace zarno {

// Longest whole line read from an install-parent file (lines 1 to 5 and 12).
inline constexpr size_t kInstallParentLineChars = 254;
// Longest model file name line read.
inline constexpr size_t kModelNameLineChars = 255;
// The version line's number.
inline constexpr float kInstallParentVersion = 2.0f;
// The result for a file whose parent index lies outside the parent table.
inline constexpr int32_t kParentSkipped = -1;

// Parses one install-parent file, given as the bytes read from disk (CR LF
// is taken as a line break), into the parent it names: ParentTable,
// ParentLists, parentCount and, for the LOD installation that follows,
// state.LodFileNames. In a check run its findings go to ErrorList.txt (which
// it creates, with a short header, when the driver has not). Returns:
//   the parent index p (0 or above) when the file was taken into the tables;
//   0 when the first line is not the number 2.0 (no table changed);
//   kParentSkipped when p is negative or beyond the table: no table changed,
//     and the file is reported (a line in a check run, a box otherwise).
// The caller installs LODs only for a result above 0.
int32_t ReadInstallParent(ModelJobState& state, std::string_view fileBytes);

// The name under which a model file named on a LOD entry's name line is
// installed: everything from the line's first '.' replaced by ".lod"; a line
// without '.' is taken whole, its line break included, with ".lod" behind it.
std::string ModelFileNameFromLine(std::string_view nameLine);

}  // namespace zarno
