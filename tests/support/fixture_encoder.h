// The fixture kit's own little-endian encoder. The kit writes its files with
// this rather than with the product's writers, so that tests of a writer do
// not check it against itself.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace zarno {

class FixtureEncoder {
 public:
  void Byte(uint32_t value) { bytes_.push_back(static_cast<uint8_t>(value)); }
  void Short(uint32_t value) {
    Byte(value);
    Byte(value >> 8);
  }
  void Long(uint32_t value) {
    Short(value);
    Short(value >> 16);
  }
  void Float(float value) { Long(std::bit_cast<uint32_t>(value)); }
  void Bytes(const std::vector<uint8_t>& bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
  // Zeros up to `size` bytes in all.
  void PadTo(size_t size) {
    if (bytes_.size() < size) bytes_.resize(size, 0);
  }
  size_t Size() const { return bytes_.size(); }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace zarno
