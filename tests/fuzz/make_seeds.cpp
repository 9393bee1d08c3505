// Writes the seed corpora of the fuzz targets, built with the fixture kit,
// into <folder>/<target>/: well-formed files of each kind and a few broken on
// purpose. Targets that take a mode byte get each file once per mode of
// interest. Usage: make_seeds <folder>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"
#include "tests/support/class_table_builder.h"
#include "tests/support/header_builder.h"
#include "tests/support/ihr_builder.h"
#include "tests/support/texture_images.h"

namespace zarno {
namespace {

using Bytes = std::vector<uint8_t>;

class SeedWriter {
 public:
  SeedWriter(std::filesystem::path folder, std::string target) : folder_(std::move(folder) / target) {
    std::filesystem::create_directories(folder_);
  }

  void Add(const Bytes& bytes) {
    const std::filesystem::path path = folder_ / ("seed-" + std::to_string(++count_));
    if (!WriteFile(path, bytes)) {
      std::fprintf(stderr, "make_seeds: can not write %s\n", path.string().c_str());
      failed_ = true;
    }
  }
  void Add(const std::string& text) { Add(Bytes(text.begin(), text.end())); }
  void AddWithModes(const Bytes& bytes, std::initializer_list<uint8_t> modes) {
    for (uint8_t mode : modes) {
      Bytes seed{mode};
      seed.insert(seed.end(), bytes.begin(), bytes.end());
      Add(seed);
    }
  }
  void AddWithModes(const std::string& text, std::initializer_list<uint8_t> modes) {
    AddWithModes(Bytes(text.begin(), text.end()), modes);
  }
  bool Failed() const { return failed_; }

