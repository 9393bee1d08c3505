#include "tests/support/header_builder.h"
#include "tests/support/fixture_encoder.h"

#include <bit>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace zarno {

namespace {

using Encoder = FixtureEncoder;

template <class Vector>
uint32_t CountOf(const std::optional<uint32_t>& override, const Vector& records) {
  return override.value_or(static_cast<uint32_t>(records.size()));
}

void EncodeColors(Encoder& out, const HeaderSpec& recipe) {
  out.Long(recipe.leadWord);
  out.Long(CountOf(recipe.colorCount, recipe.colors));
  out.Long(recipe.colorWord);
  for (const ColorRecord& color : recipe.colors) {
    for (float value : color.value) out.Float(value);
  }
}

void EncodePalettes(Encoder& out, const HeaderSpec& recipe) {
  out.Long(CountOf(recipe.paletteCount, recipe.palettes));
  for (const PaletteSpec& palette : recipe.palettes) {
    for (const auto& entry : palette.entries) {
      for (uint8_t channel : entry) out.Byte(channel);
    }
    out.Long(palette.palWord0);
    out.Long(palette.palWord1);
  }
}

void EncodeTextures(Encoder& out, const HeaderSpec& recipe) {
  out.Long(CountOf(recipe.textureCount, recipe.textures));
  out.Long(recipe.maxTextureSize);
  for (const TextureRecord& t : recipe.textures) {
    for (uint32_t word : {t.fileOffset, t.dataSize, t.width, t.texWord3, t.texWord4, t.flags,
                          t.color, t.texWord7, t.paletteIndex, t.texWord9}) {
      out.Long(word);
    }
  }
}

void EncodeLods(Encoder& out, const HeaderSpec& recipe) {
  out.Long(recipe.lodWord);
  out.Long(CountOf(recipe.lodCount, recipe.lods));
  for (const LodRecord& lod : recipe.lods) {
    for (uint32_t word : {lod.lodWord0, lod.lodWord1, lod.lodWord2, lod.fileOffset, lod.fileSize}) {
      out.Long(word);
    }
  }
}

void EncodeParentFixedPart(Encoder& out, const ParentSpec& parent) {
  for (float value : parent.hitbox) out.Float(value);
  out.Long(parent.hostParam1);
  out.Long(parent.hostParam2);
  out.Short(parent.hostParam3);
  out.Short(parent.dynamicCount.value_or(static_cast<uint16_t>(parent.dynamicPoints.size())));
  out.Byte(parent.lodRefCount.value_or(static_cast<uint8_t>(parent.lodRefs.size())));
  out.Byte(parent.hostParam4);
  out.Byte(parent.hostParam5);
  out.Byte(parent.slotCount.value_or(static_cast<uint8_t>(parent.slots.size())));
  out.Short(parent.hostParam6);
  out.Short(parent.hostParam7);
}

void EncodeParentLists(Encoder& out, const ParentSpec& parent) {
  for (const auto& slot : parent.slots) {
    for (float value : slot) out.Float(value);
  }
  for (const auto& point : parent.dynamicPoints) {
    for (float value : point) out.Float(value);
  }
  for (const LodRefSpec& ref : parent.lodRefs) {
    out.Long(static_cast<uint32_t>(ref.lodRef));
    out.Float(ref.lodDistance);
  }
}

void EncodeParents(Encoder& out, const HeaderSpec& recipe) {
  out.Long(CountOf(recipe.parentCount, recipe.parents));
  for (const ParentSpec& parent : recipe.parents) EncodeParentFixedPart(out, parent);
  for (const ParentSpec& parent : recipe.parents) EncodeParentLists(out, parent);
}

size_t ParentListsSize(const ParentSpec& parent) {
  return 12 * parent.slots.size() + 12 * parent.dynamicPoints.size() + 8 * parent.lodRefs.size();
}

ColorRecord Color(float a, float b, float c, float d) { return ColorRecord{{a, b, c, d}}; }

TextureRecord Texture(uint32_t fileOffset, uint32_t dataSize, uint32_t width, uint32_t flags,
                      uint32_t color, uint32_t paletteIndex) {
  return TextureRecord{fileOffset, dataSize, width, 0, 0, flags, color, 0, paletteIndex, 0};
}

LodRecord Lod(uint32_t word0, uint32_t fileOffset, uint32_t fileSize) {
  return LodRecord{word0, word0 + 1, word0 + 2, fileOffset, fileSize};
}

ParentSpec Parent(float size, uint32_t hostParam1, size_t slotCount, size_t dynamicCount,
                  std::vector<LodRefSpec> lodRefs) {
  ParentSpec parent;
  for (size_t i = 0; i < parent.hitbox.size(); ++i) parent.hitbox[i] = size * static_cast<float>(i + 1);
  parent.hostParam1 = hostParam1;
  parent.hostParam2 = hostParam1 * 3;
  parent.hostParam3 = 2;
  parent.hostParam4 = 4;
  parent.hostParam5 = 5;
  parent.hostParam6 = 6;
  parent.hostParam7 = 7;
  for (size_t i = 0; i < slotCount; ++i) {
    const float x = size + static_cast<float>(i);
    parent.slots.push_back({x, -x, 0.5f * x});
  }
  for (size_t i = 0; i < dynamicCount; ++i) {
    const float x = 2.0f * size + static_cast<float>(i);
    parent.dynamicPoints.push_back({x, 0.25f * x, -x});
  }
  parent.lodRefs = std::move(lodRefs);
  return parent;
}

}  // namespace

