// Rigwright's run settings, parsed from its argument line
//   @<switch> ~"<models folder>" ~"<object folder>"
// with the switches "compact", "distance [filterA [filterB [near [far]]]]"
// and "check".
#pragma once

#include <cstdint>
#include <string_view>

#include "core/argument_line.h"

namespace zarno {

struct RigwrightSettings {
  bool checkRun = false;
  bool compactRun = false;
  bool distanceRun = false;
  int32_t distanceFilterA = -1;   // a negative value selects every class
  int32_t distanceFilterB = -1;
  float nearDistance = 25000.0f;
  float farDistance = 150000.0f;
  // contentDirArg / contentDirGiven are the models folder argument
  // (modelDirArg / modelDirGiven).
  FolderArguments folders;
};

RigwrightSettings ParseRigwrightArguments(std::string_view line);

}  // namespace zarno
