// The fixture kit's class table part: builds Orvane4.ct files from a list of
// classes with its own byte encoder, and can cut them short or give them a
// count of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace zarno {

// One class record. The fields the reader does not keep are filled with
// `filler` (and the f32 at record offset 24 with `droppedFloat`), so a
// reader that looks in the wrong place finds values no test expects.
struct ClassSpec {
  std::array<uint8_t, 6> idBytes{};
  std::array<uint16_t, 8> parentIndex{};
  uint8_t selectorByte = 0;
  uint32_t classWord = 0;
  float droppedFloat = 1234.5f;
  uint8_t filler = 0xA5;
};

struct ClassTableSpec {
  std::vector<ClassSpec> classes;
  std::optional<int16_t> classCount;  // written instead of the number of classes
  std::optional<size_t> cutTo;        // the file keeps only this many bytes
  std::vector<uint8_t> trailingBytes;  // written after the last record
};

std::vector<uint8_t> BuildClassTableFile(const ClassTableSpec& recipe);

// A class naming `parents` in slots 0, 1, ... (the rest 0), with idBytes[1]
// and selectorByte as given.
ClassSpec ClassNaming(std::vector<uint16_t> parents, uint8_t idByte1 = 0, uint8_t selectorByte = 0);

}  // namespace zarno
