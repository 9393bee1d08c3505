// The object folders the performance suite measures the programs on, built
// once per suite run with the test fixture kit and a few writers of its own
// for stores too large to hold in memory. Every size and seed is fixed, so two
// runs of the suite measure the same bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace zarno {

// ---- sizes the figures name ---------------------------------------------------
inline constexpr uint32_t kInstallParentFiles = 1000;
inline constexpr uint32_t kModelsPerParent = 3;
inline constexpr uint32_t kSmallestBlob = 4 * 1024;   // model files and stored blobs
inline constexpr uint32_t kLargestBlob = 64 * 1024;
inline constexpr uint32_t kLodCompactionRecords = 20000;  // every other one unused
inline constexpr uint32_t kTexCompactionRecords = 10000;  // every other one replaced
// The blob sizes of the compaction rows: 0 for the mix of kSmallestBlob to
// kLargestBlob, then small blobs of one size each.
inline constexpr uint32_t kCompactionBlobSizes[] = {0, 512, 2 * 1024, 8 * 1024};
inline constexpr uint32_t kRunTextures = 200;
inline constexpr uint32_t kFolderLodBlob = 16 * 1024;  // every blob of the full folder's ZarnoObj.lod
inline constexpr uint32_t kFolderImages = 24;          // distinct textures behind its ZarnoObj.tex records

// The texture run's image i: its width (256, 512 or 1024 in turn), the seed
// of its pixels and its identifier. The baseline compresses the same pixels.
uint32_t RunTextureWidth(uint32_t i);
uint64_t RunTextureSeed(uint32_t i);
int32_t RunTextureId(uint32_t i);

// An object folder as a fixture leaves it. A measurement works on a copy:
// the files in `copiedNames` are copied (the run changes them in place),
// every other file is hard-linked (the run at most replaces it by renaming).
struct ObjectFixture {
  std::filesystem::path objectDir;
  std::set<std::string> copiedNames;
  uint64_t headerBytes = 0;
  uint64_t storeBytes = 0;   // ZarnoObj.lod or ZarnoObj.tex as it lies
  uint64_t liveBytes = 0;    // what a compaction keeps of it
  uint64_t largestBlob = 0;  // the largest model file, blob or image file
};

// A content folder beside it: models or textures.
struct ContentFixture {
  ObjectFixture objects;
  std::filesystem::path contentDir;
  std::filesystem::path fileList;  // the content files in copy order, one path a line
  uint64_t contentBytes = 0;       // model bytes, or pixels of the textures
};

// Skinwright's largest header database: every count at its limit, every
// parent's lists full.
ObjectFixture BuildFullHeaderFixture(const std::filesystem::path& dir);

// 1000 install-parent files, each naming three new model files of 4 to 64 KiB,
// over a small database.
ContentFixture BuildInstallFixture(const std::filesystem::path& dir);

// ZarnoObj.lod with 20000 records of 4 to 64 KiB (or all of `blobSize`
// bytes) as installation lays them out; parents refer to every even record only.
ObjectFixture BuildLodCompactionFixture(const std::filesystem::path& dir, uint32_t blobSize);

// ZarnoObj.tex with 10000 records of 4 to 64 KiB (or all of `blobSize`
// bytes), every odd one replaced (its new blob appended behind the first
// 10000), and a texture folder with one image that the run rejects, so the
// run is the compaction.
ContentFixture BuildTexCompactionFixture(const std::filesystem::path& dir, uint32_t blobSize);

// 200 texture-like BMP images of 256 × 256 to 1024 × 1024 over the standard
// database and its small store.
ContentFixture BuildTextureRunFixture(const std::filesystem::path& dir);

// The full object folder Zarnoscope reads: Rigwright's limits (which Skinwright
// accepts too) reached by every count, every parent's lists full, beside its
// two stores.
struct FolderFixture {
  ObjectFixture objects;      // storeBytes: both stores; largestBlob: the longest stream
  uint64_t lodBytes = 0;      // ZarnoObj.lod
  uint64_t texBytes = 0;      // ZarnoObj.tex
  uint64_t largestPixels = 0; // the widest texture, decoded
  uint64_t pixelBytes = 0;    // every texture, decoded
};

// ZarnoObj.lod holds 20000 blobs of 16 KiB with installation's 10-byte gaps;
// ZarnoObj.tex 8000 LZSS streams of the production encoder, each record its
// own copy of the stream of one of 24 texture-like images of 128 x 128 to
// 512 x 512, so that a check decodes every record.
FolderFixture BuildFullFolderFixture(const std::filesystem::path& dir);

// Makes `work` a fresh copy of the fixture's object folder (see ObjectFixture).
bool PrepareWorkObjects(const ObjectFixture& fixture, const std::filesystem::path& work);
// Writes the files' pages to the disk and drops them from the page cache, so
// that the next read of them comes from the disk.
bool EvictFromPageCache(const std::vector<std::filesystem::path>& files);

}  // namespace zarno
