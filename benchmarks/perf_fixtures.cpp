#include "benchmarks/perf_fixtures.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <numeric>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "core/format.h"
#include "core/header_database.h"
#include "skinwright/lzss.h"
#include "tests/support/kit.h"

namespace zarno {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kLodGap = 10;            // bytes installation leaves between blobs
constexpr uint32_t kLodParentRefs = 5;      // LOD references per parent of the compaction fixture
constexpr size_t kBlobPoolSize = 1 << 20;   // blobs are slices of this much noise
constexpr int32_t kRejectedImageWidth = 8;  // below the smallest texture width
constexpr uint32_t kRunWidths[] = {256, 512, 1024};

// ---- blob bytes -------------------------------------------------------------

// `count` sizes of kSmallestBlob to kLargestBlob, or all `fixedSize` when
// that is not 0.
std::vector<uint32_t> BlobSizes(uint64_t seed, size_t count, uint32_t fixedSize = 0) {
  FixtureRandom random(seed);
  std::vector<uint32_t> sizes(count, fixedSize);
  if (fixedSize > 0) return sizes;
  for (uint32_t& size : sizes) size = kSmallestBlob + random.Below(kLargestBlob - kSmallestBlob + 1);
  return sizes;
}

const std::vector<uint8_t>& BlobPool() {
  static const std::vector<uint8_t> pool = MakeRandomBytes(kBlobPoolSize + kLargestBlob, 77);
  return pool;
}

// Blob k's bytes: a slice of the pool that starts where k says.
std::span<const uint8_t> BlobSlice(uint64_t k, uint32_t size) {
  const size_t start = static_cast<size_t>((k * 7919) % kBlobPoolSize);
  return std::span<const uint8_t>(BlobPool()).subspan(start, size);
}

uint64_t Sum(const std::vector<uint32_t>& sizes) {
  return std::accumulate(sizes.begin(), sizes.end(), uint64_t{0});
}

uint64_t Largest(const std::vector<uint32_t>& sizes) {
  return sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
}

// Writes a store front to back without holding it in memory.
class StoreWriter {
 public:
  explicit StoreWriter(const fs::path& path) : file_(OpenInNewFolder(path)) {}
  ~StoreWriter() { Close(); }
  StoreWriter(const StoreWriter&) = delete;
  StoreWriter& operator=(const StoreWriter&) = delete;

