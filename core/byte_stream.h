// Little-endian value readers and writers over byte buffers. Every binary file
// of the tools is read and written value by value through these helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zarno {

// Reads values from a buffer that holds a whole file. Past the end it yields
// what the host's stream readers yield there (0 for words, 0xFF for bytes,
// 0.0 for floats) and remembers that the file was too short.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint8_t ReadByte();     // 0xFF past the end
  uint16_t ReadShort();   // 0 past the end
  uint32_t ReadLong();    // 0 past the end
  float ReadFloat();      // 0.0 past the end
  // Moves to an absolute position; a position past the end is allowed and
  // makes later reads short.
  void Seek(size_t offset) { position_ = offset; }
  void Skip(size_t count) { position_ += count; }

  size_t Position() const { return position_; }
  size_t Size() const { return bytes_.size(); }
  // True once any read went past the end of the buffer.
  bool ReadPastEnd() const { return readPastEnd_; }

 private:
  bool Take(size_t count, const uint8_t*& at);

  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
  bool readPastEnd_ = false;
};

// Appends values to a growing buffer.
class ByteWriter {
 public:
  void WriteByte(uint32_t value) { bytes_.push_back(static_cast<uint8_t>(value)); }
  void WriteShort(uint32_t value);
  void WriteLong(uint32_t value);
  // f32 fields are written as the bit pattern they were read with.
  void WriteFloatBits(float value);
  void WriteBytes(std::span<const uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
  void Reserve(size_t size) { bytes_.reserve(size); }

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  std::vector<uint8_t> TakeBytes() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

// Plain little-endian access to a buffer whose length was checked before.
inline uint16_t LoadShort(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }
inline uint32_t LoadLong(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}
inline void StoreShort(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}
inline void StoreLong(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace zarno
