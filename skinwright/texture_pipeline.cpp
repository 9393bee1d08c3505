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

// Images handed over per thread, at most: one being compressed, one whose
// stream waits for the images before it.
constexpr size_t kStreamsPerThread = 2;

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
  // Stores the oldest images whose streams are back, and waits until a
  // thread is free for the next image; with `all`, stores every image.
  // Streams that are back wait for their turn, up to one per thread, so a
  // large image does not keep the other threads idle.
  std::optional<std::string> Finish(bool all) {
    while (!images_.empty()) {
      const bool next = !images_.front().texture || all || pool_.OldestDone() ||
                        pool_.InFlight() >= kStreamsPerThread * pool_.Capacity();
      if (!next) {
        pool_.WaitForFreeThread();
        if (!pool_.OldestDone()) return std::nullopt;
      }
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
