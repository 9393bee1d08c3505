// BMP images: no fault on any input; a readable image gives width x rows
// pixels and never more rows than it has; an added palette is found by the
// next search at its number or below; a full table takes none. Mode byte:
// bit 0 one free palette place, bit 1 the image's own table added first.
#include "core/header_database.h"
#include "skinwright/texture_image.h"
#include "tests/fuzz/fuzz_support.h"

using namespace zarno;

// The 14 fixed palettes and two free places.
constexpr HeaderLimits kBmpLimits{4, 4, 16, 16, 4, 4, 4, 4, 4, 4, true};

HeaderDatabase MakePalettes() {
  HeaderDatabase db(kBmpLimits);
  for (uint32_t k = 0; k < db.PaletteTable.size(); ++k) {
    for (uint32_t i = 0; i < kPaletteEntries; ++i) db.PaletteTable[k].red[i] = static_cast<uint8_t>(k * 7 + i);
  }
  return db;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HeaderDatabase db = MakePalettes();  // places 14 and 15 keep what the runs added
  const FuzzInput input = SplitMode(data, size);
  const std::span<const uint8_t> file = input.bytes;
  DibColorCount(file);
  const BitmapFormat format = ReadBitmapFormat(file);
  const bool readable = CheckTextureBitmap(file) == BitmapDefect::kNone;
  const uint32_t rows = readable ? static_cast<uint32_t>(format.width) : 1;
  const std::optional<std::vector<uint8_t>> pixels = ReadTopRows(file, rows);
  FuzzCheck(pixels.has_value() == readable, "pixels come exactly from readable images");
  FuzzCheck(!pixels || pixels->size() == static_cast<size_t>(format.width) * rows, "width x rows pixels");
  FuzzCheck(!pixels || !ReadTopRows(file, static_cast<uint32_t>(format.height) + 1u), "no rows past the image");

  db.paletteCount = kFixedPaletteCount + (input.mode & 1);
  const bool ownAdded = (input.mode & 2) != 0 && AddBitmapPalette(file, db);
  const uint32_t ownNumber = db.paletteCount - 1;
  const int32_t found = FindMatchingPalette(file, db);
  FuzzCheck(found >= -1 && found < static_cast<int32_t>(db.paletteCount), "a match is a palette number");
  FuzzCheck(!ownAdded || (found >= 0 && static_cast<uint32_t>(found) <= ownNumber), "an added palette is found");
  const uint32_t before = db.paletteCount;
  const bool added = AddBitmapPalette(file, db);
  FuzzCheck(db.paletteCount == before + added && (!added || before < kBmpLimits.paletteLimit), "one palette added");
  return 0;
}
