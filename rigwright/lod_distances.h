// The distance adjustment: for every parent that a selected class names, the
// LOD switch distances are capped, kept in ascending order and the first one
// is pulled into a band.
#pragma once

#include <array>
#include <cstdint>

#include "core/header_database.h"
#include "rigwright/class_table.h"

namespace zarno {

// Caps of the distances of the parent in class slot 0 to 6; slot 7 of a class
// is not adjusted.
inline constexpr size_t kAdjustedClassSlots = 7;
inline constexpr std::array<float, kAdjustedClassSlots> lodDistanceCaps = {
    150000.0f, 15000.0f, 15000.0f, 15000.0f, 15000.0f, 15000.0f, 15000.0f};

// A distance at or above its successor becomes this share of the successor.
inline constexpr float kOrderingFactor = 0.8f;
// The first and last distances must lie at least this far apart for the
// middle ones to be spread evenly between them.
inline constexpr float kMinimumSpreadSpan = 10000.0f;

// A class is selected when each filter is negative (any) or equals its field.
struct ClassSelector {
  int32_t filterA = -1;  // compared with idBytes[1]
  int32_t filterB = -1;  // compared with selectorByte
};

// The band the first distance is pulled into.
struct DistanceBand {
  float nearDistance = 25000.0f;
  float farDistance = 150000.0f;
};

// Adjusts the parents of the selected classes, in table order, and returns
// the number of changes that count: caps and band clamps, not the ordering
// or the spreading. Parents without LOD references, and indices 0 or at or
// above the parent table's capacity, are left alone.
uint32_t AdjustLodDistances(const ClassDatabase& classes, ClassSelector selector,
                            DistanceBand band, HeaderDatabase& db);

}  // namespace zarno
