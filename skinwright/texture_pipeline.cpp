#include "skinwright/texture_pipeline.h"

#include <deque>

#include "core/ordered_workers.h"
#include "skinwright/lzss.h"
#include "skinwright/texture_store.h"

namespace zarno {
namespace {

// Each worker compresses with an encoder of its own, so every stream is the
// one a single encoder writes.
using Compressors = OrderedWorkers<std::vector<uint8_t>, std::vector<uint8_t>, LzssEncoder>;

std::vector<uint8_t> Compress(LzssEncoder& encoder, std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> stream(LzssWorstCaseSize(pixels.size()));
  stream.resize(encoder.Compress(pixels, stream));
  return stream;
}

// An image between its checks and its storing: its decided texture (the
// pixels are with the pool) or nothing for a rejected image, and the palette
// boxes its checks asked for.
struct ImageInFlight {
  std::optional<DecidedTexture> texture;
  uint32_t paletteBoxes = 0;
};

class ImageQueue {
 public:
  ImageQueue(TextureJobState& state, uint32_t threads) : state_(state), pool_(threads, Compress) {}

  void Add(std::optional<DecidedTexture> texture, uint32_t paletteBoxes) {
    if (texture) pool_.Submit(std::move(texture->pixels));
    images_.push_back({std::move(texture), paletteBoxes});
  }
  // Finishes the oldest images while the pool is full, or all of them.
  std::optional<std::string> Finish(bool all) {
    while (!images_.empty() && (all || pool_.InFlight() >= pool_.Capacity() || !images_.front().texture)) {
      if (std::optional<std::string> failure = FinishOldest()) return failure;
    }
    return std::nullopt;
  }

 private:
  std::optional<std::string> FinishOldest() {
    ImageInFlight image = std::move(images_.front());
    images_.pop_front();
    for (uint32_t i = 0; i < image.paletteBoxes; ++i) ShowPaletteError(state_.platform);
    if (!image.texture) return std::nullopt;
    const std::vector<uint8_t> stream = pool_.TakeOldest();
    return StoreTexture(state_, *image.texture, stream).failure;
  }

  TextureJobState& state_;
  Compressors pool_;
  std::deque<ImageInFlight> images_;
};

}  // namespace

std::optional<std::string> StoreImagesOnEveryCore(TextureJobState& state, const std::vector<std::string>& names,
                                                  uint32_t threads) {
  ImageQueue queue(state, threads);
  state.deferPaletteBoxes = true;
  std::optional<std::string> failure;
  for (const std::string& name : names) {
    state.deferredPaletteBoxes = 0;
    std::optional<DecidedTexture> texture = DecideTexture(state, state.paths.texDir + name);
    queue.Add(std::move(texture), state.deferredPaletteBoxes);
    if ((failure = queue.Finish(false))) break;
  }
  if (!failure) failure = queue.Finish(true);
  state.deferPaletteBoxes = false;
  return failure;
}

}  // namespace zarno
