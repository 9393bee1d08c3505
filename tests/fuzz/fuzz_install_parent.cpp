// Install-parent (*.ihr) parser over the bytes of a file. Mode byte: bit 0 a
// check run (findings go to a report that discards them), bit 1 the file is
// read twice in a row (the duplicate test), bits 2-7 the LOD count the
// header database was read with. Properties: no fault on any input; a parent
// taken into the table lies inside it, is counted by parentCount and has a
// hostParam3 of at least 1; a skipped parent leaves the count and the model
// file names alone.
#include <cstdint>
#include <string>

#include "core/install_paths.h"
#include "rigwright/command_line.h"
#include "rigwright/install_parent.h"
#include "rigwright/model_job_state.h"
#include "tests/fuzz/fuzz_support.h"

namespace zarno {
namespace {

// The parent count every run starts from.
constexpr uint32_t kStartParentCount = 3;

struct ParserRun {
  explicit ParserRun(bool checkRun) : settings(MakeSettings(checkRun)), state(platform, settings, paths) {
    paths.objectDir = "C:\\Orvane";
    paths.objectDirSlash = "C:\\Orvane\\";
    paths.modelDir = "C:\\Orvane\\Models\\";
  }
  static RigwrightSettings MakeSettings(bool checkRun) {
    RigwrightSettings settings;
    settings.checkRun = checkRun;
    return settings;
  }

  InertPlatform platform;
  RigwrightSettings settings;
  InstallPaths paths;
  ModelJobState state;
};

ParserRun& RunFor(bool checkRun) {
  static ParserRun check(true);
  static ParserRun install(false);
  return checkRun ? check : install;
}

// Puts back what a run may have changed, so every input starts alike.
void ClearParent(ModelJobState& state, int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= state.db.ParentTable.size()) return;
  state.db.ParentTable[static_cast<size_t>(index)] = ParentRecord{};
  state.db.ParentLists[static_cast<size_t>(index)] = ParentListRecord{};
}

void CheckResult(const ModelJobState& state, int32_t result) {
  if (result == kParentSkipped) {
    FuzzCheck(state.db.parentCount == kStartParentCount, "a skipped parent changes no count");
    for (const std::string& name : state.LodFileNames) FuzzCheck(name.empty(), "a skipped parent names no model");
    return;
  }
  FuzzCheck(result >= 0, "the result is a parent index, 0 or kParentSkipped");
  const auto index = static_cast<size_t>(result);
  FuzzCheck(index < state.db.ParentTable.size(), "the parent lies inside the table");
  FuzzCheck(index < state.db.parentCount, "parentCount covers the parent");
  FuzzCheck(result == 0 || state.db.ParentTable[index].hostParam3 >= 1, "hostParam3 is at least 1");
}

}  // namespace
}  // namespace zarno

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zarno;
  const FuzzInput input = SplitMode(data, size);
  ModelJobState& state = RunFor((input.mode & 1) != 0).state;
  state.db.parentCount = kStartParentCount;
  state.db.lodCountAtRead = input.mode >> 2;
  state.lastParentIndex = -1;
  for (std::string& name : state.LodFileNames) name.clear();

  const int passes = (input.mode & 2) != 0 ? 2 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int32_t result = ReadInstallParent(state, AsText(input.bytes));
    CheckResult(state, result);
    if (pass + 1 == passes) ClearParent(state, result);
  }
  ClearParent(state, 0);
  return 0;
}
