// The host's object header database, ZarnoObj.hdr: its records, the tables
// that hold them in memory, and the reader and writer of the file.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/zeroed_table.h"

namespace zarno {

// ---- file format -------------------------------------------------------
inline constexpr uint32_t kColorRecordSize = 16;     // four f32
inline constexpr uint32_t kPaletteEntries = 256;     // entries of a palette
inline constexpr uint32_t kPaletteRecordSize = 4 * kPaletteEntries + 8;  // RGBA entries, two words
inline constexpr uint32_t kTextureRecordSize = 40;   // ten u32
inline constexpr uint32_t kLodRecordSize = 20;       // five u32
inline constexpr uint32_t kParentRecordSize = 48;    // the fixed part of a parent
inline constexpr uint32_t kSlotSize = 12;            // slotX, slotY, slotZ
inline constexpr uint32_t kDynamicPointSize = 12;    // dynamicX, dynamicY, dynamicZ
inline constexpr uint32_t kLodRefSize = 8;           // lodRef, lodDistance
inline constexpr uint32_t kMinLodWord = 10000;       // the reader raises lodWord to this

// Per-parent limits, the same in both programs.
inline constexpr uint32_t kMaxSlots = 25;
inline constexpr uint32_t kSlotCapacity = 100;       // the slot arrays hold more than is ever used
inline constexpr uint32_t kMaxDynamicPoints = 10;
inline constexpr uint32_t kMaxLodRefs = 10;

// A limit is the largest count the reader accepts and the writer keeps; a
// capacity is the number of elements a table holds. They differ by program.
struct HeaderLimits {
  uint32_t colorLimit, colorCapacity;
  uint32_t paletteLimit, paletteCapacity;
  uint32_t textureLimit, textureCapacity;
  uint32_t lodLimit, lodCapacity;
  uint32_t parentLimit, parentCapacity;
  // Whether the reader builds FreeLodList in a check run (Skinwright does).
  bool freeListInCheckRun;
};

inline constexpr HeaderLimits kRigwrightLimits{2000, 2000, 1000, 1002, 8000, 8000,
                                               20000, 20000, 5000, 5002, false};
inline constexpr HeaderLimits kSkinwrightLimits{4000, 4000, 2000, 2002, 10000, 10000,
                                                20000, 20000, 10000, 10002, true};

// ---- records -------------------------------------------------------------
struct ColorRecord {
  float value[4];
};

// Planar in memory: file entry i holds red[i], green[i], blue[i], alpha[i].
struct PaletteRecord {
  uint8_t red[kPaletteEntries];
  uint8_t green[kPaletteEntries];
  uint8_t blue[kPaletteEntries];
  uint8_t alpha[kPaletteEntries];
  uint32_t palWord0;
  uint32_t palWord1;
};

struct TextureRecord {
  uint32_t fileOffset;    // offset of the stored data in ZarnoObj.tex
  uint32_t dataSize;      // size of the stored data; 0 = unused record
  uint32_t width;
  uint32_t texWord3;
  uint32_t texWord4;
  uint32_t flags;
  uint32_t color;
  uint32_t texWord7;
  uint32_t paletteIndex;
  uint32_t texWord9;
};

struct LodRecord {
  uint32_t lodWord0;
  uint32_t lodWord1;
  uint32_t lodWord2;
  uint32_t fileOffset;    // offset of the blob in ZarnoObj.lod
  uint32_t fileSize;      // size of the blob; 0 = free record
};

struct ParentRecord {
  float hitbox[7];
  uint32_t hostParam1;
  uint32_t hostParam2;
  uint16_t hostParam3;
  uint16_t dynamicCount;
  uint8_t lodRefCount;
  uint8_t hostParam4;
  uint8_t hostParam5;
  uint8_t slotCount;
  uint16_t hostParam6;
  uint16_t hostParam7;
};

struct ParentListRecord {
  int32_t lodRef[kMaxLodRefs];      // 2k + 1 refers to LOD record k; negative = still to install
  float lodDistance[kMaxLodRefs];
  float slotX[kSlotCapacity];
  float slotY[kSlotCapacity];
  float slotZ[kSlotCapacity];
  float dynamicX[kMaxDynamicPoints];
  float dynamicY[kMaxDynamicPoints];
  float dynamicZ[kMaxDynamicPoints];
};

// LOD reference encoding.
inline int32_t LodRefFor(uint32_t lodIndex) { return static_cast<int32_t>(2 * lodIndex + 1); }

// ---- reader status -------------------------------------------------------
enum ReadStatus : uint16_t {
  kReadOk = 0,
  kBadColorCount = 1,
  kBadPaletteCount = 2,   // read to the end; paletteCount was 0 or above the limit
  kBadTextureCount = 3,
  kBadLodCount = 4,
  kBadParentCount = 5,
  kBadSlotCount = 6,
  kBadDynamicCount = 7,
  kBadLodRefCount = 8,
  kTruncated = 9,         // the file ends before its last parent's lists
};

// ---- the database --------------------------------------------------------
// Tables, counts and the reader's results. The tables are sized to the
// program's capacities and are zero at the start.
class HeaderDatabase {
 public:
  explicit HeaderDatabase(const HeaderLimits& limits);

  const HeaderLimits& Limits() const { return limits_; }

  // Zeroes every table in full; counts and other values are left alone.
  void ResetHeaderTables();

  uint32_t leadWord = 0;
  uint32_t colorCount = 0;
  uint32_t colorWord = 0;
  uint32_t paletteCount = 0;
  uint32_t textureCount = 0;
  uint32_t maxTextureSize = 0;
  uint32_t lodWord = 0;
  uint32_t lodCount = 0;
  uint32_t parentCount = 0;

  ZeroedTable<ColorRecord> ColorTable;
  ZeroedTable<PaletteRecord> PaletteTable;
  ZeroedTable<TextureRecord> TextureTable;
  ZeroedTable<LodRecord> LodTable;
  ZeroedTable<ParentRecord> ParentTable;
  ZeroedTable<ParentListRecord> ParentLists;

  // Set by the reader.
  uint32_t lodCountAtRead = 0;
  uint32_t freeLodCount = 0;
  std::vector<uint32_t> FreeLodList;   // ascending indices of free LOD records
  uint32_t nextFreeLod = 0;            // next unused entry of FreeLodList

 private:
  HeaderLimits limits_;
};

// Reads a whole ZarnoObj.hdr held in memory into `db`. `checkRun` tells
// whether the run is a check run (Rigwright then keeps no FreeLodList).
ReadStatus ReadHeaderDatabase(std::span<const uint8_t> file, HeaderDatabase& db, bool checkRun);

// Whether tables read with `status` may be written back without losing any of
// the file's data: only a complete read whose palettes all fit.
bool IsSafeToWriteBack(ReadStatus status, const HeaderDatabase& db);

// Lowers counts above the limits (in memory too) and returns the file's bytes.
std::vector<uint8_t> WriteHeaderDatabase(HeaderDatabase& db);

// A few words on what a failed read status means, for messages.
std::string_view DescribeReadStatus(ReadStatus status);

}  // namespace zarno
