#include <algorithm>

#include "tests/support/kit.h"

namespace zarno {

// Square cells of about an eighth of the width (8 to 128 pixels); out of 20 cells 6 are flat, 7 gradients
// (slopes in 1/16 steps per pixel), 3 tiled patterns (bricks, windows, rivets), 3 gradients with noise on
// every pixel, 1 noise. One pixel in 128 of flat and gradient cells is a speckle one step off.
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

std::vector<uint8_t> MakeRandomBytes(size_t length, uint64_t seed) {
  std::vector<uint8_t> bytes(length);
  FixtureRandom random(seed);
  for (uint8_t& byte : bytes) byte = random.Byte();
  return bytes;
}

}  // namespace zarno
