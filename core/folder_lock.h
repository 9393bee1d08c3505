// One run at a time on an object folder: every run of both programs holds
// the folder's lock file from before it reads ZarnoObj.hdr until its job
// ends, and a second run waits for the first.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/platform.h"

namespace zarno {

inline constexpr std::string_view kLockFileName = "ZarnoObj.lock";
// How long a run waits for another one to finish, and how often it looks.
inline constexpr uint32_t kLockWaitLimitMs = 120'000;
inline constexpr uint32_t kLockPollMs = 50;

struct FolderLock {
  std::unique_ptr<FileLock> lock;  // none where no lock file can be made: the run goes on without
  bool busy = false;               // another run kept the folder past the limit
};

// Takes the lock of the object folder `objectDir` (no trailing separator),
// waiting up to kLockWaitLimitMs for a run that holds it.
FolderLock LockObjectFolder(Platform& platform, const std::string& objectDir);

// The text of the failure of a run that waited in vain.
std::string FolderBusyMessage(const std::string& objectDir);

}  // namespace zarno
