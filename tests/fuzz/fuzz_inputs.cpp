// Every reader of untrusted bytes: byte 0 picks the reader, byte 1 is its mode; a failed property aborts.
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <numeric>
#include "core/platform_posix.h"
#include "rigwright/install_parent.h"
#include "rigwright/lod_distances.h"
#include "skinwright/command_line.h"
#include "skinwright/lzss.h"
#include "skinwright/texture_image.h"
#include "skinwright/texture_paths.h"
#include "tests/support/kit.h"
#include "zarnoscope/folder_check.h"
#include "zarnoscope/listings.h"
#include "zarnoscope/lzss_decoder.h"
#include "zarnoscope/texture_reader.h"
using namespace zarno;
using Input = std::span<const uint8_t>;
#define CHECK(holds) ((holds) ? void() : (std::fprintf(stderr, "fuzz property failed: %s\n", #holds), std::abort()))
struct QuietPlatform : PosixPlatform {  // drops the box of a parent index outside the table
  QuietPlatform() : PosixPlatform("fuzz", false) {}
  void ShowMessageBox(std::string_view, std::string_view, BoxIcon, bool) override {}
};
// Small tables: the real ones take tens of megabytes to clear per read.
constexpr HeaderLimits kHeaderLimits[] = {{16, 16, 20, 22, 32, 32, 64, 64, 24, 26, false}, {32, 32, 24, 26, 40, 40,
    64, 64, 32, 34, true}, {8, 8, 20, 16, 8, 8, 16, 16, 8, 8, false}, {4, 4, 2, 4, 4, 4, 4, 4, 4, 6, true}};
