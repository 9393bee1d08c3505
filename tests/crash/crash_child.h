// Exit codes of the compaction crash test's child, apart from its death by
// SIGKILL. They differ from 1, which the sanitizers use for their reports.
#pragma once

namespace zarno {

inline constexpr int kChildUsage = 2;           // the arguments were not understood
inline constexpr int kChildFinished = 3;        // the run got to its end
inline constexpr int kChildStartupFailed = 4;   // the program could not start

}  // namespace zarno
