#include <algorithm>
#include <charconv>
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
std::vector<BmpColor> BmpSpec::GreyColors() {
  std::vector<BmpColor> colors;
  for (int i = 0; i < 256; ++i) colors.push_back({uint8_t(i), uint8_t(i), uint8_t(i), 0});
  return colors;
}
std::vector<uint8_t> BuildBmpFile(const BmpSpec& r) {
  const bool core = r.infoHeaderSize == 12;
  const size_t tableAt = (r.fileHeader ? 14 : 0) + (core ? 12 : std::max<size_t>(r.infoHeaderSize, 40));
  size_t end = tableAt + 4 * r.colors.size();
  for (const auto& row : r.rows) end += row.size();
  std::vector<uint8_t> out;
  if (r.fileHeader) PutLe(out, 1, 'B', 'M'), PutLe(out, 4, end, 0, tableAt + 4 * r.colors.size());
  if (core) PutLe(out, 4, 12), PutLe(out, 2, r.width, r.height, 1, r.bitCount);
  else PutLe(out, 4, r.infoHeaderSize, r.width, r.height), PutLe(out, 2, 1, r.bitCount);
  if (!core) PutLe(out, 4, r.compression, 0, 2835, 2835, r.clrUsed, 0), out.resize(tableAt);  // 72 dpi, zero padding
  for (const BmpColor& c : r.colors) PutLe(out, 1, c.blue, c.green, c.red, c.reserved);
  for (auto row = r.rows.rbegin(); row != r.rows.rend(); ++row) out.insert(out.end(), row->begin(), row->end());
  out.resize(std::min(out.size(), r.truncateTo.value_or(out.size())));
  return out;
}
BmpSpec StandardTextureBmp(int32_t width, int32_t height, uint32_t paletteK, uint64_t seed) {
  BmpSpec bmp{width, height, 8, 0, 0, true, 40, {}, {}, {}};
  const HeaderSpec standard = StandardHeaderSpec();
  for (const auto& [red, green, blue, alpha] : standard.palettes.at(paletteK).entries) {
    bmp.colors.push_back({red, green, blue, 0});
  }
  const std::vector<uint8_t> pixels = MakeTextureImage(size_t(width), size_t(height), seed);
  for (auto row = pixels.begin(); row != pixels.end(); row += width) bmp.rows.emplace_back(row, row + width);
  return bmp;
}
// Square cells of about an eighth of the width (8 to 128 pixels): out of 20, 6 flat, 7 gradients (in 1/16 steps
// per pixel), 3 tiled patterns, 3 noisy gradients, 1 noise; 1 pixel in 128 of flat and gradient ones is off by 1.
std::vector<uint8_t> MakeTextureImage(size_t width, size_t height, uint64_t seed) {
  std::vector<uint8_t> pixels(width * height);
  FixtureRandom random(seed);
  const size_t cell = std::clamp<size_t>(width / 8, 8, 128);
  for (size_t top = 0; top < height; top += cell) {
    for (size_t left = 0; left < width; left += cell) {
      const uint32_t roll = random.Below(20);
      const bool noisy = roll >= 16 && roll < 19, tiled = roll >= 13 && roll < 16;
      const int base = int(random.Below(256));
      int slopeX = 0, slopeY = 0, noise = 0;
      if ((roll >= 6 && roll < 13) || noisy) slopeX = int(random.Below(17)) - 8, slopeY = int(random.Below(17)) - 8;
      if (noisy) noise = 1 + int(random.Below(2));
      const size_t tileWidth = tiled ? 2 + random.Below(15) : 1, tileHeight = tiled ? 2 + random.Below(15) : 1;
      std::vector<uint8_t> tile(tiled ? tileWidth * tileHeight : 0);
      for (uint8_t& index : tile) index = uint8_t(base + int(random.Below(4)));
      for (size_t y = 0; y < std::min(cell, height - top); ++y) {
        for (size_t x = 0; x < std::min(cell, width - left); ++x) {
          int value = base + (slopeX * int(x) + slopeY * int(y)) / 16;
          if (noise != 0) value += int(random.Below(2 * noise + 1)) - noise;
          if (roll == 19) value = random.Byte();
          else if (tiled) value = tile[y % tileHeight * tileWidth + x % tileWidth];
          else if (random.Below(128) == 0) value += random.Below(2) == 0 ? -1 : 1;
          pixels[(top + y) * width + left + x] = uint8_t(value);
        }
      }
    }
  }
  return pixels;
}
// A record: 8 unread bytes, idBytes, 10 unread, droppedFloat, 32 unread, parentIndex, selectorByte, classWord.
std::vector<uint8_t> BuildClassTableFile(const ClassTableSpec& r) {
  std::vector<uint8_t> out;
  PutLe(out, 2, r.classCount.value_or(int16_t(r.classes.size())));
  for (const ClassSpec& c : r.classes) {
    out.insert(out.end(), 8, c.filler), out.insert(out.end(), c.idBytes.begin(), c.idBytes.end());
    out.insert(out.end(), 10, c.filler), PutLe(out, 4, c.droppedFloat), out.insert(out.end(), 32, c.filler);
    for (uint16_t index : c.parentIndex) PutLe(out, 2, index);
    PutLe(out, 1, c.selectorByte), PutLe(out, 4, c.classWord);
  }
  out.insert(out.end(), r.trailingBytes.begin(), r.trailingBytes.end());
  out.resize(std::min(out.size(), r.cutTo.value_or(out.size())));
  return out;
}
ClassSpec ClassNaming(std::vector<uint16_t> parents, uint8_t idByte1, uint8_t selectorByte) {
  ClassSpec named;
  named.idBytes[1] = idByte1, named.selectorByte = selectorByte;
  std::copy_n(parents.begin(), std::min<size_t>(parents.size(), 8), named.parentIndex.begin());
  return named;
}
std::string NumberText(float value) {
  char text[48];
  return {text, std::to_chars(text, text + sizeof text, value).ptr};
}
std::string BuildIhrText(const IhrSpec& r) {
  const std::string end = r.crlf ? "\r\n" : "\n";
  const auto numbers = [](const auto& values, std::string text) {
    for (float value : values) text += " " + NumberText(value);
    return text;
  };
  const auto count = [](std::optional<int64_t> n, size_t size) { return std::to_string(n.value_or(int64_t(size))); };
  std::string text = r.versionLine + end + r.name + end + "0 0 " + std::to_string(r.parentIndex) + end + 
                     numbers(r.hitbox, "Hitbox") + end + "Params " + std::to_string(r.hostParam1) + " " +
                     std::to_string(r.hostParam2) + end + "Param3 " + std::to_string(r.hostParam3) + end + "Dynamics " +
                     count(r.dynamicCount, r.dynamicPoints.size()) + end + "LODs " + count(r.lodRefCount, r.lods.size()) +
                     end + "Param4 " + std::to_string(r.hostParam4) + end + "Param5 " + std::to_string(r.hostParam5) + end +
                     "Slots " + count(r.slotCount, r.slots.size()) + end + std::to_string(r.lodEntryForm) + end;
  for (const auto* list : {&r.dynamicPoints, &r.slots}) for (const auto& point : *list) text += numbers(point, "").substr(1) + end;
  for (const IhrLodEntry& e : r.lods) {
    text += NumberText(e.distance) + end + std::to_string(e.lodNumber) + (r.lodEntryForm == 0 ? end : " ") + e.model + end;
  }
  return text;
}
namespace {
// The coder's numbers again, so that a slip in the product's header does not reach both encoders: a ring of
// 4096 cells read modulo its size, matches of 2 to 17 bytes, a binary tree of the ring's strings under 4096.
constexpr uint32_t kRing = 4096, kMaxMatch = 17, kRoot = 4096, kNone = 0;
struct Reference {
  struct Node { uint32_t parent = kNone, smaller = kNone, larger = kNone; };
  std::vector<uint32_t> ring = std::vector<uint32_t>(kRing + 1, 0);
  std::vector<Node> tree = std::vector<Node>(kRing + 1);
  uint32_t matchPosition = 0;
  uint32_t& LinkTo(uint32_t p) { Node& up = tree[tree[p].parent]; return up.smaller == p ? up.smaller : up.larger; }
  void Replace(uint32_t p, uint32_t q) {  // q takes p's place with p's children
    LinkTo(p) = q, tree[q] = tree[p], tree[p].parent = kNone;
    for (uint32_t child : {tree[q].smaller, tree[q].larger}) if (child != kNone) tree[child].parent = q;
  }
  void Remove(uint32_t p) {
    Node& n = tree[p];
    if (n.parent == kNone) return;
    if (n.smaller == kNone || n.larger == kNone) {
      const uint32_t child = std::max(n.smaller, n.larger);  // the only child, if any
      if (LinkTo(p) = child; child != kNone) tree[child].parent = n.parent;
      n.parent = kNone;
      return;
    }
    uint32_t q = n.smaller;
    while (tree[q].larger != kNone) q = tree[q].larger;
    Remove(q), Replace(p, q);
  }
  uint32_t Insert(uint32_t r) {  // the length of the longest match, its place in matchPosition
    if (r == 0) return 0;
    for (uint32_t p = tree[kRoot].larger, best = 0;;) {
      uint32_t i = 0;
      while (i < kMaxMatch && ring[(r + i) % kRing] == ring[(p + i) % kRing]) ++i;
      if (i >= best) best = i, matchPosition = p;
      if (i == kMaxMatch) return Replace(p, r), kMaxMatch;
      uint32_t& child = ring[(r + i) % kRing] < ring[(p + i) % kRing] ? tree[p].smaller : tree[p].larger;
      if (child == kNone) return child = r, tree[r] = {p, kNone, kNone}, best;
      p = child;
    }
  }
};
}  // namespace
std::vector<uint8_t> LzssCompressReference(std::span<const uint8_t> input) {
  Reference coder;
  coder.tree[kRoot].larger = 1, coder.tree[1].parent = kRoot;
  uint32_t count = uint32_t(std::min<size_t>(input.size(), kMaxMatch)), r = 1, matchLength = 0;
  std::copy_n(input.begin(), count, coder.ring.begin() + 1);
  std::vector<uint8_t> out;
  for (size_t items = 0, next = count, flagPlace = 0; count > 0; ++items) {
    if (items % 8 == 0) flagPlace = out.size(), out.push_back(0);
    const uint32_t at = coder.matchPosition;
    if ((matchLength = std::min(matchLength, count)) <= 1) out[flagPlace] |= uint8_t(1u << items % 8);
    if (matchLength <= 1) out.push_back(uint8_t(coder.ring[r]));
    else out.insert(out.end(), {uint8_t(((matchLength - 2) << 4) + (at >> 8)), uint8_t(at)});
    for (uint32_t step = 0, advance = std::max(matchLength, 1u); step < advance; ++step) {
      const uint32_t s = (r + kMaxMatch) % kRing;
      coder.Remove(s);
      if (next < input.size()) coder.ring[s] = input[next++]; else --count;
      r = (r + 1) % kRing;
      if (count > 0) matchLength = coder.Insert(r);
    }
  }
  return out;
}
}  // namespace zarno
