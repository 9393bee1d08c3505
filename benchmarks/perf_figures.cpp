#include "benchmarks/perf_figures.h"

#include <cstdio>
#include <system_error>
#include <thread>

#include "benchmarks/perf_fixtures.h"
#include "benchmarks/perf_measure.h"
#include "core/blob_gather.h"
#include "core/format.h"
#include "core/platform_posix.h"
#include "core/worker_threads.h"
#include "core/header_database.h"
#include "skinwright/lzss.h"
#include "skinwright/lzss_window.h"
#include "zarnoscope/folder_check.h"

namespace zarno {
namespace {

// The threads a child run of the suite shares its work out to.
uint64_t WorkerThreadsHere() {
  PosixPlatform platform("zarno_perf_suite", false);
  return WorkerThreads(platform);
}

namespace fs = std::filesystem;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kMegabyte = 1e6;  // MB/s counts 10^6 bytes

// ---- goals ---------------------------------------------------------------------
constexpr double kLzssSpeedUpGoal = 3.5;       // times the literal encoder, at least
constexpr double kHeaderGoal = 3.0;            // times plain stdio, at most
constexpr double kInstallGoal = 2.0;           // times copying the model bytes, at most
constexpr double kCompactionGoal = 1.3;        // times copying the live bytes and syncing them, at most
constexpr double kNonCompressionGoal = 0.15;   // share of the texture run, at most
constexpr double kEveryCoreGoal = 1.8;         // speed-up of the texture run on every core (two here), at least
constexpr double kVerifyGoal = 2.0;            // times reading both stores, at most

// Buffers a run may hold besides its tables and its largest item: the 1 MiB
// block of the copies, the 64 KiB write buffer of a file, the encoder's ring
// and tree, a compaction's copies of the LOD or texture table. A compaction
// adds the batch it gathers (kGatherBytes).
constexpr uint64_t kFixedBufferAllowance = 4 << 20;
// What a texture holds at once: the image file, its pixels and the stream;
// per compressing thread, the pixels and stream of an image being
// compressed and the stream of one waiting for its turn.
constexpr uint64_t kImageCopiesHeld = 3;
constexpr uint64_t kCopiesPerThread = 3;

std::string Seconds(double seconds) {
  return seconds < 1 ? Format("%.1f ms", seconds * 1000) : Format("%.2f s", seconds);
}
std::string MiB(uint64_t bytes) { return Format("%.1f MiB", static_cast<double>(bytes) / kMiB); }
std::string Times(double ratio) { return Format("%.2fx", ratio); }

// "of 4 to 64 KiB" for the mixed compaction fixture, else "of 512 B" and so on.
std::string BlobSizeText(uint32_t blobSize) {
  if (blobSize == 0) return Format("of %u to %u KiB", kSmallestBlob / 1024, kLargestBlob / 1024);
  return blobSize % 1024 == 0 ? Format("of %u KiB", blobSize / 1024) : Format("of %u B", blobSize);
}

uint64_t FileBytes(const fs::path& path) {
  std::error_code error;
  const uintmax_t size = fs::file_size(path, error);
  return error ? 0 : static_cast<uint64_t>(size);
}

template <class Table>
uint64_t BytesOf(const Table& table) {
  return table.size() * sizeof(typename Table::value_type);
}

// The bytes of the tables a program allocates whole at its start.
uint64_t TableBytes(const HeaderLimits& limits) {
  const HeaderDatabase db(limits);
  return BytesOf(db.ColorTable) + BytesOf(db.PaletteTable) + BytesOf(db.TextureTable) +
         BytesOf(db.LodTable) + BytesOf(db.ParentTable) + BytesOf(db.ParentLists);
}

// The small blobs' stores are copied in a few milliseconds, where a busy
// machine's noise weighs more: they get more rounds.
int CompactionRepetitions(uint32_t blobSize) { return blobSize == 0 ? 5 : 9; }

// A row where the program's time is set against its baseline's.
TableRow TimeRatioRow(const std::string& figure, const Sample& program, const Sample& baseline, double goal) {
  const double ratio = program.MedianWallSeconds() / baseline.MedianWallSeconds();
  return {figure, Seconds(program.MedianWallSeconds()), Seconds(baseline.MedianWallSeconds()), Times(ratio),
          Format("<= %.1fx", goal), MetText(ratio <= goal)};
}

// A row that shows a time beside another one, with no goal.
TableRow InformationRow(const std::string& figure, const Sample& program, const Sample& baseline) {
  const double ratio = program.MedianWallSeconds() / baseline.MedianWallSeconds();
  return {figure, Seconds(program.MedianWallSeconds()), Seconds(baseline.MedianWallSeconds()), Times(ratio), "-", "-"};
}

std::function<std::string()> ExpectFileSize(const fs::path& path, uint64_t expected) {
  return [path, expected] {
    const uint64_t size = FileBytes(path);
    if (size == expected) return std::string();
    return Format("%s holds %llu bytes, not %llu", path.filename().c_str(),
                  static_cast<unsigned long long>(size), static_cast<unsigned long long>(expected));
  };
}

std::function<bool()> RemoveFile(const fs::path& path) {
  return [path] {
    std::error_code error;
    fs::remove(path, error);
    return true;
  };
}

}  // namespace

// ---- the suite -------------------------------------------------------------------

fs::path PerfSuite::FixtureDir(const std::string& name) const { return options_.workDir / "fixtures" / name; }

void PerfSuite::DropFixture(const std::string& name) const {
  std::error_code error;
  if (!options_.keepFiles) fs::remove_all(FixtureDir(name), error);
  fs::remove_all(RunDir(), error);
  fs::create_directories(RunDir(), error);
}

bool PerfSuite::AllGood(const std::vector<Sample>& samples) {
  bool good = true;
  for (const Sample& sample : samples) {
    if (sample.ok) continue;
    failures_.push_back(sample.failure);
    good = false;
  }
  return good;
}

uint64_t PerfSuite::FixedBytes() const { return idleBytes_ + kFixedBufferAllowance; }

bool PerfSuite::Run() {
  std::error_code error;
  fs::create_directories(RunDir(), error);
  MeasureIdleProcess();
  MeasureLzss();
  MeasureHeaderDatabase();
  MeasureInstallRun();
  for (const uint32_t blobSize : kCompactionBlobSizes) MeasureLodCompaction(blobSize);
  for (const uint32_t blobSize : kCompactionBlobSizes) MeasureTexCompaction(blobSize);
  MeasureTextureRun();
  MeasureZarnoscope();
  AddMemoryRows();
  PrintTable(rows_);
  for (const std::string& failure : failures_) std::printf("FAILED: %s\n", failure.c_str());
  if (!options_.keepFiles) fs::remove_all(options_.workDir, error);
  return failures_.empty();
}

void PerfSuite::MeasureIdleProcess() {
  std::fprintf(stderr, "the process alone\n");
  const std::vector<Sample> samples = MeasureInRounds({{"idle", {"idle"}, {}, {}}}, 3, StderrPath());
  if (AllGood(samples)) idleBytes_ = samples[0].peakKib * 1024;
}

// 1. The production encoder against the literal one, in MB/s.
void PerfSuite::MeasureLzss() {
  struct Input {
    const char* name;
    const char* label;
    uint64_t bytes;
    int repetitions;
    bool hasGoal;
  };
  const Input inputs[] = {{"texture1024", "texture 1024x1024", 1 << 20, 5, true},
                          {"texture4096", "texture 4096x4096", 1 << 24, 3, true},
                          {"random", "random 1 MiB", 1 << 20, 5, false}};
  for (const Input& input : inputs) {
    std::fprintf(stderr, "LZSS encoders, %s\n", input.label);
    const std::vector<Measurement> measurements = {
        {std::string("production encoder, ") + input.label, {"lzss-production", input.name}, {}, {}},
        {std::string("literal encoder, ") + input.label, {"lzss-literal", input.name}, {}, {}}};
    const std::vector<Sample> samples = MeasureInRounds(measurements, Repetitions(input.repetitions), StderrPath());
    if (!AllGood(samples)) continue;
    // The encoders do no I/O: their CPU time is their time, and it is far
    // less stretched than the wall clock when the machine is busy.
    const double production = static_cast<double>(input.bytes) / kMegabyte / samples[0].MedianCpuSeconds();
    const double literal = static_cast<double>(input.bytes) / kMegabyte / samples[1].MedianCpuSeconds();
    const double ratio = production / literal;
    rows_.push_back({std::string("1. LZSS, ") + input.label + ": production vs literal encoder",
                     Format("%.1f MB/s", production), Format("%.1f MB/s", literal), Times(ratio),
                     input.hasGoal ? Format(">= %.1fx", kLzssSpeedUpGoal) : "-",
                     input.hasGoal ? MetText(ratio >= kLzssSpeedUpGoal) : "-"});
    if (input.bytes == (1 << 24)) {
      memory_.push_back({"LZSS production encoder, 4096x4096", samples[0].peakKib * 1024,
                         FixedBytes() + input.bytes + LzssWorstCaseSize(input.bytes), 0});
    }
  }
}

// 2. Skinwright's largest header database read and saved, against the same
// bytes read and written with stdio.
void PerfSuite::MeasureHeaderDatabase() {
  std::fprintf(stderr, "header database\n");
  const ObjectFixture fixture = BuildFullHeaderFixture(FixtureDir("header"));
  if (fixture.objectDir.empty()) {
    failures_.push_back("cannot build the header database fixture");
    return;
  }
  const std::string objects = RunObjects().string();
  auto prepare = [this, fixture] { return PrepareWorkObjects(fixture, RunObjects()); };
  const std::vector<Measurement> measurements = {
      {"header database read + save", {"header-product", objects}, prepare,
       ExpectFileSize(RunObjects() / "ZarnoObj.hdr", fixture.headerBytes)},
      {"stdio read + write of its bytes", {"header-plain", objects}, prepare, {}}};
  const std::vector<Sample> samples = MeasureInRounds(measurements, Repetitions(7), StderrPath());
  DropFixture("header");
  if (!AllGood(samples)) return;
  rows_.push_back(TimeRatioRow(Format("2. header database, largest (%s): read + save vs stdio",
                                      MiB(fixture.headerBytes).c_str()),
                               samples[0], samples[1], kHeaderGoal));
  memory_.push_back({"header database read + save", samples[0].peakKib * 1024,
                     FixedBytes() + TableBytes(kSkinwrightLimits) + 2 * fixture.headerBytes, 0});
}

// 3. A whole install run against copying the model bytes once.
void PerfSuite::MeasureInstallRun() {
  std::fprintf(stderr, "install run\n");
  const ContentFixture fixture = BuildInstallFixture(FixtureDir("install"));
  if (fixture.contentDir.empty()) {
    failures_.push_back("cannot build the install run fixture");
    return;
  }
  const uint32_t models = kInstallParentFiles * kModelsPerParent;
  const uint64_t lodAfter = fixture.objects.storeBytes + fixture.contentBytes + uint64_t{10} * models;
  const fs::path lodPath = RunObjects() / "ZarnoObj.lod";
  const std::vector<Measurement> measurements = {
      {"install run", {"rigwright", "-", fixture.contentDir.string(), RunObjects().string()},
       [this, fixture] { return PrepareWorkObjects(fixture.objects, RunObjects()); },
       ExpectFileSize(lodPath, lodAfter)},
      {"stdio copy of the model files", {"copy-files", fixture.fileList.string(), CopyOutput().string()},
       RemoveFile(CopyOutput()), ExpectFileSize(CopyOutput(), fixture.contentBytes)}};
  const std::vector<Sample> samples = MeasureInRounds(measurements, Repetitions(5), StderrPath());
  const uint64_t headerAfter = FileBytes(RunObjects() / "ZarnoObj.hdr");
  DropFixture("install");
  if (!AllGood(samples)) return;
  rows_.push_back(TimeRatioRow(Format("3. install run, %u ihr files, %u models (%s) vs stdio copy",
                                      kInstallParentFiles, models, MiB(fixture.contentBytes).c_str()),
                               samples[0], samples[1], kInstallGoal));
  memory_.push_back({"install run", samples[0].peakKib * 1024,
                     FixedBytes() + TableBytes(kRigwrightLimits) + 2 * headerAfter + fixture.objects.largestBlob,
                     lodAfter});
}

// 4. The compaction of ZarnoObj.lod (a compact run) against copying the live
// bytes once.
void PerfSuite::MeasureLodCompaction(uint32_t blobSize) {
  const std::string blobs = BlobSizeText(blobSize);
  const std::string name = "lod" + std::to_string(blobSize);
  std::fprintf(stderr, "ZarnoObj.lod compaction, blobs %s\n", blobs.c_str());
  const ObjectFixture fixture = BuildLodCompactionFixture(FixtureDir(name), blobSize);
  if (fixture.objectDir.empty()) {
    failures_.push_back("cannot build the ZarnoObj.lod fixture");
    return;
  }
  const std::vector<Measurement> measurements = {
      {"compact run", {"rigwright", "@compact", (RunDir() / "Models").string(), RunObjects().string()},
       [this, fixture] { return PrepareWorkObjects(fixture, RunObjects()); },
       ExpectFileSize(RunObjects() / "ZarnoObj.lod", fixture.liveBytes)},
      {"stdio copy of the live bytes",
       {"copy-bytes", (fixture.objectDir / "ZarnoObj.lod").string(), std::to_string(fixture.liveBytes),
        CopyOutput().string()},
       RemoveFile(CopyOutput()), ExpectFileSize(CopyOutput(), fixture.liveBytes)}};
  const int repetitions = Repetitions(CompactionRepetitions(blobSize));
  const std::vector<Sample> samples = MeasureInRounds(measurements, repetitions, StderrPath());
  DropFixture(name);
  if (!AllGood(samples)) return;
  rows_.push_back(TimeRatioRow(Format("4. ZarnoObj.lod compaction, %u records %s, %s live of %s",
                                      kLodCompactionRecords, blobs.c_str(), MiB(fixture.liveBytes).c_str(),
                                      MiB(fixture.storeBytes).c_str()),
                               samples[0], samples[1], kCompactionGoal));
  memory_.push_back({"ZarnoObj.lod compaction, blobs " + blobs, samples[0].peakKib * 1024,
                     FixedBytes() + TableBytes(kRigwrightLimits) + 2 * fixture.headerBytes + fixture.largestBlob +
                         kGatherBytes,
                     fixture.storeBytes});
}

// 4. The compaction of ZarnoObj.tex (a normal run whose one image is
// rejected) against copying the live bytes once.
void PerfSuite::MeasureTexCompaction(uint32_t blobSize) {
  const std::string blobs = BlobSizeText(blobSize);
  const std::string name = "tex" + std::to_string(blobSize);
  std::fprintf(stderr, "ZarnoObj.tex compaction, blobs %s\n", blobs.c_str());
  const ContentFixture fixture = BuildTexCompactionFixture(FixtureDir(name), blobSize);
  const ObjectFixture& objects = fixture.objects;
  if (fixture.contentDir.empty()) {
    failures_.push_back("cannot build the ZarnoObj.tex fixture");
    return;
  }
  const std::vector<Measurement> measurements = {
      {"normal run, compaction only", {"skinwright", fixture.contentDir.string(), RunObjects().string()},
       [this, objects] { return PrepareWorkObjects(objects, RunObjects()); },
       ExpectFileSize(RunObjects() / "ZarnoObj.tex", objects.liveBytes)},
      {"stdio copy of the live bytes",
       {"copy-bytes", (objects.objectDir / "ZarnoObj.tex").string(), std::to_string(objects.liveBytes),
        CopyOutput().string()},
       RemoveFile(CopyOutput()), ExpectFileSize(CopyOutput(), objects.liveBytes)}};
  const int repetitions = Repetitions(CompactionRepetitions(blobSize));
  const std::vector<Sample> samples = MeasureInRounds(measurements, repetitions, StderrPath());
  DropFixture(name);
  if (!AllGood(samples)) return;
  rows_.push_back(TimeRatioRow(Format("4. ZarnoObj.tex compaction, %u records %s, %s live of %s",
                                      kTexCompactionRecords, blobs.c_str(), MiB(objects.liveBytes).c_str(),
                                      MiB(objects.storeBytes).c_str()),
                               samples[0], samples[1], kCompactionGoal));
  memory_.push_back({"ZarnoObj.tex compaction, blobs " + blobs, samples[0].peakKib * 1024,
                     FixedBytes() + TableBytes(kSkinwrightLimits) + 2 * objects.headerBytes + objects.largestBlob +
                         kGatherBytes,
                     objects.storeBytes});
}

// 5. A normal run of 200 textures against compressing their pixels alone:
// the share of the run that is not compression.
void PerfSuite::MeasureTextureRun() {
  std::fprintf(stderr, "texture run\n");
  const ContentFixture fixture = BuildTextureRunFixture(FixtureDir("textures"));
  const ObjectFixture& objects = fixture.objects;
  if (fixture.contentDir.empty()) {
    failures_.push_back("cannot build the texture run fixture");
    return;
  }
  const fs::path store = RunObjects() / "ZarnoObj.tex";
  const std::vector<Measurement> measurements = {
      {"normal run", {"skinwright", fixture.contentDir.string(), RunObjects().string()},
       [this, objects] { return PrepareWorkObjects(objects, RunObjects()); },
       [store, objects] {
         return FileBytes(store) > objects.storeBytes ? std::string() : std::string("no texture was stored");
       }},
      {"production encoder alone", {"compress-textures", std::to_string(kRunTextures)}, {}, {}},
      {"normal run on one thread", {"skinwright-one-thread", fixture.contentDir.string(), RunObjects().string()},
       [this, objects] { return PrepareWorkObjects(objects, RunObjects()); }, {}}};
  const std::vector<Sample> samples = MeasureInRounds(measurements, Repetitions(3), StderrPath());
  const uint64_t storeAfter = FileBytes(store);
  const uint64_t headerAfter = FileBytes(RunObjects() / "ZarnoObj.hdr");
  DropFixture("textures");
  if (!AllGood(samples)) return;
  // The share is taken in CPU time, which a busy machine stretches far less
  // than the wall clock; the run's waits for the disk show in the wall-clock
  // row below it.
  const std::string figure = Format("5. texture run, %u BMP 256..1024 (%s of pixels): share not compression",
                                    kRunTextures, MiB(fixture.contentBytes).c_str());
  const double runCpu = samples[0].MedianCpuSeconds();
  const double share = (runCpu - samples[1].MedianCpuSeconds()) / runCpu;
  rows_.push_back({figure + ", CPU time", Seconds(runCpu), Seconds(samples[1].MedianCpuSeconds()),
                   Format("%.1f %%", share * 100), Format("<= %.0f %%", kNonCompressionGoal * 100),
                   MetText(share <= kNonCompressionGoal)});
  const double runWall = samples[0].MedianWallSeconds();
  const double wallShare = (runWall - samples[1].MedianWallSeconds()) / runWall;
  rows_.push_back({figure + ", wall clock", Seconds(runWall), Seconds(samples[1].MedianWallSeconds()),
                   Format("%.1f %%", wallShare * 100), "-", "-"});
  const double speedUp = samples[2].MedianWallSeconds() / runWall;
  rows_.push_back({Format("5. texture run on all %u cores vs ZARNO_THREADS=1, wall clock: speed-up",
                          std::thread::hardware_concurrency()),
                   Seconds(runWall), Seconds(samples[2].MedianWallSeconds()), Format("%.2fx", speedUp),
                   Format(">= %.1fx", kEveryCoreGoal), MetText(speedUp >= kEveryCoreGoal)});
  memory_.push_back({"texture run", samples[0].peakKib * 1024,
                     FixedBytes() + TableBytes(kSkinwrightLimits) + 2 * headerAfter +
                         (kImageCopiesHeld + kCopiesPerThread * WorkerThreadsHere()) * objects.largestBlob +
                         WorkerThreadsHere() * (sizeof(LzssEncoder) + sizeof(LzssWindow)),
                     storeAfter});
}

// 7. Zarnoscope's verify (every texture decoded) and summary (the header and
// the file sizes) of the full folder, against reading its files once with stdio.
void PerfSuite::MeasureZarnoscope() {
  std::fprintf(stderr, "zarnoscope on the full folder\n");
  const FolderFixture fixture = BuildFullFolderFixture(FixtureDir("folder"));
  const ObjectFixture& objects = fixture.objects;
  if (objects.objectDir.empty()) {
    failures_.push_back("cannot build the full folder fixture");
    return;
  }
  const std::string dir = objects.objectDir.string();
  const auto cold = [objects] {
    return EvictFromPageCache({objects.objectDir / "ZarnoObj.lod", objects.objectDir / "ZarnoObj.tex"});
  };
  const std::vector<Measurement> measurements = {
      {"zarnoscope verify", {"zarnoscope", "verify", dir}, {}, {}},
      {"zarnoscope summary", {"zarnoscope", "summary", dir}, {}, {}},
      {"stdio read of both stores", {"read-files", dir, "ZarnoObj.lod,ZarnoObj.tex"}, {}, {}},
      {"stdio read of ZarnoObj.tex", {"read-files", dir, "ZarnoObj.tex"}, {}, {}},
      {"stdio read of ZarnoObj.hdr", {"read-files", dir, "ZarnoObj.hdr"}, {}, {}},
      {"zarnoscope verify, stores out of the page cache", {"zarnoscope", "verify", dir}, cold, {}},
      {"stdio read of both stores, out of the page cache", {"read-files", dir, "ZarnoObj.lod,ZarnoObj.tex"}, cold, {}}};
  const std::vector<Sample> samples = MeasureInRounds(measurements, Repetitions(3), StderrPath());
  DropFixture("folder");
  if (!AllGood(samples)) return;
  AddZarnoscopeRows(fixture, samples);
}

void PerfSuite::AddZarnoscopeRows(const FolderFixture& fixture, const std::vector<Sample>& samples) {
  const std::string stores = Format("lod %s + tex %s", MiB(fixture.lodBytes).c_str(), MiB(fixture.texBytes).c_str());
  rows_.push_back(TimeRatioRow(Format("7. zarnoscope verify, full folder (%s, %s of pixels) vs stdio read of both",
                                      stores.c_str(), MiB(fixture.pixelBytes).c_str()),
                               samples[0], samples[2], kVerifyGoal));
  rows_.push_back(InformationRow("7. zarnoscope verify vs stdio read of both, the stores dropped from the page cache",
                                 samples[5], samples[6]));
  rows_.push_back(InformationRow("7. zarnoscope verify vs stdio read of ZarnoObj.tex alone, the store it reads",
                                 samples[0], samples[3]));
  rows_.push_back(InformationRow("8. zarnoscope summary, full folder vs stdio read of both stores", samples[1],
                                 samples[2]));
  rows_.push_back(InformationRow(Format("8. zarnoscope summary vs stdio read of ZarnoObj.hdr (%s)",
                                        MiB(fixture.objects.headerBytes).c_str()),
                                 samples[1], samples[4]));
  // Both programs' tables (the folder is read with each one's limits) and
  // the header's bytes; verify adds one texture at a time.
  const uint64_t readBound = FixedBytes() + TableBytes(kRigwrightLimits) + TableBytes(kSkinwrightLimits) +
                             fixture.objects.headerBytes;
  // Each thread decodes one batch of streams into a pixel buffer of its own;
  // one more batch is being read.
  const uint64_t threads = WorkerThreadsHere();
  const uint64_t batch = LzssWorstCaseSize(kVerifyBatchPixels + fixture.largestPixels);
  memory_.push_back({"zarnoscope verify", samples[0].peakKib * 1024,
                     readBound + threads * fixture.largestPixels + (threads + 1) * batch, fixture.objects.storeBytes});
  memory_.push_back({"zarnoscope summary", samples[1].peakKib * 1024, readBound, fixture.objects.storeBytes});
}

// 6. Each run's peak memory against its bound: the process alone, the
// tables, the header file read and written, the largest item and fixed
// buffers. The store file's size is shown beside it.
void PerfSuite::AddMemoryRows() {
  for (const MemoryFigure& figure : memory_) {
    const double ratio = static_cast<double>(figure.peakBytes) / static_cast<double>(figure.boundBytes);
    const std::string store = figure.storeBytes > 0 ? ", store " + MiB(figure.storeBytes) : "";
    rows_.push_back({"6. peak memory, " + figure.run, MiB(figure.peakBytes), MiB(figure.boundBytes), Times(ratio),
                     "<= bound" + store, MetText(figure.peakBytes <= figure.boundBytes)});
  }
}

}  // namespace zarno
