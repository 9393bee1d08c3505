// Orvane4.ct reader, and the distance adjustment driven by what it read
// (parent indices and selectors come straight from the file). Mode byte:
// filterA (bits 0-3, 15 = any) and filterB (bits 4-7, 15 = any).
// Properties: no fault on any input; a file is read exactly when it holds
// its count and every record the count announces, and a read table has as
// many records as its count.
#include <cstdint>
#include <vector>

#include "core/header_database.h"
#include "rigwright/class_table.h"
#include "rigwright/lod_distances.h"
#include "tests/fuzz/fuzz_support.h"

namespace zarno {
namespace {

constexpr int32_t kAnyNibble = 15;

int32_t FilterOf(uint8_t nibble) { return nibble == kAnyNibble ? -1 : nibble; }

// Rigwright's tables; every parent with three distances in a row that the
// adjustment will reorder.
HeaderDatabase& Parents() {
  static HeaderDatabase db = [] {
    HeaderDatabase fresh(kRigwrightLimits);
    fresh.parentCount = kRigwrightLimits.parentLimit;
    for (size_t p = 0; p < fresh.ParentTable.size(); ++p) {
      fresh.ParentTable[p].lodRefCount = static_cast<uint8_t>(p % 12);  // 11 is past the limit of 10
      for (uint32_t j = 0; j < kMaxLodRefs; ++j) {
        fresh.ParentLists[p].lodDistance[j] = static_cast<float>((j * 7919 + p) % 300000);
      }
    }
    return fresh;
  }();
  return db;
}

// Undoes the adjustment of every parent the classes name.
void RestoreParents(const ClassDatabase& classes, HeaderDatabase& db, const HeaderDatabase& pristine) {
  for (const ClassRecord& record : classes.ClassTable) {
    for (uint16_t index : record.parentIndex) {
      if (index < db.ParentLists.size()) db.ParentLists[index] = pristine.ParentLists[index];
    }
  }
}

}  // namespace
}  // namespace zarno

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zarno;
  static const HeaderDatabase pristine = Parents();
  const FuzzInput input = SplitMode(data, size);
  ClassDatabase classes;
  const ClassTableParse parse = ParseClassTable(input.bytes, classes);

  const size_t fileSize = input.bytes.size();
  const int16_t count = fileSize >= kClassCountSize
                            ? static_cast<int16_t>(input.bytes[0] | input.bytes[1] << 8)
                            : int16_t{0};
  const bool whole = fileSize >= kClassCountSize + kClassRecordSize * static_cast<size_t>(count < 0 ? 0 : count);
  FuzzCheck((parse == ClassTableParse::kRead) == (whole && count >= 0),
            "a table is read exactly when it holds all its records");
  if (parse != ClassTableParse::kRead) return 0;
  FuzzCheck(classes.ClassTable.size() == static_cast<size_t>(classes.classCount), "one record per class");

  const ClassSelector selector{FilterOf(input.mode & 0x0F), FilterOf(input.mode >> 4)};
  HeaderDatabase& db = Parents();
  AdjustLodDistances(classes, selector, DistanceBand{}, db);
  RestoreParents(classes, db, pristine);
  return 0;
}
