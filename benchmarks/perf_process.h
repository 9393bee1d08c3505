// One measurement of the performance suite runs in a process of its own: the
// suite starts itself again with the measurement's arguments, and the new
// process does the work once and prints the time it took and its peak
// resident memory as the operating system counts it. A fresh process per measurement keeps the
// memory of one run (and of the fixtures) out of the next one's figure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zarno {

// The first argument that makes the suite a measuring child.
inline constexpr const char* kChildSwitch = "--child";

// How long a piece of work took: on the wall clock, and in CPU time of the
// process (which a busy machine stretches far less).
struct WorkTime {
  double wallSeconds = 0;
  double cpuSeconds = 0;
};

struct ChildMeasurement {
  bool ok = false;
  WorkTime time;          // as the child timed its work
  uint64_t peakKib = 0;   // the child's VmHWM, in KiB
  std::string failure;    // what went wrong, when not ok
};

// Runs this program again as `kChildSwitch` followed by `arguments`. Its
// standard error goes to `stderrPath`; anything written there (a message box
// of a program run) counts as a failure, as does an exit code other than 0.
ChildMeasurement MeasureInChild(const std::vector<std::string>& arguments,
                                const std::filesystem::path& stderrPath);

// What a child prints on success: the time its work took and its peak
// resident memory (VmHWM), which belongs to the program it runs alone. (The
// rusage of a child would also count the memory of this suite, which the
// child shares until it starts the program again.)
void ReportChildResult(const WorkTime& time);

}  // namespace zarno
