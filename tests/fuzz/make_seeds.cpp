// Writes the fuzz targets' seed corpora, built with the fixture kit, into
// <folder>/<target>/, each file behind the mode bytes of interest (none for
// targets without one). Usage: make_seeds <folder>
#include <filesystem>

#include "tests/support/kit.h"

using namespace zarno;
using Bytes = std::vector<uint8_t>;

bool Seed(const std::filesystem::path& folder, const Bytes& bytes, std::initializer_list<int> modes = {-1}) {
  std::filesystem::create_directories(folder);
  bool written = true;
  for (int mode : modes) {
    Bytes seed = mode < 0 ? Bytes{} : Bytes{static_cast<uint8_t>(mode)};
    seed.insert(seed.end(), bytes.begin(), bytes.end());
    const auto count = std::distance(std::filesystem::directory_iterator(folder), {});
    written = WriteFile(folder / ("seed-" + std::to_string(count)), seed) && written;
  }
  return written;
}

Bytes AsBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::filesystem::path root = argv[1];
  HeaderSpec header = StandardHeaderSpec();
  header.palettes.resize(2);
  IhrSpec ihr;
  ihr.parentIndex = 4;
  ihr.slots = {{0.5f, 0.5f, 0.5f}};
  ihr.lods = {{1000.0f, -1, "gear.3ds"}, {2500.0f, 3, "tank.x.old"}, {0.0f, -2, "skipped.3ds"}};
  BmpSpec grey = StandardTextureBmp(16, 16, 0, 3);
  grey.colors = BmpSpec::GreyColors();
  ClassTableSpec classes;
  classes.classes = {ClassNaming({1, 2, 2, 0, 7}, 3, 1), ClassNaming({5000, 5001, 65535}, 3, 2)};
  bool written = Seed(root / "fuzz_header_database", BuildHeaderFile(header), {0, 1, 2, 3, 4, 6}) &&
                 Seed(root / "fuzz_install_parent", AsBytes(BuildIhrText(ihr)), {0, 1, 2, 3, 13}) &&
                 Seed(root / "fuzz_bmp", BuildBmpFile(StandardTextureBmp(16, 16, 3, 1)), {0, 1, 2, 3}) &&
                 Seed(root / "fuzz_bmp", BuildBmpFile(grey), {0, 1, 2, 3}) &&
                 Seed(root / "fuzz_class_table", BuildClassTableFile(classes), {0xFF, 0x13, 0xF3, 0x2F}) &&
                 Seed(root / "fuzz_lzss_roundtrip", MakeTextureImage(32, 40, 2));
  for (const char* line : {"@distance 3 7 2e4 0x1p4", "@distancecheck 4", "~\"D:\\Models\" ~\"check\"",
                           "~D:\\My Models", "~D:\\Models~D:\\Objects", "@dds ~\"D:\\Tex\" ~\"D:\\Obj\"", "@dups"}) {
    written = Seed(root / "fuzz_argument_lines", AsBytes(line)) && written;
  }
  return written ? 0 : 1;
}
