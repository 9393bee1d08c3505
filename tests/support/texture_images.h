// Deterministic texture-like 8-bit images for tests and benchmarks: flat
// areas, smooth gradients and some noise, laid out in blocks, the way painted
// textures look to a compressor. The same seed and size always give the same
// pixels, on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zarno {

// A small fixed generator (SplitMix64), so that fixtures do not depend on the
// standard library's distributions.
class FixtureRandom {
 public:
  explicit FixtureRandom(uint64_t seed) : state_(seed) {}

  uint64_t Next();
  // A value in 0 ... bound - 1 (bound > 0).
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
  uint8_t Byte() { return static_cast<uint8_t>(Next() >> 56); }

 private:
  uint64_t state_;
};

// width × height palette indices, row after row.
std::vector<uint8_t> MakeTextureImage(size_t width, size_t height, uint64_t seed);

// `length` bytes of noise, the content that compresses worst.
std::vector<uint8_t> MakeRandomBytes(size_t length, uint64_t seed);

}  // namespace zarno
