// The fixture kit's BMP part: builds BMP image files in memory, well-formed or
// broken on purpose, with its own explicit byte encoder, independent of the
// image reader under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "tests/support/header_builder.h"

namespace zarno {

// One colour-table entry; the file holds it as blue, green, red, reserved.
struct BmpColor {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t reserved = 0;
};

// Everything a test may want to set of a BMP file. Every field is written as
// given, so counts and data may disagree on purpose.
struct BmpSpec {
  int32_t width = 16;
  int32_t height = 16;          // negative: a top-down image
  uint16_t bitCount = 8;
  uint32_t compression = 0;
  uint32_t clrUsed = 0;
  bool fileHeader = true;       // the 14-byte "BM" header before the information header
  // 40 writes a BITMAPINFOHEADER, 12 a BITMAPCOREHEADER; any other size is
  // written as a 40-byte header that names that size, padded with zeros to
  // it when it is larger (so keep it small).
  uint32_t infoHeaderSize = 40;
  std::vector<BmpColor> colors = GreyColors();  // the colour table, all of it
  // Pixel rows, top row first; they are written last row first, as a
  // bottom-up BMP holds them, each exactly as given (no row padding).
  std::vector<std::vector<uint8_t>> rows;
  std::optional<size_t> truncateTo;  // cut the built file to this length

  // 256 entries, entry i being (i, i, i).
  static std::vector<BmpColor> GreyColors();
};

std::vector<uint8_t> BuildBmpFile(const BmpSpec& recipe);

// Where the parts of a built file start, for tests that cut or patch it.
struct BmpOffsets {
  size_t infoHeader;
  size_t colorTable;
  size_t rows;
  size_t end;
};
BmpOffsets OffsetsOf(const BmpSpec& recipe);

// A colour table equal to a palette's red, green and blue (reserved bytes 0).
std::vector<BmpColor> ColorsOfPalette(const PaletteSpec& palette);
// A colour table equal to palette k of StandardHeaderSpec().
std::vector<BmpColor> StandardPaletteColors(uint32_t k);

// `flat` (width bytes per row, top row first) cut into rows.
std::vector<std::vector<uint8_t>> RowsOf(const std::vector<uint8_t>& flat, size_t width);

// A well-formed 8-bit texture of `width` × `height` texture-like pixels
// (from MakeTextureImage with `seed`) whose colour table is palette k of
// StandardHeaderSpec().
BmpSpec StandardTextureBmp(int32_t width, int32_t height, uint32_t paletteK, uint64_t seed);

}  // namespace zarno
