// Getting a stored texture back out of ZarnoObj.tex: the checks of its record
// and the decoding of its stream, one texture at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/platform.h"
#include "zarnoscope/inspected_folder.h"

namespace zarno {

class TextureReader {
 public:
  TextureReader(Platform& platform, const InspectedFolder& folder);

  // What is wrong with the fields of record `id` (in use, below the record
  // count), in words: data outside the store, a palette that is not there, a
  // width that is no texture width. Empty when nothing is.
  std::vector<std::string> RecordProblems(uint32_t id) const;
  // Whether the record's stream can be decoded at all: inside the store and
  // of a texture width.
  bool Decodable(uint32_t id) const;
  // Decodes record `id` into `pixels` (width × width, top row first).
  // Nothing when that worked, else why not.
  std::optional<std::string> Decode(uint32_t id, std::vector<uint8_t>& pixels);

 private:
  const InspectedFolder& folder_;
  std::unique_ptr<File> store_;
  std::vector<uint8_t> stream_;
};

}  // namespace zarno
