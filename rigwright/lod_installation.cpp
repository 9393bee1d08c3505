#include "rigwright/lod_installation.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>

#include "core/block_copy.h"
#include "core/format.h"

namespace zarno {
namespace {

// The largest end offset a LOD record can describe.
constexpr uint64_t kLargestLodEnd = std::numeric_limits<uint32_t>::max();

enum class EntryOutcome { kInstalled, kFailed, kLodWriteFailed };

// A problem with one model file: a line of ErrorList.txt in a check run, a
// box otherwise. `text` names the file and ends without a line break.
void ReportModelFileProblem(ModelJobState& state, const std::string& text) {
  if (state.settings.checkRun) {
    WriteFinding(state, text + "\n");
  } else {
    state.platform.ShowMessageBox(text, "Model File Error", BoxIcon::kExclamation);
  }
}

// A model file that cannot be opened, sized or read whole counts as one
// failure of its parent.
EntryOutcome ReportUnreadableModel(ModelJobState& state, const std::string& path) {
  ReportModelFileProblem(state, Format("Could not open model file: %s.", path.c_str()));
  return EntryOutcome::kFailed;
}

bool HasLodRecordToGive(const HeaderDatabase& db) {
  const bool freeRecordLeft = db.freeLodCount > 0 && db.nextFreeLod < db.FreeLodList.size();
  return freeRecordLeft || db.lodCount < db.LodTable.size();
}

// A free record when there is one left, else a new one at the end.
uint32_t TakeLodRecord(HeaderDatabase& db) {
  if (db.freeLodCount > 0 && db.nextFreeLod < db.FreeLodList.size()) {
    const uint32_t index = db.FreeLodList[db.nextFreeLod];
    ++db.nextFreeLod;
    --db.freeLodCount;
    return index;
  }
  return db.lodCount++;
}

// Copies the model file's first `size` bytes to ZarnoObj.lod at the append
// position, in large blocks.
CopyResult CopyModelBlob(ModelJobState& state, File& model, uint64_t size) {
  File& lod = *state.lodFile;
  if (!lod.Seek(state.lodAppendOffset)) return CopyResult::kWriteFailed;
  return CopyBlocks(model, size, lod, state.copyBuffer);
}

// Everything that must hold before a byte is written: a size that can be
// recorded, and a record to give.
bool CanInstall(ModelJobState& state, const std::string& path, uint64_t size) {
  if (state.lodAppendOffset + size > kLargestLodEnd) {
    ReportModelFileProblem(state, Format("Model file does not fit in ZarnoObj.lod: %s.", path.c_str()));
    return false;
  }
  if (!HasLodRecordToGive(state.db)) {
    ReportModelFileProblem(state, Format("LOD table is full: %s.", path.c_str()));
    return false;
  }
  return true;
}

// A blob that could not be copied whole gets no record; its bytes stay
// behind the last recorded blob, where the next append writes over them.
EntryOutcome InstallEntry(ModelJobState& state, const std::string& name, int32_t& lodRef) {
  const std::string path = state.paths.modelDir + name;
  const std::unique_ptr<File> model = state.platform.OpenFile(path, OpenMode::kRead);
  if (!model) return ReportUnreadableModel(state, path);
  if (state.settings.checkRun) return EntryOutcome::kInstalled;
  const std::optional<uint64_t> size = state.platform.FileSize(path);
  if (!size) return ReportUnreadableModel(state, path);
  if (!CanInstall(state, path, *size)) return EntryOutcome::kFailed;
  if (!state.lodFile) return EntryOutcome::kLodWriteFailed;
  const CopyResult copy = CopyModelBlob(state, *model, *size);
  if (copy == CopyResult::kWriteFailed) return EntryOutcome::kLodWriteFailed;
  if (copy == CopyResult::kReadFailed) return ReportUnreadableModel(state, path);
  const uint32_t index = TakeLodRecord(state.db);
  LodRecord& record = state.db.LodTable[index];
  record.fileOffset = static_cast<uint32_t>(state.lodAppendOffset);
  record.fileSize = static_cast<uint32_t>(*size);
  lodRef = LodRefFor(index);
  state.lodAppendOffset += *size + kLodBlobGap;
  return EntryOutcome::kInstalled;
}

}  // namespace

uint64_t FirstAppendOffset(const HeaderDatabase& db) {
  const size_t count = std::min<size_t>(db.lodCount, db.LodTable.size());
  uint64_t end = 0;
  for (size_t k = 0; k < count; ++k) {
    const LodRecord& record = db.LodTable[k];
    end = std::max<uint64_t>(end, uint64_t{record.fileOffset} + record.fileSize);
  }
  return end + kLodBlobGap;
}

LodInstallResult InstallParentLods(ModelJobState& state, uint32_t parentIndex) {
  LodInstallResult result;
  if (parentIndex >= state.db.ParentTable.size()) return result;
  const uint32_t entries = std::min<uint32_t>(state.db.ParentTable[parentIndex].lodRefCount, kMaxLodRefs);
  ParentListRecord& lists = state.db.ParentLists[parentIndex];
  for (uint32_t j = 0; j < entries; ++j) {
    if (lists.lodRef[j] >= 0) continue;
    const EntryOutcome outcome = InstallEntry(state, state.LodFileNames[j], lists.lodRef[j]);
    if (outcome == EntryOutcome::kInstalled) continue;
    ++result.failures;
    if (outcome == EntryOutcome::kLodWriteFailed) {
      result.lodWriteFailed = true;
      return result;
    }
  }
  return result;
}

}  // namespace zarno
