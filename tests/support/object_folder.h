// The fixture kit's object folders: a header database written from a
// HeaderSpec together with the ZarnoObj.lod that matches it (each used LOD
// record's blob at its offset, with bytes of its own), a models folder
// beside it, and the model files put into it.
//
//   <root>/Objects/ZarnoObj.hdr
//   <root>/Objects/ZarnoObj.lod
//   <root>/Models/
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "tests/support/header_builder.h"

namespace zarno {

// What lies between blobs in a ZarnoObj.lod built here. Installation never
// writes these bytes, so tests can see that they stay.
inline constexpr uint8_t kLodFillerByte = 0xEE;

struct ObjectFolder {
  std::filesystem::path root;
  std::filesystem::path objectDir;
  std::filesystem::path modelDir;
  std::filesystem::path hdrPath;
  std::filesystem::path lodPath;
};

// The folder layout below `root`; nothing is written.
ObjectFolder ObjectFolderAt(const std::filesystem::path& root);

// `size` deterministic bytes; different seeds give different bytes.
std::vector<uint8_t> PatternBytes(uint32_t seed, size_t size);

// The blob of LOD record `index`.
std::vector<uint8_t> BlobBytes(uint32_t index, uint32_t size);

// The ZarnoObj.lod that `recipe` describes: BlobBytes(k, fileSize) at the
// offset of every record k with a size, kLodFillerByte everywhere else; it
// ends where the last blob ends.
std::vector<uint8_t> BuildLodFile(const HeaderSpec& recipe);

// Creates both folders and writes ZarnoObj.hdr and ZarnoObj.lod from `recipe`.
bool WriteObjectFolder(const ObjectFolder& folder, const HeaderSpec& recipe);

// Writes a model file into the models folder.
bool WriteModelFile(const ObjectFolder& folder, const std::string& name, std::span<const uint8_t> bytes);

// A whole file's bytes; empty when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
std::string ReadFileText(const std::filesystem::path& path);

}  // namespace zarno
