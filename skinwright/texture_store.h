// The texture store: BMP images compressed into ZarnoObj.tex and named by the
// texture record of their identifier, DDS images copied into the ZarnoObj
// folder. Also the rules for the records it fills.
//
// ZarnoObj.tex is a run of LZSS streams with no header, no separators and no
// padding, each found only through a TextureRecord (fileOffset, dataSize).
// New streams always go behind the stream that begins furthest into the file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>
#include <string_view>

#include "core/header_database.h"
#include "core/install_paths.h"
#include "skinwright/texture_image.h"
#include "skinwright/texture_job_state.h"

namespace zarno {

// ---- names ----------------------------------------------------------------
inline constexpr std::string_view kTexFileName = "ZarnoObj.tex";
// The store as the host's code opens it; file names ignore case.
inline constexpr const char* kTexStorePathFormat = "%sZarnoobj.tex";

// ---- record values --------------------------------------------------------
inline constexpr uint32_t kTransparentPalette = 2;     // its textures get kTransparentFlags
inline constexpr uint32_t kTextureFlags = 0xA0;
inline constexpr uint32_t kTransparentFlags = 0xE0;
inline constexpr uint32_t kDdsColorPalette = 14;       // the palette a DDS placeholder's colour comes from
inline constexpr uint32_t kOpaqueAlpha = 0xFF000000;   // alpha byte of a computed colour word
inline constexpr uint32_t kMinTextureWidth = 16;
inline constexpr uint32_t kMaxTextureWidth = 4096;

// The colour words of the fixed palettes (kFixedPaletteCount of them); bytes from the most significant:
// alpha, blue, green, red.
inline constexpr std::array<uint32_t, kFixedPaletteCount> ColorKeyTable = {
    0xFFFF0000, 0xFFFF00FF, 0x00000000, 0xFFFF00FF, 0xFF000000, 0xFF7F5903, 0xFF815A02,
    0xFFFF00FF, 0xFFFF00FF, 0xFFFF00FF, 0xFFFF0000, 0xFFFF00FF, 0xFFFF0000, 0xFFFF00FF,
};

// ---- record rules ---------------------------------------------------------
// Whether `width` is a power of two from 16 to 4096.
bool IsTextureWidth(uint32_t width);

// Whether `id` names a record the table can hold (0 ... capacity - 1).
bool IsTextureIdInRange(const HeaderDatabase& db, int32_t id);

// 0xFF000000 + (blue[0] << 16) + (green[0] << 8) + red[0].
uint32_t PaletteColorWord(const PaletteRecord& palette);

// The colour word of a texture drawn with palette `paletteIndex`: the
// ColorKeyTable entry for a fixed palette, else computed from the palette.
uint32_t TextureColorWord(const HeaderDatabase& db, uint32_t paletteIndex);

// Where the next stream goes: behind the used record with the greatest
// fileOffset (the lowest index among equals), or 0 when no record is used.
uint64_t TexAppendOffset(const HeaderDatabase& db);

// Makes record `texId` part of the table: the records from textureCount up to
// it are cleared and textureCount becomes texId + 1. `texId` must be in range.
void GrowTextureTable(HeaderDatabase& db, uint32_t texId);

// The record of a BMP texture stored at `fileOffset`.
TextureRecord StoredTextureRecord(const HeaderDatabase& db, uint32_t fileOffset, uint32_t dataSize,
                                  uint32_t width, uint32_t paletteIndex);

// The record of a DDS texture: it shares texture 0's data.
TextureRecord DdsPlaceholderRecord(const HeaderDatabase& db);

// The path of the store, built as the host's code builds it.
std::string TexStorePath(const InstallPaths& paths);

// ---- operations -----------------------------------------------------------
// What became of one image.
struct ImageResult {
  // The texture was stored or copied.
  bool stored = false;
  // Set when a file of the object folder could not be written: the job must
  // end. It names the file and what failed.
  std::optional<std::string> failure;
};

// A BMP image that passed every check, with its palette found or added and
// its pixels read: only its compression and storing are left.
struct DecidedTexture {
  uint32_t id;
  uint32_t width;
  uint32_t palette;
  std::vector<uint8_t> pixels;  // the top width rows, top row first
};

// Checks one BMP image and finds or adds its palette. In a check run every
// image gets at most one line of TexErrorList.txt and nothing comes back
// (a dups-only check run opens no image). An image that cannot be read is
// rejected like any other: silently outside check runs, with its line in a
// check run.
std::optional<DecidedTexture> DecideTexture(TextureJobState& state, const std::string& path);

// Appends the stream of a decided texture to ZarnoObj.tex behind the data
// of every record in use and points the texture's record at it.
ImageResult StoreTexture(TextureJobState& state, const DecidedTexture& texture, std::span<const uint8_t> stream);

// Copies a DDS image into the ZarnoObj folder as "<id>.dds.new", in every
// kind of run, noting it in state.stagedDdsCopies (the job puts the copies in
// place of the old ones at its end), and gives its identifier a placeholder
// record when that record is unused. An image that cannot be read is
// skipped; a copy that cannot be written is a failure.
ImageResult InstallDdsTexture(TextureJobState& state, const std::string& path);

}  // namespace zarno
