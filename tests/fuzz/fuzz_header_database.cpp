// ZarnoObj.hdr reader and writer. Mode byte: bit 0 a check run, bits 1-2 the
// table sizes. The sizes are small copies of the programs' own (the real
// tables take tens of megabytes to clear on every read), keeping the ways
// they relate: limits equal to capacities, palette and parent tables two
// above their limits, and one set whose palette table is smaller than its
// limit. Properties: no fault on any input; tables that may be written back
// give a file that reads back with the same status and writes back to the
// very same bytes.
#include <array>
#include <cstdint>
#include <vector>

#include "core/header_database.h"
#include "tests/fuzz/fuzz_support.h"

namespace zarno {
namespace {

// colour, palette, texture, LOD and parent limits and capacities.
constexpr std::array<HeaderLimits, 4> kFuzzLimits = {{
    {16, 16, 20, 22, 32, 32, 64, 64, 24, 26, false},  // as Rigwright's
    {32, 32, 24, 26, 40, 40, 64, 64, 32, 34, true},   // as Skinwright's
    {8, 8, 20, 16, 8, 8, 16, 16, 8, 8, false},        // palette table below its limit
    {4, 4, 2, 4, 4, 4, 4, 4, 4, 6, true},             // all tiny
}};

// Two databases per set, kept across runs: the reader clears what it uses.
HeaderDatabase& DatabaseFor(size_t set, size_t which) {
  static std::vector<HeaderDatabase> databases = [] {
    std::vector<HeaderDatabase> all;
    for (const HeaderLimits& limits : kFuzzLimits) {
      all.emplace_back(limits);
      all.emplace_back(limits);
    }
    return all;
  }();
  return databases[2 * set + which];
}

}  // namespace
}  // namespace zarno

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zarno;
  const FuzzInput input = SplitMode(data, size);
  const bool checkRun = (input.mode & 1) != 0;
  const size_t set = (input.mode >> 1) % kFuzzLimits.size();
  HeaderDatabase& db = DatabaseFor(set, 0);
  const ReadStatus status = ReadHeaderDatabase(input.bytes, db, checkRun);
  FuzzCheck(db.FreeLodList.size() == db.freeLodCount || db.FreeLodList.empty(),
            "FreeLodList holds every free record or none");
  if (!IsSafeToWriteBack(status, db)) return 0;

  const std::vector<uint8_t> written = WriteHeaderDatabase(db);
  HeaderDatabase& again = DatabaseFor(set, 1);
  const ReadStatus statusAgain = ReadHeaderDatabase(written, again, checkRun);
  FuzzCheck(statusAgain == status, "a written file reads back with the same status");
  FuzzCheck(WriteHeaderDatabase(again) == written, "a written file writes back unchanged");
  return 0;
}
