#include "core/worker_threads.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <thread>

namespace zarno {

uint32_t WorkerThreads(Platform& platform) {
  const std::optional<std::string> setting = platform.EnvironmentValue(std::string(kThreadsVariable));
  if (setting) {
    uint32_t threads = 0;
    const auto [end, error] = std::from_chars(setting->data(), setting->data() + setting->size(), threads);
    if (error == std::errc() && end == setting->data() + setting->size() && threads >= 1) {
      return std::min(threads, kMostWorkerThreads);
    }
  }
  return std::clamp<uint32_t>(std::thread::hardware_concurrency(), 1, kMostWorkerThreads);
}

}  // namespace zarno
