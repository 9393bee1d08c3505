#include "tests/support/kit.h"

namespace zarno {

std::vector<BmpColor> BmpSpec::GreyColors() {
  std::vector<BmpColor> colors;
  for (int i = 0; i < 256; ++i) colors.push_back({uint8_t(i), uint8_t(i), uint8_t(i), 0});
  return colors;
}

std::vector<uint8_t> BuildBmpFile(const BmpSpec& r) {
  const bool core = r.infoHeaderSize == 12;
  const size_t tableAt = (r.fileHeader ? 14 : 0) + (core ? 12 : std::max<size_t>(r.infoHeaderSize, 40));
  size_t end = tableAt + 4 * r.colors.size();
  for (const auto& row : r.rows) end += row.size();
  std::vector<uint8_t> out;
  if (r.fileHeader) {
    PutLe(out, 1, 'B', 'M');
    PutLe(out, 4, end, 0, tableAt + 4 * r.colors.size());
  }
  if (core) {
    PutLe(out, 4, 12);
    PutLe(out, 2, r.width, r.height, 1, r.bitCount);
  } else {
    PutLe(out, 4, r.infoHeaderSize, r.width, r.height);
    PutLe(out, 2, 1, r.bitCount);
    PutLe(out, 4, r.compression, 0, 2835, 2835, r.clrUsed, 0);  // 72 dpi
    out.resize(tableAt);
  }
  for (const BmpColor& c : r.colors) PutLe(out, 1, c.blue, c.green, c.red, c.reserved);
  for (auto row = r.rows.rbegin(); row != r.rows.rend(); ++row) out.insert(out.end(), row->begin(), row->end());
  out.resize(std::min(out.size(), r.truncateTo.value_or(out.size())));
  return out;
}

std::vector<BmpColor> ColorsOfPalette(const PaletteSpec& palette) {
  std::vector<BmpColor> colors;
  for (const auto& entry : palette.entries) colors.push_back({entry[0], entry[1], entry[2], 0});
  return colors;
}

std::vector<BmpColor> StandardPaletteColors(uint32_t k) { return ColorsOfPalette(StandardHeaderSpec().palettes.at(k)); }

std::vector<std::vector<uint8_t>> RowsOf(const std::vector<uint8_t>& flat, size_t width) {
  std::vector<std::vector<uint8_t>> rows;
  for (auto at = flat.begin(); width != 0 && at < flat.end(); at += std::ptrdiff_t(std::min<size_t>(width, flat.end() - at))) {
    rows.emplace_back(at, at + std::ptrdiff_t(std::min<size_t>(width, flat.end() - at)));
  }
  return rows;
}

BmpSpec StandardTextureBmp(int32_t width, int32_t height, uint32_t paletteK, uint64_t seed) {
  const auto columns = size_t(width);
  return {width, height, 8, 0, 0, true, 40, StandardPaletteColors(paletteK),
          RowsOf(MakeTextureImage(columns, size_t(height), seed), columns), {}};
}

}  // namespace zarno
