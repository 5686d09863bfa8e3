// PCX pictures: a 128-byte header, run-length coded scanlines of one or
// more planes, and for 256 colours a palette at the end. FORMAT.md has the
// layout.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "images/decode_support.h"

namespace tavero::images {

using detail::Fail;

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteSize = 769;  // 0x0C, then 256 × RGB

// The 16 colours of the classic EGA palette, for headers that leave their
// own palette zero.
constexpr std::array<std::array<std::uint8_t, 3>, 16> kEgaColours = {{
    {0, 0, 0}, {0, 0, 170}, {0, 170, 0}, {0, 170, 170}, {170, 0, 0}, {170, 0, 170}, {170, 85, 0}, {170, 170, 170},
    {85, 85, 85}, {85, 85, 255}, {85, 255, 85}, {85, 255, 255}, {255, 85, 85}, {255, 85, 255}, {255, 255, 85}, {255, 255, 255},
}};

}  // namespace

DecodeResult DecodePcx(std::span<const std::uint8_t> bytes, const DecodeLimits& limits) {
  if (bytes.size() < kHeaderSize) return Fail(ImageError::Truncated, "PCX: header ends early");
  detail::ByteReader in(bytes);
  const std::uint8_t manufacturer = in.u8();
  in.u8();  // version
  const std::uint8_t encoding = in.u8();
  const int bits = in.u8();
  const int x_min = in.u16();
  const int y_min = in.u16();
  const int x_max = in.u16();
  const int y_max = in.u16();
  in.skip(4);  // resolution
  const auto header_palette = in.bytes(48);
  in.u8();  // reserved
  const int planes = in.u8();
  const std::size_t bytes_per_line = in.u16();
  if (manufacturer != 0x0A) return Fail(ImageError::UnknownFormat, "PCX: no 0A signature byte");
  if (encoding > 1) return Fail(ImageError::Corrupt, "PCX: encoding " + std::to_string(encoding));
  if (x_max < x_min || y_max < y_min) return Fail(ImageError::Corrupt, "PCX: picture window is empty");
  const int width = x_max - x_min + 1;
  const int height = y_max - y_min + 1;

  enum class Kind { Planar, Palette256, TrueColour } kind;
  if (bits == 1 && planes >= 1 && planes <= 4) {
    kind = Kind::Planar;
  } else if ((bits == 2 || bits == 4) && planes == 1) {
    kind = Kind::Planar;
  } else if (bits == 8 && planes == 1) {
    kind = Kind::Palette256;
  } else if (bits == 8 && (planes == 3 || planes == 4)) {
    kind = Kind::TrueColour;
  } else {
    return Fail(ImageError::Unsupported,
                "PCX: " + std::to_string(bits) + " bits in " + std::to_string(planes) + " planes");
  }
  if (bytes_per_line * 8 < static_cast<std::size_t>(width) * static_cast<std::size_t>(bits)) {
    return Fail(ImageError::Corrupt, "PCX: scanline shorter than the picture's width");
  }

  DecodeResult result = detail::AllocateImage("PCX", width, height, limits);
  if (!result.ok()) return result;

  // The coded data ends where the 256-colour palette starts.
  std::span<const std::uint8_t> data = bytes.subspan(kHeaderSize);
  std::array<std::array<std::uint8_t, 3>, 256> palette{};
  if (kind == Kind::Palette256) {
    if (data.size() < kPaletteSize || data[data.size() - kPaletteSize] != 0x0C) {
      return Fail(ImageError::Corrupt, "PCX: no 256-colour palette at the end of the file");
    }
    const auto table = data.subspan(data.size() - kPaletteSize + 1);
    for (std::size_t i = 0; i < 256; ++i) palette[i] = {table[i * 3], table[i * 3 + 1], table[i * 3 + 2]};
    data = data.first(data.size() - kPaletteSize);
  } else if (kind == Kind::Planar) {
    const int colours = 1 << (bits * planes);
    if (colours == 2) {
      palette[0] = {0, 0, 0};
      palette[1] = {255, 255, 255};
    } else {
      const bool zero = std::all_of(header_palette.begin(), header_palette.end(), [](std::uint8_t b) { return b == 0; });
      for (int i = 0; i < colours; ++i) {
        palette[i] = zero ? kEgaColours[i]
                          : std::array<std::uint8_t, 3>{header_palette[i * 3], header_palette[i * 3 + 1], header_palette[i * 3 + 2]};
      }
    }
  }

  // Run-length coding: a byte with both top bits set is a count (its low
  // six bits) for the byte after it; any other byte stands for itself. Runs
  // may cross from one plane or scanline into the next.
  const std::size_t line = bytes_per_line * static_cast<std::size_t>(planes);
  std::vector<std::uint8_t> scanline(line);
  std::size_t at = 0;
  std::size_t pending = 0;  // bytes left of a run that crossed a scanline
  std::uint8_t pending_value = 0;
  Image& image = result.image;
  for (int y = 0; y < height; ++y) {
    std::size_t filled = 0;
    while (filled < line) {
      if (pending == 0) {
        if (at >= data.size()) return Fail(ImageError::Truncated, "PCX: pixel data ends early");
        const std::uint8_t b = data[at++];
        if (encoding == 1 && (b & 0xC0) == 0xC0) {
          if (at >= data.size()) return Fail(ImageError::Truncated, "PCX: pixel data ends inside a run");
          pending = b & 0x3F;
          pending_value = data[at++];
          continue;
        }
        pending = 1;
        pending_value = b;
      }
      const std::size_t take = std::min(pending, line - filled);
      std::fill_n(scanline.begin() + static_cast<std::ptrdiff_t>(filled), take, pending_value);
      filled += take;
      pending -= take;
    }
    for (int x = 0; x < width; ++x) {
      switch (kind) {
        case Kind::Planar: {
          // Plane p gives bit p of the index (for one plane, the whole
          // index, `bits` wide, from the top of each byte).
          unsigned index = 0;
          for (int p = 0; p < planes; ++p) {
            const std::size_t bit = static_cast<std::size_t>(x) * bits;
            const std::uint8_t byte = scanline[p * bytes_per_line + bit / 8];
            const unsigned value = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            index |= value << (p * bits);
          }
          const auto& c = palette[index];
          detail::PutPixel(image, x, y, c[0], c[1], c[2]);
          break;
        }
        case Kind::Palette256: {
          const auto& c = palette[scanline[x]];
          detail::PutPixel(image, x, y, c[0], c[1], c[2]);
          break;
        }
        case Kind::TrueColour:
          detail::PutPixel(image, x, y, scanline[x], scanline[bytes_per_line + x], scanline[2 * bytes_per_line + x],
                           planes == 4 ? scanline[3 * bytes_per_line + x] : std::uint8_t{255});
          break;
      }
    }
  }
  return result;
}

}  // namespace tavero::images