constexpr HeaderLimits kBmpLimits{4, 4, 16, 16, 4, 4, 4, 4, 4, 4, true};  // 14 fixed palettes, 2 free places
constexpr uint32_t kParents = 3;  // parentCount before each install-parent file
// What lives across inputs as across a run's files.
struct Kept {
  std::vector<HeaderDatabase> first{std::begin(kHeaderLimits), std::end(kHeaderLimits)}, second = first;
  QuietPlatform platform;
  RigwrightSettings settings[2] = {{}, {.checkRun = true}};
  InstallPaths paths{.modelDir = "C:\\Orvane\\Models\\"};
  ModelJobState parsers[2] = {{platform, settings[0], paths}, {platform, settings[1], paths}};
  HeaderDatabase parents{kRigwrightLimits}, palettes{kBmpLimits};
  LzssEncoder encoder;
  // Two object folders for the inspector: one with a store of two texture streams (16 and 32 wide) at 0 and 96
  // and DDS copies, one with no store.
  std::string folders[2] = {MakeFolder(true), MakeFolder(false)};
  static std::string MakeFolder(bool store) {
    const fs::path dir = fs::temp_directory_path() / ("zarno-fuzz-" + std::to_string(::getpid()) + (store ? "-a" : "-b"));
    fs::create_directories(dir / "ZarnoObj");
    if (!store) return dir.string();
    Bytes tex = LzssCompressReference(MakeTextureImage(16, 16, 1));
    tex.resize(96);
    const Bytes second = LzssCompressReference(MakeTextureImage(32, 32, 2));
    tex.insert(tex.end(), second.begin(), second.end());
    WriteFile(dir / "ZarnoObj.tex", tex), WriteFile(dir / "ZarnoObj" / "5.dds", {}), WriteFile(dir / "ZarnoObj" / "x.dds", {});
    return dir.string();
  }
  Kept() {
    parents.parentCount = kRigwrightLimits.parentLimit;
    for (size_t p = 0; p < parents.ParentTable.size(); ++p) {
      parents.ParentTable[p].lodRefCount = static_cast<uint8_t>(p % 12);  // 11 is past the limit
      for (uint32_t j = 0; j < kMaxLodRefs; ++j) parents.ParentLists[p].lodDistance[j] = float((j * 7919 + p) % 300000);
    }
    for (int k = 0; k < 16; ++k) std::iota(palettes.PaletteTable[k].red, std::end(palettes.PaletteTable[k].red), 7 * k);
  }
} kept;
// ZarnoObj.hdr, mode bit 0 a check run, bits 1-2 the tables: what is safe to write back reads back alike.
void Header(uint8_t mode, Input file) {
  HeaderDatabase &db = kept.first[mode >> 1 & 3], &again = kept.second[mode >> 1 & 3];
  const ReadStatus status = ReadHeaderDatabase(file, db, mode & 1);
  CHECK(db.FreeLodList.size() == db.freeLodCount || db.FreeLodList.empty());
  if (!IsSafeToWriteBack(status, db)) return;
  const std::vector<uint8_t> written = WriteHeaderDatabase(db);
  CHECK(ReadHeaderDatabase(written, again, mode & 1) == status && WriteHeaderDatabase(again) == written);
}
// Install-parent files, mode bit 0 a check run, bit 1 read twice, bits 2-7 the LOD count: a parent taken lies in
// the table and under parentCount; a skipped one changes no count, names no model.
void InstallParent(uint8_t mode, Input file) {
  ModelJobState& state = kept.parsers[mode & 1];
  state.db.parentCount = kParents, state.db.lodCountAtRead = mode >> 2, state.lastParentIndex = -1;
  for (std::string& name : state.LodFileNames) name.clear();
  for (int pass = mode & 2 ? 2 : 1; pass > 0; --pass) {
    const int32_t p = ReadInstallParent(state, {reinterpret_cast<const char*>(file.data()), file.size()});
    CHECK(p == kParentSkipped ? state.db.parentCount == kParents && state.LodFileNames[0].empty()
        : p >= 0 && size_t(p) < std::min<size_t>(state.db.parentCount, state.db.ParentTable.size()));
    if (pass == 1 && p >= 0) state.db.ParentTable[size_t(p)] = {}, state.db.ParentLists[size_t(p)] = {};
  }
}
// Orvane4.ct and the distances, mode the two filters (15: any): read exactly when it holds every record announced.
void ClassTable(uint8_t mode, Input file) {
  ClassDatabase classes;
  const bool read = ParseClassTable(file, classes) == ClassTableParse::kRead;
  const int count = file.size() >= kClassCountSize ? static_cast<int16_t>(file[0] | file[1] << 8) : 0;
  CHECK(read == (count >= 0 && file.size() >= kClassCountSize + kClassRecordSize * size_t(std::max(count, 0))));
  CHECK(classes.ClassTable.size() == static_cast<size_t>(classes.classCount));
  const auto filter = [](int nibble) { return nibble == 15 ? -1 : nibble; };
  AdjustLodDistances(classes, {filter(mode & 15), filter(mode >> 4)}, {}, kept.parents);
}
// BMP images, mode bit 0 one free palette place, bit 1 its own table added first: pixels of its rows only; an added
// palette is found at its number or below; a full table takes none.
void Bmp(uint8_t mode, Input file) {
  HeaderDatabase& db = kept.palettes;
  DibColorCount(file);
  const BitmapFormat format = ReadBitmapFormat(file);
  const bool readable = CheckTextureBitmap(file) == BitmapDefect::kNone;
  const uint32_t rows = readable ? static_cast<uint32_t>(format.width) : 1;
  const std::optional<std::vector<uint8_t>> pixels = ReadTopRows(file, rows);
  CHECK(pixels.has_value() == readable && (!pixels || pixels->size() == size_t(format.width) * rows));
  CHECK(!pixels || !ReadTopRows(file, static_cast<uint32_t>(format.height) + 1u));
  db.paletteCount = kFixedPaletteCount + (mode & 1);
  const bool ownAdded = (mode & 2) != 0 && AddBitmapPalette(file, db);
  const int32_t ownNumber = static_cast<int32_t>(db.paletteCount) - 1, found = FindMatchingPalette(file, db);
  CHECK(found >= -1 && found <= ownNumber && (!ownAdded || found >= 0));
  const uint32_t before = db.paletteCount;
  const bool added = AddBitmapPalette(file, db);
  CHECK(db.paletteCount == before + added && (!added || before < kBmpLimits.paletteLimit));
}
// LZSS by an encoder kept across inputs: the reference encoder's stream, which decodes to the input. Mode bit 0:
// the input is a stream instead, decoded to (mode >> 1) * 64 bytes; an exact decoding uses it whole.
void Lzss(uint8_t mode, Input input) {
  if (mode & 1) {
    std::vector<uint8_t> output(static_cast<size_t>(mode >> 1) * 64);
    const LzssDecodeResult result = LzssDecode(input, output);
    CHECK(result.produced <= output.size() && result.consumed <= input.size());
    CHECK((result.outcome == LzssDecodeOutcome::kExact) ==
          (result.produced == output.size() && result.consumed == input.size()));
    return;
  }
  std::vector<uint8_t> stream(LzssWorstCaseSize(input.size())), output(input.size());
  stream.resize(kept.encoder.Compress(input, stream));
  CHECK((input.empty() || !stream.empty()) && stream == LzssCompressReference(input));
  CHECK(LzssDecode(stream, output).outcome == LzssDecodeOutcome::kExact && std::ranges::equal(output, input));
}
// ZarnoObj.hdr in an object folder, mode bit 0 without a store: every listing and check; a folder found healthy
// decodes every texture in use.
void Folder(uint8_t mode, Input file) {
  const std::string& dir = kept.folders[mode & 1];
  WriteFile(fs::path(dir) / "ZarnoObj.hdr", file);
  std::string error;
  const std::optional<InspectedFolder> folder =
      InspectFolder(kept.platform, dir, error, {kHeaderLimits[0], kHeaderLimits[1]});
  CHECK(folder.has_value());
  for (const auto listing : {ParentListing, LodListing, TextureListing, PaletteListing, SummaryReport}) {
    RenderText(listing(*folder)), RenderJson(listing(*folder));
  }
  FreeNumbers(*folder, mode & 2);
  const bool healthy = CheckFolder(kept.platform, *folder).empty();
  TextureReader reader(kept.platform, *folder);
  std::vector<uint8_t> pixels;
  for (uint32_t id = 0; id < folder->TextureRecords(); ++id) {
    if (TextureInUse(folder->db->TextureTable[id])) CHECK(!reader.Decode(id, pixels) || !healthy);
  }
}
// Both programs' argument lines: a folder is given exactly for a '~', the object folder only after the content one.
void ArgumentLine(uint8_t, Input bytes) {
  const std::string_view line(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const auto foldersHold = [&](const FolderArguments& f) {
    return f.contentDirGiven == (line.find('~') != line.npos) && (!f.objectDirGiven || f.contentDirGiven);
  };
  RigwrightSettings rig = ParseRigwrightArguments(line);
  SkinwrightSettings skin = ParseSkinwrightArguments(line);
  CHECK(foldersHold(rig.folders) && foldersHold(skin.folders) && rig.checkRun >= rig.folders.objectDirIsCheck);
  InstallPaths paths;
  ResolveModelFolders(kept.platform, rig.checkRun, rig.folders, paths);
  ResolveTexFolders(kept.platform, skin.checkRun, skin.folders, paths);
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr void (*kReaders[])(uint8_t, Input) = {Header, InstallParent, ClassTable, Bmp, Lzss, ArgumentLine, Folder};
  if (size >= 2) kReaders[data[0] % std::size(kReaders)](data[1], Input(data + 2, size - 2));
  return 0;
}
