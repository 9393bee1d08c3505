#include "rigwright/lod_compaction.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/file_utils.h"
#include "core/blob_gather.h"
#include "core/format.h"
#include "core/progress.h"
#include "core/replacement_journal.h"

namespace zarno {
namespace {

constexpr std::string_view kFileErrorCaption = "File Open Error";

// The LOD records the compaction walks: lodCount, kept inside the table.
uint32_t WalkedRecordCount(const HeaderDatabase& db) {
  return static_cast<uint32_t>(std::min<size_t>(db.lodCount, db.LodTable.size()));
}

// A parent entry's lodRef names record (lodRef - 1) / 2, truncated toward
// zero: -1 names nothing, 0 and 1 name record 0.
std::optional<uint32_t> RecordNamedBy(int32_t lodRef, uint32_t recordCount) {
  const int64_t k = (static_cast<int64_t>(lodRef) - 1) / 2;
  if (k < 0 || k >= recordCount) return std::nullopt;
  return static_cast<uint32_t>(k);
}

}  // namespace

std::vector<bool> RecordsReferencedByParents(const HeaderDatabase& db) {
  const uint32_t recordCount = WalkedRecordCount(db);
  std::vector<bool> used(recordCount, false);
  const size_t parents = std::min({static_cast<size_t>(db.parentCount), db.ParentTable.size(),
                                   db.ParentLists.size()});
  for (size_t p = 0; p < parents; ++p) {
    const size_t refs = std::min<size_t>(db.ParentTable[p].lodRefCount, kMaxLodRefs);
    for (size_t j = 0; j < refs; ++j) {
      if (auto k = RecordNamedBy(db.ParentLists[p].lodRef[j], recordCount)) used[*k] = true;
    }
  }
  return used;
}

uint64_t UnreferencedBytes(const HeaderDatabase& db, const std::vector<bool>& used) {
  uint64_t unused = 0;
  for (size_t k = 0; k < used.size(); ++k) {
    if (!used[k]) unused += db.LodTable[k].fileSize;
  }
  return unused;
}

namespace {

// The records as they are after packing: used blobs back to back from offset
// 0 in record order, every other record freed. Nothing when the packed store
// would not fit the 32-bit offsets (records that share their bytes).
std::optional<std::vector<LodRecord>> PackedRecords(const HeaderDatabase& db,
                                                    const std::vector<bool>& used) {
  std::vector<LodRecord> packed(db.LodTable.begin(), db.LodTable.begin() + used.size());
  uint64_t newOffset = 0;
  for (size_t k = 0; k < packed.size(); ++k) {
    if (!used[k]) {
      packed[k].fileOffset = 0;
      packed[k].fileSize = 0;
      continue;
    }
    packed[k].fileOffset = static_cast<uint32_t>(newOffset);
    newOffset += packed[k].fileSize;
    if (newOffset > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  }
  return packed;
}

// The first used record whose blob does not lie wholly inside the store.
std::optional<uint32_t> FirstRecordPastEnd(const HeaderDatabase& db, const std::vector<bool>& used,
                                           uint64_t storeSize) {
  for (size_t k = 0; k < used.size(); ++k) {
    const LodRecord& record = db.LodTable[k];
    if (used[k] && record.fileSize > 0 &&
        uint64_t{record.fileOffset} + record.fileSize > storeSize) {
      return static_cast<uint32_t>(k);
    }
  }
  return std::nullopt;
}

// Copies the used blobs, in record order, one after the other to `to`; the
// bar follows the record index.
bool CopyUsedBlobs(Platform& platform, const HeaderDatabase& db, const std::vector<bool>& used,
                   File& from, File& to) {
  std::vector<BlobRange> blobs;
  for (size_t k = 0; k < used.size(); ++k) {
    if (used[k]) blobs.push_back({db.LodTable[k].fileOffset, db.LodTable[k].fileSize, static_cast<uint32_t>(k)});
  }
  return CopyBlobs(from, blobs, to, [&platform](uint32_t k) { platform.ProgressSetPosition(k); });
}

// Writes the packed store to ZarnoObj.lod's ".new" file. On failure the
// ".new" file is gone and `message` names the file.
bool WritePackedStore(Platform& platform, const InstallPaths& paths, const HeaderDatabase& db,
                      const std::vector<bool>& used, std::string& message) {
  const std::unique_ptr<File> store = platform.OpenFile(paths.lodPath, OpenMode::kRead);
  const std::optional<uint64_t> storeSize = store ? store->Size() : std::nullopt;
  if (!storeSize) {
    message = Format("Can not open ZarnoObj.lod: %s", paths.lodPath.c_str());
    return false;
  }
  if (const std::optional<uint32_t> k = FirstRecordPastEnd(db, used, *storeSize)) {
    message = Format("ZarnoObj.lod is damaged: record %u runs past the end of %s", *k,
                     paths.lodPath.c_str());
    return false;
  }
  const std::string newPath = NewFilePath(paths.objectDirSlash, kLodFileName);
  std::unique_ptr<File> packed = platform.OpenFile(newPath, OpenMode::kCreate);
  if (packed && FinishDurably(*packed, CopyUsedBlobs(platform, db, used, *store, *packed))) return true;
  packed.reset();
  platform.RemoveFile(newPath);
  message = Format("Can not write ZarnoObj.lod: %s", paths.lodPath.c_str());
  return false;
}

// The header database's bytes with `packed` in place of the LOD records; the
// tables in memory are left as they were.
std::vector<uint8_t> HeaderBytesWith(HeaderDatabase& db, const std::vector<LodRecord>& packed) {
  const std::vector<LodRecord> kept(db.LodTable.begin(), db.LodTable.begin() + packed.size());
  std::copy(packed.begin(), packed.end(), db.LodTable.begin());
  std::vector<uint8_t> bytes = WriteHeaderDatabase(db);
  std::copy(kept.begin(), kept.end(), db.LodTable.begin());
  return bytes;
}

// Writes the new header database to ZarnoObj.hdr's ".new" file. On failure
// the ".new" file is gone and `message` names the file.
bool WriteNewHeader(Platform& platform, const InstallPaths& paths, HeaderDatabase& db,
                    const std::vector<LodRecord>& packed, std::string& message) {
  const std::vector<uint8_t> bytes = HeaderBytesWith(db, packed);
  const std::string newPath = NewFilePath(paths.objectDirSlash, kHeaderFileName);
  if (WriteFileDurably(platform, newPath, bytes)) return true;
  message = Format("Can not write ZarnoObj.hdr: %s", paths.hdrPath.c_str());
  return false;
}

// Writes both new files and replaces the old ones with them as one step; the
// new records reach `db` only then.
bool PackAndReplace(Platform& platform, const InstallPaths& paths, HeaderDatabase& db,
                    const std::vector<bool>& used, std::string& message) {
  const std::optional<std::vector<LodRecord>> packed = PackedRecords(db, used);
  if (!packed) {
    message = Format("Can not write ZarnoObj.lod: %s", paths.lodPath.c_str());
    return false;
  }
  if (!WritePackedStore(platform, paths, db, used, message)) return false;
  if (!WriteNewHeader(platform, paths, db, *packed, message)) {
    platform.RemoveFile(NewFilePath(paths.objectDirSlash, kLodFileName));
    return false;
  }
  const std::array<PendingFile, 2> files = {PendingFile{std::string(kLodFileName)},
                                            PendingFile{std::string(kHeaderFileName)}};
  std::string failedPath;
  if (!ReplaceFilesTogether(platform, paths.objectDirSlash, files, &failedPath)) {
    message = CannotWriteMessage(platform, failedPath);
    return false;
  }
  std::copy(packed->begin(), packed->end(), db.LodTable.begin());
  return true;
}

}  // namespace

void CompactLodFile(Platform& platform, const InstallPaths& paths, HeaderDatabase& db) {
  const std::vector<bool> used = RecordsReferencedByParents(db);
  if (UnreferencedBytes(db, used) == 0) return;

  platform.ProgressOpen(kProgressStageLod);
  platform.ProgressSetPosition(0);
  platform.ProgressSetRange(static_cast<uint32_t>(used.size()));
  std::string message;
  const bool replaced = PackAndReplace(platform, paths, db, used, message);
  platform.ProgressClose();
  if (!replaced) platform.ShowMessageBox(message, kFileErrorCaption, BoxIcon::kHand);
}

}  // namespace zarno
