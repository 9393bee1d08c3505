// Skinwright's run settings, parsed from its argument line
//   @<switch> ~"<texture folder>" ~"<object folder>"
// with the switches "check", "dups" and "dds".
#pragma once

#include <string_view>

#include "core/argument_line.h"

namespace zarno {

struct SkinwrightSettings {
  bool checkRun = false;  // check the images, write TexErrorList.txt, change nothing
  bool dupsOnly = false;  // a check run that only looks for duplicated identifiers
  bool ddsRun = false;    // copy the DDS images instead of storing the BMP images
  // contentDirArg / contentDirGiven are the texture folder argument
  // (texDirArg / texDirGiven).
  FolderArguments folders;
};

// Nothing in the line is refused: an unknown switch selects a normal run and
// missing folders are left to their defaults.
SkinwrightSettings ParseSkinwrightArguments(std::string_view line);

}  // namespace zarno
