#include "tests/support/class_table_builder.h"

#include <algorithm>
#include <bit>

namespace zarno {
namespace {

void PutShort(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLong(std::vector<uint8_t>& out, uint32_t value) {
  PutShort(out, value);
  PutShort(out, value >> 16);
}

void PutFiller(std::vector<uint8_t>& out, size_t count, uint8_t filler) { out.insert(out.end(), count, filler); }

// Record layout: 8 unread, idBytes[6], 10 unread, f32, 32 unread,
// parentIndex[8], selectorByte, classWord; 81 bytes in all.
void PutClass(std::vector<uint8_t>& out, const ClassSpec& spec) {
  PutFiller(out, 8, spec.filler);
  out.insert(out.end(), spec.idBytes.begin(), spec.idBytes.end());
  PutFiller(out, 10, spec.filler);
  PutLong(out, std::bit_cast<uint32_t>(spec.droppedFloat));
  PutFiller(out, 32, spec.filler);
  for (uint16_t index : spec.parentIndex) PutShort(out, index);
  out.push_back(spec.selectorByte);
  PutLong(out, spec.classWord);
}

}  // namespace

std::vector<uint8_t> BuildClassTableFile(const ClassTableSpec& spec) {
  std::vector<uint8_t> out;
  const auto count = spec.classCount.value_or(static_cast<int16_t>(spec.classes.size()));
  PutShort(out, static_cast<uint16_t>(count));
  for (const ClassSpec& record : spec.classes) PutClass(out, record);
  out.insert(out.end(), spec.trailingBytes.begin(), spec.trailingBytes.end());
  if (spec.cutTo) out.resize(std::min(out.size(), *spec.cutTo));
  return out;
}

ClassSpec ClassNaming(std::vector<uint16_t> parents, uint8_t idByte1, uint8_t selectorByte) {
  ClassSpec spec;
  std::copy_n(parents.begin(), std::min<size_t>(parents.size(), spec.parentIndex.size()),
              spec.parentIndex.begin());
  spec.idBytes[1] = idByte1;
  spec.selectorByte = selectorByte;
  return spec;
}

}  // namespace zarno
