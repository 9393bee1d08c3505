#include "zarnoscope/bitmap_writer.h"

#include "core/byte_stream.h"

namespace zarno {
namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kColorTableSize = 4 * kPaletteEntries;
constexpr uint16_t kBitmapSignature = 0x4D42;  // "BM"

}  // namespace

std::vector<uint8_t> EncodeTextureBitmap(const PaletteRecord& palette, uint32_t width,
                                         std::span<const uint8_t> pixels) {
  const uint32_t rowSize = (width + 3) & ~3u;  // rows fill whole 32-bit words
  const uint32_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + kColorTableSize;
  const uint32_t imageSize = rowSize * width;
  ByteWriter out;
  out.Reserve(pixelOffset + imageSize);
  out.WriteShort(kBitmapSignature);
  out.WriteLong(pixelOffset + imageSize);
  out.WriteLong(0);  // two reserved words
  out.WriteLong(pixelOffset);
  out.WriteLong(kInfoHeaderSize);
  out.WriteLong(width);
  out.WriteLong(width);  // a positive height: rows bottom-up
  out.WriteShort(1);     // planes
  out.WriteShort(8);     // bits per pixel
  out.WriteLong(0);      // no compression
  out.WriteLong(imageSize);
  out.WriteLong(0);      // horizontal and vertical resolution
  out.WriteLong(0);
  out.WriteLong(kPaletteEntries);  // colours used
  out.WriteLong(0);                // all of them important
  for (uint32_t i = 0; i < kPaletteEntries; ++i) {
    const uint8_t entry[4] = {palette.blue[i], palette.green[i], palette.red[i], 0};
    out.WriteBytes(entry);
  }
  const std::vector<uint8_t> padding(rowSize - width, 0);
  for (uint32_t row = width; row-- > 0;) {
    out.WriteBytes(pixels.subspan(size_t{row} * width, width));
    out.WriteBytes(padding);
  }
  return out.TakeBytes();
}

}  // namespace zarno
