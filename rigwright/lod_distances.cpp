#include "rigwright/lod_distances.h"

#include <algorithm>
#include <cmath>

namespace zarno {
namespace {

bool IsSelected(const ClassRecord& record, ClassSelector selector) {
  if (selector.filterA >= 0 && selector.filterA != record.idBytes[1]) return false;
  if (selector.filterB >= 0 && selector.filterB != record.selectorByte) return false;
  return true;
}

// Caps d[1..n-1] from the last one down, keeping each below its successor.
// Only a cap counts as a change.
uint32_t CapAndOrder(float* d, size_t n, float cap) {
  uint32_t changes = 0;
  for (size_t i = n - 1; i >= 1; --i) {
    if (d[i] > cap) {
      d[i] = cap;
      ++changes;
    }
    if (i < n - 1 && !(d[i] < d[i + 1])) d[i] = kOrderingFactor * d[i + 1];
  }
  return changes;
}

// Pulls d[0] into the band; returns the number of clamps (0, 1 or 2).
uint32_t ClampFirst(float& first, DistanceBand band) {
  uint32_t changes = 0;
  if (first > band.farDistance) {
    first = band.farDistance;
    ++changes;
  }
  if (first < band.nearDistance) {
    first = band.nearDistance;
    ++changes;
  }
  return changes;
}

// Spreads d[1..n-2] evenly between d[0] and d[n-1] when they lie far enough
// apart. The span is taken before any middle distance moves.
void SpreadMiddle(float* d, size_t n) {
  if (n < 3) return;
  const float span = std::fabs(d[n - 1] - d[0]);
  if (!(span >= kMinimumSpreadSpan)) return;
  const float step = span / static_cast<float>(n - 1);
  for (size_t m = 1; m <= n - 2; ++m) d[m] = d[0] + static_cast<float>(m) * step;
}

uint32_t AdjustParent(ParentListRecord& lists, size_t n, float cap, DistanceBand band) {
  float* d = lists.lodDistance;
  uint32_t changes = CapAndOrder(d, n, cap);
  const uint32_t clamps = ClampFirst(d[0], band);
  if (clamps > 0) SpreadMiddle(d, n);
  return changes + clamps;
}

// The parents of slots 0 to 6; a slot that repeats the previous slot's index
// or names index 0 is passed over, as is an index outside the tables.
uint32_t AdjustClass(const ClassRecord& record, DistanceBand band, HeaderDatabase& db) {
  const size_t capacity = std::min(db.ParentTable.size(), db.ParentLists.size());
  uint32_t changes = 0;
  int32_t previous = -1;
  for (size_t k = 0; k < kAdjustedClassSlots; ++k) {
    const uint16_t q = record.parentIndex[k];
    if (q == previous) continue;
    previous = q;
    if (q == 0 || q >= capacity) continue;
    const size_t n = std::min<size_t>(db.ParentTable[q].lodRefCount, kMaxLodRefs);
    if (n == 0) continue;
    changes += AdjustParent(db.ParentLists[q], n, lodDistanceCaps[k], band);
  }
  return changes;
}

}  // namespace

uint32_t AdjustLodDistances(const ClassDatabase& classes, ClassSelector selector,
                            DistanceBand band, HeaderDatabase& db) {
  if (classes.classCount <= 0) return 0;
  const size_t count = std::min(static_cast<size_t>(classes.classCount), classes.ClassTable.size());
  uint32_t changes = 0;
  for (size_t c = 0; c < count; ++c) {
    const ClassRecord& record = classes.ClassTable[c];
    if (IsSelected(record, selector)) changes += AdjustClass(record, band, db);
  }
  return changes;
}

}  // namespace zarno
