// The fixture kit's header database part: builds ZarnoObj.hdr files for tests
// with its own explicit byte encoder, independent of the code under test, and
// gives tests temporary folders to put them in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "core/header_database.h"

namespace zarno {

// One palette as the file holds it: 256 entries of red, green, blue, alpha.
struct PaletteSpec {
  std::array<std::array<uint8_t, 4>, kPaletteEntries> entries{};
  uint32_t palWord0 = 0;
  uint32_t palWord1 = 0;
};

struct LodRefSpec {
  int32_t lodRef = -1;
  float lodDistance = 0.0f;
};

// One parent: its fixed part and its lists. The counts in the fixed part are
// the list sizes unless an override gives another value to write.
struct ParentSpec {
  std::array<float, 7> hitbox{};
  uint32_t hostParam1 = 0;
  uint32_t hostParam2 = 0;
  uint16_t hostParam3 = 1;
  uint8_t hostParam4 = 0;
  uint8_t hostParam5 = 0;
  uint16_t hostParam6 = 0;
  uint16_t hostParam7 = 0;
  std::vector<std::array<float, 3>> slots;
  std::vector<std::array<float, 3>> dynamicPoints;
  std::vector<LodRefSpec> lodRefs;
  std::optional<uint8_t> slotCount;
  std::optional<uint16_t> dynamicCount;
  std::optional<uint8_t> lodRefCount;
};

// A whole header database. Each count written is the size of its vector
// unless an override gives another value; the records are written as held
// either way, so a test can make counts and data disagree.
struct HeaderSpec {
  uint32_t leadWord = 0;
  uint32_t colorWord = 0;
  uint32_t maxTextureSize = 0;
  uint32_t lodWord = kMinLodWord;
  std::vector<ColorRecord> colors;
  std::vector<PaletteSpec> palettes;
  std::vector<TextureRecord> textures;
  std::vector<LodRecord> lods;
  std::vector<ParentSpec> parents;
  std::optional<uint32_t> colorCount;
  std::optional<uint32_t> paletteCount;
  std::optional<uint32_t> textureCount;
  std::optional<uint32_t> lodCount;
  std::optional<uint32_t> parentCount;
  std::vector<uint8_t> trailingBytes;  // written after the last parent's lists
};

// Where the sections of a built file start, for tests that cut or patch it.
struct HeaderOffsets {
  size_t colorCount;
  size_t paletteCount;
  size_t textureCount;
  size_t lodWord;
  size_t lodCount;
  size_t parentCount;
  size_t parentFixedParts;
  size_t parentLists;
  size_t end;  // before the trailing bytes
};

std::vector<uint8_t> BuildHeaderFile(const HeaderSpec& recipe);
HeaderOffsets OffsetsOf(const HeaderSpec& recipe);

// Palette k of the standard database: entry i is (k*7 + i, k*13 + 2i,
// k*29 + 3i) mod 256 with alpha 0, so every palette differs from the others.
PaletteSpec TestPalette(uint32_t k);

// A small realistic database: 3 colours, 14 palettes, 3 texture records,
// 6 LOD records (1 and 4 free) whose blobs lie in ZarnoObj.lod as
// installation leaves them (first at offset 10, 10 bytes between blobs), and
// 3 parents referring to LOD records 0, 2, 3 and 5 (the last one with a LOD
// still to install). lodWord is 12000, so the file reads back unchanged.
HeaderSpec StandardHeaderSpec();

// Writes a file whole; false when it cannot be written.
bool WriteFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace zarno
