// Writes a small sample for Rigwright: an object folder whose header
// database and ZarnoObj.lod agree (three parents, six LOD records of which
// two are free), and a models folder with three install-parent files and
// their model files.
//
//   make_rigwright_sample <folder>
//
// <folder> is emptied first, so each call starts from the same sample.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "tests/support/kit.h"

namespace {

using zarno::IhrSpec;

IhrSpec Hangar() {
  IhrSpec recipe;
  recipe.name = "Hangar";
  recipe.parentIndex = 3;
  recipe.hitbox = {-40.0f, 0.0f, -25.0f, 40.0f, 18.0f, 25.0f, 48.0f};
  recipe.hostParam1 = 3;
  recipe.hostParam2 = 12;
  recipe.slots = {{0.0f, 0.0f, 10.0f}, {0.0f, 0.0f, -10.0f}};
  recipe.lods = {{6000.0f, -1, "hangar_near.3ds"}, {20000.0f, -1, "hangar_far.3ds"}};
  return recipe;
}

IhrSpec FuelTruck() {
  IhrSpec recipe;
  recipe.name = "FuelTruck";
  recipe.parentIndex = 4;
  recipe.hitbox = {-1.5f, 0.0f, -4.0f, 1.5f, 3.0f, 4.0f, 4.5f};
  recipe.hostParam1 = 7;
  recipe.hostParam2 = 2;
  recipe.dynamicPoints = {{0.0f, 1.0f, -3.5f}};
  // The far LOD uses the database's LOD record 2.
  recipe.lods = {{3000.0f, -1, "fuel_truck.3ds"}, {9000.0f, 2, "-"}};
  return recipe;
}

// Written with CR LF line breaks, and naming its model in other letter case
// than the file on disk, as files made on Windows often do.
IhrSpec RadarMast() {
  IhrSpec recipe;
  recipe.name = "RadarMast";
  recipe.parentIndex = 1;
  recipe.hitbox = {-2.0f, 0.0f, -2.0f, 2.0f, 22.0f, 2.0f, 22.5f};
  recipe.hostParam1 = 22;
  recipe.hostParam2 = 66;
  recipe.lods = {{12000.0f, -1, "Radar.3DS"}};
  recipe.crlf = true;
  return recipe;
}

bool WriteSample(const std::filesystem::path& root) {
  std::error_code error;
  std::filesystem::remove_all(root, error);
  const zarno::ObjectFolder folder = zarno::ObjectFolderAt(root);
  return zarno::WriteObjectFolder(folder, zarno::StandardHeaderSpec()) &&
         zarno::WriteIhrFile(folder.modelDir / "hangar.ihr", Hangar()) &&
         zarno::WriteIhrFile(folder.modelDir / "fuel_truck.ihr", FuelTruck()) &&
         zarno::WriteIhrFile(folder.modelDir / "Radar_Mast.IHR", RadarMast()) &&
         zarno::WriteModelFile(folder, "hangar_near.lod", zarno::PatternBytes(1, 4096)) &&
         zarno::WriteModelFile(folder, "hangar_far.lod", zarno::PatternBytes(2, 1024)) &&
         zarno::WriteModelFile(folder, "fuel_truck.lod", zarno::PatternBytes(3, 2500)) &&
         zarno::WriteModelFile(folder, "radar.lod", zarno::PatternBytes(4, 1800));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_rigwright_sample <folder>\n", stderr);
    return 2;
  }
  const std::filesystem::path root(argv[1]);
  if (!WriteSample(root)) {
    std::fprintf(stderr, "make_rigwright_sample: could not write the sample in %s\n", argv[1]);
    return 1;
  }
  return 0;
}
