#include "zarnoscope/listings.h"

#include <span>
#include <utility>
#include <vector>

#include "core/install_paths.h"
#include "rigwright/lod_compaction.h"
#include "skinwright/texture_id.h"
#include "skinwright/texture_image.h"
#include "skinwright/texture_store.h"

namespace zarno {
namespace {

ReportRow LodReferenceRow(const InspectedFolder& folder, int32_t lodRef, float distance) {
  ReportRow row;
  row.Signed("lodRef", lodRef);
  if (const std::optional<uint32_t> k = LodRecordOf(lodRef); k && *k < folder.LodRecords()) {
    row.Number("record", *k).Number("size", folder.db->LodTable[*k].fileSize);
  } else {
    row.Text("record", "none");
  }
  return std::move(row.Real("distance", distance));
}

ReportSection ListSection(std::string name) { return {std::move(name), true, {}}; }
ReportSection SingleSection(std::string name, ReportRow row) { return {std::move(name), false, {std::move(row)}}; }

// The identifiers of the DDS copies, as Skinwright names them: "57.dds".
std::vector<bool> TexturesWithDdsCopy(const InspectedFolder& folder, uint32_t capacity) {
  std::vector<bool> copied(capacity, false);
  for (const std::string& name : folder.ddsNames) {
    const std::optional<int32_t> id = TextureIdOfName(name);
    if (id && *id >= 0 && static_cast<uint32_t>(*id) < capacity) copied[static_cast<uint32_t>(*id)] = true;
  }
  return copied;
}

ReportRow StoreRow(std::optional<uint64_t> size, uint64_t kept, bool rewritten) {
  ReportRow row;
  row.Yes("present", size.has_value()).Number("size", size.value_or(0)).Number("bytesKept", kept);
  const int64_t givenBack = rewritten && size ? static_cast<int64_t>(size.value_or(0)) - static_cast<int64_t>(kept) : 0;
  return std::move(row.Signed("compactionGivesBack", givenBack));
}

ReportRow VerdictRow(const HeaderVerdict& verdict) {
  ReportRow row;
  row.Yes("acceptsHeader", verdict.accepted);
  if (!verdict.accepted) row.Text("why", verdict.reason);
  return row;
}

ReportRow CountRow(uint64_t count, uint32_t rigwrightLimit, uint32_t skinwrightLimit) {
  ReportRow row;
  return std::move(row.Number("count", count).Number("rigwrightLimit", rigwrightLimit)
                       .Number("skinwrightLimit", skinwrightLimit));
}

void AddCountSections(const InspectedFolder& folder, Report& report) {
  const HeaderDatabase& db = *folder.db;
  const HeaderLimits& r = folder.limits.rigwright;
  const HeaderLimits& s = folder.limits.skinwright;
  uint32_t texturesInUse = 0, lodsFree = 0, parentsInUse = 0;
  for (uint32_t id = 0; id < folder.TextureRecords(); ++id) texturesInUse += TextureInUse(db.TextureTable[id]);
  for (uint32_t k = 0; k < folder.LodRecords(); ++k) lodsFree += db.LodTable[k].fileSize == 0;
  for (uint32_t p = 0; p < folder.ParentRecords(); ++p) parentsInUse += ParentInUse(db, p);
  const uint32_t fixed = std::min(db.paletteCount, kFixedPaletteCount);
  report.push_back(SingleSection("colours", CountRow(db.colorCount, r.colorLimit, s.colorLimit)));
  report.push_back(SingleSection("palettes", CountRow(db.paletteCount, r.paletteLimit, s.paletteLimit)
                                                 .Number("fixed", fixed)
                                                 .Number("added", db.paletteCount - fixed)));
  report.push_back(SingleSection(
      "textures", CountRow(db.textureCount, r.textureLimit, s.textureLimit).Number("inUse", texturesInUse)));
  report.push_back(SingleSection("lods", CountRow(db.lodCount, r.lodLimit, s.lodLimit)
                                             .Number("inUse", folder.LodRecords() - lodsFree)
                                             .Number("free", lodsFree)));
  report.push_back(SingleSection(
      "parents", CountRow(db.parentCount, r.parentLimit, s.parentLimit).Number("inUse", parentsInUse)));
}

void AddStoreSections(const InspectedFolder& folder, Report& report) {
  const HeaderDatabase& db = *folder.db;
  const std::vector<bool> referenced = RecordsReferencedByParents(db);
  uint64_t lodKept = 0, texKept = 0;
  for (uint32_t k = 0; k < referenced.size(); ++k) lodKept += referenced[k] ? db.LodTable[k].fileSize : 0;
  for (uint32_t id = 0; id < folder.TextureRecords(); ++id) texKept += db.TextureTable[id].dataSize;
  report.push_back(SingleSection(std::string(kLodFileName), StoreRow(folder.lodSize, lodKept,
                                                          UnreferencedBytes(db, referenced) != 0)));
  report.push_back(SingleSection(std::string(kTexFileName), StoreRow(folder.texSize, texKept, true)));
}

// Ranges of the numbers from `first` below `end` that `taken` does not hold.
std::vector<std::pair<uint32_t, uint32_t>> FreeRanges(uint32_t first, uint32_t end, const std::vector<bool>& taken) {
  std::vector<std::pair<uint32_t, uint32_t>> ranges;
  for (uint32_t n = first; n < end; ++n) {
    if (n < taken.size() && taken[n]) continue;
    if (!ranges.empty() && ranges.back().second + 1 == n) {
      ranges.back().second = n;
    } else {
      ranges.emplace_back(n, n);
    }
  }
  return ranges;
}

std::string RangesText(const std::vector<std::pair<uint32_t, uint32_t>>& ranges, bool json) {
  std::string text;
  for (const auto& [from, to] : ranges) {
    if (!text.empty()) text += json ? "," : ", ";
    text += json ? "[" + std::to_string(from) + "," + std::to_string(to) + "]"
                 : (from == to ? std::to_string(from) : std::to_string(from) + "-" + std::to_string(to));
  }
  return json ? "[" + text + "]" : (text.empty() ? "none" : text);
}

}  // namespace

Report ParentListing(const InspectedFolder& folder) {
  const HeaderDatabase& db = *folder.db;
  ReportSection section = ListSection("parents");
  for (uint32_t p = 0; p < folder.ParentRecords(); ++p) {
    if (!ParentInUse(db, p)) continue;
    const ParentRecord& parent = db.ParentTable[p];
    const ParentListRecord& lists = db.ParentLists[p];
    std::vector<ReportRow> lods;
    for (uint32_t j = 0; j < std::min<uint32_t>(parent.lodRefCount, kMaxLodRefs); ++j) {
      lods.push_back(LodReferenceRow(folder, lists.lodRef[j], lists.lodDistance[j]));
    }
    ReportRow row;
    row.Number("parent", p).Reals("hitbox", parent.hitbox).Number("slots", parent.slotCount);
    row.Number("dynamicPoints", parent.dynamicCount).Number("lodRefs", parent.lodRefCount).Rows("lods", lods);
    section.rows.push_back(std::move(row));
  }
  return {std::move(section)};
}

Report LodListing(const InspectedFolder& folder) {
  const std::vector<bool> referenced = RecordsReferencedByParents(*folder.db);
  ReportSection section = ListSection("lods");
  for (uint32_t k = 0; k < folder.LodRecords(); ++k) {
    const LodRecord& record = folder.db->LodTable[k];
    ReportRow row;
    row.Number("lod", k).Number("fileOffset", record.fileOffset).Number("fileSize", record.fileSize);
    row.Yes("inUse", record.fileSize != 0).Yes("referenced", referenced[k]);
    section.rows.push_back(std::move(row));
  }
  return {std::move(section)};
}

Report TextureListing(const InspectedFolder& folder) {
  ReportSection section = ListSection("textures");
  for (uint32_t id = 0; id < folder.TextureRecords(); ++id) {
    const TextureRecord& record = folder.db->TextureTable[id];
    ReportRow row;
    row.Number("texture", id).Number("fileOffset", record.fileOffset).Number("dataSize", record.dataSize);
    row.Yes("inUse", TextureInUse(record)).Number("width", record.width).Number("palette", record.paletteIndex);
    row.Hex("flags", record.flags, 2).Hex("color", record.color, 8);
    section.rows.push_back(std::move(row));
  }
  return {std::move(section)};
}

Report PaletteListing(const InspectedFolder& folder) {
  const HeaderDatabase& db = *folder.db;
  std::vector<uint32_t> users(folder.PaletteRecords(), 0);
  for (uint32_t id = 0; id < folder.TextureRecords(); ++id) {
    const TextureRecord& record = db.TextureTable[id];
    if (TextureInUse(record) && record.paletteIndex < users.size()) ++users[record.paletteIndex];
  }
  ReportSection section = ListSection("palettes");
  for (uint32_t k = 0; k < folder.PaletteRecords(); ++k) {
    const PaletteRecord& palette = db.PaletteTable[k];
    ReportRow row;
    row.Number("palette", k).Text("kind", k < kFixedPaletteCount ? "fixed" : "added");
    row.Hex("colorWord", TextureColorWord(db, k), 8).Number("palWord0", palette.palWord0);
    row.Number("palWord1", palette.palWord1).Number("textures", users[k]);
    section.rows.push_back(std::move(row));
  }
  return {std::move(section)};
}

Report SummaryReport(const InspectedFolder& folder) {
  Report report;
  ReportRow header;
  header.Number("size", folder.headerSize).Yes("readWhole", folder.status == kReadOk);
  if (folder.status != kReadOk) header.Text("why", DescribeReadStatus(folder.status));
  report.push_back(SingleSection(std::string(kHeaderFileName), std::move(header)));
  report.push_back(SingleSection("Rigwright", VerdictRow(folder.rigwright)));
  report.push_back(SingleSection("Skinwright", VerdictRow(folder.skinwright)));
  AddCountSections(folder, report);
  AddStoreSections(folder, report);
  ReportRow dds;
  report.push_back(SingleSection("ddsFiles", std::move(dds.Number("count", folder.ddsNames.size()))));
  ReportRow update;
  update.Yes("interrupted", folder.journal || !folder.leftovers.empty()).Yes("journal", folder.journal);
  update.Number("leftoverFiles", folder.leftovers.size());
  report.push_back(SingleSection("update", std::move(update)));
  return report;
}

std::string FreeNumbers(const InspectedFolder& folder, bool json) {
  const HeaderDatabase& db = *folder.db;
  std::vector<bool> parents(folder.ParentRecords(), false);
  for (uint32_t p = 0; p < parents.size(); ++p) parents[p] = ParentInUse(db, p);
  const uint32_t textureCapacity = folder.limits.skinwright.textureCapacity;
  std::vector<bool> textures = TexturesWithDdsCopy(folder, std::max(textureCapacity, folder.TextureRecords()));
  for (uint32_t id = 0; id < folder.TextureRecords(); ++id) {
    if (TextureInUse(db.TextureTable[id])) textures[id] = true;
  }
  const std::string freeParents = RangesText(FreeRanges(1, folder.limits.rigwright.parentLimit, parents), json);
  const std::string freeTextures = RangesText(FreeRanges(0, textureCapacity, textures), json);
  if (json) return "{\"parents\":" + freeParents + ",\n\"textures\":" + freeTextures + "}\n";
  return "free parents: " + freeParents + "\nfree textures: " + freeTextures + "\n";
}

}  // namespace zarno
