// 8-bit BMP texture images: their format, their colour table matched against
// (or added to) the palettes of the header database, and their pixels read
// top row first. The image file is read once and handed here as bytes; every
// function checks what it reads against the length of those bytes, so any
// file, however broken, is safe to pass.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/header_database.h"
#include "core/platform.h"

namespace zarno {

// Palette arguments of the texture store's palette search.
inline constexpr int32_t PAL_FIND_QUIET = -2;  // no match: no pixels, nothing said
inline constexpr int32_t PAL_FIND_ALERT = -1;  // no match: the palette box, no pixels

// Palettes 0 ... 13 are the host's own; added palettes are numbered from here.
inline constexpr uint32_t kFixedPaletteCount = 14;

// The number of colour-table entries the information header at the start of
// `info` asks for: for a 12-byte core header by its bit count; else biClrUsed
// cut to 16 bits when it is not 0; else by biBitCount (1 → 2, 4 → 16,
// 8 → 256, any other → 0). 0 when `info` is too short for the fields read.
uint16_t DibColorCount(std::span<const uint8_t> info);

// What ReadBitmapFormat finds: the colour count of an uncompressed 1-, 4- or
// 8-bit image with a 40-byte information header (2, 16 or 256), else 0; and
// the width and height, set only for a whole 40-byte information header.
struct BitmapFormat {
  uint32_t colorCount = 0;
  int32_t width = 0;
  int32_t height = 0;
};
BitmapFormat ReadBitmapFormat(std::span<const uint8_t> file);

// Why an image cannot be stored as a texture. The width's own rule (a power
// of two from 16 to 4096) is the texture store's.
enum class BitmapDefect {
  kNone,
  kTruncated,          // a header, the colour table or the pixel rows run past the end
  kNotEightBit,        // not an uncompressed 8-bit image with a 40-byte information header
  kShortColorTable,    // the colour table has fewer than 256 entries
  kNoColumns,          // width 0 or negative
  kTopDown,            // rows stored top-down (negative height)
  kZeroHeight,
  kShorterThanWide,    // fewer rows than the width
};
// The first defect of the image, in the order of the values above (a
// truncated information header first, truncated pixel rows last).
BitmapDefect CheckTextureBitmap(std::span<const uint8_t> file);
// A few words that follow the file's name in a report line ("is truncated").
std::string_view DescribeBitmapDefect(BitmapDefect defect);

// Whether the host's fixed palettes 0 ... 13 are all there. Without them an
// added palette would take one of their numbers, so no image is stored.
bool HasFixedPalettes(const HeaderDatabase& db);
// Whether the palette table can take one more palette (below both its
// capacity and the program's limit).
bool HasRoomForPalette(const HeaderDatabase& db);

// The lowest palette number below paletteCount whose red, green and blue
// planes equal the first 256 entries of the image's colour table (alpha and
// the entries' fourth bytes are not compared), or -1 when none does or the
// image has no whole 256-entry colour table (see CheckTextureBitmap).
int32_t FindMatchingPalette(std::span<const uint8_t> file, const HeaderDatabase& db);

// Adds the first 256 entries of the image's colour table as palette number
// db.paletteCount (alpha 255 in every entry, the trailing words left as they
// are) and raises paletteCount. False, with nothing changed, when the fixed
// palettes are missing, the table has no room, or the image has no whole
// 256-entry colour table.
bool AddBitmapPalette(std::span<const uint8_t> file, HeaderDatabase& db);

// The top `rows` rows of the image, top row first, each `width` bytes as the
// file holds them. Nothing when the image has a defect or fewer rows.
std::optional<std::vector<uint8_t>> ReadTopRows(std::span<const uint8_t> file, uint32_t rows);

// The palette box: shown when an image's colour table matches no palette
// even after it was added (the PAL_FIND_ALERT search).
inline constexpr std::string_view kPaletteErrorText =
    "No O4 palette\tmatch. You need to save this BMP with a O4 palette.";
inline constexpr std::string_view kPaletteErrorTitle = "Palette Error";
void ShowPaletteError(Platform& platform);

}  // namespace zarno
