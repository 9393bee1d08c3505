// Orvane4.ct and the distance adjustment it drives: no fault on any input; a
// file is read exactly when it holds its count and every record announced.
// Mode byte: filterA (bits 0-3) and filterB (bits 4-7), 15 = any.
#include "core/header_database.h"
#include "rigwright/class_table.h"
#include "rigwright/lod_distances.h"
#include "tests/fuzz/fuzz_support.h"

using namespace zarno;

HeaderDatabase MakeParents() {
  HeaderDatabase db(kRigwrightLimits);
  db.parentCount = kRigwrightLimits.parentLimit;
  for (size_t p = 0; p < db.ParentTable.size(); ++p) {
    db.ParentTable[p].lodRefCount = static_cast<uint8_t>(p % 12);  // 11 is past the limit
    for (uint32_t j = 0; j < kMaxLodRefs; ++j) db.ParentLists[p].lodDistance[j] = float((j * 7919 + p) % 300000);
  }
  return db;
}

int32_t FilterOf(int nibble) { return nibble == 15 ? -1 : nibble; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HeaderDatabase db = MakeParents();  // the runs keep reordering its distances
  const FuzzInput input = SplitMode(data, size);
  ClassDatabase classes;
  const bool read = ParseClassTable(input.bytes, classes) == ClassTableParse::kRead;
  const size_t fileSize = input.bytes.size();
  const int16_t count = fileSize >= kClassCountSize ? static_cast<int16_t>(input.bytes[0] | input.bytes[1] << 8) : 0;
  FuzzCheck(read == (count >= 0 && fileSize >= kClassCountSize + kClassRecordSize * size_t(count < 0 ? 0 : count)),
            "a table is read exactly when it holds all its records");
  if (!read) return 0;
  FuzzCheck(classes.ClassTable.size() == static_cast<size_t>(classes.classCount), "one record per class");
  AdjustLodDistances(classes, ClassSelector{FilterOf(input.mode & 15), FilterOf(input.mode >> 4)}, DistanceBand{}, db);
  return 0;
}