 private:
  std::filesystem::path folder_;
  int count_ = 0;
  bool failed_ = false;
};

Bytes Cut(Bytes bytes, size_t size) {
  bytes.resize(std::min(bytes.size(), size));
  return bytes;
}

// A database small enough for the fuzz target's small tables.
HeaderSpec SmallHeaderSpec() {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.palettes.resize(2);
  return recipe;
}

bool WriteHeaderSeeds(const std::filesystem::path& folder) {
  SeedWriter seeds(folder, "fuzz_header_database");
  const std::initializer_list<uint8_t> modes = {0, 1, 2, 3, 4, 6};
  const HeaderSpec small = SmallHeaderSpec();
  seeds.AddWithModes(BuildHeaderFile(small), modes);
  seeds.AddWithModes(BuildHeaderFile(StandardHeaderSpec()), {0, 3});
  HeaderSpec noPalettes = small;
  noPalettes.palettes.clear();
  seeds.AddWithModes(BuildHeaderFile(noPalettes), {0, 1});
  HeaderSpec manySlots = small;
  manySlots.parents[0].slotCount = 26;
  seeds.AddWithModes(BuildHeaderFile(manySlots), {0});
  HeaderSpec lowLodWord = small;
  lowLodWord.lodWord = 5000;
  lowLodWord.trailingBytes = {1, 2, 3};
  seeds.AddWithModes(BuildHeaderFile(lowLodWord), {0});
  const Bytes whole = BuildHeaderFile(small);
  seeds.AddWithModes(Cut(whole, OffsetsOf(small).parentLists + 5), {0});
  seeds.AddWithModes(Cut(whole, 40), {0});
  return !seeds.Failed();
}

IhrSpec SampleIhr() {
  IhrSpec recipe;
  recipe.parentIndex = 4;
  recipe.dynamicPoints = {{1.0f, 2.0f, 3.0f}, {-1.5f, 0.25f, 8.0f}};
  recipe.slots = {{0.5f, 0.5f, 0.5f}};
  recipe.lods = {{1000.0f, -1, "gear.3ds"}, {2500.0f, 3, "tank.x.old"}, {0.0f, -2, "skipped.3ds"}};
  return recipe;
}

bool WriteInstallParentSeeds(const std::filesystem::path& folder) {
  SeedWriter seeds(folder, "fuzz_install_parent");
  const IhrSpec sample = SampleIhr();
  seeds.AddWithModes(BuildIhrText(sample), {0, 1, 2, 3, 4 * 3 + 1});
  IhrSpec crlfForm1 = sample;
  crlfForm1.crlf = true;
  crlfForm1.lodEntryForm = 1;
  crlfForm1.lods = {{1000.0f, -5, "word"}, {2000.0f, 5, "other"}};
  seeds.AddWithModes(BuildIhrText(crlfForm1), {0, 1});
  IhrSpec counts = sample;
  counts.slotCount = 300;
  counts.dynamicCount = 12;
  counts.lodRefCount = 11;
  counts.hostParam3 = 65536;
  seeds.AddWithModes(BuildIhrText(counts), {0, 1});
  IhrSpec badIndex = sample;
  badIndex.parentIndex = 6000;
  seeds.AddWithModes(BuildIhrText(badIndex), {0, 1});
  IhrSpec badVersion = sample;
  badVersion.versionLine = "1.5";
  seeds.AddWithModes(BuildIhrText(badVersion), {1});
  return !seeds.Failed();
}

bool WriteBmpSeeds(const std::filesystem::path& folder) {
  SeedWriter seeds(folder, "fuzz_bmp");
  const std::initializer_list<uint8_t> modes = {0, 1, 2, 3};
  seeds.AddWithModes(BuildBmpFile(StandardTextureBmp(16, 16, 3, 1)), modes);
  seeds.AddWithModes(BuildBmpFile(StandardTextureBmp(32, 40, 0, 2)), {0});
  BmpSpec grey = StandardTextureBmp(16, 16, 0, 3);
  grey.colors = BmpSpec::GreyColors();
  grey.fileHeader = false;
  seeds.AddWithModes(BuildBmpFile(grey), modes);
  BmpSpec fourBit = grey;
  fourBit.bitCount = 4;
  fourBit.colors.resize(16);
  seeds.AddWithModes(BuildBmpFile(fourBit), {0});
  BmpSpec core = grey;
  core.infoHeaderSize = 12;
  seeds.AddWithModes(BuildBmpFile(core), {0});
  BmpSpec shortTable = grey;
  shortTable.clrUsed = 200;
  shortTable.colors.resize(200);
  seeds.AddWithModes(BuildBmpFile(shortTable), {0});
  BmpSpec topDown = grey;
  topDown.height = -16;
  seeds.AddWithModes(BuildBmpFile(topDown), {0});
  BmpSpec cut = StandardTextureBmp(16, 16, 5, 4);
  cut.truncateTo = 1200;
  seeds.AddWithModes(BuildBmpFile(cut), {1});
  return !seeds.Failed();
}

bool WriteClassTableSeeds(const std::filesystem::path& folder) {
  SeedWriter seeds(folder, "fuzz_class_table");
  ClassTableSpec recipe;
  recipe.classes = {ClassNaming({1, 2, 2, 0, 7}, 3, 1), ClassNaming({5000, 5001, 65535}, 3, 2),
                  ClassNaming({9, 10, 11, 12, 13, 14, 15, 16}, 4, 1)};
  seeds.AddWithModes(BuildClassTableFile(recipe), {0xFF, 0x13, 0xF3, 0x2F});
  ClassTableSpec negative = recipe;
  negative.classCount = -1;
  seeds.AddWithModes(BuildClassTableFile(negative), {0xFF});
  ClassTableSpec cut = recipe;
  cut.cutTo = 100;
  seeds.AddWithModes(BuildClassTableFile(cut), {0xFF});
  return !seeds.Failed();
}

const char* const kArgumentLines[] = {
    "",
    "@COMPACT",
    "@checkall",
    "@distance",
    "@distance 3",
    "@distance 3 7 20000",
    "@distance 1 2 3.5e3 0x1p4",
    "@distance ~\"D:\\Models\"",
    "@check @compact",
    "~\"D:\\Models\" ~\"check\"",
    "~\"D:\\Models\"",
    "~D:\\My Models",
    "~D:\\Models~D:\\Objects",
    "@check ~\"D:\\Models\" ~\"D:\\Objects\"",
    "@dds ~\"D:\\Textures\" ~\"D:\\Objects\"",
    "@dups",
    "~\"D:\\Tex\" ~\"D:\\Obj\" @dds",
    "~~~",
    "@distancecheck 4",
};

bool WriteArgumentSeeds(const std::filesystem::path& folder, const char* target) {
  SeedWriter seeds(folder, target);
  for (const char* line : kArgumentLines) seeds.Add(std::string(line));
  return !seeds.Failed();
}

bool WriteLzssSeeds(const std::filesystem::path& folder) {
  SeedWriter seeds(folder, "fuzz_lzss_roundtrip");
  seeds.Add(std::string("a"));
  seeds.Add(std::string("abcabcabc"));
  seeds.Add(std::string(18, 'a'));
  seeds.Add(Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8});
  seeds.Add(MakeTextureImage(16, 16, 1));
  seeds.Add(MakeTextureImage(32, 40, 2));
  seeds.Add(MakeRandomBytes(300, 3));
  Bytes periodic(4200);  // past the ring's end
  for (size_t i = 0; i < periodic.size(); ++i) periodic[i] = static_cast<uint8_t>(i % 7);
  seeds.Add(periodic);
  return !seeds.Failed();
}

}  // namespace
}  // namespace zarno

int main(int argc, char** argv) {
  using namespace zarno;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds <folder>\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const bool written = WriteHeaderSeeds(folder) && WriteInstallParentSeeds(folder) && WriteBmpSeeds(folder) &&
                       WriteClassTableSeeds(folder) && WriteArgumentSeeds(folder, "fuzz_rigwright_args") &&
                       WriteArgumentSeeds(folder, "fuzz_skinwright_args") && WriteLzssSeeds(folder);
  return written ? 0 : 1;
}
