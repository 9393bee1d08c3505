// The performance suite: one table of measured figures, each beside a
// baseline measured in the same run on the same machine, with their ratio
// and the goal it is held to. Run it through scripts/bench, which builds it
// in release mode:
//
//   zarno_perf_suite [--work-dir <folder>] [--repetitions <n>] [--keep]
//
// The work folder (default: perf-work in the current folder) holds the
// fixtures while they are measured and is removed at the end unless --keep
// is given. Every figure is the median of its repetitions.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "benchmarks/perf_figures.h"
#include "benchmarks/perf_process.h"
#include "benchmarks/perf_work.h"

namespace {

constexpr const char* kUsage = "usage: zarno_perf_suite [--work-dir <folder>] [--repetitions <n>] [--keep]\n";

bool ParseOptions(const std::vector<std::string>& args, zarno::SuiteOptions& options) {
  options.workDir = std::filesystem::absolute("perf-work");
  for (size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--work-dir" && hasValue) {
      options.workDir = std::filesystem::absolute(args[++i]);
    } else if (args[i] == "--repetitions" && hasValue) {
      const int repetitions = std::atoi(args[++i].c_str());
      if (repetitions < 1) return false;
      options.repetitions = repetitions;
    } else if (args[i] == "--keep") {
      options.keepFiles = true;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == zarno::kChildSwitch) {
    return zarno::RunChildWork(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  zarno::SuiteOptions options;
  if (!ParseOptions(args, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  return zarno::PerfSuite(options).Run() ? 0 : 1;
}
