// The host's class table, Orvane4.ct, which the distance run reads (and never
// writes): for each class a few identifying bytes, the parents it names and a
// selector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform.h"

namespace zarno {

// ---- file format (little-endian) -----------------------------------------
inline constexpr std::string_view kClassTableFileName = "Orvane4.ct";
inline constexpr size_t kClassCountSize = 2;      // classCount, signed 16-bit
inline constexpr size_t kClassRecordSize = 81;    // one class record
inline constexpr size_t kClassIdOffset = 8;       // idBytes within a record
inline constexpr size_t kClassIdBytes = 6;
inline constexpr size_t kClassSkipAfterId = 10;   // bytes not read before the f32
inline constexpr size_t kClassSkipAfterFloat = 32;  // bytes not read before parentIndex
inline constexpr size_t kClassParentSlots = 8;    // parentIndex[0..7], u16 each

// The reader walks a record field by field; these relations place
// parentIndex at record offset 60, selectorByte at 76 and classWord at 77.
static_assert(kClassIdOffset + kClassIdBytes + kClassSkipAfterId + 4 + kClassSkipAfterFloat == 60);
static_assert(60 + 2 * kClassParentSlots + 1 + 4 == kClassRecordSize);

struct ClassRecord {
  uint8_t idBytes[kClassIdBytes];
  uint16_t parentIndex[kClassParentSlots];  // indices into ParentTable
  uint8_t selectorByte;
  uint32_t classWord;  // kept, not used
};

// The classes of one read of Orvane4.ct.
struct ClassDatabase {
  int32_t classCount = 0;
  std::vector<ClassRecord> ClassTable;
};

enum class ClassTableParse {
  kRead,
  kTruncated,      // the file ends inside its count or one of its records
  kNegativeCount,  // classCount below 0
};

// Parses a whole Orvane4.ct held in memory. `classes` is replaced only when
// the result is kRead.
ClassTableParse ParseClassTable(std::span<const uint8_t> file, ClassDatabase& classes);

// objectDirSlash followed by "Orvane4.ct".
std::string ClassTablePath(std::string_view objectDirSlash);

// Reads Orvane4.ct of the object folder into `classes`. False when the file is
// missing, unreadable, cut short or holds a negative count; `message` then
// says so, naming the file, and `classes` is left as it was.
bool ReadClassTable(Platform& platform, std::string_view objectDirSlash, ClassDatabase& classes,
                    std::string& message);

}  // namespace zarno
