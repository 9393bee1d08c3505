// Getting a stored texture back out of ZarnoObj.tex: the checks of its record
// and the decoding of its stream, one texture at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/platform.h"
#include "zarnoscope/inspected_folder.h"

namespace zarno {

// The second half: decodes the stored bytes of `record` (decodable, see
// below) into `pixels`. Touches nothing else, so any thread may run it.
std::optional<std::string> DecodeTextureStream(std::span<const uint8_t> stream, const TextureRecord& record,
                                               std::vector<uint8_t>& pixels);

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
  // The texture decoded and written as an 8-bit BMP image in its palette's
  // colours (see bitmap_writer.h). Nothing when that worked, else why not.
  std::optional<std::string> Image(uint32_t id, std::vector<uint8_t>& image);
  // The first half of Decode: reads the record's stored bytes into `stream`.
  std::optional<std::string> ReadStream(uint32_t id, std::vector<uint8_t>& stream);

 private:
  const InspectedFolder& folder_;
  std::unique_ptr<File> store_;
  std::vector<uint8_t> stream_, pixels_;
};

}  // namespace zarno
