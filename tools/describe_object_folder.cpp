// Says in words what an object folder holds, or what changed between two
// copies of it.
//
//   describe_object_folder <object folder>
//   describe_object_folder <object folder before> <object folder after>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/header_database.h"
#include "core/header_file.h"
#include "core/platform_posix.h"

namespace {

using zarno::HeaderDatabase;

struct FolderState {
  std::unique_ptr<HeaderDatabase> db;
  uint64_t lodFileSize = 0;
};

std::optional<FolderState> Load(zarno::Platform& platform, const std::string& folder) {
  FolderState state{std::make_unique<HeaderDatabase>(zarno::kRigwrightLimits), 0};
  const zarno::HeaderLoadResult load = zarno::LoadHeaderDatabase(platform, folder + "/ZarnoObj.hdr", *state.db, false);
  if (load.outcome != zarno::HeaderLoadOutcome::kRead || !load.safeToWrite) {
    std::fprintf(stderr, "describe_object_folder: cannot read %s/ZarnoObj.hdr\n", folder.c_str());
    return std::nullopt;
  }
  state.lodFileSize = platform.FileSize(folder + "/ZarnoObj.lod").value_or(0);
  return state;
}

uint32_t FreeRecords(const HeaderDatabase& db) {
  uint32_t free = 0;
  for (uint32_t k = 0; k < db.lodCount; ++k) free += db.LodTable[k].fileSize == 0 ? 1 : 0;
  return free;
}

void Describe(const FolderState& state) {
  const HeaderDatabase& db = *state.db;
  const uint32_t free = FreeRecords(db);
  std::printf("  %u parents, %u LOD records (%u in use, %u free), ZarnoObj.lod %llu bytes\n", db.parentCount,
              db.lodCount, db.lodCount - free, free, static_cast<unsigned long long>(state.lodFileSize));
}

bool ParentChanged(const HeaderDatabase& before, const HeaderDatabase& after, uint32_t p) {
  return std::memcmp(&before.ParentTable[p], &after.ParentTable[p], sizeof(zarno::ParentRecord)) != 0 ||
         std::memcmp(&before.ParentLists[p], &after.ParentLists[p], sizeof(zarno::ParentListRecord)) != 0;
}

std::string IndexList(const std::vector<uint32_t>& indices) {
  std::string text;
  for (uint32_t index : indices) text += (text.empty() ? "" : ", ") + std::to_string(index);
  return text.empty() ? "none" : text;
}

void DescribeParents(const HeaderDatabase& before, const HeaderDatabase& after) {
  std::vector<uint32_t> added, replaced;
  for (uint32_t p = 0; p < after.parentCount; ++p) {
    if (p >= before.parentCount) {
      added.push_back(p);
    } else if (ParentChanged(before, after, p)) {
      replaced.push_back(p);
    }
  }
  std::printf("  parents installed: %zu new (%s), %zu replaced (%s)\n", added.size(), IndexList(added).c_str(),
              replaced.size(), IndexList(replaced).c_str());
}

// The records that got a blob: free ones reused, and new ones.
struct LodChanges {
  std::vector<uint32_t> reused;
  std::vector<uint32_t> added;
  uint64_t blobBytes = 0;
};

LodChanges FindLodChanges(const HeaderDatabase& before, const HeaderDatabase& after) {
  LodChanges changes;
  for (uint32_t k = 0; k < after.lodCount; ++k) {
    const zarno::LodRecord& record = after.LodTable[k];
    if (k >= before.lodCount) {
      changes.added.push_back(k);
    } else if (before.LodTable[k].fileSize == 0 && record.fileSize > 0) {
      changes.reused.push_back(k);
    } else {
      continue;
    }
    changes.blobBytes += record.fileSize;
  }
  return changes;
}

void DescribeRecords(const HeaderDatabase& db, const std::vector<uint32_t>& indices) {
  for (uint32_t k : indices) {
    std::printf("    record %u: %u bytes at offset %u\n", k, db.LodTable[k].fileSize, db.LodTable[k].fileOffset);
  }
}

void DescribeChanges(const FolderState& before, const FolderState& after) {
  DescribeParents(*before.db, *after.db);
  const LodChanges lods = FindLodChanges(*before.db, *after.db);
  std::printf("  LOD records: %zu free ones reused (%s), %zu added (%s)\n", lods.reused.size(),
              IndexList(lods.reused).c_str(), lods.added.size(), IndexList(lods.added).c_str());
  DescribeRecords(*after.db, lods.reused);
  DescribeRecords(*after.db, lods.added);
  const long long grown = static_cast<long long>(after.lodFileSize) - static_cast<long long>(before.lodFileSize);
  std::printf("  ZarnoObj.lod: %lld bytes appended (%llu -> %llu): %llu bytes of %zu models, each blob 10 bytes\n"
              "    after the end of the one before\n",
              grown, static_cast<unsigned long long>(before.lodFileSize),
              static_cast<unsigned long long>(after.lodFileSize), static_cast<unsigned long long>(lods.blobBytes),
              lods.reused.size() + lods.added.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fputs("usage: describe_object_folder <object folder> [<object folder after>]\n", stderr);
    return 2;
  }
  zarno::PosixPlatform platform("describe_object_folder", false);
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
