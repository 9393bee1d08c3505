// BMP texture images: format, defects, palette search, palette addition and
// pixel rows, over the bytes of a file. Mode byte: bit 0 gives the palette
// table one free place (else it is full), bit 1 makes the image's own colour
// table one of the palettes before the search. Properties: no fault on any
// input; a readable image yields exactly width × rows pixels; an added
// palette is found by the next search, at its number or below; a full table
// or a rejected image adds nothing.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/header_database.h"
#include "skinwright/texture_image.h"
#include "tests/fuzz/fuzz_support.h"

namespace zarno {
namespace {

// A small palette table: the 14 fixed palettes and two more places.
constexpr HeaderLimits kBmpLimits{4, 4, 16, 16, 4, 4, 4, 4, 4, 4, true};

HeaderDatabase& Palettes() {
  static HeaderDatabase db = [] {
    HeaderDatabase fresh(kBmpLimits);
    for (uint32_t k = 0; k < fresh.PaletteTable.size(); ++k) {
      PaletteRecord& palette = fresh.PaletteTable[k];
      for (uint32_t i = 0; i < kPaletteEntries; ++i) {
        palette.red[i] = static_cast<uint8_t>(k * 7 + i);
        palette.green[i] = static_cast<uint8_t>(k * 13 + 2 * i);
        palette.blue[i] = static_cast<uint8_t>(k * 29 + 3 * i);
      }
    }
    return fresh;
  }();
  return db;
}

void CheckPixels(std::span<const uint8_t> file) {
  const BitmapFormat format = ReadBitmapFormat(file);
  const BitmapDefect defect = CheckTextureBitmap(file);
  const uint32_t rows = defect == BitmapDefect::kNone ? static_cast<uint32_t>(format.width) : 1;
  const std::optional<std::vector<uint8_t>> pixels = ReadTopRows(file, rows);
  FuzzCheck(pixels.has_value() == (defect == BitmapDefect::kNone), "pixels come exactly from readable images");
  if (!pixels) return;
  FuzzCheck(pixels->size() == static_cast<size_t>(format.width) * rows, "width × rows pixels");
  const auto tooMany = static_cast<uint32_t>(format.height) + 1u;
  FuzzCheck(!ReadTopRows(file, tooMany).has_value(), "never more rows than the image has");
}

// Palettes 14 and 15 as the table starts; the runs change them.
const std::array<PaletteRecord, 2>& AddedPlaces() {
  static const std::array<PaletteRecord, 2> places = {Palettes().PaletteTable[14], Palettes().PaletteTable[15]};
  return places;
}

void CheckPalettes(std::span<const uint8_t> file, uint8_t mode) {
  HeaderDatabase& db = Palettes();
  const std::array<PaletteRecord, 2>& places = AddedPlaces();
  db.paletteCount = kFixedPaletteCount + (mode & 1);
  const bool ownTableAdded = (mode & 2) != 0 && AddBitmapPalette(file, db);
  const uint32_t ownNumber = db.paletteCount - 1;

  const int32_t found = FindMatchingPalette(file, db);
  FuzzCheck(found >= -1 && found < static_cast<int32_t>(db.paletteCount), "a match is a palette number");
  FuzzCheck(!ownTableAdded || (found >= 0 && static_cast<uint32_t>(found) <= ownNumber),
            "an added palette is found, at its number or below");
  const uint32_t before = db.paletteCount;
  const bool added = AddBitmapPalette(file, db);
  FuzzCheck(db.paletteCount == before + (added ? 1u : 0u), "an addition adds one palette");
  FuzzCheck(!added || before < kBmpLimits.paletteLimit, "a full table takes no palette");
  FuzzCheck(!added || found >= 0 || (mode & 2) == 0, "an image whose table was added before matches");
  db.PaletteTable[14] = places[0];
  db.PaletteTable[15] = places[1];
}

}  // namespace
}  // namespace zarno

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zarno;
  const FuzzInput input = SplitMode(data, size);
  DibColorCount(input.bytes);
  CheckPixels(input.bytes);
  CheckPalettes(input.bytes, input.mode);
  return 0;
}
