#include "core/header_database.h"

#include <algorithm>
#include <array>

#include "core/byte_stream.h"

namespace zarno {

namespace {

// A table holds at least as many records as the limit lets through, so a
// count that passed its test always fits.
size_t TableSize(uint32_t limit, uint32_t capacity) { return std::max(limit, capacity); }

// ---- reading --------------------------------------------------------------

bool CountOutOfRange(uint32_t count, uint32_t limit) { return count == 0 || count > limit; }

void ReadColor(ByteReader& in, ColorRecord& color) {
  for (float& value : color.value) value = in.ReadFloat();
}

// The file's entries are red, green, blue, alpha; memory holds one plane per
// channel. The entries are taken in one block: byte-wise reads would reload
// the reader after every byte stored into the planes.
using PaletteEntries = std::array<uint8_t, 4 * kPaletteEntries>;

void ReadPalette(ByteReader& in, PaletteRecord& palette) {
  PaletteEntries entries;
  in.ReadBytes(entries);
  for (uint32_t i = 0; i < kPaletteEntries; ++i) {
    palette.red[i] = entries[4 * i];
    palette.green[i] = entries[4 * i + 1];
    palette.blue[i] = entries[4 * i + 2];
    palette.alpha[i] = entries[4 * i + 3];
  }
  palette.palWord0 = in.ReadLong();
  palette.palWord1 = in.ReadLong();
}

void ReadTexture(ByteReader& in, TextureRecord& texture) {
  texture.fileOffset = in.ReadLong();
  texture.dataSize = in.ReadLong();
  texture.width = in.ReadLong();
  texture.texWord3 = in.ReadLong();
  texture.texWord4 = in.ReadLong();
  texture.flags = in.ReadLong();
  texture.color = in.ReadLong();
  texture.texWord7 = in.ReadLong();
  texture.paletteIndex = in.ReadLong();
  texture.texWord9 = in.ReadLong();
}

void ReadLod(ByteReader& in, LodRecord& lod) {
  lod.lodWord0 = in.ReadLong();
  lod.lodWord1 = in.ReadLong();
  lod.lodWord2 = in.ReadLong();
  lod.fileOffset = in.ReadLong();
  lod.fileSize = in.ReadLong();
}

void ReadParentFixedPart(ByteReader& in, ParentRecord& parent) {
  for (float& value : parent.hitbox) value = in.ReadFloat();
  parent.hostParam1 = in.ReadLong();
  parent.hostParam2 = in.ReadLong();
  parent.hostParam3 = in.ReadShort();
  parent.dynamicCount = in.ReadShort();
  parent.lodRefCount = in.ReadByte();
  parent.hostParam4 = in.ReadByte();
  parent.hostParam5 = in.ReadByte();
  parent.slotCount = in.ReadByte();
  parent.hostParam6 = in.ReadShort();
  parent.hostParam7 = in.ReadShort();
}

// Palettes past the table's capacity are read to stay in step with the file
// and then dropped. Once the file has ended, reading more changes nothing,
// so a huge count costs no time.
void ReadPalettes(ByteReader& in, HeaderDatabase& db) {
  const auto kept = static_cast<uint32_t>(std::min<size_t>(db.paletteCount, db.PaletteTable.size()));
  for (uint32_t i = 0; i < kept; ++i) ReadPalette(in, db.PaletteTable[i]);
  PaletteRecord dropped{};
  for (uint32_t i = kept; i < db.paletteCount && !in.ReadPastEnd(); ++i) ReadPalette(in, dropped);
}


void BuildFreeLodList(HeaderDatabase& db) {
  db.FreeLodList.reserve(db.freeLodCount + 1);
  for (uint32_t i = 0; i < db.lodCount; ++i) {
    if (db.LodTable[i].fileSize == 0) db.FreeLodList.push_back(i);
  }
}

// Reads the slots, dynamic points and LOD references of one parent, testing
// each count just before its list.
ReadStatus ReadParentLists(ByteReader& in, const ParentRecord& parent, ParentListRecord& lists) {
  if (parent.slotCount > kMaxSlots) return kBadSlotCount;
  for (uint32_t i = 0; i < parent.slotCount; ++i) {
    lists.slotX[i] = in.ReadFloat();
    lists.slotY[i] = in.ReadFloat();
    lists.slotZ[i] = in.ReadFloat();
  }
  if (parent.dynamicCount > kMaxDynamicPoints) return kBadDynamicCount;
  for (uint32_t i = 0; i < parent.dynamicCount; ++i) {
    lists.dynamicX[i] = in.ReadFloat();
    lists.dynamicY[i] = in.ReadFloat();
    lists.dynamicZ[i] = in.ReadFloat();
  }
  if (parent.lodRefCount > kMaxLodRefs) return kBadLodRefCount;
  for (uint32_t i = 0; i < parent.lodRefCount; ++i) {
    lists.lodRef[i] = static_cast<int32_t>(in.ReadLong());
    lists.lodDistance[i] = in.ReadFloat();
  }
  return kReadOk;
}

// Everything the reader sets starts from zero, so that what a failed read
// did not reach is zero.
void ResetReadState(HeaderDatabase& db) {
  db.leadWord = db.colorCount = db.colorWord = 0;
  db.paletteCount = db.textureCount = db.maxTextureSize = 0;
  db.lodWord = db.lodCount = db.parentCount = 0;
  db.lodCountAtRead = 0;
  db.freeLodCount = 0;
  db.FreeLodList.clear();
  db.nextFreeLod = 0;
  db.ResetHeaderTables();
}

ReadStatus ReadColors(ByteReader& in, HeaderDatabase& db) {
  db.leadWord = in.ReadLong();
  db.colorCount = in.ReadLong();
  if (CountOutOfRange(db.colorCount, db.Limits().colorLimit)) return kBadColorCount;
  db.colorWord = in.ReadLong();
  for (uint32_t i = 0; i < db.colorCount; ++i) ReadColor(in, db.ColorTable[i]);
  return kReadOk;
}

ReadStatus ReadTextures(ByteReader& in, HeaderDatabase& db) {
  db.textureCount = in.ReadLong();
  if (CountOutOfRange(db.textureCount, db.Limits().textureLimit)) return kBadTextureCount;
  db.maxTextureSize = in.ReadLong();
  for (uint32_t i = 0; i < db.textureCount; ++i) ReadTexture(in, db.TextureTable[i]);
  return kReadOk;
}

ReadStatus ReadLods(ByteReader& in, HeaderDatabase& db, bool checkRun) {
  db.lodWord = std::max(in.ReadLong(), kMinLodWord);
  db.lodCount = in.ReadLong();
  db.lodCountAtRead = db.lodCount;
  if (CountOutOfRange(db.lodCount, db.Limits().lodLimit)) return kBadLodCount;
  for (uint32_t i = 0; i < db.lodCount; ++i) {
    ReadLod(in, db.LodTable[i]);
    if (db.LodTable[i].fileSize == 0) ++db.freeLodCount;
  }
  if (db.freeLodCount > 0 && (!checkRun || db.Limits().freeListInCheckRun)) BuildFreeLodList(db);
  return kReadOk;
}

ReadStatus ReadParents(ByteReader& in, HeaderDatabase& db) {
  db.parentCount = in.ReadLong();
  if (CountOutOfRange(db.parentCount, db.Limits().parentLimit)) return kBadParentCount;
  for (uint32_t i = 0; i < db.parentCount; ++i) ReadParentFixedPart(in, db.ParentTable[i]);
  for (uint32_t i = 0; i < db.parentCount; ++i) {
    const ReadStatus status = ReadParentLists(in, db.ParentTable[i], db.ParentLists[i]);
    if (status != kReadOk) return status;
  }
  return kReadOk;
}

// ---- writing --------------------------------------------------------------

// Lowers a count to the limit, and never past the records the table holds.
void ClampCount(uint32_t& count, uint32_t limit, size_t tableSize) {
  count = static_cast<uint32_t>(std::min<size_t>({count, limit, tableSize}));
}

void ClampParentLists(ParentRecord& parent) {
  parent.slotCount = std::min<uint32_t>(parent.slotCount, kMaxSlots);
  parent.dynamicCount = std::min<uint32_t>(parent.dynamicCount, kMaxDynamicPoints);
  parent.lodRefCount = std::min<uint32_t>(parent.lodRefCount, kMaxLodRefs);
}

void ClampCounts(HeaderDatabase& db) {
  const HeaderLimits& limits = db.Limits();
  ClampCount(db.colorCount, limits.colorLimit, db.ColorTable.size());
  ClampCount(db.paletteCount, limits.paletteLimit, db.PaletteTable.size());
  ClampCount(db.textureCount, limits.textureLimit, db.TextureTable.size());
  ClampCount(db.lodCount, limits.lodLimit, db.LodTable.size());
  ClampCount(db.parentCount, limits.parentLimit, db.ParentTable.size());
  for (uint32_t i = 0; i < db.parentCount; ++i) ClampParentLists(db.ParentTable[i]);
}

size_t ParentListsSize(const ParentRecord& parent) {
  return size_t{parent.slotCount} * kSlotSize + size_t{parent.dynamicCount} * kDynamicPointSize +
         size_t{parent.lodRefCount} * kLodRefSize;
}

// The exact length of the file for the (already clamped) counts: each
// section's words (counts and the words beside them), then its records.
size_t WrittenSize(const HeaderDatabase& db) {
  constexpr size_t kWord = 4;
  size_t size = 3 * kWord + size_t{db.colorCount} * kColorRecordSize;  // leadWord, count, colorWord
  size += kWord + size_t{db.paletteCount} * kPaletteRecordSize;
  size += 2 * kWord + size_t{db.textureCount} * kTextureRecordSize;    // count, maxTextureSize
  size += 2 * kWord + size_t{db.lodCount} * kLodRecordSize;            // lodWord, count
  size += kWord + size_t{db.parentCount} * kParentRecordSize;
  for (uint32_t i = 0; i < db.parentCount; ++i) size += ParentListsSize(db.ParentTable[i]);
  return size;
}

void WriteColor(ByteWriter& out, const ColorRecord& color) {
  for (float value : color.value) out.WriteFloatBits(value);
}

void WritePalette(ByteWriter& out, const PaletteRecord& palette) {
  PaletteEntries entries;
  for (uint32_t i = 0; i < kPaletteEntries; ++i) {
    entries[4 * i] = palette.red[i];
    entries[4 * i + 1] = palette.green[i];
    entries[4 * i + 2] = palette.blue[i];
    entries[4 * i + 3] = palette.alpha[i];
  }
  out.WriteBytes(entries);
  out.WriteLong(palette.palWord0);
  out.WriteLong(palette.palWord1);
}

void WriteTexture(ByteWriter& out, const TextureRecord& texture) {
  out.WriteLong(texture.fileOffset);
  out.WriteLong(texture.dataSize);
  out.WriteLong(texture.width);
  out.WriteLong(texture.texWord3);
  out.WriteLong(texture.texWord4);
  out.WriteLong(texture.flags);
  out.WriteLong(texture.color);
  out.WriteLong(texture.texWord7);
  out.WriteLong(texture.paletteIndex);
  out.WriteLong(texture.texWord9);
}

void WriteLod(ByteWriter& out, const LodRecord& lod) {
  out.WriteLong(lod.lodWord0);
  out.WriteLong(lod.lodWord1);
  out.WriteLong(lod.lodWord2);
  out.WriteLong(lod.fileOffset);
  out.WriteLong(lod.fileSize);
}

void WriteParentFixedPart(ByteWriter& out, const ParentRecord& parent) {
  for (float value : parent.hitbox) out.WriteFloatBits(value);
  out.WriteLong(parent.hostParam1);
  out.WriteLong(parent.hostParam2);
  out.WriteShort(parent.hostParam3);
  out.WriteShort(parent.dynamicCount);
  out.WriteByte(parent.lodRefCount);
  out.WriteByte(parent.hostParam4);
  out.WriteByte(parent.hostParam5);
  out.WriteByte(parent.slotCount);
  out.WriteShort(parent.hostParam6);
  out.WriteShort(parent.hostParam7);
}

void WriteParentLists(ByteWriter& out, const ParentRecord& parent, const ParentListRecord& lists) {
  for (uint32_t i = 0; i < parent.slotCount; ++i) {
    out.WriteFloatBits(lists.slotX[i]);
    out.WriteFloatBits(lists.slotY[i]);
    out.WriteFloatBits(lists.slotZ[i]);
  }
  for (uint32_t i = 0; i < parent.dynamicCount; ++i) {
    out.WriteFloatBits(lists.dynamicX[i]);
    out.WriteFloatBits(lists.dynamicY[i]);
    out.WriteFloatBits(lists.dynamicZ[i]);
  }
  for (uint32_t i = 0; i < parent.lodRefCount; ++i) {
    out.WriteLong(static_cast<uint32_t>(lists.lodRef[i]));
    out.WriteFloatBits(lists.lodDistance[i]);
  }
}

void WriteSections(ByteWriter& out, const HeaderDatabase& db) {
  out.WriteLong(db.leadWord);
  out.WriteLong(db.colorCount);
  out.WriteLong(db.colorWord);
  for (uint32_t i = 0; i < db.colorCount; ++i) WriteColor(out, db.ColorTable[i]);
  out.WriteLong(db.paletteCount);
  for (uint32_t i = 0; i < db.paletteCount; ++i) WritePalette(out, db.PaletteTable[i]);
  out.WriteLong(db.textureCount);
  out.WriteLong(db.maxTextureSize);
  for (uint32_t i = 0; i < db.textureCount; ++i) WriteTexture(out, db.TextureTable[i]);
  out.WriteLong(db.lodWord);
  out.WriteLong(db.lodCount);
  for (uint32_t i = 0; i < db.lodCount; ++i) WriteLod(out, db.LodTable[i]);
  out.WriteLong(db.parentCount);
  for (uint32_t i = 0; i < db.parentCount; ++i) WriteParentFixedPart(out, db.ParentTable[i]);
  for (uint32_t i = 0; i < db.parentCount; ++i) {
    WriteParentLists(out, db.ParentTable[i], db.ParentLists[i]);
  }
}

}  // namespace

HeaderDatabase::HeaderDatabase(const HeaderLimits& limits)
    : ColorTable(TableSize(limits.colorLimit, limits.colorCapacity)),
      PaletteTable(limits.paletteCapacity),
      TextureTable(TableSize(limits.textureLimit, limits.textureCapacity)),
      LodTable(TableSize(limits.lodLimit, limits.lodCapacity)),
      ParentTable(TableSize(limits.parentLimit, limits.parentCapacity)),
      ParentLists(ParentTable.size()),
      limits_(limits) {}

void HeaderDatabase::ResetHeaderTables() {
  ClearZeroedTable(ColorTable);
  ClearZeroedTable(PaletteTable);
  ClearZeroedTable(TextureTable);
  ClearZeroedTable(LodTable);
  ClearZeroedTable(ParentTable);
  ClearZeroedTable(ParentLists);
}

ReadStatus ReadHeaderDatabase(std::span<const uint8_t> file, HeaderDatabase& db, bool checkRun) {
  ResetReadState(db);
  ByteReader in(file);
  if (const ReadStatus status = ReadColors(in, db); status != kReadOk) return status;
  db.paletteCount = in.ReadLong();
  const bool badPaletteCount = CountOutOfRange(db.paletteCount, db.Limits().paletteLimit);
  ReadPalettes(in, db);
  if (const ReadStatus status = ReadTextures(in, db); status != kReadOk) return status;
  if (const ReadStatus status = ReadLods(in, db, checkRun); status != kReadOk) return status;
  if (const ReadStatus status = ReadParents(in, db); status != kReadOk) return status;
  if (in.ReadPastEnd()) return kTruncated;
  return badPaletteCount ? kBadPaletteCount : kReadOk;
}

bool IsSafeToWriteBack(ReadStatus status, const HeaderDatabase& db) {
  return status == kReadOk || (status == kBadPaletteCount && db.paletteCount == 0);
}

std::vector<uint8_t> WriteHeaderDatabase(HeaderDatabase& db) {
  ClampCounts(db);
  ByteWriter out;
  out.Reserve(WrittenSize(db));
  WriteSections(out, db);
  return out.TakeBytes();
}

std::string_view DescribeReadStatus(ReadStatus status) {
  switch (status) {
    case kReadOk: return "the file was read whole";
    case kBadColorCount: return "the colour count is 0 or above the limit";
    case kBadPaletteCount: return "the palette count is 0 or above the limit";
    case kBadTextureCount: return "the texture count is 0 or above the limit";
    case kBadLodCount: return "the LOD count is 0 or above the limit";
    case kBadParentCount: return "the parent count is 0 or above the limit";
    case kBadSlotCount: return "a parent has more than 25 slots";
    case kBadDynamicCount: return "a parent has more than 10 dynamic points";
    case kBadLodRefCount: return "a parent has more than 10 LOD references";
    case kTruncated: return "the file ends before its last parent's lists";
  }
  return "the read status is unknown";
}

}  // namespace zarno
