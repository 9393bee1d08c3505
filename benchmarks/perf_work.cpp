#include "benchmarks/perf_work.h"

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <optional>

#include "benchmarks/perf_fixtures.h"
#include "benchmarks/perf_process.h"
#include "core/header_file.h"
#include "core/platform_posix.h"
#include "rigwright/rigwright_program.h"
#include "core/worker_threads.h"
#include "skinwright/lzss.h"
#include "skinwright/skinwright_program.h"
#include "tests/support/kit.h"
#include "zarnoscope/zarnoscope_program.h"

namespace zarno {
namespace {

using Arguments = std::vector<std::string>;
using Outcome = std::optional<WorkTime>;

// The stdio copies move this much per call.
constexpr size_t kStdioChunk = 64 * 1024;

double CpuSecondsNow() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Times the work from its construction on, in wall and CPU seconds.
class Stopwatch {
 public:
  Stopwatch() : wallStart_(std::chrono::steady_clock::now()), cpuStart_(CpuSecondsNow()) {}
  WorkTime Elapsed() const {
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart_;
    return {wall.count(), CpuSecondsNow() - cpuStart_};
  }

 private:
  std::chrono::steady_clock::time_point wallStart_;
  double cpuStart_;
};

// A failed piece of work: says why on standard error.
Outcome Failed(const std::string& why) {
  std::fprintf(stderr, "%s\n", why.c_str());
  return std::nullopt;
}

// ---- stdio -----------------------------------------------------------------------

// Copies `from` to the end of `to` in chunks; at most `limit` bytes.
bool CopyStream(std::FILE* from, std::FILE* to, uint64_t limit, std::vector<char>& chunk) {
  while (limit > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(limit, chunk.size()));
    const size_t got = std::fread(chunk.data(), 1, want, from);
    if (got > 0 && std::fwrite(chunk.data(), 1, got, to) != got) return false;
    if (got < want) return std::ferror(from) == 0;
    limit -= got;
  }
  return true;
}

// Flushes, syncs and closes a file written with stdio.
bool CloseDurably(std::FILE* file) {
  const bool synced = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
  return std::fclose(file) == 0 && synced;
}

Outcome CopyFiles(const Arguments& args) {
  std::ifstream list(args.at(1));
  std::vector<std::string> paths;
  for (std::string line; std::getline(list, line);) paths.push_back(line);
  const Stopwatch stopwatch;
  std::FILE* out = std::fopen(args.at(2).c_str(), "wb");
  if (!out) return Failed("cannot create " + args.at(2));
  std::vector<char> chunk(kStdioChunk);
  bool copied = true;
  for (const std::string& path : paths) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    copied = in && CopyStream(in, out, UINT64_MAX, chunk) && copied;
    if (in) std::fclose(in);
  }
  if (!CloseDurably(out) || !copied) return Failed("copy into " + args.at(2) + " failed");
  return stopwatch.Elapsed();
}

Outcome CopyBytes(const Arguments& args) {
  const uint64_t count = std::strtoull(args.at(2).c_str(), nullptr, 10);
  const Stopwatch stopwatch;
  std::FILE* in = std::fopen(args.at(1).c_str(), "rb");
  std::FILE* out = std::fopen(args.at(3).c_str(), "wb");
  std::vector<char> chunk(kStdioChunk);
  const bool copied = in && out && CopyStream(in, out, count, chunk);
  if (in) std::fclose(in);
  if (!out || !CloseDurably(out) || !copied) return Failed("copy into " + args.at(3) + " failed");
  return stopwatch.Elapsed();
}

