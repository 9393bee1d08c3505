// Writes a small sample for Skinwright: an object folder whose header
// database and ZarnoObj.tex agree (textures 0 and 2 stored, and between them
// the data of an older texture 2 that no record names any more), and a
// texture folder with BMP images and a DDS image:
//
//   2_roof.bmp         replaces texture 2 (colours of palette 5)
//   10_wall.bmp        a new texture in palette 2, the transparent one
//   11_sign.bmp        colours of no palette yet: a palette is added
//   12_sign_night.bmp  the same colours: the added palette is found again
//   13_broken.bmp      cut short: rejected
//   40_sky.dds         copied into the ZarnoObj folder by a DDS run
//
//   make_skinwright_sample <folder>
//
// writes <folder>/Objects (ZarnoObj.hdr, ZarnoObj.tex, ZarnoObj/) and
// <folder>/Textures. <folder> is emptied first, so each call starts from the
// same sample.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/kit.h"

namespace {

using zarno::BmpColor;
using zarno::BmpSpec;
using zarno::TextureRecord;

// Colours that none of the sample database's palettes holds: dusk tones.
std::vector<BmpColor> DuskColors() {
  std::vector<BmpColor> colors(256);
  for (size_t i = 0; i < colors.size(); ++i) {
    colors[i] = {static_cast<uint8_t>(255 - i / 2), static_cast<uint8_t>(i / 3), static_cast<uint8_t>(64 + i / 2), 0};
  }
  return colors;
}

std::vector<uint8_t> StoredStream(size_t width, uint64_t seed) {
  return zarno::LzssCompressReference(zarno::MakeTextureImage(width, width, seed));
}

// The header database of the standard fixture with its textures replaced by
// two stored ones, and the store that holds their data.
bool WriteObjectFolder(const std::filesystem::path& objects) {
  const std::vector<uint8_t> texture0 = StoredStream(64, 100);
  const std::vector<uint8_t> olderTexture2 = StoredStream(32, 101);
  const std::vector<uint8_t> texture2 = StoredStream(32, 102);
  const auto size0 = static_cast<uint32_t>(texture0.size());
  const auto sizeOlder = static_cast<uint32_t>(olderTexture2.size());
  const auto size2 = static_cast<uint32_t>(texture2.size());

  zarno::HeaderSpec recipe = zarno::StandardHeaderSpec();
  recipe.textures = {TextureRecord{0, size0, 64, 0, 0, 0xE0, 0x00000000, 0, 2, 0}, TextureRecord{},
                   TextureRecord{size0 + sizeOlder, size2, 32, 0, 0, 0xA0, 0xFF7F5903, 0, 5, 0}};
  recipe.maxTextureSize = std::max({size0, sizeOlder, size2});
  std::vector<uint8_t> store = texture0;
  store.insert(store.end(), olderTexture2.begin(), olderTexture2.end());
  store.insert(store.end(), texture2.begin(), texture2.end());

  std::error_code error;
  std::filesystem::create_directories(objects / "ZarnoObj", error);
  return zarno::WriteFile(objects / "ZarnoObj.hdr", zarno::BuildHeaderFile(recipe)) &&
         zarno::WriteFile(objects / "ZarnoObj.tex", store);
}

bool WriteImage(const std::filesystem::path& path, const BmpSpec& recipe) {
  return zarno::WriteFile(path, zarno::BuildBmpFile(recipe));
}

// A DDS file is copied unread; this one has the magic and a little data.
std::vector<uint8_t> SkyDds() {
  std::vector<uint8_t> bytes = {'D', 'D', 'S', ' '};
  const std::vector<uint8_t> body = zarno::MakeTextureImage(128, 4, 7);
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

bool WriteTextureFolder(const std::filesystem::path& textures) {
  std::error_code error;
  std::filesystem::create_directories(textures, error);
  BmpSpec sign = zarno::StandardTextureBmp(64, 64, 0, 13);
  sign.colors = DuskColors();
  BmpSpec signNight = zarno::StandardTextureBmp(32, 32, 0, 14);
  signNight.colors = DuskColors();
  std::vector<uint8_t> broken = zarno::BuildBmpFile(zarno::StandardTextureBmp(32, 32, 1, 15));
  broken.resize(broken.size() / 2);
  return WriteImage(textures / "2_roof.bmp", zarno::StandardTextureBmp(64, 64, 5, 11)) &&
         WriteImage(textures / "10_wall.bmp", zarno::StandardTextureBmp(32, 32, 2, 12)) &&
         WriteImage(textures / "11_sign.bmp", sign) && WriteImage(textures / "12_sign_night.bmp", signNight) &&
         zarno::WriteFile(textures / "13_broken.bmp", broken) && zarno::WriteFile(textures / "40_sky.dds", SkyDds());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_skinwright_sample <folder>\n", stderr);
    return 2;
  }
  const std::filesystem::path root(argv[1]);
  std::error_code error;
  std::filesystem::remove_all(root, error);
  if (!WriteObjectFolder(root / "Objects") || !WriteTextureFolder(root / "Textures")) {
    std::fprintf(stderr, "make_skinwright_sample: could not write the sample in %s\n", argv[1]);
    return 1;
  }
  return 0;
}
