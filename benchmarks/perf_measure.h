// Repeated measurements in child processes, taken in rounds: each round runs
// every measurement of a figure once, so that a machine that slows down or
// speeds up during the run does so for the figure and its baseline alike.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zarno {

struct Measurement {
  std::string name;                     // in progress lines and failures
  std::vector<std::string> arguments;   // of the child (see perf_work.h)
  std::function<bool()> prepare;        // before each repetition, untimed; may be empty
  // After each repetition, untimed: an empty text when the work left what it
  // should, else what is wrong. May be empty.
  std::function<std::string()> check;
};

struct Sample {
  bool ok = true;
  std::string failure;
  std::vector<double> wallSeconds;  // one per repetition
  std::vector<double> cpuSeconds;   // one per repetition
  uint64_t peakKib = 0;             // the largest peak of the repetitions

  double MedianWallSeconds() const;
  double MedianCpuSeconds() const;
};

// Runs every measurement `repetitions` times, round by round. Before each
// one the disk is synced, so that no measurement waits for the writes of the
// one before. A measurement that fails once is not run again.
std::vector<Sample> MeasureInRounds(const std::vector<Measurement>& measurements, int repetitions,
                                    const std::filesystem::path& stderrPath);

}  // namespace zarno
