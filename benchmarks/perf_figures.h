// The figures of the performance suite. Each one builds its fixture in the
// work folder, measures the programs and their baselines in child processes,
// adds its rows to the table and notes the peak memory of the program's run
// for the memory rows at the end.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "benchmarks/perf_fixtures.h"
#include "benchmarks/perf_measure.h"
#include "benchmarks/perf_table.h"

namespace zarno {

struct SuiteOptions {
  std::filesystem::path workDir;
  std::optional<int> repetitions;  // the same for every figure when set
  bool keepFiles = false;          // leave the fixtures in the work folder
};

// A run's peak memory and what it may be bounded by.
struct MemoryFigure {
  std::string run;
  uint64_t peakBytes = 0;
  uint64_t boundBytes = 0;  // the process alone + tables + largest item + fixed buffers
  uint64_t storeBytes = 0;  // the store file the run worked on (0 when none)
};

class PerfSuite {
 public:
  explicit PerfSuite(SuiteOptions options) : options_(std::move(options)) {}

  // Measures every figure and prints the table; false when a measurement
  // failed (the table then shows what was measured).
  bool Run();

 private:
  void MeasureIdleProcess();
  void MeasureLzss();
  void MeasureHeaderDatabase();
  void MeasureInstallRun();
  void MeasureLodCompaction(uint32_t blobSize);
  void MeasureTexCompaction(uint32_t blobSize);
  void MeasureTextureRun();
  void MeasureZarnoscope();
  void AddZarnoscopeRows(const FolderFixture& fixture, const std::vector<Sample>& samples);
  void AddMemoryRows();

  int Repetitions(int usual) const { return options_.repetitions.value_or(usual); }
  std::filesystem::path FixtureDir(const std::string& name) const;
  std::filesystem::path RunDir() const { return options_.workDir / "run"; }
  std::filesystem::path RunObjects() const { return RunDir() / "Objects"; }
  std::filesystem::path CopyOutput() const { return RunDir() / "copy.out"; }
  std::filesystem::path StderrPath() const { return options_.workDir / "child.stderr"; }
  void DropFixture(const std::string& name) const;
  // Notes a failed measurement; true when all of `samples` are good.
  bool AllGood(const std::vector<Sample>& samples);
  uint64_t FixedBytes() const;

  SuiteOptions options_;
  std::vector<TableRow> rows_;
  std::vector<MemoryFigure> memory_;
  std::vector<std::string> failures_;
  uint64_t idleBytes_ = 0;
};

}  // namespace zarno