std::vector<uint8_t> BuildHeaderFile(const HeaderSpec& recipe) {
  Encoder out;
  EncodeColors(out, recipe);
  EncodePalettes(out, recipe);
  EncodeTextures(out, recipe);
  EncodeLods(out, recipe);
  EncodeParents(out, recipe);
  out.Bytes(recipe.trailingBytes);
  return out.Take();
}

HeaderOffsets OffsetsOf(const HeaderSpec& recipe) {
  HeaderOffsets at{};
  at.colorCount = 4;
  at.paletteCount = 12 + 16 * recipe.colors.size();
  at.textureCount = at.paletteCount + 4 + 1032 * recipe.palettes.size();
  at.lodWord = at.textureCount + 8 + 40 * recipe.textures.size();
  at.lodCount = at.lodWord + 4;
  at.parentCount = at.lodCount + 4 + 20 * recipe.lods.size();
  at.parentFixedParts = at.parentCount + 4;
  at.parentLists = at.parentFixedParts + 48 * recipe.parents.size();
  at.end = at.parentLists;
  for (const ParentSpec& parent : recipe.parents) at.end += ParentListsSize(parent);
  return at;
}

PaletteSpec TestPalette(uint32_t k) {
  PaletteSpec palette;
  for (uint32_t i = 0; i < kPaletteEntries; ++i) {
    palette.entries[i] = {static_cast<uint8_t>(k * 7 + i), static_cast<uint8_t>(k * 13 + 2 * i),
                          static_cast<uint8_t>(k * 29 + 3 * i), 0};
  }
  palette.palWord0 = k;
  palette.palWord1 = 0x100 + k;
  return palette;
}

HeaderSpec StandardHeaderSpec() {
  HeaderSpec recipe;
  recipe.leadWord = 0x0004'0001;
  recipe.colorWord = 0x00C0'FFEE;
  recipe.lodWord = 12000;
  recipe.colors = {Color(1.0f, 0.5f, 0.25f, 1.0f), Color(0.0f, -0.0f, 0.75f, 0.5f),
                 Color(0.125f, 0.2f, 0.3f, 0.0f)};
  for (uint32_t k = 0; k < 14; ++k) recipe.palettes.push_back(TestPalette(k));
  recipe.maxTextureSize = 4000;
  recipe.textures = {Texture(0, 4000, 64, 0xA0, 0xFF10'2030, 2), Texture(0, 0, 0, 0, 0, 0),
                   Texture(4000, 1500, 32, 0xE0, 0x8040'2010, 5)};
  recipe.lods = {Lod(100, 10, 100), Lod(200, 0, 0),   Lod(300, 120, 50),
               Lod(400, 180, 70), Lod(500, 0, 0),   Lod(600, 260, 30)};
  recipe.parents = {Parent(1.5f, 11, 3, 1, {{1, 100.0f}, {5, 400.0f}}),
                  Parent(4.0f, 22, 0, 0, {{7, 250.0f}}),
                  Parent(8.0f, 33, 25, 10, {{11, 150.0f}, {-1, 900.0f}})};
  return recipe;
}

bool WriteFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

TempFolder::TempFolder() {
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = base / ("zarno-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(path_, error)) return;
  }
  path_.clear();  // no folder: writes into it fail and nothing is removed
}

TempFolder::~TempFolder() {
  std::error_code error;
  if (!path_.empty()) std::filesystem::remove_all(path_, error);
}

}  // namespace zarno
