#include "skinwright/texture_job.h"

#include <string>
#include <vector>

#include "core/file_utils.h"
#include "core/format.h"
#include "core/header_file.h"
#include "core/replacement_journal.h"
#include "skinwright/tex_compaction.h"
#include "skinwright/texture_job_state.h"
#include "skinwright/texture_store.h"

namespace zarno {
namespace {

constexpr std::string_view kNoTexturesText = "No Texture files (.bmp/.dds) found.";
constexpr std::string_view kNoTexturesCaption = "Error";

// Creates TexErrorList.txt in the texture folder (replacing an old one) and
// writes its first line. texDir already ends in separators; the path keeps
// the form the host's code gives it.
bool OpenTexErrorList(TextureJobState& state) {
  const std::string& texDir = state.paths.texDir;
  const std::string path = Format("%s%cTexErrorList.txt", texDir.c_str(), state.platform.PathSeparator());
  state.texErrorFile.emplace(state.platform, path);
  if (!state.texErrorFile->IsOpen()) {
    state.texErrorFile.reset();
    return false;
  }
  return state.texErrorFile->Write(Format("Models folder %s\n\n", texDir.c_str()));
}

// Tables that could not be read whole are neither used nor written back.
bool LoadHeaderForJob(TextureJobState& state) {
  const HeaderLoadResult load =
      LoadHeaderDatabase(state.platform, state.paths.hdrPath, state.db, state.settings.checkRun);
  return load.outcome == HeaderLoadOutcome::kRead && load.safeToWrite;
}

void ShowNoTexturesBox(Platform& platform) {
  platform.ShowMessageBox(kNoTexturesText, kNoTexturesCaption, BoxIcon::kHand);
}

std::vector<std::string> FindImages(TextureJobState& state) {
  const char* mask = state.settings.ddsRun ? "*.dds" : "*.bmp";
  return state.platform.FindFiles(state.paths.texDir + mask);
}

// Hands every image to the texture store. False when a file could not be
// read or written: the loop stops there.
bool InstallImages(TextureJobState& state, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const std::string path = state.paths.texDir + name;
    if (state.settings.ddsRun) {
      InstallDdsTexture(state, path);
    } else {
      InstallTexture(state, path);
    }
    if (state.ioFailed) return false;
  }
  return true;
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
bool ReplaceDdsCopies(TextureJobState& state) {
  Platform& platform = state.platform;
  const std::string& folderSlash = state.paths.objectDirSlash;
  std::vector<PendingFile> files;
  for (const std::string& name : state.stagedDdsCopies) files.push_back({name});
  if (!state.settings.checkRun) {
    if (!WriteFileDurably(platform, NewFilePath(folderSlash, kHeaderFileName), WriteHeaderDatabase(state.db))) {
      return false;
    }
    files.push_back({std::string(kHeaderFileName)});
  }
  state.stagedDdsCopies.clear();  // from here on the journal looks after them
  return files.empty() || ReplaceFilesTogether(platform, folderSlash, files);
}

// After the images: a check run closes its report; a DDS run replaces its
// copies and the header database; a normal run compacts the store, which
// saves the header database with it. (Saving the header database on its own
// first would leave it naming the uncompacted store when the compaction
// fails.)
bool FinishRun(TextureJobState& state) {
  if (state.settings.checkRun) {
    const bool closed = state.texErrorFile && state.texErrorFile->Close();
    state.texErrorFile.reset();
    if (!closed) return false;
  }
  if (state.settings.ddsRun) return ReplaceDdsCopies(state);
  if (state.settings.checkRun) return true;
  return CompactTexFile(state.platform, state.paths, state.db);
}

// Recovery of an interrupted replacement, the report of a check run and the
// header database. False when the job cannot go on; the failure has been
// signalled.
bool StartJob(TextureJobState& state) {
  Platform& platform = state.platform;
  if (!RecoverReplacement(platform, state.paths.objectDirSlash)) {
    platform.Beep();
    return false;
  }
  if (state.settings.checkRun && !OpenTexErrorList(state)) {
    // A check run without its report has nothing to show for its work. A
    // texture folder that does not exist is told as such.
    if (FindImages(state).empty()) {
      ShowNoTexturesBox(platform);
    } else {
      platform.Beep();
    }
    return false;
  }
  if (!LoadHeaderForJob(state)) {
    platform.Beep();
    return false;
  }
  return true;
}

// The job up to its close request. True when it got through its images and
// its writes; a failure has sounded its one beep.
bool RunJobSteps(TextureJobState& state) {
  if (!StartJob(state)) return false;
  const std::vector<std::string> names = FindImages(state);
  if (names.empty()) {
    if (state.settings.checkRun) ShowNoTexturesBox(state.platform);
    return false;
  }
  if (!InstallImages(state, names) || !FinishRun(state)) {
    DiscardStagedCopies(state);
    state.platform.Beep();
    return false;
  }
  return true;
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
