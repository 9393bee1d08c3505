#include "skinwright/texture_image.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/byte_stream.h"

namespace zarno {
namespace {

// ---- BMP format ------------------------------------------------------------
constexpr size_t kFileHeaderSize = 14;        // "BM", file size, two reserved words, bfOffBits
constexpr uint8_t kFileMagic0 = 'B';          // first two bytes of a file header
constexpr uint8_t kFileMagic1 = 'M';
constexpr uint32_t kInfoHeaderSize = 40;      // BITMAPINFOHEADER, the only kind read
constexpr uint32_t kCoreHeaderSize = 12;      // BITMAPCOREHEADER, recognised and refused

// Field offsets from the start of the information header.
constexpr size_t kBiSize = 0;                 // u32, the header's own size
constexpr size_t kBiWidth = 4;                // i32, pixels per row
constexpr size_t kBiHeight = 8;               // i32, rows; positive = stored bottom-up
constexpr size_t kBcBitCount = 10;            // u16, bits per pixel of a core header
constexpr size_t kBiBitCount = 14;            // u16, bits per pixel
constexpr size_t kBiCompression = 16;         // u32, only the low 16 bits count; 0 = none
constexpr size_t kBiClrUsed = 32;             // u32, colour-table entries; 0 = by bit depth
static_assert(kBiClrUsed + 4 <= kInfoHeaderSize);
static_assert(kBcBitCount + 2 <= kCoreHeaderSize);

// A colour-table entry: blue, green, red, then a byte that is ignored.
constexpr size_t kColorEntrySize = 4;
constexpr size_t kEntryBlue = 0;
constexpr size_t kEntryGreen = 1;
constexpr size_t kEntryRed = 2;

constexpr uint32_t kTextureColors = 256;      // entries of an 8-bit colour table
static_assert(kTextureColors == kPaletteEntries);
constexpr size_t kTextureColorTableSize = kTextureColors * kColorEntrySize;
constexpr uint8_t kAddedPaletteAlpha = 255;

// ---- bounded reads ----------------------------------------------------------
bool Fits(std::span<const uint8_t> bytes, size_t offset, size_t size) {
  return offset <= bytes.size() && size <= bytes.size() - offset;
}

std::optional<uint16_t> ShortAt(std::span<const uint8_t> bytes, size_t offset) {
  if (!Fits(bytes, offset, 2)) return std::nullopt;
  return LoadShort(bytes.data() + offset);
}

std::optional<uint32_t> LongAt(std::span<const uint8_t> bytes, size_t offset) {
  if (!Fits(bytes, offset, 4)) return std::nullopt;
  return LoadLong(bytes.data() + offset);
}

// a × b, or nothing when it does not fit in 64 bits.
std::optional<uint64_t> CheckedMultiply(uint64_t a, uint64_t b) {
  if (a != 0 && b > std::numeric_limits<uint64_t>::max() / a) return std::nullopt;
  return a * b;
}

// ---- image layout -----------------------------------------------------------
uint32_t ColorsForBitCount(uint32_t bitCount) {
  switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

// The information header begins after the file header when there is one.
size_t InfoOffset(std::span<const uint8_t> file) {
  const bool hasFileHeader = file.size() >= 2 && file[0] == kFileMagic0 && file[1] == kFileMagic1;
  return hasFileHeader ? kFileHeaderSize : 0;
}

std::span<const uint8_t> InfoHeaderOf(std::span<const uint8_t> file) {
  return file.subspan(std::min(InfoOffset(file), file.size()));
}

// Where the parts of an image lie, once its headers have been checked.
struct ImageLayout {
  int32_t width = 0;
  int32_t height = 0;
  uint64_t colorTableOffset = 0;   // from the start of the file
  uint64_t rowsOffset = 0;
};

// The checks that the colour table depends on, in the order of BitmapDefect.
BitmapDefect InspectColorTable(std::span<const uint8_t> file, ImageLayout& layout) {
  const std::span<const uint8_t> info = InfoHeaderOf(file);
  const std::optional<uint32_t> biSize = LongAt(info, kBiSize);
  if (!biSize) return BitmapDefect::kTruncated;
  if (*biSize != kInfoHeaderSize) return BitmapDefect::kNotEightBit;
  if (info.size() < kInfoHeaderSize) return BitmapDefect::kTruncated;
  const BitmapFormat format = ReadBitmapFormat(file);
  if (format.colorCount != kTextureColors) return BitmapDefect::kNotEightBit;
  const uint16_t entries = DibColorCount(info);
  if (entries < kTextureColors) return BitmapDefect::kShortColorTable;
  layout.width = format.width;
  layout.height = format.height;
  layout.colorTableOffset = uint64_t{InfoOffset(file)} + kInfoHeaderSize;
  layout.rowsOffset = layout.colorTableOffset + uint64_t{entries} * kColorEntrySize;
  if (layout.rowsOffset > file.size()) return BitmapDefect::kTruncated;
  return BitmapDefect::kNone;
}

BitmapDefect InspectImage(std::span<const uint8_t> file, ImageLayout& layout) {
  if (const BitmapDefect defect = InspectColorTable(file, layout); defect != BitmapDefect::kNone) {
    return defect;
  }
  if (layout.width <= 0) return BitmapDefect::kNoColumns;
  if (layout.height < 0) return BitmapDefect::kTopDown;
  if (layout.height == 0) return BitmapDefect::kZeroHeight;
  if (layout.height < layout.width) return BitmapDefect::kShorterThanWide;
  const std::optional<uint64_t> pixelBytes =
      CheckedMultiply(static_cast<uint64_t>(layout.width), static_cast<uint64_t>(layout.height));
  if (!pixelBytes || *pixelBytes > file.size() - layout.rowsOffset) return BitmapDefect::kTruncated;
  return BitmapDefect::kNone;
}

// The first 256 entries of the colour table, when the image has them all.
std::optional<std::span<const uint8_t>> TextureColorTable(std::span<const uint8_t> file) {
  ImageLayout layout;
  if (InspectColorTable(file, layout) != BitmapDefect::kNone) return std::nullopt;
  return file.subspan(static_cast<size_t>(layout.colorTableOffset), kTextureColorTableSize);
}

bool PaletteEquals(const PaletteRecord& palette, std::span<const uint8_t> colorTable) {
  for (size_t i = 0; i < kPaletteEntries; ++i) {
    const uint8_t* entry = colorTable.data() + i * kColorEntrySize;
    if (palette.red[i] != entry[kEntryRed] || palette.green[i] != entry[kEntryGreen] ||
        palette.blue[i] != entry[kEntryBlue]) {
      return false;
    }
  }
  return true;
}

void SetPalette(PaletteRecord& palette, std::span<const uint8_t> colorTable) {
  for (size_t i = 0; i < kPaletteEntries; ++i) {
    const uint8_t* entry = colorTable.data() + i * kColorEntrySize;
    palette.red[i] = entry[kEntryRed];
    palette.green[i] = entry[kEntryGreen];
    palette.blue[i] = entry[kEntryBlue];
    palette.alpha[i] = kAddedPaletteAlpha;
  }
}

}  // namespace

uint16_t DibColorCount(std::span<const uint8_t> info) {
  const std::optional<uint32_t> biSize = LongAt(info, kBiSize);
  if (!biSize) return 0;
  if (*biSize == kCoreHeaderSize) {
    const std::optional<uint16_t> bitCount = ShortAt(info, kBcBitCount);
    return bitCount ? static_cast<uint16_t>(ColorsForBitCount(*bitCount)) : 0;
  }
  const std::optional<uint32_t> clrUsed = LongAt(info, kBiClrUsed);
  if (!clrUsed) return 0;
  if (*clrUsed != 0) return static_cast<uint16_t>(*clrUsed);
  return static_cast<uint16_t>(ColorsForBitCount(LoadShort(info.data() + kBiBitCount)));
}

BitmapFormat ReadBitmapFormat(std::span<const uint8_t> file) {
  BitmapFormat format;
  const std::span<const uint8_t> info = InfoHeaderOf(file);
  if (info.size() < kInfoHeaderSize || LoadLong(info.data() + kBiSize) != kInfoHeaderSize) {
    return format;
  }
  format.width = static_cast<int32_t>(LoadLong(info.data() + kBiWidth));
  format.height = static_cast<int32_t>(LoadLong(info.data() + kBiHeight));
  // Bit count in the low half, the compression's low 16 bits in the high
  // half: any compression makes the value unknown, so it counts 0 colours.
  const uint32_t kind = LoadShort(info.data() + kBiBitCount) |
                        (LoadLong(info.data() + kBiCompression) & 0xFFFFu) << 16;
  format.colorCount = ColorsForBitCount(kind);
  return format;
}

BitmapDefect CheckTextureBitmap(std::span<const uint8_t> file) {
  ImageLayout layout;
  return InspectImage(file, layout);
}

std::string_view DescribeBitmapDefect(BitmapDefect defect) {
  switch (defect) {
    case BitmapDefect::kNone: return "is readable";
    case BitmapDefect::kTruncated: return "is truncated";
    case BitmapDefect::kNotEightBit: return "is not an uncompressed 8-bit image";
    case BitmapDefect::kShortColorTable: return "has a colour table of fewer than 256 entries";
    case BitmapDefect::kNoColumns: return "has no columns";
    case BitmapDefect::kTopDown: return "is stored top-down";
    case BitmapDefect::kZeroHeight: return "has no rows";
    case BitmapDefect::kShorterThanWide: return "is shorter than it is wide";
  }
  return "has an unknown defect";
}

bool HasFixedPalettes(const HeaderDatabase& db) {
  return db.paletteCount >= kFixedPaletteCount && db.PaletteTable.size() >= kFixedPaletteCount;
}

bool HasRoomForPalette(const HeaderDatabase& db) {
  return db.paletteCount < db.PaletteTable.size() && db.paletteCount < db.Limits().paletteLimit;
}

int32_t FindMatchingPalette(std::span<const uint8_t> file, const HeaderDatabase& db) {
  const std::optional<std::span<const uint8_t>> colorTable = TextureColorTable(file);
  if (!colorTable) return -1;
  const size_t searched = std::min<size_t>(db.paletteCount, db.PaletteTable.size());
  for (size_t k = 0; k < searched; ++k) {
    if (PaletteEquals(db.PaletteTable[k], *colorTable)) return static_cast<int32_t>(k);
  }
  return -1;
}

bool AddBitmapPalette(std::span<const uint8_t> file, HeaderDatabase& db) {
  if (!HasFixedPalettes(db) || !HasRoomForPalette(db)) return false;
  const std::optional<std::span<const uint8_t>> colorTable = TextureColorTable(file);
  if (!colorTable) return false;
  SetPalette(db.PaletteTable[db.paletteCount], *colorTable);
  ++db.paletteCount;
  return true;
}

std::optional<std::vector<uint8_t>> ReadTopRows(std::span<const uint8_t> file, uint32_t rows) {
  ImageLayout layout;
  if (InspectImage(file, layout) != BitmapDefect::kNone) return std::nullopt;
  const auto height = static_cast<uint32_t>(layout.height);
  if (rows > height) return std::nullopt;
  // The whole pixel area lies inside the file, so every size below fits.
  const auto width = static_cast<size_t>(layout.width);
  const auto rowsOffset = static_cast<size_t>(layout.rowsOffset);
  std::vector<uint8_t> pixels(width * rows);
  // Rows are stored bottom-up: the image's top row is the file's last.
  for (uint32_t row = 0; row < rows; ++row) {
    const size_t fileRow = height - 1 - row;
    std::memcpy(pixels.data() + row * width, file.data() + rowsOffset + fileRow * width, width);
  }
  return pixels;
}

void ShowPaletteError(Platform& platform) {
  platform.ShowMessageBox(kPaletteErrorText, kPaletteErrorTitle, BoxIcon::kHand,
                          /*ownedByMainWindow=*/true);
}

}  // namespace zarno
