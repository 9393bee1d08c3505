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
void PutClass(std::vector<uint8_t>& out, const ClassSpec& recipe) {
  PutFiller(out, 8, recipe.filler);
  out.insert(out.end(), recipe.idBytes.begin(), recipe.idBytes.end());
  PutFiller(out, 10, recipe.filler);
  PutLong(out, std::bit_cast<uint32_t>(recipe.droppedFloat));
  PutFiller(out, 32, recipe.filler);
  for (uint16_t index : recipe.parentIndex) PutShort(out, index);
  out.push_back(recipe.selectorByte);
  PutLong(out, recipe.classWord);
}

}  // namespace

std::vector<uint8_t> BuildClassTableFile(const ClassTableSpec& recipe) {
  std::vector<uint8_t> out;
  const auto count = recipe.classCount.value_or(static_cast<int16_t>(recipe.classes.size()));
  PutShort(out, static_cast<uint16_t>(count));
  for (const ClassSpec& record : recipe.classes) PutClass(out, record);
  out.insert(out.end(), recipe.trailingBytes.begin(), recipe.trailingBytes.end());
  if (recipe.cutTo) out.resize(std::min(out.size(), *recipe.cutTo));
  return out;
}

ClassSpec ClassNaming(std::vector<uint16_t> parents, uint8_t idByte1, uint8_t selectorByte) {
  ClassSpec recipe;
  std::copy_n(parents.begin(), std::min<size_t>(parents.size(), recipe.parentIndex.size()),
              recipe.parentIndex.begin());
  recipe.idBytes[1] = idByte1;
  recipe.selectorByte = selectorByte;
  return recipe;
}

}  // namespace zarno
