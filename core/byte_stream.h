// Little-endian value readers and writers over byte buffers. Every binary file
// of the tools is read and written value by value through these helpers.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace zarno {

// Plain little-endian access to a buffer whose length was checked before,
// spelled out byte by byte: compilers merge these into one load or store.
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
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

// Reads values from a buffer that holds a whole file. Past the end it yields
// what the host's stream readers yield there (0 for words, 0xFF for bytes,
// 0.0 for floats) and remembers that the file was too short. A value cut off
// by the end counts as past the end as a whole.
//
// The readers are inline: whole files go through them value by value, and a
// call per value would cost more than the value itself.
class ByteReader {
 public:
  static constexpr uint8_t kByteAtEnd = 0xFF;  // what ReadByte yields past the end

  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint8_t ReadByte() {  // 0xFF past the end
    const uint8_t* at = nullptr;
    return Take(1, at) ? *at : kByteAtEnd;
  }
  uint16_t ReadShort() {  // 0 past the end
    const uint8_t* at = nullptr;
    return Take(2, at) ? LoadShort(at) : uint16_t{0};
  }
  uint32_t ReadLong() {  // 0 past the end
    const uint8_t* at = nullptr;
    return Take(4, at) ? LoadLong(at) : 0;
  }
  float ReadFloat() { return std::bit_cast<float>(ReadLong()); }  // 0.0 past the end
  // Fills `out` as that many ReadByte calls would (0xFF past the end), in one
  // copy. Use it where values are stored into byte arrays: such stores may
  // alias the reader, which then reloads itself after every byte.
  void ReadBytes(std::span<uint8_t> out);

  // Moves to an absolute position; a position past the end is allowed and
  // makes later reads short.
  void Seek(size_t offset) { position_ = offset; }
  void Skip(size_t count) { position_ = count > SIZE_MAX - position_ ? SIZE_MAX : position_ + count; }

  size_t Size() const { return bytes_.size(); }
  // True once any read went past the end of the buffer.
  bool ReadPastEnd() const { return readPastEnd_; }

 private:
  // Hands out the next `count` bytes, or marks the reader as past the end
  // when fewer are left.
  bool Take(size_t count, const uint8_t*& at) {
    if (position_ <= bytes_.size() && bytes_.size() - position_ >= count) {
      at = bytes_.data() + position_;
      position_ += count;
      return true;
    }
    MarkPastEnd();
    return false;
  }
  void MarkPastEnd();

  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
  bool readPastEnd_ = false;
};

// Appends values to a buffer. Reserve the whole size first when it is known:
// every write is then one plain store.
class ByteWriter {
 public:
  void WriteByte(uint32_t value) { *Room(1) = static_cast<uint8_t>(value); }
  void WriteShort(uint32_t value) { StoreShort(Room(2), value); }
  void WriteLong(uint32_t value) { StoreLong(Room(4), value); }
  // f32 fields are written as the bit pattern they were read with.
  void WriteFloatBits(float value) { WriteLong(std::bit_cast<uint32_t>(value)); }
  void WriteBytes(std::span<const uint8_t> data) {
    if (!data.empty()) std::memcpy(Room(data.size()), data.data(), data.size());
  }
  // Makes room for `size` bytes in all.
  void Reserve(size_t size);

  // The bytes written so far.
  std::span<const uint8_t> Bytes() const { return {buffer_.data(), used_}; }
  std::vector<uint8_t> TakeBytes();

 private:
  uint8_t* Room(size_t count) {
    if (buffer_.size() - used_ < count) Grow(count);
    uint8_t* at = buffer_.data() + used_;
    used_ += count;
    return at;
  }
  void Grow(size_t count);

  std::vector<uint8_t> buffer_;  // holds used_ bytes written, then room
  size_t used_ = 0;
};

}  // namespace zarno
