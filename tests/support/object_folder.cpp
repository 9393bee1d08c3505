#include "tests/support/object_folder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

namespace zarno {

ObjectFolder ObjectFolderAt(const std::filesystem::path& root) {
  ObjectFolder folder;
  folder.root = root;
  folder.objectDir = root / "Objects";
  folder.modelDir = root / "Models";
  folder.hdrPath = folder.objectDir / "ZarnoObj.hdr";
  folder.lodPath = folder.objectDir / "ZarnoObj.lod";
  return folder;
}

std::vector<uint8_t> PatternBytes(uint32_t seed, size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = seed * 2654435761u + 12345u;
  for (uint8_t& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

std::vector<uint8_t> BlobBytes(uint32_t index, uint32_t size) { return PatternBytes(0x10000 + index, size); }

std::vector<uint8_t> BuildLodFile(const HeaderSpec& recipe) {
  size_t end = 0;
  for (const LodRecord& record : recipe.lods) {
    if (record.fileSize > 0) end = std::max<size_t>(end, size_t{record.fileOffset} + record.fileSize);
  }
  std::vector<uint8_t> file(end, kLodFillerByte);
  for (size_t k = 0; k < recipe.lods.size(); ++k) {
    const LodRecord& record = recipe.lods[k];
    const std::vector<uint8_t> blob = BlobBytes(static_cast<uint32_t>(k), record.fileSize);
    std::copy(blob.begin(), blob.end(), file.begin() + record.fileOffset);
  }
  return file;
}

bool WriteObjectFolder(const ObjectFolder& folder, const HeaderSpec& recipe) {
  std::error_code error;
  std::filesystem::create_directories(folder.objectDir, error);
  std::filesystem::create_directories(folder.modelDir, error);
  return WriteFile(folder.hdrPath, BuildHeaderFile(recipe)) && WriteFile(folder.lodPath, BuildLodFile(recipe));
}

bool WriteModelFile(const ObjectFolder& folder, const std::string& name, std::span<const uint8_t> bytes) {
  return WriteFile(folder.modelDir / name, bytes);
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ReadFileText(const std::filesystem::path& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace zarno
