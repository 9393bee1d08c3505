#include <algorithm>

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
  if (r.fileHeader) PutLe(out, 1, 'B', 'M'), PutLe(out, 4, end, 0, tableAt + 4 * r.colors.size());
  if (core) PutLe(out, 4, 12), PutLe(out, 2, r.width, r.height, 1, r.bitCount);
  else PutLe(out, 4, r.infoHeaderSize, r.width, r.height), PutLe(out, 2, 1, r.bitCount);
  if (!core) PutLe(out, 4, r.compression, 0, 2835, 2835, r.clrUsed, 0), out.resize(tableAt);  // 72 dpi, zero padding
  for (const BmpColor& c : r.colors) PutLe(out, 1, c.blue, c.green, c.red, c.reserved);
  for (auto row = r.rows.rbegin(); row != r.rows.rend(); ++row) out.insert(out.end(), row->begin(), row->end());
  out.resize(std::min(out.size(), r.truncateTo.value_or(out.size())));
  return out;
}
std::vector<BmpColor> ColorsOfPalette(const PaletteSpec& palette) {
  std::vector<BmpColor> colors;
  for (const auto& [red, green, blue, alpha] : palette.entries) colors.push_back({red, green, blue, 0});
  return colors;
}
std::vector<std::vector<uint8_t>> RowsOf(const std::vector<uint8_t>& flat, size_t width) {
  std::vector<std::vector<uint8_t>> rows;
  for (size_t at = 0; width != 0 && at < flat.size(); at += width) {
    rows.emplace_back(flat.begin() + std::ptrdiff_t(at), flat.begin() + std::ptrdiff_t(std::min(flat.size(), at + width)));
  }
  return rows;
}
BmpSpec StandardTextureBmp(int32_t width, int32_t height, uint32_t paletteK, uint64_t seed) {
  const auto columns = size_t(width);
  return {width, height, 8, 0, 0, true, 40, StandardPaletteColors(paletteK),
          RowsOf(MakeTextureImage(columns, size_t(height), seed), columns), {}};
}

// Square cells of about an eighth of the width (8 to 128 pixels): out of 20, 6 flat, 7 gradients (in 1/16 steps
// per pixel), 3 tiled patterns, 3 noisy gradients, 1 noise; 1 pixel in 128 of flat and gradient ones is off by 1.
std::vector<uint8_t> MakeTextureImage(size_t width, size_t height, uint64_t seed) {
  std::vector<uint8_t> pixels(width * height);
  FixtureRandom random(seed);
  const size_t cell = std::clamp<size_t>(width / 8, 8, 128);
  for (size_t top = 0; top < height; top += cell) {
    for (size_t left = 0; left < width; left += cell) {
      const uint32_t roll = random.Below(20);
      const bool noisy = roll >= 16 && roll < 19, tiled = roll >= 13 && roll < 16;
      const int base = int(random.Below(256));
      int slopeX = 0, slopeY = 0, noise = 0;
      if ((roll >= 6 && roll < 13) || noisy) slopeX = int(random.Below(17)) - 8, slopeY = int(random.Below(17)) - 8;
      if (noisy) noise = 1 + int(random.Below(2));
      const size_t tileWidth = tiled ? 2 + random.Below(15) : 1, tileHeight = tiled ? 2 + random.Below(15) : 1;
      std::vector<uint8_t> tile(tiled ? tileWidth * tileHeight : 0);
      for (uint8_t& index : tile) index = uint8_t(base + int(random.Below(4)));
      for (size_t y = 0; y < std::min(cell, height - top); ++y) {
        for (size_t x = 0; x < std::min(cell, width - left); ++x) {
          int value = base + (slopeX * int(x) + slopeY * int(y)) / 16;
          if (noise != 0) value += int(random.Below(2 * noise + 1)) - noise;
          if (roll == 19) value = random.Byte();
          else if (tiled) value = tile[y % tileHeight * tileWidth + x % tileWidth];
          else if (random.Below(128) == 0) value += random.Below(2) == 0 ? -1 : 1;
          pixels[(top + y) * width + left + x] = uint8_t(value);
        }
      }
    }
  }
  return pixels;
}
}  // namespace zarno