// Reads ZarnoObj.hdr whole and writes the same bytes to a file beside it.
Outcome HeaderPlain(const Arguments& args) {
  const std::string path = args.at(1) + "/ZarnoObj.hdr";
  const Stopwatch stopwatch;
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return Failed("cannot open " + path);
  std::vector<char> bytes;
  std::vector<char> chunk(kStdioChunk);
  for (size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0;) {
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
  }
  std::fclose(in);
  std::FILE* out = std::fopen((path + ".copy").c_str(), "wb");
  const bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (!out || !CloseDurably(out) || !written) return Failed("cannot write a copy of " + path);
  return stopwatch.Elapsed();
}

// Reads the files named in `names` (separated by commas) in `folder`, one
// after the other, front to back in chunks; `total` is what they held.
bool ReadFilesPlain(const std::string& folder, const std::string& names, uint64_t& total) {
  std::vector<char> chunk(kStdioChunk);
  for (size_t start = 0; start <= names.size();) {
    const size_t end = std::min(names.find(',', start), names.size());
    const std::string path = folder + "/" + names.substr(start, end - start);
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
    for (size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0;) total += got;
    const bool read = std::ferror(in) == 0;
    std::fclose(in);
    if (!read) return false;
    start = end + 1;
  }
  return true;
}

Outcome ReadFiles(const Arguments& args) {
  uint64_t total = 0;
  const Stopwatch stopwatch;
  if (!ReadFilesPlain(args.at(1), args.at(2), total) || total == 0) return Failed("cannot read " + args.at(2));
  return stopwatch.Elapsed();
}

// ---- the programs ------------------------------------------------------------------

Outcome HeaderProduct(const Arguments& args) {
  PosixPlatform platform("perf", false);
  const std::string path = args.at(1) + "/ZarnoObj.hdr";
  HeaderDatabase db(kSkinwrightLimits);
  const Stopwatch stopwatch;
  const HeaderLoadResult load = LoadHeaderDatabase(platform, path, db, false);
  if (load.outcome != HeaderLoadOutcome::kRead || !load.safeToWrite) return Failed("cannot read " + path);
  if (!SaveHeaderDatabase(platform, path, db)) return Failed("cannot save " + path);
  return stopwatch.Elapsed();
}

std::string FolderArgumentsText(const std::string& content, const std::string& objects) {
  return "~\"" + content + "\" ~\"" + objects + "\"";
}

Outcome Rigwright(const Arguments& args) {
  PosixPlatform platform("rigwright", false);
  const std::string line = (args.at(1) == "-" ? "" : args.at(1) + " ") + FolderArgumentsText(args.at(2), args.at(3));
  const Stopwatch stopwatch;
  const int exitCode = RunRigwright(platform, line);
  const WorkTime time = stopwatch.Elapsed();
  if (exitCode != kExitAfterRun || platform.CloseRequests() != 1) return Failed("rigwright did not run: " + line);
  return time;
}

Outcome Skinwright(const Arguments& args) {
  PosixPlatform platform("skinwright", false);
  const std::string line = FolderArgumentsText(args.at(1), args.at(2));
  const Stopwatch stopwatch;
  const int exitCode = RunSkinwright(platform, line);
  const WorkTime time = stopwatch.Elapsed();
  if (exitCode != kExitAfterRun || platform.CloseRequests() != 1) return Failed("skinwright did not run: " + line);
  return time;
}

// The same run with its images compressed on the job's thread alone.
Outcome SkinwrightOneThread(const Arguments& args) {
  ::setenv(std::string(kThreadsVariable).c_str(), "1", 1);
  return Skinwright(args);
}

// A Zarnoscope command that finds the folder healthy and writes no error.
Outcome Zarnoscope(const Arguments& args) {
  PosixPlatform platform("zarnoscope", false);
  const std::vector<std::string> line = {args.at(1), args.at(2)};
  ProgramOutput output;
  const Stopwatch stopwatch;
  const int exitCode = RunZarnoscope(platform, line, output);
  const WorkTime time = stopwatch.Elapsed();
  if (exitCode != kExitDone || !output.err.empty()) {
    return Failed("zarnoscope " + args.at(1) + " ended with " + std::to_string(exitCode) + ": " + output.err +
                  output.out.substr(0, 2000));
  }
  return time;
}

