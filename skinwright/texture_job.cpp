#include "skinwright/texture_job.h"

#include <optional>
#include <string>
#include <vector>

#include "core/file_utils.h"
#include "core/folder_lock.h"
#include "core/format.h"
#include "core/header_file.h"
#include "core/replacement_journal.h"
#include "core/worker_threads.h"
#include "skinwright/tex_compaction.h"
#include "skinwright/texture_job_state.h"
#include "skinwright/texture_pipeline.h"
#include "skinwright/texture_store.h"

namespace zarno {
namespace {

constexpr std::string_view kNoTexturesText = "No Texture files (.bmp/.dds) found.";
constexpr std::string_view kNoTexturesCaption = "Error";

using Failure = std::optional<std::string>;

std::string TexErrorListPath(const TextureJobState& state) {
  return Format("%s%cTexErrorList.txt", state.paths.texDir.c_str(), state.platform.PathSeparator());
}

// Creates TexErrorList.txt in the texture folder (replacing an old one) and
// writes its first line. texDir already ends in separators; the path keeps
// the form the host's code gives it.
bool OpenTexErrorList(TextureJobState& state) {
  state.texErrorFile.emplace(state.platform, TexErrorListPath(state));
  if (!state.texErrorFile->IsOpen()) {
    state.texErrorFile.reset();
    return false;
  }
  return state.texErrorFile->Write(Format("Models folder %s\n\n", state.paths.texDir.c_str()));
}

void ShowNoTexturesBox(Platform& platform) {
  platform.ShowMessageBox(kNoTexturesText, kNoTexturesCaption, BoxIcon::kHand);
}

std::vector<std::string> FindImages(TextureJobState& state) {
  const char* mask = state.settings.ddsRun ? "*.dds" : "*.bmp";
  return state.platform.FindFiles(state.paths.texDir + mask);
}

// Hands every image to the texture store; an image that cannot be read is
// skipped there. Only a file of the object folder that cannot be written
// stops the loop. A normal run compresses on every core.
Failure InstallImages(TextureJobState& state, const std::vector<std::string>& names) {
  if (!state.settings.ddsRun && !state.settings.checkRun) {
    return StoreImagesOnEveryCore(state, names, WorkerThreads(state.platform));
  }
  for (const std::string& name : names) {
    const std::string path = state.paths.texDir + name;
    if (!state.settings.ddsRun) {
      DecideTexture(state, path);
      continue;
    }
    const ImageResult result = InstallDdsTexture(state, path);
    if (result.failure) return result.failure;
  }
  return std::nullopt;
}

// Throws away the DDS copies of a run that saves nothing.
void DiscardStagedCopies(TextureJobState& state) {
  for (const std::string& name : state.stagedDdsCopies) {
    state.platform.RemoveFile(NewFilePath(state.paths.objectDirSlash, name));
  }
  state.stagedDdsCopies.clear();
}

// A DDS run puts its copies and (outside check runs) the header database in
// place of the old files as one step, so a failure leaves all of them as
// they were.
Failure ReplaceDdsCopies(TextureJobState& state) {
  Platform& platform = state.platform;
  const std::string& folderSlash = state.paths.objectDirSlash;
  std::vector<PendingFile> files;
  for (const std::string& name : state.stagedDdsCopies) files.push_back({name});
  if (!state.settings.checkRun) {
    if (!WriteFileDurably(platform, NewFilePath(folderSlash, kHeaderFileName), WriteHeaderDatabase(state.db))) {
      return Format("Can not write ZarnoObj.hdr: %s", state.paths.hdrPath.c_str());
    }
    files.push_back({std::string(kHeaderFileName)});
  }
  state.stagedDdsCopies.clear();  // from here on the journal looks after them
  std::string failedPath;
  if (files.empty() || ReplaceFilesTogether(platform, folderSlash, files, &failedPath)) return std::nullopt;
  return CannotWriteMessage(platform, failedPath);
}

// A normal run saves the header database, then compacts the store, which
// replaces the packed store and the header database together. A compaction
// that refuses or fails leaves the saved header database naming the data the
// run appended to the store.
Failure SaveAndCompact(TextureJobState& state) {
  if (!SaveHeaderDatabase(state.platform, state.paths.hdrPath, state.db)) {
    return Format("Can not write ZarnoObj.hdr: %s", state.paths.hdrPath.c_str());
  }
  std::string failure;
  if (CompactTexFile(state.platform, state.paths, state.db, &failure)) return std::nullopt;
  return failure;
}

// After the images: a check run closes its report; a DDS run replaces its
// copies and the header database; a normal run saves and compacts.
Failure FinishRun(TextureJobState& state) {
  if (state.settings.checkRun) {
    const bool closed = state.texErrorFile && state.texErrorFile->Close();
    state.texErrorFile.reset();
    if (!closed) return "Can not write TexErrorList.txt: " + TexErrorListPath(state);
  }
  if (state.settings.ddsRun) return ReplaceDdsCopies(state);
  if (state.settings.checkRun) return std::nullopt;
  return SaveAndCompact(state);
}

// Recovery of an interrupted replacement, the report of a check run and the
// header database. False when the job cannot go on; the failure has been
// signalled.
bool StartJob(TextureJobState& state) {
  Platform& platform = state.platform;
  if (!RecoverReplacement(platform, state.paths.objectDirSlash)) {
    platform.SignalFailure(
        Format("Can not finish the interrupted update of the object folder: %s", state.paths.objectDir.c_str()));
    return false;
  }
  if (state.settings.checkRun && !OpenTexErrorList(state)) {
    // A check run without its report has nothing to show for its work. A
    // texture folder that does not exist is told as such.
    if (FindImages(state).empty()) {
      ShowNoTexturesBox(platform);
    } else {
      platform.SignalFailure("Can not open TexErrorList.txt: " + TexErrorListPath(state));
    }
    return false;
  }
  const HeaderLoadResult load =
      LoadHeaderDatabase(platform, state.paths.hdrPath, state.db, state.settings.checkRun);
  if (const Failure failure = DescribeLoadFailure(load, state.paths.hdrPath)) {
    platform.SignalFailure(*failure);
    return false;
  }
  return true;
}

// The job up to its close request. True when it got through its images and
// its writes; a failure has sounded its one beep.
bool RunJobSteps(TextureJobState& state) {
  const FolderLock folderLock = LockObjectFolder(state.platform, state.paths.objectDir);
  if (folderLock.busy) {
    state.platform.SignalFailure(FolderBusyMessage(state.paths.objectDir));
    return false;
  }
  if (!StartJob(state)) return false;
  const std::vector<std::string> names = FindImages(state);
  if (names.empty()) {
    if (state.settings.checkRun) ShowNoTexturesBox(state.platform);
    return false;
  }
  Failure failure = InstallImages(state, names);
  if (!failure) failure = FinishRun(state);
  if (!failure) return true;
  DiscardStagedCopies(state);
  state.platform.SignalFailure(*failure);
  return false;
}

}  // namespace

void RunTextureJob(Platform& platform, const SkinwrightSettings& settings, const InstallPaths& paths) {
  TextureJobState state(platform, settings, paths);
  if (RunJobSteps(state)) {
    platform.Beep();
    platform.Beep();
  }
  if (state.texErrorFile) state.texErrorFile->Close();
  platform.RequestClose();
}

}  // namespace zarno
