#include "tests/support/bmp_builder.h"
#include "tests/support/fixture_encoder.h"

#include <algorithm>

#include "tests/support/texture_images.h"

namespace zarno {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr size_t kColorEntrySize = 4;

using Encoder = FixtureEncoder;

size_t InfoHeaderBytes(const BmpSpec& recipe) {
  if (recipe.infoHeaderSize == kCoreHeaderSize) return kCoreHeaderSize;
  return std::max<size_t>(recipe.infoHeaderSize, kInfoHeaderSize);
}

size_t RowBytes(const BmpSpec& recipe) {
  size_t total = 0;
  for (const auto& row : recipe.rows) total += row.size();
  return total;
}

void EncodeFileHeader(Encoder& out, const BmpOffsets& offsets) {
  out.Byte('B');
  out.Byte('M');
  out.Long(static_cast<uint32_t>(offsets.end));  // bfSize
  out.Short(0);
  out.Short(0);
  out.Long(static_cast<uint32_t>(offsets.rows));  // bfOffBits
}

void EncodeCoreHeader(Encoder& out, const BmpSpec& recipe) {
  out.Long(kCoreHeaderSize);
  out.Short(static_cast<uint32_t>(recipe.width));
  out.Short(static_cast<uint32_t>(recipe.height));
  out.Short(1);  // planes
  out.Short(recipe.bitCount);
}

void EncodeInfoHeader(Encoder& out, const BmpSpec& recipe) {
  const size_t start = out.Size();
  out.Long(recipe.infoHeaderSize);
  out.Long(static_cast<uint32_t>(recipe.width));
  out.Long(static_cast<uint32_t>(recipe.height));
  out.Short(1);  // planes
  out.Short(recipe.bitCount);
  out.Long(recipe.compression);
  out.Long(0);     // biSizeImage
  out.Long(2835);  // biXPelsPerMeter, 72 dpi
  out.Long(2835);  // biYPelsPerMeter
  out.Long(recipe.clrUsed);
  out.Long(0);     // biClrImportant
  out.PadTo(start + InfoHeaderBytes(recipe));
}

void EncodeColors(Encoder& out, const BmpSpec& recipe) {
  for (const BmpColor& color : recipe.colors) {
    out.Byte(color.blue);
    out.Byte(color.green);
    out.Byte(color.red);
    out.Byte(color.reserved);
  }
}

void EncodeRows(Encoder& out, const BmpSpec& recipe) {
  for (auto row = recipe.rows.rbegin(); row != recipe.rows.rend(); ++row) out.Bytes(*row);
}

}  // namespace

std::vector<BmpColor> BmpSpec::GreyColors() {
  std::vector<BmpColor> colors(256);
  for (size_t i = 0; i < colors.size(); ++i) {
    const auto level = static_cast<uint8_t>(i);
    colors[i] = {level, level, level, 0};
  }
  return colors;
}

BmpOffsets OffsetsOf(const BmpSpec& recipe) {
  BmpOffsets offsets{};
  offsets.infoHeader = recipe.fileHeader ? kFileHeaderSize : 0;
  offsets.colorTable = offsets.infoHeader + InfoHeaderBytes(recipe);
  offsets.rows = offsets.colorTable + recipe.colors.size() * kColorEntrySize;
  offsets.end = offsets.rows + RowBytes(recipe);
  return offsets;
}

std::vector<uint8_t> BuildBmpFile(const BmpSpec& recipe) {
  const BmpOffsets offsets = OffsetsOf(recipe);
  Encoder out;
  if (recipe.fileHeader) EncodeFileHeader(out, offsets);
  if (recipe.infoHeaderSize == kCoreHeaderSize) {
    EncodeCoreHeader(out, recipe);
  } else {
    EncodeInfoHeader(out, recipe);
  }
  EncodeColors(out, recipe);
  EncodeRows(out, recipe);
  std::vector<uint8_t> bytes = out.Take();
  if (recipe.truncateTo && *recipe.truncateTo < bytes.size()) bytes.resize(*recipe.truncateTo);
  return bytes;
}

std::vector<BmpColor> ColorsOfPalette(const PaletteSpec& palette) {
  std::vector<BmpColor> colors;
  colors.reserve(palette.entries.size());
  for (const auto& entry : palette.entries) colors.push_back({entry[0], entry[1], entry[2], 0});
  return colors;
}

std::vector<BmpColor> StandardPaletteColors(uint32_t k) {
  return ColorsOfPalette(StandardHeaderSpec().palettes.at(k));
}

std::vector<std::vector<uint8_t>> RowsOf(const std::vector<uint8_t>& flat, size_t width) {
  std::vector<std::vector<uint8_t>> rows;
  for (size_t start = 0; width != 0 && start < flat.size(); start += width) {
    const size_t end = std::min(flat.size(), start + width);
    rows.emplace_back(flat.begin() + static_cast<std::ptrdiff_t>(start),
                      flat.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return rows;
}

BmpSpec StandardTextureBmp(int32_t width, int32_t height, uint32_t paletteK, uint64_t seed) {
  BmpSpec recipe;
  recipe.width = width;
  recipe.height = height;
  recipe.colors = StandardPaletteColors(paletteK);
  const auto columns = static_cast<size_t>(width);
  recipe.rows = RowsOf(MakeTextureImage(columns, static_cast<size_t>(height), seed), columns);
  return recipe;
}

}  // namespace zarno
