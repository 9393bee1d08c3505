// Throughput of the LZSS encoder against the literal encoder of the tests, on
// noise and on texture-like images. Run in a release build:
//   zarno_benchmarks --benchmark_filter=Lzss
// After the run a summary gives, per input, both throughputs in MB/s (10^6
// bytes per second) and how many times faster the production encoder is.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "skinwright/lzss.h"
#include "tests/support/kit.h"

namespace zarno {
namespace {

enum class LzssInput { kRandomMiB, kTexture1024, kTexture4096 };

const char* InputName(LzssInput input) {
  switch (input) {
    case LzssInput::kRandomMiB:
      return "random 1 MiB";
    case LzssInput::kTexture1024:
      return "texture 1024x1024";
    case LzssInput::kTexture4096:
      return "texture 4096x4096";
  }
  return "";
}

// Inputs are made once and kept for the whole run.
const std::vector<uint8_t>& InputBytes(LzssInput input) {
  static std::map<LzssInput, std::vector<uint8_t>> made;
  auto found = made.find(input);
  if (found != made.end()) return found->second;
  switch (input) {
    case LzssInput::kRandomMiB:
      return made[input] = MakeRandomBytes(1 << 20, 1);
    case LzssInput::kTexture1024:
      return made[input] = MakeTextureImage(1024, 1024, 2);
    case LzssInput::kTexture4096:
      return made[input] = MakeTextureImage(4096, 4096, 3);
  }
  return made[input];
}

void Record(benchmark::State& state, LzssInput which, size_t inputSize, size_t streamSize) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * inputSize));
  state.SetLabel(InputName(which));
  state.counters["stream/input"] = static_cast<double>(streamSize) / static_cast<double>(inputSize);
}

void BM_LzssProduction(benchmark::State& state, LzssInput which) {
  const std::vector<uint8_t>& input = InputBytes(which);
  std::vector<uint8_t> output(LzssWorstCaseSize(input.size()));
  LzssEncoder encoder;
  size_t streamSize = 0;
  for (auto _ : state) {
    streamSize = encoder.Compress(input, output);
    benchmark::DoNotOptimize(output.data());
  }
  Record(state, which, input.size(), streamSize);
}

void BM_LzssReference(benchmark::State& state, LzssInput which) {
  const std::vector<uint8_t>& input = InputBytes(which);
  size_t streamSize = 0;
  for (auto _ : state) {
    const std::vector<uint8_t> stream = LzssCompressReference(input);
    streamSize = stream.size();
    benchmark::DoNotOptimize(stream.data());
  }
  Record(state, which, input.size(), streamSize);
}

BENCHMARK_CAPTURE(BM_LzssProduction, random_1MiB, LzssInput::kRandomMiB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LzssReference, random_1MiB, LzssInput::kRandomMiB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LzssProduction, texture_1024, LzssInput::kTexture1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LzssReference, texture_1024, LzssInput::kTexture1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LzssProduction, texture_4096, LzssInput::kTexture4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LzssReference, texture_4096, LzssInput::kTexture4096)->Unit(benchmark::kMillisecond);

// The console report (counters as columns, no colours), plus the throughput
// of each encoder per input (the run's label) for the closing summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  SummaryReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (run.error_occurred || rate == run.counters.end()) continue;
      const bool production = run.run_name.function_name.find("Production") != std::string::npos;
      Throughputs& slot = throughputs_[run.report_label];
      (production ? slot.production : slot.reference) = rate->second.value;
    }
  }

  // Prints, per input, how many times faster the production encoder is. An
  // input that lacks one of the pair (a narrower filter) is left out.
  void PrintSummary() const {
    bool header = false;
    for (const auto& [label, rates] : throughputs_) {
      if (rates.production <= 0 || rates.reference <= 0) continue;
      if (!header) std::printf("\nLZSS encoder       production     literal   speed-up\n");
      header = true;
      std::printf("%-18s %7.1f MB/s %6.1f MB/s %8.2fx\n", label.c_str(), rates.production / 1e6,
                  rates.reference / 1e6, rates.production / rates.reference);
    }
  }

 private:
  struct Throughputs {
    double production = 0;
    double reference = 0;
  };
  std::map<std::string, Throughputs> throughputs_;
};

}  // namespace
}  // namespace zarno

// This file holds the benchmark program's entry point; further benchmark
// files of the folder only add BENCHMARK registrations.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  zarno::SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
