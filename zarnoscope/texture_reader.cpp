#include "zarnoscope/texture_reader.h"

#include "core/format.h"
#include "skinwright/lzss.h"
#include "skinwright/texture_store.h"
#include "zarnoscope/bitmap_writer.h"
#include "zarnoscope/lzss_decoder.h"

namespace zarno {
namespace {

bool InsideStore(const TextureRecord& record, std::optional<uint64_t> storeSize) {
  return storeSize && uint64_t{record.fileOffset} + record.dataSize <= *storeSize;
}

std::string DescribeDecodeFailure(const LzssDecodeResult& result, const TextureRecord& record) {
  const std::string pixels = std::to_string(uint64_t{record.width} * record.width);
  const std::string produced = std::to_string(result.produced), consumed = std::to_string(result.consumed);
  switch (result.outcome) {
    case LzssDecodeOutcome::kStreamTooShort:
      return Format("its %u stored bytes decode to only %s of %s pixels", record.dataSize, produced.c_str(),
                    pixels.c_str());
    case LzssDecodeOutcome::kMatchPastEnd:
      return Format("its stream runs past %s pixels (a match at pixel %s)", pixels.c_str(), produced.c_str());
    case LzssDecodeOutcome::kBytesLeftOver:
      return Format("its stream makes %s pixels from %s of its %u stored bytes", pixels.c_str(), consumed.c_str(),
                    record.dataSize);
    case LzssDecodeOutcome::kExact: break;
  }
  return {};
}

}  // namespace

TextureReader::TextureReader(Platform& platform, const InspectedFolder& folder)
    : folder_(folder), store_(platform.OpenFile(folder.PathOf(kTexFileName), OpenMode::kRead)) {}

std::vector<std::string> TextureReader::RecordProblems(uint32_t id) const {
  const TextureRecord& record = folder_.db->TextureTable[id];
  std::vector<std::string> problems;
  if (folder_.texSize && !InsideStore(record, folder_.texSize)) {
    problems.push_back(Format("its %u bytes at offset %u lie outside ZarnoObj.tex (%llu bytes)", record.dataSize,
                              record.fileOffset, static_cast<unsigned long long>(folder_.texSize.value_or(0))));
  }
  if (record.paletteIndex >= folder_.PaletteRecords()) {
    problems.push_back(
        Format("palette %u is not there (%u palettes)", record.paletteIndex, folder_.PaletteRecords()));
  }
  if (!IsTextureWidth(record.width)) {
    problems.push_back(Format("width %u is not a power of two from 16 to 4096", record.width));
  }
  return problems;
}

bool TextureReader::Decodable(uint32_t id) const {
  const TextureRecord& record = folder_.db->TextureTable[id];
  return InsideStore(record, folder_.texSize) && IsTextureWidth(record.width);
}

std::optional<std::string> TextureReader::ReadStream(uint32_t id, std::vector<uint8_t>& stream) {
  const TextureRecord& record = folder_.db->TextureTable[id];
  if (!folder_.texSize) return "ZarnoObj.tex is not there";
  if (!Decodable(id)) return RecordProblems(id).front();
  const size_t pixelCount = size_t{record.width} * record.width;
  if (record.dataSize > LzssWorstCaseSize(pixelCount)) {
    return Format("its %u stored bytes are more than any stream of %s pixels", record.dataSize,
                  std::to_string(pixelCount).c_str());
  }
  if (!store_ || !ReadStoreRange(*store_, record.fileOffset, record.dataSize, stream)) {
    return "its stored bytes cannot be read from ZarnoObj.tex";
  }
  return std::nullopt;
}

std::optional<std::string> TextureReader::Image(uint32_t id, std::vector<uint8_t>& image) {
  const TextureRecord& record = folder_.db->TextureTable[id];
  if (std::optional<std::string> problem = Decode(id, pixels_)) return problem;
  if (record.paletteIndex >= folder_.PaletteRecords()) return RecordProblems(id).front();
  image = EncodeTextureBitmap(folder_.db->PaletteTable[record.paletteIndex], record.width, pixels_);
  return std::nullopt;
}

std::optional<std::string> TextureReader::Decode(uint32_t id, std::vector<uint8_t>& pixels) {
  if (std::optional<std::string> problem = ReadStream(id, stream_)) return problem;
  return DecodeTextureStream(stream_, folder_.db->TextureTable[id], pixels);
}

std::optional<std::string> DecodeTextureStream(std::span<const uint8_t> stream, const TextureRecord& record,
                                               std::vector<uint8_t>& pixels) {
  pixels.resize(size_t{record.width} * record.width);
  const LzssDecodeResult result = LzssDecode(stream, pixels);
  if (result.outcome == LzssDecodeOutcome::kExact) return std::nullopt;
  return DescribeDecodeFailure(result, record);
}

}  // namespace zarno
