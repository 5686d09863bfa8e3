// Any bytes given to one picture decoder (chosen at build time by
// TAVERO_IMAGE_DECODER: DecodeBmp, DecodeGif ...) give an error with a
// message or an image within the limits whose pixel bytes match its size,
// and the same bytes decode the same way twice.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "images/image.h"

namespace {

tavero::images::DecodeResult Decode(std::span<const std::uint8_t> bytes) {
  using namespace tavero::images;
  // Small caps keep each run fast; the checks against them are what is fuzzed.
  const DecodeLimits limits{.max_width = 2048, .max_height = 2048, .max_pixel_bytes = 4 << 20};
  return TAVERO_IMAGE_DECODER(bytes, limits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const auto first = Decode(bytes);
  if (!first.ok()) {
    if (first.message.empty() || !first.image.rgba.empty()) std::abort();
    return 0;
  }
  const auto& image = first.image;
  if (image.width <= 0 || image.height <= 0 || image.width > 2048 || image.height > 2048 ||
      image.rgba.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4) {
    std::abort();
  }
  const auto second = Decode(bytes);
  if (!second.ok() || second.image.rgba != image.rgba) std::abort();
  return 0;
}
