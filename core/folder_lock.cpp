#include "core/folder_lock.h"

#include "core/format.h"

namespace zarno {

FolderLock LockObjectFolder(Platform& platform, const std::string& objectDir) {
  const std::string path = objectDir + platform.PathSeparator() + std::string(kLockFileName);
  FolderLock result;
  for (uint32_t waited = 0;; waited += kLockPollMs) {
    const LockAttempt attempt = platform.TryLockFile(path, result.lock);
    if (attempt != LockAttempt::kBusy) {
      if (attempt == LockAttempt::kUnavailable) result.lock.reset();
      return result;
    }
    if (waited >= kLockWaitLimitMs) {
      result.busy = true;
      return result;
    }
    if (waited == 0) {
      platform.NoteWaiting(Format("waiting for another run to finish with %s", objectDir.c_str()));
    }
    platform.Sleep(kLockPollMs);
  }
}

std::string FolderBusyMessage(const std::string& objectDir) {
  return Format("Another run is using the object folder: %s", objectDir.c_str());
}

}  // namespace zarno