// ---- the encoders ----------------------------------------------------------------------

std::optional<std::vector<uint8_t>> LzssInput(const std::string& name) {
  if (name == "random") return MakeRandomBytes(1 << 20, 1);
  if (name == "texture1024") return MakeTextureImage(1024, 1024, 2);
  if (name == "texture4096") return MakeTextureImage(4096, 4096, 3);
  return std::nullopt;
}

Outcome LzssProduction(const Arguments& args) {
  const std::optional<std::vector<uint8_t>> input = LzssInput(args.at(1));
  if (!input) return Failed("no such input: " + args.at(1));
  std::vector<uint8_t> output(LzssWorstCaseSize(input->size()));
  LzssEncoder encoder;
  const Stopwatch stopwatch;
  const size_t size = encoder.Compress(*input, output);
  const WorkTime time = stopwatch.Elapsed();
  if (size == 0) return Failed("the encoder wrote nothing");
  return time;
}

Outcome LzssLiteral(const Arguments& args) {
  const std::optional<std::vector<uint8_t>> input = LzssInput(args.at(1));
  if (!input) return Failed("no such input: " + args.at(1));
  const Stopwatch stopwatch;
  const std::vector<uint8_t> stream = LzssCompressReference(*input);
  const WorkTime time = stopwatch.Elapsed();
  if (stream.empty()) return Failed("the literal encoder wrote nothing");
  return time;
}

// The pixels of each image are made untimed; only the compressions count.
Outcome CompressTextures(const Arguments& args) {
  const auto count = static_cast<uint32_t>(std::strtoul(args.at(1).c_str(), nullptr, 10));
  LzssEncoder encoder;
  WorkTime total;
  for (uint32_t i = 0; i < count; ++i) {
    const std::vector<uint8_t> pixels = MakeTextureImage(RunTextureWidth(i), RunTextureWidth(i), RunTextureSeed(i));
    std::vector<uint8_t> stream(LzssWorstCaseSize(pixels.size()));
    const Stopwatch stopwatch;
    const size_t size = encoder.Compress(pixels, stream);
    const WorkTime time = stopwatch.Elapsed();
    total.wallSeconds += time.wallSeconds;
    total.cpuSeconds += time.cpuSeconds;
    if (size == 0) return Failed("the encoder wrote nothing");
  }
  return total;
}

struct Work {
  size_t argumentCount;  // including the name
  std::function<Outcome(const Arguments&)> run;
};

const std::map<std::string, Work>& WorkByName() {
  static const std::map<std::string, Work> works = {
      {"idle", {1, [](const Arguments&) { return Outcome(WorkTime{}); }}},
      {"lzss-production", {2, LzssProduction}},
      {"lzss-literal", {2, LzssLiteral}},
      {"header-product", {2, HeaderProduct}},
      {"header-plain", {2, HeaderPlain}},
      {"rigwright", {4, Rigwright}},
      {"skinwright", {3, Skinwright}},
      {"skinwright-one-thread", {3, SkinwrightOneThread}},
      {"copy-files", {3, CopyFiles}},
      {"copy-bytes", {4, CopyBytes}},
      {"compress-textures", {2, CompressTextures}},
      {"zarnoscope", {3, Zarnoscope}},
      {"read-files", {3, ReadFiles}},
  };
  return works;
}

}  // namespace

int RunChildWork(const std::vector<std::string>& arguments) {
  const auto found = arguments.empty() ? WorkByName().end() : WorkByName().find(arguments[0]);
  if (found == WorkByName().end() || arguments.size() != found->second.argumentCount) {
    std::fprintf(stderr, "unknown work or wrong arguments\n");
    return 2;
  }
  const Outcome time = found->second.run(arguments);
  if (!time) return 1;
  ReportChildResult(*time);
  return 0;
}

}  // namespace zarno
