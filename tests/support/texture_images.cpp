#include "tests/support/texture_images.h"

#include <algorithm>

namespace zarno {
namespace {

// Cells are square blocks of about an eighth of the image's width, within
// these bounds. Smaller cells give more edges and compress a little worse.
constexpr size_t kSmallestCell = 8;
constexpr size_t kLargestCell = 128;
// One pixel in this many is a speckle one palette step off its cell.
constexpr uint32_t kSpeckleOdds = 128;

enum class CellKind { kFlat, kGradient, kPattern, kNoisyGradient, kNoise };

// How one cell is painted: a base index plus a slope in 1/16 index steps per
// pixel in x and y; a pattern cell repeats a small tile of `tileWidth` ×
// `tileHeight` indices; noisy cells add up to `noise` steps either way.
struct CellPaint {
  CellKind kind = CellKind::kFlat;
  int base = 0;
  int slopeX = 0;
  int slopeY = 0;
  int noise = 0;
  size_t tileWidth = 1;
  size_t tileHeight = 1;
  std::vector<uint8_t> tile;
};

// Out of 20 cells: 6 flat, 7 gradients, 3 patterns (bricks, windows,
// rivets), 3 gradients with noise on every pixel, 1 noise.
CellKind PickKind(FixtureRandom& random) {
  const uint32_t roll = random.Below(20);
  if (roll < 6) return CellKind::kFlat;
  if (roll < 13) return CellKind::kGradient;
  if (roll < 16) return CellKind::kPattern;
  if (roll < 19) return CellKind::kNoisyGradient;
  return CellKind::kNoise;
}

CellPaint PickPaint(FixtureRandom& random) {
  CellPaint paint;
  paint.kind = PickKind(random);
  paint.base = static_cast<int>(random.Below(256));
  if (paint.kind == CellKind::kGradient || paint.kind == CellKind::kNoisyGradient) {
    paint.slopeX = static_cast<int>(random.Below(17)) - 8;
    paint.slopeY = static_cast<int>(random.Below(17)) - 8;
  }
  if (paint.kind == CellKind::kNoisyGradient) paint.noise = 1 + static_cast<int>(random.Below(2));
  if (paint.kind == CellKind::kPattern) {
    paint.tileWidth = 2 + random.Below(15);
    paint.tileHeight = 2 + random.Below(15);
    paint.tile.resize(paint.tileWidth * paint.tileHeight);
    for (uint8_t& index : paint.tile) index = static_cast<uint8_t>(paint.base + static_cast<int>(random.Below(4)));
  }
  return paint;
}

uint8_t PaintPixel(const CellPaint& paint, size_t x, size_t y, FixtureRandom& random) {
  if (paint.kind == CellKind::kNoise) return random.Byte();
  if (paint.kind == CellKind::kPattern) return paint.tile[(y % paint.tileHeight) * paint.tileWidth + x % paint.tileWidth];
  int value = paint.base + (paint.slopeX * static_cast<int>(x) + paint.slopeY * static_cast<int>(y)) / 16;
  if (paint.noise != 0) value += static_cast<int>(random.Below(2 * paint.noise + 1)) - paint.noise;
  if (random.Below(kSpeckleOdds) == 0) value += random.Below(2) == 0 ? -1 : 1;
  return static_cast<uint8_t>(value & 0xFF);
}

void PaintCell(std::vector<uint8_t>& pixels, size_t width, size_t left, size_t top, size_t right, size_t bottom,
               FixtureRandom& random) {
  const CellPaint paint = PickPaint(random);
  for (size_t y = top; y < bottom; ++y) {
    for (size_t x = left; x < right; ++x) pixels[y * width + x] = PaintPixel(paint, x - left, y - top, random);
  }
}

}  // namespace

uint64_t FixtureRandom::Next() {
  state_ += 0x9E3779B97F4A7C15ull;
  uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::vector<uint8_t> MakeTextureImage(size_t width, size_t height, uint64_t seed) {
  std::vector<uint8_t> pixels(width * height);
  FixtureRandom random(seed);
  const size_t cell = std::clamp(width / 8, kSmallestCell, kLargestCell);
  for (size_t top = 0; top < height; top += cell) {
    for (size_t left = 0; left < width; left += cell) {
      PaintCell(pixels, width, left, top, std::min(left + cell, width), std::min(top + cell, height), random);
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
