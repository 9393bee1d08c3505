#include <algorithm>
#include <fstream>
#include <random>
#include <tuple>

#include "tests/support/kit.h"

namespace zarno {
template <class N, class List> N CountOf(std::optional<N> n, const List& l) { return n.value_or(N(l.size())); }
std::vector<uint8_t> BuildHeaderFile(const HeaderSpec& r) {
  std::vector<uint8_t> out;
  PutLe(out, 4, r.leadWord, CountOf(r.colorCount, r.colors), r.colorWord);
  for (const auto& [v] : r.colors) PutLe(out, 4, v[0], v[1], v[2], v[3]);
  PutLe(out, 4, CountOf(r.paletteCount, r.palettes));
  for (const PaletteSpec& palette : r.palettes) {
    for (const auto& [red, green, blue, alpha] : palette.entries) PutLe(out, 1, red, green, blue, alpha);
    PutLe(out, 4, palette.palWord0, palette.palWord1);
  }
  PutLe(out, 4, CountOf(r.textureCount, r.textures), r.maxTextureSize);
  for (const auto& [a, b, c, d, e, f, g, h, i, j] : r.textures) PutLe(out, 4, a, b, c, d, e, f, g, h, i, j);
  PutLe(out, 4, r.lodWord, CountOf(r.lodCount, r.lods));
  for (const auto& [a, b, c, d, e] : r.lods) PutLe(out, 4, a, b, c, d, e);
  PutLe(out, 4, CountOf(r.parentCount, r.parents));
  for (const ParentSpec& p : r.parents) {
    std::apply([&](auto... hitbox) { PutLe(out, 4, hitbox..., p.hostParam1, p.hostParam2); }, p.hitbox);
    PutLe(out, 2, p.hostParam3, CountOf(p.dynamicCount, p.dynamicPoints));
    PutLe(out, 1, CountOf(p.lodRefCount, p.lodRefs), p.hostParam4, p.hostParam5, CountOf(p.slotCount, p.slots));
    PutLe(out, 2, p.hostParam6, p.hostParam7);
  }
  for (const ParentSpec& p : r.parents) {
    for (const auto* list : {&p.slots, &p.dynamicPoints}) for (const auto& [x, y, z] : *list) PutLe(out, 4, x, y, z);
    for (const LodRefSpec& ref : p.lodRefs) PutLe(out, 4, ref.lodRef, ref.lodDistance);
  }
  out.insert(out.end(), r.trailingBytes.begin(), r.trailingBytes.end());
  return out;
}
HeaderOffsets OffsetsOf(const HeaderSpec& r) {
  const size_t palettes = 12 + 16 * r.colors.size(), textures = palettes + 4 + 1032 * r.palettes.size();
  const size_t lodWord = textures + 8 + 40 * r.textures.size(), parents = lodWord + 8 + 20 * r.lods.size();
  size_t end = parents + 4 + 48 * r.parents.size();
  for (const ParentSpec& p : r.parents) end += 12 * (p.slots.size() + p.dynamicPoints.size()) + 8 * p.lodRefs.size();
  return {4, palettes, textures, lodWord, lodWord + 4, parents, parents + 4, parents + 4 + 48 * r.parents.size(), end};
}
PaletteSpec TestPalette(uint32_t k) {
  PaletteSpec palette{{}, k, 0x100 + k};
  for (uint32_t i = 0; i < kPaletteEntries; ++i) {
    palette.entries[i] = {uint8_t(k * 7 + i), uint8_t(k * 13 + 2 * i), uint8_t(k * 29 + 3 * i), 0};
  }
  return palette;
}
HeaderSpec StandardHeaderSpec() {
  HeaderSpec r;
  r.leadWord = 0x0004'0001, r.colorWord = 0x00C0'FFEE, r.maxTextureSize = 4000, r.lodWord = 12000;
  r.colors = {{{1.0f, 0.5f, 0.25f, 1.0f}}, {{0.0f, -0.0f, 0.75f, 0.5f}}, {{0.125f, 0.2f, 0.3f, 0.0f}}};
  for (uint32_t k = 0; k < 14; ++k) r.palettes.push_back(TestPalette(k));
  r.textures = {{0, 4000, 64, 0, 0, 0xA0, 0xFF10'2030, 0, 2, 0}, {}, {4000, 1500, 32, 0, 0, 0xE0, 0x8040'2010, 0, 5, 0}};
  const uint32_t offsets[] = {10, 0, 120, 180, 0, 260}, sizes[] = {100, 0, 50, 70, 0, 30};
  for (uint32_t i = 0, w = 100; i < 6; ++i, w += 100) r.lods.push_back({w, w + 1, w + 2, offsets[i], sizes[i]});
  const struct { float size; uint32_t param; int slots, dynamics; std::vector<LodRefSpec> refs; } parents[] = {
      {1.5f, 11, 3, 1, {{1, 100.0f}, {5, 400.0f}}}, {4.0f, 22, 0, 0, {{7, 250.0f}}},
      {8.0f, 33, 25, 10, {{11, 150.0f}, {-1, 900.0f}}}};
  for (const auto& [size, param, slots, dynamics, refs] : parents) {
    ParentSpec& p = r.parents.emplace_back(ParentSpec{{}, param, param * 3, 2, 4, 5, 6, 7, {}, {}, refs, {}, {}, {}});
    for (int i = 0; i < 7; ++i) p.hitbox[i] = size * float(i + 1);
    for (float x = size; x < size + float(slots); ++x) p.slots.push_back({x, -x, 0.5f * x});
    for (float x = 2 * size; x < 2 * size + float(dynamics); ++x) p.dynamicPoints.push_back({x, 0.25f * x, -x});
  }
  return r;
}
std::vector<uint8_t> PatternBytes(uint32_t seed, size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = seed * 2654435761u + 12345u;
  for (uint8_t& byte : bytes) byte = uint8_t((state = state * 1103515245u + 12345u) >> 24);
  return bytes;
}
std::vector<uint8_t> BuildLodFile(const HeaderSpec& r) {
  std::vector<uint8_t> file;
  for (uint32_t k = 0; k < r.lods.size(); ++k) {
    if (const size_t at = r.lods[k].fileOffset, size = r.lods[k].fileSize; size != 0) {
      file.resize(std::max(file.size(), at + size), kLodFillerByte);
      std::ranges::copy(BlobBytes(k, uint32_t(size)), file.begin() + std::ptrdiff_t(at));
    }
  }
  return file;
}
bool WriteObjectFolder(const ObjectFolder& folder, const HeaderSpec& recipe) {
  std::error_code error;
  for (const auto& dir : {folder.objectDir, folder.modelDir}) std::filesystem::create_directories(dir, error);
  return WriteFile(folder.hdrPath, BuildHeaderFile(recipe)) && WriteFile(folder.lodPath, BuildLodFile(recipe));
}
bool WriteFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())), file.close();
  return !file.fail();
}
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}
TempFolder::TempFolder() {
  std::error_code error;
  std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = std::filesystem::temp_directory_path(error) / ("zarno-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(path_, error)) return;
  }
  path_.clear();  // no folder: writes into it fail and nothing is removed
}
}  // namespace zarno
