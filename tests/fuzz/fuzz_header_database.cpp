// ZarnoObj.hdr: no fault on any input; tables that may be written back give
// a file that reads back with the same status and writes back unchanged.
// Mode byte: bit 0 a check run, bits 1-2 one of four small table sizes.
#include "core/header_database.h"
#include "tests/fuzz/fuzz_support.h"

using namespace zarno;

// Limits and capacities as the programs relate them, scaled down (the real
// tables take tens of megabytes to clear on every read).
constexpr HeaderLimits kFuzzLimits[] = {
    {16, 16, 20, 22, 32, 32, 64, 64, 24, 26, false}, {32, 32, 24, 26, 40, 40, 64, 64, 32, 34, true},
    {8, 8, 20, 16, 8, 8, 16, 16, 8, 8, false},       {4, 4, 2, 4, 4, 4, 4, 4, 4, 6, true}};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<HeaderDatabase> first(std::begin(kFuzzLimits), std::end(kFuzzLimits));
  static std::vector<HeaderDatabase> second(std::begin(kFuzzLimits), std::end(kFuzzLimits));
  const FuzzInput input = SplitMode(data, size);
  const bool checkRun = (input.mode & 1) != 0;
  const size_t set = (input.mode >> 1) % 4;
  const ReadStatus status = ReadHeaderDatabase(input.bytes, first[set], checkRun);
  FuzzCheck(first[set].FreeLodList.size() == first[set].freeLodCount || first[set].FreeLodList.empty(),
            "FreeLodList holds every free record or none");
  if (!IsSafeToWriteBack(status, first[set])) return 0;
  const std::vector<uint8_t> written = WriteHeaderDatabase(first[set]);
  FuzzCheck(ReadHeaderDatabase(written, second[set], checkRun) == status, "a written file reads back alike");
  FuzzCheck(WriteHeaderDatabase(second[set]) == written, "a written file writes back unchanged");
  return 0;
}
