// A texture written back out as the 8-bit BMP image a modder would draw: a
// 14-byte file header, a 40-byte information header, the palette's 256
// colours and the rows bottom-up, which Skinwright reads in again unchanged.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/header_database.h"

namespace zarno {

// `pixels` holds width × width palette indices, top row first.
std::vector<uint8_t> EncodeTextureBitmap(const PaletteRecord& palette, uint32_t width,
                                         std::span<const uint8_t> pixels);

}  // namespace zarno
