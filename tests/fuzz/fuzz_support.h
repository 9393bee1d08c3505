// What the fuzz targets share: a check that stops the run so the fuzzer
// keeps the input, the split of an input into a mode byte and the bytes under
// test, and a platform that shows nothing.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <span>

#include "core/platform_posix.h"

namespace zarno {

inline void FuzzCheck(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "fuzz property failed: %s\n", property);
  std::abort();
}

struct FuzzInput {
  uint8_t mode = 0;
  std::span<const uint8_t> bytes;
  std::string_view Text() const { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }
};

inline FuzzInput SplitMode(const uint8_t* data, size_t size) {
  return size == 0 ? FuzzInput{} : FuzzInput{data[0], std::span<const uint8_t>(data + 1, size - 1)};
}

// The POSIX platform, silent: boxes and failure lines are dropped, beeps and
// the progress bar stay off (no terminal). Files are only ever read.
class QuietPlatform : public PosixPlatform {
 public:
  QuietPlatform() : PosixPlatform("fuzz", false) {}
  void ShowMessageBox(std::string_view, std::string_view, BoxIcon, bool) override {}
  void SignalFailure(std::string_view) override {}
};

}  // namespace zarno
