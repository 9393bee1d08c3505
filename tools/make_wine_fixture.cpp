// Writes the folders the Wine test runs both builds of the programs on:
//
//   <root>/Objects/         ZarnoObj.hdr, ZarnoObj.lod (with one blob no
//                           parent uses), ZarnoObj.tex, Orvane4.ct, ZarnoObj/
//   <root>/Objects/Models/  five install-parent files in mixed letter case,
//                           one naming a missing model file, one a folder
//                           (the default models folder of the object folder)
//   <root>/Skins/           BMP images (good, rejected, without number) and
//                           DDS images
//   <root>/PaletteObjects/  a header database with only 12 palettes, and its
//                           store
//   <root>/PaletteSkins/    an image whose palette cannot be added there
//
//   make_wine_fixture <root>
//
// <root> is emptied first, so each call writes the same bytes.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/kit.h"

namespace {

namespace fs = std::filesystem;
using namespace zarno;

// The bytes of the texture store that the standard header database points
// into (texture 0 at 0, 4000 bytes; texture 2 at 4000, 1500 bytes).
constexpr size_t kTextureStoreSize = 5500;
constexpr uint64_t kTextureStoreSeed = 3;

IhrSpec Ihr(int32_t parentIndex, std::vector<IhrLodEntry> lods) {
  IhrSpec recipe;
  recipe.name = "Wine" + std::to_string(parentIndex);
  recipe.parentIndex = parentIndex;
  recipe.hitbox = {-2.0f, -1.0f, 0.5f, 2.0f, 1.0f, 3.0f, static_cast<float>(parentIndex)};
  recipe.hostParam1 = 1000 + parentIndex;
  recipe.hostParam2 = 2000 + parentIndex;
  recipe.dynamicPoints = {{0.5f, 1.5f, -2.5f}};
  recipe.slots = {{1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}};
  recipe.lods = std::move(lods);
  return recipe;
}

// The standard database with a seventh LOD record whose blob no parent
// refers to, so a compact run has bytes to give back.
HeaderSpec ObjectHeader() {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.lods.push_back(LodRecord{0, 0, 0, 700, 40});
  return recipe;
}

std::vector<BmpColor> FreshColors() {
  std::vector<BmpColor> colors(256);
  for (size_t i = 0; i < colors.size(); ++i) {
    colors[i] = {static_cast<uint8_t>(90 + i), static_cast<uint8_t>(3 * i), static_cast<uint8_t>(255 - i), 7};
  }
  return colors;
}

bool WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) { return WriteFile(path, bytes); }

bool WriteObjects(const fs::path& root) {
  const ObjectFolder folder = ObjectFolderAt(root);
  ClassTableSpec classes;
  classes.classes = {ClassNaming({0, 2}), ClassNaming({1}, 0, 1)};
  std::error_code error;
  fs::create_directories(folder.objectDir / "ZarnoObj", error);
  return WriteObjectFolder(folder, ObjectHeader()) &&
         WriteBytes(folder.objectDir / "ZarnoObj.tex", MakeRandomBytes(kTextureStoreSize, kTextureStoreSeed)) &&
         WriteBytes(folder.objectDir / "Orvane4.ct", BuildClassTableFile(classes));
}

bool WriteModels(const fs::path& root) {
  ObjectFolder folder = ObjectFolderAt(root);
  folder.modelDir = folder.objectDir / "Models";
  IhrSpec hut = Ihr(1, {{1000.0f, -1, "hut.3ds"}});
  hut.crlf = true;
  std::error_code error;
  fs::create_directories(folder.modelDir / "e_dir.ihr", error);  // a folder is no install-parent file
  return WriteIhrFile(folder.modelDir / "a_tank.ihr",
                      Ihr(3, {{8000.0f, -1, "tank_hi.3ds"}, {2000.0f, 2, "unused.3ds"}, {500.0f, -1, "tank_lo.3ds"}})) &&
         WriteIhrFile(folder.modelDir / "B_Jeep.IHR", Ihr(4, {{3000.0f, -1, "Jeep.3DS"}})) &&
         WriteIhrFile(folder.modelDir / "c_hut.ihr", hut) &&
         WriteIhrFile(folder.modelDir / "d_plane.ihr", Ihr(5, {{800.0f, -1, "here.3ds"}, {400.0f, -1, "gone.3ds"}})) &&
         WriteModelFile(folder, "tank_hi.lod", PatternBytes(1, 100)) &&
         WriteModelFile(folder, "tank_lo.lod", PatternBytes(2, 40)) &&
         WriteModelFile(folder, "JEEP.LOD", PatternBytes(3, 25)) &&
         WriteModelFile(folder, "hut.lod", PatternBytes(4, 60)) &&
         WriteModelFile(folder, "here.lod", PatternBytes(5, 33));
}

bool WriteSkins(const fs::path& root) {
  const fs::path skins = root / "Skins";
  std::error_code error;
  fs::create_directories(skins, error);
  BmpSpec fresh = StandardTextureBmp(16, 24, 0, 3);
  fresh.colors = FreshColors();
  return WriteBytes(skins / "7.bmp", BuildBmpFile(StandardTextureBmp(32, 32, 2, 1))) &&
         WriteBytes(skins / "5wall.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 5, 2))) &&
         WriteBytes(skins / "2.BMP", BuildBmpFile(StandardTextureBmp(16, 16, 6, 5))) &&
         WriteBytes(skins / "20.bmp", BuildBmpFile(fresh)) &&
         WriteBytes(skins / "9.bmp", BuildBmpFile(StandardTextureBmp(48, 48, 1, 6))) &&
         WriteBytes(skins / "roof.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 1, 7))) &&
         WriteBytes(skins / "3.dds", MakeRandomBytes(300, 11)) &&
         WriteBytes(skins / "12tree.DDS", MakeRandomBytes(700, 12));
}

bool WritePaletteCase(const fs::path& root) {
  const fs::path objects = root / "PaletteObjects";
  const fs::path skins = root / "PaletteSkins";
  std::error_code error;
  fs::create_directories(objects, error);
  fs::create_directories(skins, error);
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.palettes.resize(12);
  BmpSpec fresh = StandardTextureBmp(16, 16, 0, 1);
  fresh.colors = FreshColors();
  return WriteBytes(objects / "ZarnoObj.hdr", BuildHeaderFile(recipe)) &&
         WriteBytes(objects / "ZarnoObj.tex", MakeRandomBytes(kTextureStoreSize, kTextureStoreSeed)) &&
         WriteBytes(skins / "3.bmp", BuildBmpFile(fresh)) &&
         WriteBytes(skins / "5.bmp", BuildBmpFile(StandardTextureBmp(16, 16, 11, 1)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_wine_fixture <root>\n", stderr);
    return 2;
  }
  const fs::path root(argv[1]);
  std::error_code error;
  fs::remove_all(root, error);
  if (!WriteObjects(root) || !WriteModels(root) || !WriteSkins(root) || !WritePaletteCase(root)) {
    std::fprintf(stderr, "make_wine_fixture: could not write the folders in %s\n", argv[1]);
    return 1;
  }
  return 0;
}
