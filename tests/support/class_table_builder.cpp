#include <algorithm>

#include "tests/support/kit.h"

namespace zarno {
// A record: 8 unread bytes, idBytes, 10 unread, droppedFloat, 32 unread, parentIndex, selectorByte, classWord.
std::vector<uint8_t> BuildClassTableFile(const ClassTableSpec& r) {
  std::vector<uint8_t> out;
  PutLe(out, 2, r.classCount.value_or(int16_t(r.classes.size())));
  for (const ClassSpec& c : r.classes) {
    out.insert(out.end(), 8, c.filler), out.insert(out.end(), c.idBytes.begin(), c.idBytes.end());
    out.insert(out.end(), 10, c.filler), PutLe(out, 4, c.droppedFloat), out.insert(out.end(), 32, c.filler);
    for (uint16_t index : c.parentIndex) PutLe(out, 2, index);
    PutLe(out, 1, c.selectorByte), PutLe(out, 4, c.classWord);
  }
  out.insert(out.end(), r.trailingBytes.begin(), r.trailingBytes.end());
  out.resize(std::min(out.size(), r.cutTo.value_or(out.size())));
  return out;
}
ClassSpec ClassNaming(std::vector<uint16_t> parents, uint8_t idByte1, uint8_t selectorByte) {
  ClassSpec named;
  named.idBytes[1] = idByte1, named.selectorByte = selectorByte;
  std::copy_n(parents.begin(), std::min<size_t>(parents.size(), 8), named.parentIndex.begin());
  return named;
}
}  // namespace zarno
