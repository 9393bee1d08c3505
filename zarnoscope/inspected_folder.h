// An object folder as the inspector sees it: the header database read with
// the larger limits of the two programs, what each program would make of the
// header, the sizes of the stores and the other files that tell the folder's
// state. Everything is opened for reading only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/header_database.h"
#include "core/platform.h"

namespace zarno {

// How one program would take the header: whether its reader gets through it
// and may write it back, and if not, why.
struct HeaderVerdict {
  ReadStatus status = kReadOk;
  bool accepted = false;
  std::string reason;  // empty when accepted
};

// The limits the header is read with: the two programs' own, or small ones in
// tests.
struct InspectionLimits {
  HeaderLimits rigwright = kRigwrightLimits;
  HeaderLimits skinwright = kSkinwrightLimits;  // every one at least Rigwright's
};

struct InspectedFolder {
  InspectionLimits limits;
  std::string dirSlash;  // the object folder followed by one separator
  char separator = '/';
  uint64_t headerSize = 0;
  // Read with Skinwright's limits, which hold all that either program would
  // read.
  std::unique_ptr<HeaderDatabase> db;
  ReadStatus status = kReadOk;
  HeaderVerdict rigwright, skinwright;
  std::optional<uint64_t> lodSize, texSize;  // nothing when the store is missing
  std::vector<std::string> ddsNames;         // of the DDS folder, sorted by name
  bool journal = false;                      // an interrupted update's journal is there
  std::vector<std::string> leftovers;        // ".new" files, names within the folder

  std::string PathOf(std::string_view name) const { return dirSlash + std::string(name); }
  // "ZarnoObj/57.dds" with the platform's separator.
  std::string DdsName(std::string_view name) const;
  uint32_t TextureRecords() const;  // textureCount, kept inside the table
  uint32_t LodRecords() const;
  uint32_t ParentRecords() const;
  uint32_t PaletteRecords() const;
};

// Reads the folder. Nothing when ZarnoObj.hdr cannot be opened or read
// whole; `error` then says so, naming the file.
std::optional<InspectedFolder> InspectFolder(Platform& platform, const std::string& dir, std::string& error,
                                             const InspectionLimits& limits = {});

// Whether a parent holds anything: a parent whose every field and list entry
// is 0 is free to take.
bool ParentInUse(const HeaderDatabase& db, uint32_t index);
// The LOD record a reference names when it has the form 2k + 1 (k from 0):
// k, which may lie past the records.
inline std::optional<uint32_t> LodRecordOf(int32_t lodRef) {
  if (lodRef <= 0 || lodRef % 2 == 0) return std::nullopt;
  return static_cast<uint32_t>(lodRef - 1) / 2;
}
// A texture record with stored data.
inline bool TextureInUse(const TextureRecord& record) { return record.dataSize != 0; }

// Reads `size` bytes at `offset` of an open store into `bytes`.
bool ReadStoreRange(File& store, uint64_t offset, uint32_t size, std::vector<uint8_t>& bytes);

}  // namespace zarno
