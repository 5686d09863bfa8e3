// Internal to images/: the device-independent bitmap reader shared by BMP
// files, icon entries and DecodeDib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "images/image.h"

namespace tavero::images::detail {

struct DibPlacement {
  std::string_view format = "DIB";  // names the caller's format in messages
  // Where the pixels start, counted from the start of `bytes`; when absent
  // they follow the colour table.
  std::optional<std::size_t> pixel_offset;
  // An icon entry: the header states twice the height (the AND mask's rows
  // follow the colour rows), and the mask makes pixels transparent.
  bool icon = false;
};

// Decodes the bitmap whose header starts at `header_at` in `bytes`.
DecodeResult DecodeDibAt(std::span<const std::uint8_t> bytes, std::size_t header_at, const DibPlacement& placement,
                         const DecodeLimits& limits);

}  // namespace tavero::images::detail
