#include "benchmarks/perf_measure.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "benchmarks/perf_process.h"

namespace zarno {
namespace {

void MeasureOnce(const Measurement& measurement, const std::filesystem::path& stderrPath, Sample& sample) {
  if (measurement.prepare && !measurement.prepare()) {
    sample.ok = false;
    sample.failure = measurement.name + ": cannot prepare its files";
    return;
  }
  ::sync();
  const ChildMeasurement child = MeasureInChild(measurement.arguments, stderrPath);
  if (!child.ok) {
    sample.ok = false;
    sample.failure = measurement.name + ": " + child.failure;
    return;
  }
  const std::string wrong = measurement.check ? measurement.check() : std::string();
  if (!wrong.empty()) {
    sample.ok = false;
    sample.failure = measurement.name + ": " + wrong;
    return;
  }
  sample.wallSeconds.push_back(child.time.wallSeconds);
  sample.cpuSeconds.push_back(child.time.cpuSeconds);
  sample.peakKib = std::max(sample.peakKib, child.peakKib);
}

double Median(std::vector<double> sorted) {
  if (sorted.empty()) return 0;
  std::sort(sorted.begin(), sorted.end());
  const size_t middle = sorted.size() / 2;
  return sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

}  // namespace

double Sample::MedianWallSeconds() const { return Median(wallSeconds); }
double Sample::MedianCpuSeconds() const { return Median(cpuSeconds); }

std::vector<Sample> MeasureInRounds(const std::vector<Measurement>& measurements, int repetitions,
                                    const std::filesystem::path& stderrPath) {
  std::vector<Sample> samples(measurements.size());
  for (int round = 0; round < repetitions; ++round) {
    for (size_t m = 0; m < measurements.size(); ++m) {
      if (!samples[m].ok) continue;
      std::fprintf(stderr, "  %s, %d of %d\n", measurements[m].name.c_str(), round + 1, repetitions);
      MeasureOnce(measurements[m], stderrPath, samples[m]);
    }
  }
  return samples;
}

}  // namespace zarno
