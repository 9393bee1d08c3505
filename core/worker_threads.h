// How many threads the work that can be shared out (compressing textures,
// decoding them) may use.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/platform.h"

namespace zarno {

// The environment variable that sets it; 1 keeps all work on the job's own
// thread.
inline constexpr std::string_view kThreadsVariable = "ZARNO_THREADS";
inline constexpr uint32_t kMostWorkerThreads = 64;

// The variable's value when it is a number from 1 on (at most
// kMostWorkerThreads), else the machine's hardware threads.
uint32_t WorkerThreads(Platform& platform);

}  // namespace zarno
