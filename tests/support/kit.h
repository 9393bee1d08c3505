// The test fixture kit: the host's files (ZarnoObj.hdr and .lod, install-parent files, BMP images, Orvane4.ct)
// written with the kit's own little-endian encoder, not the product's writers, so that tests of a writer do not
// check it against itself; texture-like images; a plain second LZSS encoder.
#pragma once
#include <bit>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include "core/header_database.h"
namespace zarno {
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
// Appends each value little-endian in `size` bytes, a float as its bits: the kit's own encoder.
template <class T> uint32_t LeWord(T value) { return static_cast<uint32_t>(value); }
inline uint32_t LeWord(float value) { return std::bit_cast<uint32_t>(value); }
template <class... Values> void PutLe(std::vector<uint8_t>& out, int size, Values... values) {
  for (uint32_t word : {LeWord(values)...}) for (int i = 0; i < size; ++i) out.push_back(uint8_t(word >> 8 * i));
}
// ZarnoObj.hdr. A count written is its list's size unless an override gives another value; the lists are
// written as held either way, so a test can make counts and data disagree.
struct PaletteSpec { std::array<std::array<uint8_t, 4>, kPaletteEntries> entries{}; uint32_t palWord0 = 0, palWord1 = 0; };
struct LodRefSpec { int32_t lodRef = -1; float lodDistance = 0.0f; };
struct ParentSpec {
  std::array<float, 7> hitbox{}; uint32_t hostParam1 = 0, hostParam2 = 0;
  uint16_t hostParam3 = 1; uint8_t hostParam4 = 0, hostParam5 = 0; uint16_t hostParam6 = 0, hostParam7 = 0;
  std::vector<std::array<float, 3>> slots{}, dynamicPoints{}; std::vector<LodRefSpec> lodRefs{};
  std::optional<uint8_t> slotCount{}; std::optional<uint16_t> dynamicCount{}; std::optional<uint8_t> lodRefCount{};
};
struct HeaderSpec {
  uint32_t leadWord = 0, colorWord = 0, maxTextureSize = 0, lodWord = kMinLodWord;
  std::vector<ColorRecord> colors{}; std::vector<PaletteSpec> palettes{}; std::vector<TextureRecord> textures{};
  std::vector<LodRecord> lods{}; std::vector<ParentSpec> parents{};
  std::optional<uint32_t> colorCount{}, paletteCount{}, textureCount{}, lodCount{}, parentCount{};
  std::vector<uint8_t> trailingBytes{};  // after the last parent's lists
};
struct HeaderOffsets {  // where the sections of a built file start; `end` is before the trailing bytes
  size_t colorCount, paletteCount, textureCount, lodWord, lodCount, parentCount, parentFixedParts, parentLists, end;
};
std::vector<uint8_t> BuildHeaderFile(const HeaderSpec& recipe);
HeaderOffsets OffsetsOf(const HeaderSpec& recipe);
PaletteSpec TestPalette(uint32_t k);  // each k a palette of its own
// Palettes TestPalette(0..13), 6 LOD records (1 and 4 free) whose blobs lie in ZarnoObj.lod as installation leaves
// them, 3 parents referring to LOD records 0, 2, 3 and 5 (5 still to install); lodWord 12000 reads back unchanged.
HeaderSpec StandardHeaderSpec();
// ZarnoObj.lod: BlobBytes(k, fileSize) at the offset of every record k with a size, kLodFillerByte (which
// installation never writes) elsewhere, up to the end of the last blob. PatternBytes differ by seed.
inline constexpr uint8_t kLodFillerByte = 0xEE;
std::vector<uint8_t> PatternBytes(uint32_t seed, size_t size);
inline std::vector<uint8_t> BlobBytes(uint32_t index, uint32_t size) { return PatternBytes(0x10000 + index, size); }
std::vector<uint8_t> BuildLodFile(const HeaderSpec& recipe);
// <root>/Objects/ZarnoObj.hdr, <root>/Objects/ZarnoObj.lod, <root>/Models/.
struct ObjectFolder { std::filesystem::path root, objectDir, modelDir, hdrPath, lodPath; };
inline ObjectFolder ObjectFolderAt(const std::filesystem::path& root) {
  return {root, root / "Objects", root / "Models", root / "Objects" / "ZarnoObj.hdr", root / "Objects" / "ZarnoObj.lod"};
}
bool WriteFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);
bool WriteObjectFolder(const ObjectFolder& folder, const HeaderSpec& recipe);  // both folders, hdr and lod
inline bool WriteModelFile(const ObjectFolder& folder, const std::string& name, std::span<const uint8_t> bytes) {
  return WriteFile(folder.modelDir / name, bytes);
}
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);  // empty when unreadable
inline std::string ReadFileText(const fs::path& path) {
  const Bytes bytes = ReadFileBytes(path); return {bytes.begin(), bytes.end()};
}
// A fresh folder under the system's temporary folder, removed with all it holds when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder() { std::error_code error; if (!path_.empty()) std::filesystem::remove_all(path_, error); }
  TempFolder(const TempFolder&) = delete; TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
 private:
  std::filesystem::path path_;
};
// Install-parent files as a model author writes them.
struct IhrLodEntry {
  float distance = 1000.0f; int32_t lodNumber = -1;
  std::string model = "model.3ds";  // form 0: the model file name line; other forms: the word after the number
};
struct IhrSpec {
  std::string versionLine = "2.0", name = "Sample";
  int32_t parentIndex = 1; std::array<float, 7> hitbox{1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f};
  int64_t hostParam1 = 100, hostParam2 = 200, hostParam3 = 3, hostParam4 = 4, hostParam5 = 5;
  std::vector<std::array<float, 3>> dynamicPoints{}, slots{};
  std::optional<int64_t> dynamicCount{}, lodRefCount{}, slotCount{};  // written instead of the list sizes
  int32_t lodEntryForm = 0; std::vector<IhrLodEntry> lods{};
  bool crlf = false;  // end lines with CR LF instead of LF
};
std::string NumberText(float value);  // the shortest text that reads back as the same float ("2.5", "-0.125")
std::string BuildIhrText(const IhrSpec& recipe);
inline bool WriteIhrFile(const fs::path& path, const IhrSpec& recipe) {
  const std::string text = BuildIhrText(recipe); return WriteFile(path, Bytes(text.begin(), text.end()));
}
// BMP images, well-formed or broken on purpose: every field is written as given.
struct BmpColor { uint8_t red = 0, green = 0, blue = 0, reserved = 0; };  // held as blue, green, red, reserved
struct BmpSpec {
  int32_t width = 16, height = 16;  // negative height: a top-down image
  uint16_t bitCount = 8; uint32_t compression = 0, clrUsed = 0;
  bool fileHeader = true;  // the 14-byte "BM" header
  uint32_t infoHeaderSize = 40;  // 12: a core header; other sizes: a 40-byte header naming it, zero-padded to it
  std::vector<BmpColor> colors = GreyColors();  // the whole colour table
  std::vector<std::vector<uint8_t>> rows{};  // top row first; written bottom-up, unpadded
  std::optional<size_t> truncateTo{};  // cut the built file to this length
  static std::vector<BmpColor> GreyColors();  // 256 entries, entry i being (i, i, i)
};
std::vector<uint8_t> BuildBmpFile(const BmpSpec& recipe);
// 8 bits, pixels MakeTextureImage(width, height, seed), palette k of StandardHeaderSpec() as colour table.
BmpSpec StandardTextureBmp(int32_t width, int32_t height, uint32_t paletteK, uint64_t seed);
// Orvane4.ct. Bytes the reader does not keep are `filler` (the f32 at record offset 24 is `droppedFloat`), so
// a reader looking in the wrong place finds values no test expects.
struct ClassSpec {
  std::array<uint8_t, 6> idBytes{}; std::array<uint16_t, 8> parentIndex{};
  uint8_t selectorByte = 0; uint32_t classWord = 0; float droppedFloat = 1234.5f; uint8_t filler = 0xA5;
};
struct ClassTableSpec {
  std::vector<ClassSpec> classes{};
  std::optional<int16_t> classCount{};  // written instead of the number of classes
  std::optional<size_t> cutTo{};  // the file keeps only this many bytes
  std::vector<uint8_t> trailingBytes{};  // after the last record
};
std::vector<uint8_t> BuildClassTableFile(const ClassTableSpec& recipe);
// `parents` in slots 0, 1, ... (the rest 0), idBytes[1] and selectorByte as given.
ClassSpec ClassNaming(std::vector<uint16_t> parents, uint8_t idByte1 = 0, uint8_t selectorByte = 0);
// Deterministic data, the same on every platform: SplitMix64, free of the standard distributions.
class FixtureRandom {
 public:
  explicit FixtureRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = state_ += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull, z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }  // bound > 0
  uint8_t Byte() { return static_cast<uint8_t>(Next() >> 56); }
 private:
  uint64_t state_;
};
// width × height palette indices, row after row, that look to a compressor like painted textures.
std::vector<uint8_t> MakeTextureImage(size_t width, size_t height, uint64_t seed);
inline std::vector<uint8_t> MakeRandomBytes(size_t length, uint64_t seed) {  // noise, which compresses worst
  std::vector<uint8_t> bytes(length);
  for (FixtureRandom random(seed); uint8_t& byte : bytes) byte = random.Byte();
  return bytes;
}
// The plain reference the product's LZSS encoder must match byte for byte.
std::vector<uint8_t> LzssCompressReference(std::span<const uint8_t> input);
}  // namespace zarno
