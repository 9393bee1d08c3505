#include "skinwright/texture_job.h"

#include <string>
#include <vector>

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

void InstallImages(TextureJobState& state, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const std::string path = state.paths.texDir + name;
    if (state.settings.ddsRun) {
      InstallDdsTexture(state, path);
    } else {
      InstallTexture(state, path);
    }
  }
}

// After the images: a check run closes its report; the other runs save the
// header database and, with BMP images, compact the store.
bool FinishRun(TextureJobState& state) {
  if (state.settings.checkRun) {
    const bool closed = state.texErrorFile && state.texErrorFile->Close();
    state.texErrorFile.reset();
    return closed;
  }
  if (!SaveHeaderDatabase(state.platform, state.paths.hdrPath, state.db)) return false;
  if (state.settings.ddsRun) return true;
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
  InstallImages(state, names);
  if (!FinishRun(state)) {
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
