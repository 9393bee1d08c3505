#include "skinwright/texture_store.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "core/format.h"
#include "core/replacement_journal.h"
#include "skinwright/lzss.h"
#include "skinwright/texture_id.h"
#include "skinwright/texture_image.h"

namespace zarno {
namespace {

constexpr uint32_t kTrueColorCount = 256;  // the only colour count a texture may have

// One image on its way through the checks.
struct ImageInHand {
  std::string name;  // the file name, without its folder
  int32_t id = -1;
  std::unique_ptr<FileView> view;
  std::span<const uint8_t> bytes;
  BitmapFormat format;
  uint32_t palette = 0;
};

// ---- identifier -----------------------------------------------------------

// A check run's identifier checks, in order: an identifier at all, the
// duplicate of the image just before, the range of the table.
// A dups-only run reports duplicates and nothing else.
bool CheckIdentifier(TextureJobState& state, ImageInHand& image) {
  const bool reportAll = !state.settings.dupsOnly;
  std::optional<int32_t> id = TextureIdOfName(image.name);
  if (!id) {
    if (reportAll) state.ReportLine(Format("Tex file %s has no ID number.\n", image.name.c_str()));
    state.lastTexId.reset();
    return false;
  }
  image.id = *id;
  if (state.lastTexId == image.id) {
    state.ReportLine(Format("Tex ID %d duplicated.\n", image.id));
    return false;
  }
  state.lastTexId = image.id;
  if (!IsTextureIdInRange(state.db, image.id)) {
    if (reportAll) state.ReportLine(Format("Tex ID %d is out of range.\n", image.id));
    return false;
  }
  return true;
}

bool TakeIdentifier(const TextureJobState& state, ImageInHand& image) {
  std::optional<int32_t> id = TextureIdOfName(image.name);
  if (!id || !IsTextureIdInRange(state.db, *id)) return false;
  image.id = *id;
  return true;
}

// ---- the image file ---------------------------------------------------------

// Reads the image once and checks that it is a texture that can be stored:
// 256 colours, a power-of-two width, and nothing wrong with its layout. An
// image that cannot be read whole has no colours.
bool CheckImage(TextureJobState& state, const std::string& path, ImageInHand& image) {
  image.view = state.platform.ViewFile(path);
  if (image.view) {
    image.bytes = image.view->Bytes();
    image.format = ReadBitmapFormat(image.bytes);
  }
  if (image.format.colorCount != kTrueColorCount) {
    state.ReportLine(Format("Tex ID %d has only %d colors.\n", image.id,
                            static_cast<int>(image.format.colorCount)));
    return false;
  }
  if (!IsTextureWidth(static_cast<uint32_t>(image.format.width))) {
    state.ReportLine(Format("Tex ID %d size is not power of 2.\n", image.id));
    return false;
  }
  BitmapDefect defect = CheckTextureBitmap(image.bytes);
  if (defect != BitmapDefect::kNone) {
    std::string reason(DescribeBitmapDefect(defect));
    state.ReportLine(Format("Tex ID %d file %s %s.\n", image.id, image.name.c_str(), reason.c_str()));
    return false;
  }
  return true;
}

// ---- palette ----------------------------------------------------------------

// Adds the image's colour table as a new palette and finds it again. A new
// palette needs the fixed palettes below it and room in the table; without
// either the image has no palette, which the palette box says.
bool AddPaletteForImage(TextureJobState& state, ImageInHand& image) {
  HeaderDatabase& db = state.db;
  if (!HasFixedPalettes(db)) {
    state.PaletteBox();
    state.ReportLine(Format("Tex ID %d file %s needs a new palette, but ZarnoObj.hdr has only %u palettes.\n",
                            image.id, image.name.c_str(), db.paletteCount));
    return false;
  }
  if (!HasRoomForPalette(db) || !AddBitmapPalette(image.bytes, db)) {
    state.PaletteBox();
    state.ReportLine(Format("Tex ID %d file %s has no room for its palette.\n", image.id, image.name.c_str()));
    return false;
  }
  int32_t found = FindMatchingPalette(image.bytes, db);
  if (found < 0) {
    state.PaletteBox();
    state.ReportLine(Format("Tex ID %d file %s load error.\n", image.id, image.name.c_str()));
    return false;
  }
  image.palette = static_cast<uint32_t>(found);
  return true;
}

// The palette whose colours equal the image's colour table, added when
// there is none yet (it then stays, whatever becomes of the image).
bool FindPaletteForImage(TextureJobState& state, ImageInHand& image) {
  int32_t found = FindMatchingPalette(image.bytes, state.db);
  if (found >= 0) {
    image.palette = static_cast<uint32_t>(found);
    return true;
  }
  return AddPaletteForImage(state, image);
}

// ---- storing ------------------------------------------------------------------

// Writes `stream` into the existing store at `offset`; the file is never
// shortened. False when any step fails.
bool AppendToTexStore(Platform& platform, const InstallPaths& paths, uint64_t offset,
                      std::span<const uint8_t> stream) {
  std::unique_ptr<File> store = platform.OpenFile(TexStorePath(paths), OpenMode::kUpdate);
  if (!store) return false;
  bool written = store->Seek(offset) && store->Write(stream.data(), stream.size());
  bool closed = store->Close();
  return written && closed;
}

// Copies a DDS image to its ".new" name in the ZarnoObj folder. A copy that
// fails with an image that cannot even be opened is a skipped image; any
// other failed copy could not be written.
ImageResult StageDdsCopy(TextureJobState& state, const std::string& path, const std::string& copyName) {
  const std::string destination = NewFilePath(state.paths.objectDirSlash, copyName);
  if (state.platform.CopyFile(path, destination)) {
    std::vector<std::string>& staged = state.stagedDdsCopies;
    if (std::find(staged.begin(), staged.end(), copyName) == staged.end()) staged.push_back(copyName);
    return {true, std::nullopt};
  }
  if (!state.platform.OpenFile(path, OpenMode::kRead)) return {};
  return {false, Format("Can not copy %s to %s", path.c_str(), destination.c_str())};
}

}  // namespace

// ---- record rules -----------------------------------------------------------

bool IsTextureWidth(uint32_t width) {
  for (uint32_t candidate = kMinTextureWidth; candidate <= kMaxTextureWidth; candidate *= 2) {
    if (width == candidate) return true;
  }
  return false;
}

bool IsTextureIdInRange(const HeaderDatabase& db, int32_t id) {
  return id >= 0 && static_cast<size_t>(id) < db.TextureTable.size();
}

uint32_t PaletteColorWord(const PaletteRecord& palette) {
  return kOpaqueAlpha + (static_cast<uint32_t>(palette.blue[0]) << 16) +
         (static_cast<uint32_t>(palette.green[0]) << 8) + palette.red[0];
}

uint32_t TextureColorWord(const HeaderDatabase& db, uint32_t paletteIndex) {
  if (paletteIndex < kFixedPaletteCount) return ColorKeyTable[paletteIndex];
  if (paletteIndex >= db.PaletteTable.size()) return kOpaqueAlpha;
  return PaletteColorWord(db.PaletteTable[paletteIndex]);
}

// Behind the furthest end of any record in use. In a store as installation
// and compaction leave it that is the end of the record that starts
// furthest; with records that overlap or nest, it is the one place where the
// new data cannot land on data that a record still names.
uint64_t TexAppendOffset(const HeaderDatabase& db) {
  const size_t count = std::min<size_t>(db.textureCount, db.TextureTable.size());
  uint64_t end = 0;
  for (size_t i = 0; i < count; ++i) {
    const TextureRecord& record = db.TextureTable[i];
    if (record.dataSize != 0) end = std::max<uint64_t>(end, uint64_t{record.fileOffset} + record.dataSize);
  }
  return end;
}

void GrowTextureTable(HeaderDatabase& db, uint32_t texId) {
  if (texId < db.textureCount || texId >= db.TextureTable.size()) return;
  for (uint32_t i = db.textureCount; i < texId; ++i) db.TextureTable[i] = TextureRecord{};
  db.textureCount = texId + 1;
}

TextureRecord StoredTextureRecord(const HeaderDatabase& db, uint32_t fileOffset, uint32_t dataSize,
                                  uint32_t width, uint32_t paletteIndex) {
  TextureRecord record{};
  record.fileOffset = fileOffset;
  record.dataSize = dataSize;
  record.width = width;
  record.flags = paletteIndex == kTransparentPalette ? kTransparentFlags : kTextureFlags;
  record.color = TextureColorWord(db, paletteIndex);
  record.paletteIndex = paletteIndex;
  return record;
}

TextureRecord DdsPlaceholderRecord(const HeaderDatabase& db) {
  const TextureRecord& first = db.TextureTable[0];
  TextureRecord record{};
  record.fileOffset = first.fileOffset;
  record.dataSize = first.dataSize;
  record.width = first.width;
  record.flags = kTransparentFlags;
  record.color = TextureColorWord(db, kDdsColorPalette);
  record.paletteIndex = first.paletteIndex;
  return record;
}

std::string TexStorePath(const InstallPaths& paths) {
  return Format(kTexStorePathFormat, paths.objectDirSlash.c_str());
}

// ---- operations ---------------------------------------------------------------

std::optional<DecidedTexture> DecideTexture(TextureJobState& state, const std::string& path) {
  ImageInHand image;
  image.name = std::string(FileNameOfPath(path, state.platform.PathSeparator()));
  if (state.settings.checkRun) {
    if (!CheckIdentifier(state, image) || state.settings.dupsOnly) return std::nullopt;
  } else if (!TakeIdentifier(state, image)) {
    return std::nullopt;
  }
  if (!CheckImage(state, path, image) || !FindPaletteForImage(state, image)) return std::nullopt;
  const uint32_t width = static_cast<uint32_t>(image.format.width);
  std::optional<std::vector<uint8_t>> pixels = ReadTopRows(image.bytes, width);
  if (!pixels || pixels->size() != size_t{width} * width) {
    state.ReportLine(Format("Tex ID %d file %s load error.\n", image.id, image.name.c_str()));
    return std::nullopt;
  }
  if (state.settings.checkRun) {
    state.ReportLine(Format("Tex ID %d file %s good, so far.\n", image.id, image.name.c_str()));
    return std::nullopt;
  }
  return DecidedTexture{static_cast<uint32_t>(image.id), width, image.palette, std::move(*pixels)};
}

// Records the stream of a decided texture under its identifier. Nothing is
// recorded unless every byte reached the store.
ImageResult StoreTexture(TextureJobState& state, const DecidedTexture& texture, std::span<const uint8_t> stream) {
  const uint64_t offset = TexAppendOffset(state.db);
  if (offset + stream.size() > std::numeric_limits<uint32_t>::max()) return {};
  if (!AppendToTexStore(state.platform, state.paths, offset, stream)) {
    return {false, Format("Can not write ZarnoObj.tex: %s", TexStorePath(state.paths).c_str())};
  }
  HeaderDatabase& db = state.db;
  const uint32_t size = static_cast<uint32_t>(stream.size());
  GrowTextureTable(db, texture.id);
  db.TextureTable[texture.id] = StoredTextureRecord(db, static_cast<uint32_t>(offset), size, texture.width,
                                                    texture.palette);
  if (size > db.maxTextureSize) db.maxTextureSize = size;
  return {true, std::nullopt};
}

// The copy waits under its ".new" name until the job replaces all copies and
// the header database together; the record changes only for a copy made.
ImageResult InstallDdsTexture(TextureJobState& state, const std::string& path) {
  const char separator = state.platform.PathSeparator();
  std::optional<int32_t> id = TextureIdOfName(FileNameOfPath(path, separator));
  if (!id || !IsTextureIdInRange(state.db, *id)) return {};
  const std::string copyName = std::string(kDdsFolderName) + separator + Format("%d.dds", *id);
  ImageResult result = StageDdsCopy(state, path, copyName);
  if (!result.stored) return result;
  HeaderDatabase& db = state.db;
  const uint32_t texId = static_cast<uint32_t>(*id);
  GrowTextureTable(db, texId);
  if (db.TextureTable[texId].dataSize == 0) db.TextureTable[texId] = DdsPlaceholderRecord(db);
  return result;
}

}  // namespace zarno
