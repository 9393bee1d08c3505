#include "zarnoscope/gallery.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "core/file_utils.h"
#include "core/format.h"
#include "zarnoscope/texture_reader.h"

namespace zarno {
namespace {

constexpr const char* kPageStart =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Textures</title>\n<style>\n"
    "body { font-family: sans-serif; background: #ddd; }\n"
    "figure { display: inline-block; vertical-align: top; margin: 6px; padding: 6px; background: #fff; }\n"
    "img { image-rendering: pixelated; image-rendering: crisp-edges; }\n"
    "figcaption { font-size: small; }\n.damaged { color: #a00; }\n</style></head><body>\n";

// Small textures are scaled up to 256 pixels, large ones shown at 512.
uint32_t ShownSize(uint32_t width) { return std::clamp<uint32_t>(width, 256, 512); }

std::string Figure(uint32_t id, const TextureRecord& record, uint32_t imageOf) {
  const uint32_t size = ShownSize(record.width);
  std::string figure = Format("<figure><img src=\"%u.bmp\" width=\"%u\" height=\"%u\" alt=\"texture %u\">"
                              "<figcaption>texture %u<br>%u &times; %u, palette %u, flags 0x%02X<br>%u stored bytes",
                              imageOf, size, size, id, id, record.width, record.width, record.paletteIndex,
                              record.flags, record.dataSize);
  if (imageOf != id) figure += Format("<br>the data of texture %u", imageOf);
  return figure + "</figcaption></figure>\n";
}

}  // namespace

GalleryResult WriteGallery(Platform& platform, const InspectedFolder& folder, const std::string& outDir) {
  GalleryResult result;
  const std::string outSlash = outDir.empty() || outDir.back() == platform.PathSeparator()
                                   ? outDir : outDir + platform.PathSeparator();
  if (!platform.MakeFolder(outDir)) {
    result.failure = outDir;
    return result;
  }
  TextureReader reader(platform, folder);
  std::vector<uint8_t> bitmap;
  std::map<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t>, uint32_t> written;  // blob and palette → image
  std::string figures;
  for (uint32_t id = 0; id < folder.TextureRecords(); ++id) {
    const TextureRecord& record = folder.db->TextureTable[id];
    if (!TextureInUse(record)) continue;
    const auto key = std::make_tuple(record.fileOffset, record.dataSize, record.width, record.paletteIndex);
    if (const auto earlier = written.find(key); earlier != written.end()) {
      figures += Figure(id, record, earlier->second);
      ++result.shown;
      continue;
    }
    if (const std::optional<std::string> problem = reader.Image(id, bitmap)) {
      result.damaged.push_back(Format("texture %u: ", id) + *problem);
      figures += Format("<figure class=\"damaged\"><figcaption>texture %u: %s</figcaption></figure>\n", id,
                        problem->c_str());
      continue;
    }
    const std::string image = outSlash + Format("%u.bmp", id);
    if (!WriteFileDurably(platform, image, bitmap)) {
      result.failure = image;
      return result;
    }
    written.emplace(key, id);
    figures += Figure(id, record, id);
    ++result.shown;
  }
  const std::string page = kPageStart + Format("<h1>%u textures</h1>\n", result.shown) + figures + "</body></html>\n";
  if (!WriteFileDurably(platform, outSlash + "index.html", std::span(reinterpret_cast<const uint8_t*>(page.data()),
                                                                       page.size()))) {
    result.failure = outSlash + "index.html";
    return result;
  }
  result.written = true;
  return result;
}

}  // namespace zarno
