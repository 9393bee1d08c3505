#include "rigwright/model_job.h"

#include <string>
#include <string_view>
#include <vector>

#include "core/file_utils.h"
#include "core/folder_lock.h"
#include "core/format.h"
#include "core/header_database.h"
#include "core/header_file.h"
#include "core/replacement_journal.h"
#include "rigwright/distance_run.h"
#include "rigwright/install_parent.h"
#include "rigwright/lod_compaction.h"
#include "rigwright/lod_installation.h"
#include "rigwright/model_job_state.h"

namespace zarno {
namespace {

enum class LoopOutcome { kCompleted, kAborted, kLodWriteFailed };

// A failure that ends the job: a box naming the file.
void ShowFileFailure(ModelJobState& state, const std::string& text) {
  state.platform.ShowMessageBox(text, "File Open Error", BoxIcon::kHand);
}

// Finishes or undoes a compaction that was interrupted, so the job starts
// from object files that agree with each other.
bool RecoverObjectFolder(ModelJobState& state) {
  if (RecoverReplacement(state.platform, state.paths.objectDirSlash)) return true;
  ShowFileFailure(state, Format("Can not finish the interrupted update of the object folder: %s",
                                state.paths.objectDir.c_str()));
  return false;
}

// Reads ZarnoObj.hdr whole. A file that cannot be opened, or whose tables
// could not be read completely, ends the job with a box naming the file: such
// tables must never be written back or built upon.
bool LoadHeaderForJob(ModelJobState& state) {
  Platform& platform = state.platform;
  const InstallPaths& paths = state.paths;
  const HeaderLoadResult load = LoadHeaderDatabase(platform, paths.hdrPath, state.db, state.settings.checkRun);
  const std::optional<std::string> failure = DescribeLoadFailure(load, paths.hdrPath);
  if (!failure) return true;
  if (load.outcome == HeaderLoadOutcome::kCannotOpen) {
    ShowFileFailure(state, *failure);
  } else {
    platform.ShowMessageBox(*failure, "File Read Error", BoxIcon::kHand);
  }
  return false;
}

std::vector<std::string> FindInstallParentFiles(ModelJobState& state) {
  return state.platform.FindFiles(state.paths.modelDir + std::string(kInstallParentMask));
}

// Opens ZarnoObj.lod for update and sets the append position behind the
// last recorded blob. A check run opens it too but writes nothing, so where
// update is refused (a read-only object folder) it reads it instead.
bool OpenLodFile(ModelJobState& state) {
  state.lodFile = state.platform.OpenFile(state.paths.lodPath, OpenMode::kUpdate);
  if (!state.lodFile && state.settings.checkRun) {
    state.lodFile = state.platform.OpenFile(state.paths.lodPath, OpenMode::kRead);
  }
  if (!state.lodFile) {
    ShowFileFailure(state, Format("Can not open ZarnoObj.lod: %s", state.paths.lodPath.c_str()));
    return false;
  }
  state.lodAppendOffset = FirstAppendOffset(state.db);
  return true;
}

bool OpenErrorList(ModelJobState& state) {
  const std::string path = ErrorListPath(state);
  state.errorListFile.emplace(state.platform, path);
  if (!state.errorListFile->IsOpen()) {
    state.errorListFile.reset();
    ShowFileFailure(state, Format("Can not open ErrorList.txt: %s", path.c_str()));
    return false;
  }
  WriteFinding(state, Format("Models folder:   %s\n", state.paths.modelDir.c_str()));
  WriteFinding(state, Format("Objects folder:  %s\n\n", state.paths.hdrPath.c_str()));
  return true;
}

void ReportUnopenedIhrFile(ModelJobState& state, const std::string& path) {
  const std::string text = Format("Can not open ihr file: %s File #%d", path.c_str(), state.ihrFileNumber);
  if (state.settings.checkRun) {
    WriteFinding(state, text + "\n");
  } else {
    state.platform.ShowMessageBox(text, "ihr Open Error", BoxIcon::kExclamation);
  }
}

// Counts a parent whose installation failed. Returns false when the failure
// ends the run.
bool TallyFailedParent(ModelJobState& state, const std::string& path) {
  ++state.installFailureCount;
  if (state.settings.checkRun) {
    WriteFinding(state, Format("Problem installing model %s.\n", path.c_str()));
    return true;
  }
  if (state.installFailureCount <= state.maxInstallFailures) {
    state.platform.ShowMessageBox(Format("Problem installing model %s in ZO.lod file.\n", path.c_str()),
                                  "Model Install Error", BoxIcon::kExclamation);
    return true;
  }
  state.platform.ShowMessageBox(Format("Problem installing model %s in ZO.lod file.  Aborting", path.c_str()),
                                "Model Install Error", BoxIcon::kExclamation);
  return false;
}

// Parses one install-parent file and installs its models. The file is read
// whole first: one that cannot be (missing, a folder, unreadable, a read that
// fails part-way) is reported and skipped, and nothing of it is taken.
LoopOutcome ProcessIhrFile(ModelJobState& state, const std::string& name) {
  state.currentIhrName = name;
  const std::string path = state.paths.modelDir + name;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(state.platform, path, bytes)) {
    ReportUnopenedIhrFile(state, path);
    return LoopOutcome::kCompleted;
  }
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const int32_t parentIndex = ReadInstallParent(state, text);
  if (parentIndex <= 0) return LoopOutcome::kCompleted;
  const LodInstallResult installed = InstallParentLods(state, static_cast<uint32_t>(parentIndex));
  if (installed.lodWriteFailed) {
    ShowFileFailure(state, Format("Can not write ZarnoObj.lod: %s", state.paths.lodPath.c_str()));
    return LoopOutcome::kLodWriteFailed;
  }
  if (installed.failures == 0 || TallyFailedParent(state, path)) return LoopOutcome::kCompleted;
  return LoopOutcome::kAborted;
}

// The files are taken strictly one after the other, in search order, so a
// later file sees the parents and LOD records that earlier ones added. The
// loop walks the files the one search found: a second search could come
// back empty, and the run would then save and end as if it had done its work.
LoopOutcome RunInstallLoop(ModelJobState& state, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    ++state.ihrFileNumber;
    const LoopOutcome outcome = ProcessIhrFile(state, name);
    if (outcome != LoopOutcome::kCompleted) return outcome;
  }
  return LoopOutcome::kCompleted;
}

