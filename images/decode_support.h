// Internal to images/: the bounds-checked reader and the helpers every
// decoder shares. Not included outside this folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "images/image.h"

namespace tavero::images::detail {

inline DecodeResult Fail(ImageError error, std::string message) {
  DecodeResult result;
  result.error = error;
  result.message = std::move(message);
  return result;
}

// Reads little-endian fields from a byte span. A read past the end yields 0
// and sets `overrun`; callers test it once after a group of reads, so no read
// ever leaves the span.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes, std::size_t at = 0) : bytes_(bytes), at_(at) {
    if (at_ > bytes_.size()) {
      at_ = bytes_.size();
      overrun_ = true;
    }
  }

  std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)); }
  std::uint16_t u16() { return static_cast<std::uint16_t>(take(2)); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
  std::int32_t i32() { return static_cast<std::int32_t>(take(4)); }
  void skip(std::size_t count) {
    if (count > remaining()) {
      at_ = bytes_.size();
      overrun_ = true;
    } else {
      at_ += count;
    }
  }
  // The next `count` bytes; empty (and overrun) when fewer remain.
  std::span<const std::uint8_t> bytes(std::size_t count) {
    if (count > remaining()) {
      at_ = bytes_.size();
      overrun_ = true;
      return {};
    }
    const auto out = bytes_.subspan(at_, count);
    at_ += count;
    return out;
  }

  std::size_t position() const { return at_; }
  std::size_t remaining() const { return bytes_.size() - at_; }
  bool overrun() const { return overrun_; }

 private:
  std::uint64_t take(std::size_t count) {
    if (count > remaining()) {
      at_ = bytes_.size();
      overrun_ = true;
      return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i) value |= std::uint64_t{bytes_[at_ + i]} << (8 * i);
    at_ += count;
    return value;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool overrun_ = false;
};

// Checks the dimensions against the limits and only then takes the pixel
// memory (all transparent black). Fails with TooLarge or Corrupt.
inline DecodeResult AllocateImage(std::string_view format, std::int64_t width, std::int64_t height,
                                  const DecodeLimits& limits) {
  if (width <= 0 || height <= 0) {
    return Fail(ImageError::Corrupt, std::string(format) + ": width or height is zero or negative");
  }
  if (width > limits.max_width || height > limits.max_height ||
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4 > limits.max_pixel_bytes) {
    return Fail(ImageError::TooLarge, std::string(format) + ": " + std::to_string(width) + " x " +
                                          std::to_string(height) + " is beyond the size limits");
  }
  DecodeResult result;
  result.image.width = static_cast<int>(width);
  result.image.height = static_cast<int>(height);
  result.image.rgba.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
  return result;
}

inline void PutPixel(Image& image, int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
  std::uint8_t* p =
      image.rgba.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)) * 4;
  p[0] = r;
  p[1] = g;
  p[2] = b;
  p[3] = a;
}

}  // namespace tavero::images::detail
