// 8-bit BMP texture images: their format, their colour table matched against
// (or added to) the palettes of the header database, and their pixels read
// top row first. The image file is read once and handed here as bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/header_database.h"

namespace zarno {

// Palette arguments of LoadTextureBitmap.
inline constexpr int32_t PAL_FIND_QUIET = -2;  // no match: no pixels, nothing said
inline constexpr int32_t PAL_FIND_ALERT = -1;  // no match: the palette box, no pixels

// The number of colour-table entries the information header at `info` asks
// for (biClrUsed, else by bit count: 2, 16, 256 or 0). `info` must hold at
// least the 40 bytes of the header (12 for a core header).
uint16_t DibColorCount(std::span<const uint8_t> info);

// What ReadBitmapFormat finds: the colour count of an uncompressed 1-, 4- or
// 8-bit image with a 40-byte information header (256, 16 or 2), else 0; and
// the width and height, set only for a 40-byte information header.
struct BitmapFormat {
  uint32_t colorCount = 0;
  int32_t width = 0;
  int32_t height = 0;
};
BitmapFormat ReadBitmapFormat(std::span<const uint8_t> file);

// Why an image that counts 256 colours still cannot be stored.
enum class BitmapDefect {
  kNone,
  kTruncated,           // the colour table or the pixel rows run past the end of the file
  kShortColorTable,     // an 8-bit image whose colour table has fewer than 256 entries
  kTopDown,             // rows stored top-down (negative height)
  kZeroHeight,
  kShorterThanWide,     // fewer rows than the width
};
// Checks a 256-colour image with the given width against the file's length.
BitmapDefect CheckTextureBitmap(std::span<const uint8_t> file, const BitmapFormat& format);
std::string_view DescribeBitmapDefect(BitmapDefect defect);

// The lowest palette number whose red, green and blue planes equal the
// image's colour table, or -1 when none does.
int32_t FindMatchingPalette(std::span<const uint8_t> file, const HeaderDatabase& db);

// Adds the image's colour table as palette number db.paletteCount (alpha 255
// in every entry, the trailing words left as they are) and raises
// paletteCount. False, with nothing changed, when the table has no room.
bool AddBitmapPalette(std::span<const uint8_t> file, HeaderDatabase& db);

// The top `rows` rows of the image, top row first, each `width` bytes.
// Call only after CheckTextureBitmap returned kNone and rows <= height.
std::vector<uint8_t> ReadTopRows(std::span<const uint8_t> file, uint32_t width, uint32_t rows);

}  // namespace zarno
