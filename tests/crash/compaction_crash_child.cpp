// The child of the compaction crash test: runs Rigwright or Skinwright on a
// real folder and kills itself (SIGKILL, so nothing is cleaned up or
// flushed) right after the Nth file operation. The operations are counted by
// the fault-injecting platform: the platform's own (open, size, rename,
// remove, ...) and those of every file it opens (read, write, seek, flush,
// close, size).
//
//   compaction_crash_child <rigwright|skinwright> <start|compaction> <N> <argument line>
//
// With "start", operations count from the start of the run; with
// "compaction", from the moment the compaction opens its progress display,
// and N = 0 kills the child right there. A child that gets to the end of its
// run exits with kChildFinished.
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/platform_posix.h"
#include "core/shell.h"
#include "rigwright/rigwright_program.h"
#include "skinwright/skinwright_program.h"
#include "tests/crash/crash_child.h"
#include "tests/support/fault_platform.h"

namespace zarno {
namespace {

// Says where it stops (the test shows this when a check fails), then dies.
[[noreturn]] void KillSelf(size_t number, std::string_view kind, const std::string& path) {
  std::fprintf(stderr, "killed after operation %zu: %.*s %s\n", number, static_cast<int>(kind.size()),
               kind.data(), path.c_str());
  std::fflush(stderr);
  ::kill(::getpid(), SIGKILL);
  std::abort();  // not reached
}

// Counts from the first operation of the run, or from the opening of the
// compaction's progress display.
class CrashingPlatform : public FaultInjectingPlatform {
 public:
  CrashingPlatform(Platform& inner, bool fromCompaction, size_t killAfter)
      : FaultInjectingPlatform(inner), fromCompaction_(fromCompaction), killAfter_(killAfter) {
    SetAfterOperation([this](size_t number, std::string_view kind, const std::string& path) {
      if (counting_ && number == start_ + killAfter_) KillSelf(number - start_, kind, path);
    });
    counting_ = !fromCompaction_;
  }

  void ProgressOpen(int32_t stage) override {
    FaultInjectingPlatform::ProgressOpen(stage);
    if (!fromCompaction_ || counting_) return;
    if (killAfter_ == 0) KillSelf(0, "ProgressOpen", {});
    start_ = OperationCount();
    counting_ = true;
  }

 private:
  bool fromCompaction_;
  size_t killAfter_;
  bool counting_ = false;
  size_t start_ = 0;  // operations before counting began
};

int RunChild(std::string_view program, bool fromCompaction, size_t killAfter, std::string_view line) {
  PosixPlatform posix(std::string(program), /*stderrIsTerminal=*/false);
  CrashingPlatform platform(posix, fromCompaction, killAfter);
  int exitCode = kExitStartupFailed;
  if (program == "rigwright") {
    exitCode = RunRigwright(platform, line);
  } else if (program == "skinwright") {
    exitCode = RunSkinwright(platform, line);
  } else {
    return kChildUsage;
  }
  return exitCode == kExitAfterRun ? kChildFinished : kChildStartupFailed;
}

}  // namespace
}  // namespace zarno

int main(int argc, char** argv) {
  using namespace zarno;
  if (argc != 5) {
    std::fprintf(stderr, "usage: compaction_crash_child <rigwright|skinwright> <start|compaction> <N> <line>\n");
    return kChildUsage;
  }
  const std::string_view from = argv[2];
  if (from != "start" && from != "compaction") return kChildUsage;
  char* end = nullptr;
  const unsigned long long killAfter = std::strtoull(argv[3], &end, 10);
  if (end == argv[3] || *end != '\0') return kChildUsage;
  return RunChild(argv[1], from == "compaction", static_cast<size_t>(killAfter), argv[4]);
}
