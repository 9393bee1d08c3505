// Says in words what the texture part of an object folder holds (palettes,
// texture records, ZarnoObj.tex and the DDS copies in the ZarnoObj folder), or
// what changed between two copies of it.
//
//   describe_textures <object folder>
//   describe_textures <object folder before> <object folder after>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/header_database.h"
#include "core/header_file.h"
#include "core/platform_posix.h"

namespace {

using zarno::HeaderDatabase;
using zarno::TextureRecord;

struct FolderState {
  std::unique_ptr<HeaderDatabase> db;
  uint64_t storeSize = 0;
  std::vector<std::string> ddsCopies;
};

std::optional<FolderState> Load(zarno::Platform& platform, const std::string& folder) {
  FolderState state{std::make_unique<HeaderDatabase>(zarno::kSkinwrightLimits), 0, {}};
  const zarno::HeaderLoadResult load =
      zarno::LoadHeaderDatabase(platform, folder + "/ZarnoObj.hdr", *state.db, false);
  if (load.outcome != zarno::HeaderLoadOutcome::kRead || !load.safeToWrite) {
    std::fprintf(stderr, "describe_textures: cannot read %s/ZarnoObj.hdr\n", folder.c_str());
    return std::nullopt;
  }
  state.storeSize = platform.FileSize(folder + "/ZarnoObj.tex").value_or(0);
  state.ddsCopies = platform.FindFiles(folder + "/ZarnoObj/*.dds");
  return state;
}

uint32_t RecordsInUse(const HeaderDatabase& db) {
  uint32_t used = 0;
  for (uint32_t i = 0; i < db.textureCount; ++i) used += db.TextureTable[i].dataSize != 0 ? 1 : 0;
  return used;
}

bool SameRecord(const TextureRecord& a, const TextureRecord& b) {
  return a.fileOffset == b.fileOffset && a.dataSize == b.dataSize && a.width == b.width && a.flags == b.flags &&
         a.color == b.color && a.paletteIndex == b.paletteIndex;
}

void DescribeRecord(const HeaderDatabase& db, uint32_t id, const char* note) {
  const TextureRecord& r = db.TextureTable[id];
  std::printf("    texture %u%s: %u x %u, palette %u, flags 0x%02X, colour 0x%08X, %u bytes at offset %u\n", id,
              note, r.width, r.width, r.paletteIndex, r.flags, r.color, r.dataSize, r.fileOffset);
}

void Describe(const FolderState& state) {
  const HeaderDatabase& db = *state.db;
  std::printf("  %u palettes, %u texture records (%u in use), ZarnoObj.tex %llu bytes, %zu DDS files in ZarnoObj/\n",
              db.paletteCount, db.textureCount, RecordsInUse(db), static_cast<unsigned long long>(state.storeSize),
              state.ddsCopies.size());
  for (uint32_t id = 0; id < db.textureCount; ++id) {
    if (db.TextureTable[id].dataSize != 0) DescribeRecord(db, id, "");
  }
}

void DescribePalettes(const HeaderDatabase& before, const HeaderDatabase& after) {
  for (uint32_t k = before.paletteCount; k < after.paletteCount; ++k) {
    const zarno::PaletteRecord& p = after.PaletteTable[k];
    std::printf("  palette %u added (first colour red %u, green %u, blue %u)\n", k, p.red[0], p.green[0], p.blue[0]);
  }
  if (after.paletteCount == before.paletteCount) std::printf("  no palette added\n");
}

void DescribeRecords(const HeaderDatabase& before, const HeaderDatabase& after) {
  bool any = false;
  for (uint32_t id = 0; id < after.textureCount; ++id) {
    const bool existed = id < before.textureCount && before.TextureTable[id].dataSize != 0;
    if (existed && SameRecord(before.TextureTable[id], after.TextureTable[id])) continue;
    if (!existed && after.TextureTable[id].dataSize == 0) continue;
    DescribeRecord(after, id, existed ? " (replaced)" : " (new)");
    any = true;
  }
  if (!any) std::printf("    no texture record changed\n");
}

void DescribeChanges(const FolderState& before, const FolderState& after) {
  DescribePalettes(*before.db, *after.db);
  std::printf("  texture records: %u -> %u (%u -> %u in use); changed ones, as they are now:\n",
              before.db->textureCount, after.db->textureCount, RecordsInUse(*before.db), RecordsInUse(*after.db));
  DescribeRecords(*before.db, *after.db);
  std::printf("  ZarnoObj.tex: %llu -> %llu bytes\n", static_cast<unsigned long long>(before.storeSize),
              static_cast<unsigned long long>(after.storeSize));
  for (const std::string& name : after.ddsCopies) {
    bool old = false;
    for (const std::string& earlier : before.ddsCopies) old = old || earlier == name;
    if (!old) std::printf("  ZarnoObj/%s copied\n", name.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fputs("usage: describe_textures <object folder> [<object folder after>]\n", stderr);
    return 2;
  }
  zarno::PosixPlatform platform("describe_textures", false);
  const std::optional<FolderState> first = Load(platform, argv[1]);
  if (!first) return 1;
  if (argc == 2) {
    Describe(*first);
    return 0;
  }
  const std::optional<FolderState> second = Load(platform, argv[2]);
  if (!second) return 1;
  DescribeChanges(*first, *second);
  return 0;
}
