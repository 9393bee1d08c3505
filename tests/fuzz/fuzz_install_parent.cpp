// Install-parent files: no fault on any input; a parent taken lies inside
// the table and under parentCount; a skipped one changes no count and names
// no model file. Mode byte: bit 0 a check run, bit 1 the file read twice
// (the duplicate test), bits 2-7 the LOD count the header was read with.
#include "rigwright/install_parent.h"
#include "rigwright/model_job_state.h"
#include "tests/fuzz/fuzz_support.h"

using namespace zarno;

constexpr uint32_t kStartParentCount = 3;

struct ParserRun {
  explicit ParserRun(bool checkRun) : state(platform, settings, paths) {
    settings.checkRun = checkRun;
    paths.modelDir = "C:\\Orvane\\Models\\";
  }
  QuietPlatform platform;
  RigwrightSettings settings;
  InstallPaths paths;
  ModelJobState state;
};

void ClearParent(ModelJobState& state, int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= state.db.ParentTable.size()) return;
  state.db.ParentTable[size_t(index)] = {};
  state.db.ParentLists[size_t(index)] = {};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ParserRun install(false);
  static ParserRun check(true);
  const FuzzInput input = SplitMode(data, size);
  ModelJobState& state = ((input.mode & 1) != 0 ? check : install).state;
  state.db.parentCount = kStartParentCount;
  state.db.lodCountAtRead = input.mode >> 2;
  state.lastParentIndex = -1;
  for (std::string& name : state.LodFileNames) name.clear();
  for (int pass = (input.mode & 2) != 0 ? 2 : 1; pass > 0; --pass) {
    const int32_t result = ReadInstallParent(state, input.Text());
    const bool skipped = result == kParentSkipped;
    FuzzCheck(!skipped || (state.db.parentCount == kStartParentCount && state.LodFileNames[0].empty()),
              "a skipped parent changes no count and names no model");
    FuzzCheck(skipped || (result >= 0 && uint32_t(result) < state.db.parentCount &&
                          size_t(result) < state.db.ParentTable.size()), "a parent inside table and count");
    if (pass == 1) ClearParent(state, result);
  }
  ClearParent(state, 0);
  return 0;
}
