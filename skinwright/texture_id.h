// Texture identifiers: the decimal number at the start of an image's file
// name, which is the index of the texture's record.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zarno {

// The file name of a path: the text after its last separator (all of it when
// there is none).
std::string_view FileNameOfPath(std::string_view path, char separator);

// The number a "%d" conversion reads from the start of `name`: optional white
// space, an optional sign and one or more decimal digits; what follows is
// ignored ("57.bmp", "57roof.bmp" and "0057.bmp" give 57). A value beyond the
// 32-bit range is held at the nearest limit. Nothing when the name does not
// begin that way.
std::optional<int32_t> TextureIdOfName(std::string_view name);

}  // namespace zarno