// Closes the files of the loop. In an install run the blobs must be on the
// disk before the header database that records them is.
bool CloseLoopFiles(ModelJobState& state) {
  const bool lodStored = state.settings.checkRun || FinishDurably(*state.lodFile, true);
  state.lodFile.reset();
  if (!lodStored) {
    ShowFileFailure(state, Format("Can not write ZarnoObj.lod: %s", state.paths.lodPath.c_str()));
    return false;
  }
  if (!state.errorListFile) return true;
  const bool listStored = state.errorListFile->Close();
  state.errorListFile.reset();
  if (!listStored) {
    ShowFileFailure(state, Format("Can not write ErrorList.txt: %s", ErrorListPath(state).c_str()));
    return false;
  }
  return true;
}

bool FinishJob(ModelJobState& state) {
  if (!CloseLoopFiles(state)) return false;
  if (state.settings.checkRun) {
    state.platform.ShowMessageBox(Format("List of errors in file: %s", ErrorListPath(state).c_str()),
                                  "Rigwright Error Report", BoxIcon::kAsterisk);
  } else if (!SaveHeaderDatabase(state.platform, state.paths.hdrPath, state.db)) {
    ShowFileFailure(state, Format("Can not write ZarnoObj.hdr: %s", state.paths.hdrPath.c_str()));
    return false;
  }
  state.db.FreeLodList.clear();
  return true;
}

void RunInstallOrCheck(ModelJobState& state) {
  const std::vector<std::string> names = FindInstallParentFiles(state);
  if (names.empty()) {
    state.platform.ShowMessageBox("No Install Parent files (.ihr) found.", "Error", BoxIcon::kHand);
    return;
  }
  if (!OpenLodFile(state)) return;
  if (state.settings.checkRun && !OpenErrorList(state)) return;
  if (RunInstallLoop(state, names) != LoopOutcome::kCompleted) return;
  if (!FinishJob(state)) return;
  state.platform.Beep();
  state.platform.Beep();
}

void RunJobSteps(ModelJobState& state) {
  const FolderLock folderLock = LockObjectFolder(state.platform, state.paths.objectDir);
  if (folderLock.busy) {
    ShowFileFailure(state, FolderBusyMessage(state.paths.objectDir));
    return;
  }
  if (!RecoverObjectFolder(state) || !LoadHeaderForJob(state)) return;
  if (state.settings.compactRun) {
    CompactLodFile(state.platform, state.paths, state.db);
    return;
  }
  if (state.settings.distanceRun) {
    RunDistanceAdjustment(state.platform, state.settings, state.paths, state.db);
    return;
  }
  RunInstallOrCheck(state);
}

}  // namespace

void RunModelJob(Platform& platform, const RigwrightSettings& settings, const InstallPaths& paths) {
  ModelJobState state(platform, settings, paths);
  RunJobSteps(state);
  platform.RequestClose();
}

}  // namespace zarno