  void Filler(uint32_t size) {
    const std::vector<uint8_t> filler(size, kLodFillerByte);
    Put(filler);
  }
  void Put(std::span<const uint8_t> bytes) {
    if (file_ && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
    written_ += bytes.size();
  }
  uint64_t Written() const { return written_; }
  bool Close() {
    if (!file_) return false;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed && !failed_;
  }

 private:
  static std::FILE* OpenInNewFolder(const fs::path& path) {
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    return std::fopen(path.c_str(), "wb");
  }

  std::FILE* file_;
  uint64_t written_ = 0;
  bool failed_ = false;
};

uint64_t FileBytes(const fs::path& path) {
  std::error_code error;
  const uintmax_t size = fs::file_size(path, error);
  return error ? 0 : static_cast<uint64_t>(size);
}

bool WriteHeader(const fs::path& objectDir, const HeaderSpec& recipe, ObjectFixture& fixture) {
  std::error_code error;
  fs::create_directories(objectDir, error);
  fixture.objectDir = objectDir;
  const std::vector<uint8_t> bytes = BuildHeaderFile(recipe);
  fixture.headerBytes = bytes.size();
  return WriteFile(objectDir / "ZarnoObj.hdr", bytes);
}

// ---- the full header database --------------------------------------------------

ParentSpec FullParent(FixtureRandom& random) {
  ParentSpec parent;
  for (float& value : parent.hitbox) value = static_cast<float>(random.Below(1000)) * 0.5f;
  parent.hostParam1 = static_cast<uint32_t>(random.Next());
  parent.hostParam2 = static_cast<uint32_t>(random.Next());
  parent.hostParam3 = static_cast<uint16_t>(1 + random.Below(100));
  parent.hostParam6 = static_cast<uint16_t>(random.Below(0x10000));
  auto point = [&random] {
    return std::array<float, 3>{static_cast<float>(random.Below(4000)) * 0.25f,
                                static_cast<float>(random.Below(4000)) * -0.25f,
                                static_cast<float>(random.Below(4000)) * 0.125f};
  };
  for (uint32_t i = 0; i < kMaxSlots; ++i) parent.slots.push_back(point());
  for (uint32_t i = 0; i < kMaxDynamicPoints; ++i) parent.dynamicPoints.push_back(point());
  for (uint32_t i = 0; i < kMaxLodRefs; ++i) {
    parent.lodRefs.push_back({LodRefFor(random.Below(kSkinwrightLimits.lodLimit)),
                              static_cast<float>(1000 * (i + 1))});
  }
  return parent;
}

// Every count at `limits`, every parent's lists full.
auto FullHeader(const HeaderLimits& limits) {
  FixtureRandom random(2024);
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.colors.assign(limits.colorLimit, ColorRecord{{0.25f, 0.5f, 0.75f, 1.0f}});
  recipe.palettes.clear();
  for (uint32_t k = 0; k < limits.paletteLimit; ++k) recipe.palettes.push_back(TestPalette(k));
  recipe.textures.clear();
  for (uint32_t i = 0; i < limits.textureLimit; ++i) {
    recipe.textures.push_back(TextureRecord{i * 4000, 4000, 64, 0, 0, 0xA0, 0xFF000000 + i, 0, i % 14, 0});
  }
  recipe.lods.clear();
  for (uint32_t k = 0; k < limits.lodLimit; ++k) recipe.lods.push_back(LodRecord{k, k + 1, k + 2, 10 + k * 100, 90});
  recipe.parents.clear();
  for (uint32_t p = 0; p < limits.parentLimit; ++p) recipe.parents.push_back(FullParent(random));
  return recipe;
}

// ---- install run ---------------------------------------------------------------

std::string ModelName(uint32_t file, uint32_t entry) { return Format("p%04u_%u", file, entry); }

IhrSpec InstallParentSpec(uint32_t file, int32_t parentIndex) {
  IhrSpec recipe;
  recipe.name = Format("Parent %u", file);
  recipe.parentIndex = parentIndex;
  recipe.slots = {{1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}};
  recipe.dynamicPoints = {{0.5f, 1.5f, -2.5f}};
  for (uint32_t entry = 0; entry < kModelsPerParent; ++entry) {
    recipe.lods.push_back({1000.0f * static_cast<float>(entry + 1), -1, ModelName(file, entry) + ".3ds"});
  }
  return recipe;
}

// ---- compactions ----------------------------------------------------------------

ParentSpec LodParent(uint32_t p) {
  ParentSpec parent;
  parent.hitbox = {-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f, 2.0f};
  for (uint32_t j = 0; j < kLodParentRefs; ++j) {
    parent.lodRefs.push_back({LodRefFor(2 * (p * kLodParentRefs + j)), 500.0f * static_cast<float>(j + 1)});
  }
  return parent;
}

TextureRecord StoredTexture(uint64_t offset, uint32_t size) {
  return TextureRecord{static_cast<uint32_t>(offset), size, 256, 0, 0, 0xA0, 0xFF7F5903, 0, 5, 0};
}

// ---- the full folder -------------------------------------------------------------

constexpr uint32_t kFolderWidths[] = {128, 256, 512};
constexpr uint64_t kFolderImageSeed = 5000;
constexpr uint32_t kFolderPalettes = 14;  // the records use the first palettes in turn

struct EncodedImage {
  uint32_t width = 0;
  std::vector<uint8_t> stream;
};

// The full folder's distinct textures, each compressed once.
std::vector<EncodedImage> EncodeFolderImages() {
  LzssEncoder encoder;
  std::vector<EncodedImage> images;
  for (uint32_t j = 0; j < kFolderImages; ++j) {
    const uint32_t width = kFolderWidths[j % std::size(kFolderWidths)];
    const std::vector<uint8_t> pixels = MakeTextureImage(width, width, kFolderImageSeed + j);
    EncodedImage image{width, std::vector<uint8_t>(LzssWorstCaseSize(pixels.size()))};
    image.stream.resize(encoder.Compress(pixels, image.stream));
    images.push_back(std::move(image));
  }
  return images;
}

// Writes a blob for every LOD record of `recipe` and points the record at it.
bool WriteFolderLod(const fs::path& path, auto& recipe, FolderFixture& fixture) {
  StoreWriter store(path);
  for (uint32_t k = 0; k < recipe.lods.size(); ++k) {
    store.Filler(kLodGap);
    recipe.lods[k] = LodRecord{k, 0, 0, static_cast<uint32_t>(store.Written()), kFolderLodBlob};
    store.Put(BlobSlice(k, kFolderLodBlob));
  }
  fixture.lodBytes = store.Written();
  return store.Close();
}

// Writes a copy of one image's stream for every texture record of `recipe`,
// back to back as Skinwright appends them, and points the record at it.
bool WriteFolderTex(const fs::path& path, auto& recipe, FolderFixture& fixture) {
  const std::vector<EncodedImage> images = EncodeFolderImages();
  StoreWriter store(path);
  for (uint32_t i = 0; i < recipe.textures.size(); ++i) {
    const EncodedImage& image = images[i % images.size()];
    const auto size = static_cast<uint32_t>(image.stream.size());
    const auto offset = static_cast<uint32_t>(store.Written());
    const uint32_t palette = i % kFolderPalettes;
    recipe.textures[i] = TextureRecord{offset, size, image.width, 0, 0, 0xA0, 0xFF000000 + i, 0, palette, 0};
    store.Put(image.stream);
    recipe.maxTextureSize = std::max(recipe.maxTextureSize, size);
    fixture.objects.largestBlob = std::max<uint64_t>(fixture.objects.largestBlob, size);
    fixture.largestPixels = std::max<uint64_t>(fixture.largestPixels, uint64_t{image.width} * image.width);
    fixture.pixelBytes += uint64_t{image.width} * image.width;
  }
  fixture.texBytes = store.Written();
  return store.Close();
}

bool WriteRejectedImage(const fs::path& texDir) {
  std::error_code error;
  fs::create_directories(texDir, error);
  return WriteFile(texDir / "1.bmp", BuildBmpFile(StandardTextureBmp(kRejectedImageWidth, kRejectedImageWidth, 5, 1)));
}

}  // namespace

uint32_t RunTextureWidth(uint32_t i) { return kRunWidths[i % std::size(kRunWidths)]; }
uint64_t RunTextureSeed(uint32_t i) { return 1000 + i; }
int32_t RunTextureId(uint32_t i) { return static_cast<int32_t>(100 + i); }

ObjectFixture BuildFullHeaderFixture(const fs::path& dir) {
  ObjectFixture fixture;
  if (!WriteHeader(dir / "Objects", FullHeader(kSkinwrightLimits), fixture)) return {};
  return fixture;
}

FolderFixture BuildFullFolderFixture(const fs::path& dir) {
  auto recipe = FullHeader(kRigwrightLimits);
  FolderFixture fixture;
  const fs::path objectDir = dir / "Objects";
  if (!WriteFolderLod(objectDir / "ZarnoObj.lod", recipe, fixture)) return {};
  if (!WriteFolderTex(objectDir / "ZarnoObj.tex", recipe, fixture)) return {};
  if (!WriteHeader(objectDir, recipe, fixture.objects)) return {};
  fixture.objects.storeBytes = fixture.lodBytes + fixture.texBytes;
  return fixture;
}

ContentFixture BuildInstallFixture(const fs::path& dir) {
  const ObjectFolder folder = ObjectFolderAt(dir);
  const HeaderSpec recipe = StandardHeaderSpec();
  if (!WriteObjectFolder(folder, recipe)) return {};
  ContentFixture fixture;
  fixture.objects.objectDir = folder.objectDir;
  fixture.objects.copiedNames = {"ZarnoObj.lod"};
  fixture.objects.headerBytes = FileBytes(folder.hdrPath);
  fixture.objects.storeBytes = FileBytes(folder.lodPath);
  fixture.contentDir = folder.modelDir;
  fixture.fileList = dir / "models.txt";
  const std::vector<uint32_t> sizes = BlobSizes(3, kInstallParentFiles * kModelsPerParent);
  std::string list;
  const int32_t firstParent = static_cast<int32_t>(recipe.parents.size());
  for (uint32_t file = 0; file < kInstallParentFiles; ++file) {
    const IhrSpec parent = InstallParentSpec(file, firstParent + static_cast<int32_t>(file));
    if (!WriteIhrFile(folder.modelDir / Format("p%04u.ihr", file), parent)) return {};
    for (uint32_t entry = 0; entry < kModelsPerParent; ++entry) {
      const uint32_t k = file * kModelsPerParent + entry;
      const fs::path model = folder.modelDir / (ModelName(file, entry) + ".lod");
      if (!WriteFile(model, BlobSlice(k, sizes[k]))) return {};
      list += model.string() + "\n";
    }
  }
  const std::vector<uint8_t> listBytes(list.begin(), list.end());
  if (!WriteFile(fixture.fileList, listBytes)) return {};
  fixture.contentBytes = Sum(sizes);
  fixture.objects.largestBlob = Largest(sizes);
  return fixture;
}

ObjectFixture BuildLodCompactionFixture(const fs::path& dir, uint32_t blobSize) {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.lods.clear();
  recipe.parents.clear();
  const std::vector<uint32_t> sizes = BlobSizes(4, kLodCompactionRecords, blobSize);
  ObjectFixture fixture;
  StoreWriter store(dir / "Objects.tmp");
  for (uint32_t k = 0; k < kLodCompactionRecords; ++k) {
    store.Filler(kLodGap);
    recipe.lods.push_back(LodRecord{k, 0, 0, static_cast<uint32_t>(store.Written()), sizes[k]});
    store.Put(BlobSlice(k, sizes[k]));
    if (k % 2 == 0) fixture.liveBytes += sizes[k];
  }
  for (uint32_t p = 0; p < kLodCompactionRecords / 2 / kLodParentRefs; ++p) recipe.parents.push_back(LodParent(p));
  fixture.storeBytes = store.Written();
  if (!store.Close() || !WriteHeader(dir / "Objects", recipe, fixture)) return {};
  std::error_code error;
  fs::rename(dir / "Objects.tmp", dir / "Objects" / "ZarnoObj.lod", error);
  if (error) return {};
  fixture.largestBlob = Largest(sizes);
  return fixture;
}

ContentFixture BuildTexCompactionFixture(const fs::path& dir, uint32_t blobSize) {
  HeaderSpec recipe = StandardHeaderSpec();
  recipe.textures.clear();
  const std::vector<uint32_t> sizes = BlobSizes(5, kTexCompactionRecords * 3 / 2, blobSize);
  ContentFixture fixture;
  ObjectFixture& objects = fixture.objects;
  StoreWriter store(dir / "Objects.tmp");
  for (uint32_t i = 0; i < kTexCompactionRecords; ++i) {
    recipe.textures.push_back(StoredTexture(store.Written(), sizes[i]));
    store.Put(BlobSlice(i, sizes[i]));
  }
  for (uint32_t i = 1, next = kTexCompactionRecords; i < kTexCompactionRecords; i += 2, ++next) {
    recipe.textures[i] = StoredTexture(store.Written(), sizes[next]);
    store.Put(BlobSlice(next, sizes[next]));
  }
  for (const TextureRecord& record : recipe.textures) {
    objects.liveBytes += record.dataSize;
    recipe.maxTextureSize = std::max(recipe.maxTextureSize, record.dataSize);
  }
  objects.storeBytes = store.Written();
  if (!store.Close() || !WriteHeader(dir / "Objects", recipe, objects)) return {};
  std::error_code error;
  fs::rename(dir / "Objects.tmp", dir / "Objects" / "ZarnoObj.tex", error);
  if (error) return {};
  objects.largestBlob = Largest(sizes);
  fixture.contentDir = dir / "Skins";
  if (!WriteRejectedImage(fixture.contentDir)) return {};
  return fixture;
}

ContentFixture BuildTextureRunFixture(const fs::path& dir) {
  ContentFixture fixture;
  ObjectFixture& objects = fixture.objects;
  if (!WriteHeader(dir / "Objects", StandardHeaderSpec(), objects)) return {};
  const std::vector<uint8_t> store = MakeRandomBytes(5500, 3);  // textures 0 and 2 of the standard database
  if (!WriteFile(objects.objectDir / "ZarnoObj.tex", store)) return {};
  objects.copiedNames = {"ZarnoObj.tex"};
  objects.storeBytes = store.size();
  fixture.contentDir = dir / "Skins";
  std::error_code error;
  fs::create_directories(fixture.contentDir, error);
  for (uint32_t i = 0; i < kRunTextures; ++i) {
    const auto width = static_cast<int32_t>(RunTextureWidth(i));
    const std::vector<uint8_t> image = BuildBmpFile(StandardTextureBmp(width, width, i % 14, RunTextureSeed(i)));
    if (!WriteFile(fixture.contentDir / Format("%d.bmp", RunTextureId(i)), image)) return {};
    fixture.contentBytes += uint64_t{RunTextureWidth(i)} * RunTextureWidth(i);
    objects.largestBlob = std::max<uint64_t>(objects.largestBlob, image.size());
  }
  return fixture;
}

bool PrepareWorkObjects(const ObjectFixture& fixture, const fs::path& work) {
  std::error_code error;
  fs::remove_all(work, error);
  fs::create_directories(work, error);
  if (error) return false;
  for (const fs::directory_entry& entry : fs::directory_iterator(fixture.objectDir, error)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    const fs::path target = work / name;
    if (fixture.copiedNames.count(name) > 0) {
      fs::copy_file(entry.path(), target, error);
    } else {
      fs::create_hard_link(entry.path(), target, error);
    }
    if (error) return false;
  }
  return !error;
}

}  // namespace zarno

namespace zarno {

bool EvictFromPageCache(const std::vector<fs::path>& files) {
  for (const fs::path& file : files) {
    const int fd = ::open(file.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool evicted = ::fdatasync(fd) == 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    if (!evicted) return false;
  }
  return true;
}

}  // namespace zarno
