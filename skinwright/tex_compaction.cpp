#include "skinwright/tex_compaction.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/file_utils.h"
#include "core/blob_gather.h"
#include "core/format.h"
#include "core/progress.h"
#include "core/replacement_journal.h"
#include "skinwright/texture_store.h"

namespace zarno {
namespace {

// Where the records in use go in the packed store.
struct PackedLayout {
  std::vector<uint32_t> inUse;       // indices of the records in use, ascending
  std::vector<uint32_t> newOffsets;  // per entry of inUse
  uint32_t largest = 0;              // the largest dataSize in use
};

size_t TextureCountInTable(const HeaderDatabase& db) {
  return std::min<size_t>(db.textureCount, db.TextureTable.size());
}

// Nothing when the packed store would not fit 32-bit offsets.
std::optional<PackedLayout> PlanPackedStore(const HeaderDatabase& db) {
  PackedLayout layout;
  uint64_t next = 0;
  for (size_t i = 0; i < TextureCountInTable(db); ++i) {
    const uint32_t size = db.TextureTable[i].dataSize;
    if (size == 0) continue;
    layout.inUse.push_back(static_cast<uint32_t>(i));
    layout.newOffsets.push_back(static_cast<uint32_t>(next));
    layout.largest = std::max(layout.largest, size);
    next += size;
    if (next > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  }
  return layout;
}

// The first record in use whose data runs past the end of the store.
std::optional<uint32_t> RecordPastEnd(const HeaderDatabase& db, const PackedLayout& layout, uint64_t storeSize) {
  for (uint32_t i : layout.inUse) {
    const TextureRecord& record = db.TextureTable[i];
    if (uint64_t{record.fileOffset} + record.dataSize > storeSize) return i;
  }
  return std::nullopt;
}

// Copies the data of every record in use, in record order, one after the
// other to `to`; the bar follows the record index.
bool CopyRecordsInUse(Platform& platform, const HeaderDatabase& db, const PackedLayout& layout, File& from,
                      File& to) {
  std::vector<BlobRange> blobs;
  blobs.reserve(layout.inUse.size());
  for (uint32_t i : layout.inUse) blobs.push_back({db.TextureTable[i].fileOffset, db.TextureTable[i].dataSize, i});
  return CopyBlobs(from, blobs, to, [&platform](uint32_t i) { platform.ProgressSetPosition(i); });
}

// Writes the packed store, the data of the records in use taken from the
// old store, to `newPath`. On failure `failure` names the file.
bool WritePackedStore(Platform& platform, const InstallPaths& paths, const HeaderDatabase& db,
                      const PackedLayout& layout, const std::string& newPath, std::string& failure) {
  const std::string storePath = TexStorePath(paths);
  std::unique_ptr<File> old;
  if (!layout.inUse.empty()) {
    old = platform.OpenFile(storePath, OpenMode::kRead);
    const std::optional<uint64_t> size = old ? old->Size() : std::nullopt;
    if (!size) {
      failure = "Can not open ZarnoObj.tex: " + storePath;
      return false;
    }
    if (const std::optional<uint32_t> k = RecordPastEnd(db, layout, *size)) {
      failure = Format("ZarnoObj.tex is damaged: record %u runs past the end of %s", *k, storePath.c_str());
      return false;
    }
  }
  failure = "Can not write ZarnoObj.tex: " + storePath;
  std::unique_ptr<File> packed = platform.OpenFile(newPath, OpenMode::kCreate);
  if (!packed) return false;
  if (!layout.inUse.empty() && !CopyRecordsInUse(platform, db, layout, *old, *packed)) return false;
  return FinishDurably(*packed, true);
}

// The texture part of the tables, kept to undo the new layout on a failure.
struct TextureTablesBefore {
  std::vector<TextureRecord> records;
  uint32_t maxTextureSize;
};

void ApplyLayout(HeaderDatabase& db, const PackedLayout& layout) {
  for (size_t k = 0; k < layout.inUse.size(); ++k) {
    db.TextureTable[layout.inUse[k]].fileOffset = layout.newOffsets[k];
  }
  db.maxTextureSize = std::max(db.maxTextureSize, layout.largest);
}

void Restore(HeaderDatabase& db, const TextureTablesBefore& before) {
  std::copy(before.records.begin(), before.records.end(), db.TextureTable.begin());
  db.maxTextureSize = before.maxTextureSize;
}

// Writes ZarnoObj.hdr with the new layout beside the old one, then replaces
// the store and the header database together.
bool ReplaceWithPackedFiles(Platform& platform, const InstallPaths& paths, HeaderDatabase& db,
                            const PackedLayout& layout, std::string& failure) {
  const size_t count = TextureCountInTable(db);
  const TextureTablesBefore before{
      std::vector<TextureRecord>(db.TextureTable.begin(), db.TextureTable.begin() + count),
      db.maxTextureSize};
  ApplyLayout(db, layout);
  const std::string headerNew = NewFilePath(paths.objectDirSlash, kHeaderFileName);
  if (!WriteFileDurably(platform, headerNew, WriteHeaderDatabase(db))) {
    failure = "Can not write ZarnoObj.hdr: " + paths.hdrPath;
    Restore(db, before);
    platform.RemoveFile(headerNew);
    platform.RemoveFile(NewFilePath(paths.objectDirSlash, kTexFileName));
    return false;
  }
  const PendingFile files[] = {{std::string(kTexFileName)}, {std::string(kHeaderFileName)}};
  std::string failedPath;
  if (!ReplaceFilesTogether(platform, paths.objectDirSlash, files, &failedPath)) {
    failure = CannotWriteMessage(platform, failedPath);
    Restore(db, before);
    return false;
  }
  return true;
}

bool CompactUnderProgress(Platform& platform, const InstallPaths& paths, HeaderDatabase& db,
                          std::string& failure) {
  const std::optional<PackedLayout> layout = PlanPackedStore(db);
  if (!layout) {
    failure = "Can not compact ZarnoObj.tex: its packed data would pass 4 GiB: " + TexStorePath(paths);
    return false;
  }
  const std::string storeNew = NewFilePath(paths.objectDirSlash, kTexFileName);
  if (!WritePackedStore(platform, paths, db, *layout, storeNew, failure)) {
    platform.RemoveFile(storeNew);
    return false;
  }
  return ReplaceWithPackedFiles(platform, paths, db, *layout, failure);
}

}  // namespace

bool CompactTexFile(Platform& platform, const InstallPaths& paths, HeaderDatabase& db, std::string* failure) {
  platform.ProgressOpen(kProgressStageTex);
  platform.ProgressSetPosition(0);
  platform.ProgressSetRange(db.textureCount);
  std::string why;
  const bool compacted = CompactUnderProgress(platform, paths, db, why);
  platform.ProgressClose();
  if (!compacted && failure) *failure = why;
  return compacted;
}

}  // namespace zarno
