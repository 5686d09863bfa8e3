// Device-independent bitmaps: BMP files, bitmaps inside icons and metafile
// records. The layouts are written down in FORMAT.md.
#include "images/dib.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string>
#include <vector>

#include "images/decode_support.h"

namespace tavero::images {
namespace detail {
namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// One colour channel of a 16- or 32-bit pixel, described by its mask.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  static Channel FromMask(std::uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (mask == 0) return c;
    c.shift = std::countr_zero(mask);
    c.bits = std::popcount(mask >> c.shift);
    return c;
  }
  // The channel's value widened (or narrowed) to 8 bits by repeating its bit
  // pattern, so that all ones gives 255.
  std::uint8_t Extract(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    std::uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<std::uint8_t>(v >> (bits - 8));
    std::uint32_t out = 0;
    for (int filled = 0; filled < 8; filled += bits) out = (out << bits) | v;
    return static_cast<std::uint8_t>(out >> (((8 + bits - 1) / bits) * bits - 8));
  }
};

struct Header {
  std::int64_t width = 0;
  std::int64_t height = 0;  // rows of the colour bitmap, positive
  bool top_down = false;
  int bits = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t colours_used = 0;
  bool core = false;  // the 12-byte header, 3-byte colour table entries
  std::array<Channel, 4> channels;  // red, green, blue, alpha
  bool has_alpha_mask = false;
};

std::string Prefix(const DibPlacement& placement) { return std::string(placement.format) + ": "; }

// The colour rows. Every pixel reads its row through the span `row`, which
// holds exactly one stride of bytes.
void DecodeRow(const Header& h, std::span<const std::uint8_t> row, std::span<const Rgba> palette, Image& image, int y,
               bool& any_alpha) {
  const int width = image.width;
  for (int x = 0; x < width; ++x) {
    Rgba c;
    switch (h.bits) {
      case 1:
      case 2:
      case 4:
      case 8: {
        const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(h.bits);
        const unsigned shift = 8 - h.bits - (bit % 8);
        const unsigned index = (row[bit / 8] >> shift) & ((1u << h.bits) - 1);
        c = index < palette.size() ? palette[index] : Rgba{};
        break;
      }
      case 16: {
        const std::uint32_t v = row[x * 2] | (row[x * 2 + 1] << 8);
        c = {h.channels[0].Extract(v), h.channels[1].Extract(v), h.channels[2].Extract(v),
             h.has_alpha_mask ? h.channels[3].Extract(v) : std::uint8_t{255}};
        break;
      }
      case 24:
        c = {row[x * 3 + 2], row[x * 3 + 1], row[x * 3], 255};
        break;
      case 32: {
        const std::size_t at = static_cast<std::size_t>(x) * 4;
        const std::uint32_t v = row[at] | (row[at + 1] << 8) | (row[at + 2] << 16) | (std::uint32_t{row[at + 3]} << 24);
        c = {h.channels[0].Extract(v), h.channels[1].Extract(v), h.channels[2].Extract(v),
             h.has_alpha_mask ? h.channels[3].Extract(v) : std::uint8_t{255}};
        if (h.has_alpha_mask && c.a != 0) any_alpha = true;
        break;
      }
    }
    PutPixel(image, x, y, c.r, c.g, c.b, c.a);
  }
}

// RLE8 and RLE4, read as pairs of bytes:
//   n c        a run of n pixels (RLE4: alternating the two nibbles of c)
//   0 0        end of row        0 1   end of bitmap
//   0 2 dx dy  move right dx and up dy rows
//   0 n ...    n literal pixels (n >= 3), padded to an even byte count
// Pixels outside the picture are dropped; pixels never written stay
// transparent. The data may end without the end-of-bitmap pair only once the
// last row is done.
DecodeResult DecodeRle(const Header& h, std::span<const std::uint8_t> data, std::span<const Rgba> palette,
                       DecodeResult result, const DibPlacement& placement) {
  Image& image = result.image;
  const bool four = h.compression == kRle4;
  std::int64_t x = 0;
  std::int64_t row = 0;  // counted from the bottom
  const auto put = [&](unsigned index) {
    if (x < image.width && row < image.height) {
      const Rgba c = index < palette.size() ? palette[index] : Rgba{};
      PutPixel(image, static_cast<int>(x), static_cast<int>(image.height - 1 - row), c.r, c.g, c.b, c.a);
    }
    ++x;
  };
  std::size_t at = 0;
  while (row < image.height) {
    if (at + 2 > data.size()) return Fail(ImageError::Truncated, Prefix(placement) + "RLE data ends inside the picture");
    const unsigned count = data[at];
    const unsigned value = data[at + 1];
    at += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i) put(four ? ((i % 2 == 0) ? value >> 4 : value & 15) : value);
      continue;
    }
    switch (value) {
      case 0:
        x = 0;
        ++row;
        break;
      case 1:
        return result;
      case 2:
        if (at + 2 > data.size()) return Fail(ImageError::Truncated, Prefix(placement) + "RLE move ends early");
        x += data[at];
        row += data[at + 1];
        at += 2;
        break;
      default: {
        const std::size_t bytes = four ? (value + 1) / 2 : value;
        if (at + bytes > data.size()) {
          return Fail(ImageError::Truncated, Prefix(placement) + "RLE literal run ends early");
        }
        for (unsigned i = 0; i < value; ++i) {
          put(four ? ((i % 2 == 0) ? data[at + i / 2] >> 4 : data[at + i / 2] & 15) : data[at + i]);
        }
        at += bytes + (bytes % 2);
        break;
      }
    }
  }
  return result;
}

}  // namespace

DecodeResult DecodeDibAt(std::span<const std::uint8_t> bytes, std::size_t header_at, const DibPlacement& placement,
                         const DecodeLimits& limits) {
  ByteReader in(bytes, header_at);
  const std::uint32_t header_size = in.u32();
  if (in.overrun()) return Fail(ImageError::Truncated, Prefix(placement) + "no bitmap header");
  Header h;
  std::uint32_t masks_in_header = 0;
  if (header_size == 12) {
    h.core = true;
    h.width = in.u16();
    h.height = in.u16();
    in.u16();  // planes
    h.bits = in.u16();
  } else if (header_size >= 40 && header_size <= 124 && header_size != 64) {
    h.width = in.i32();
    h.height = in.i32();
    in.u16();  // planes
    h.bits = in.u16();
    h.compression = in.u32();
    in.skip(12);  // image size, resolution
    h.colours_used = in.u32();
    in.u32();  // important colours
    masks_in_header = header_size >= 56 ? 4 : header_size >= 52 ? 3 : 0;
  } else if (header_size == 64) {
    return Fail(ImageError::Unsupported, Prefix(placement) + "OS/2 2.x bitmap headers are not decoded");
  } else {
    return Fail(ImageError::Corrupt, Prefix(placement) + "bitmap header size " + std::to_string(header_size));
  }
  if (in.overrun()) return Fail(ImageError::Truncated, Prefix(placement) + "bitmap header ends early");
  in = ByteReader(bytes, header_at + header_size);

  if (h.height < 0) {
    if (h.height == INT32_MIN) return Fail(ImageError::Corrupt, Prefix(placement) + "height out of range");
    h.top_down = true;
    h.height = -h.height;
  }
  if (placement.icon) {
    if (h.top_down || h.height % 2 != 0) return Fail(ImageError::Corrupt, Prefix(placement) + "icon bitmap height is not twice the icon's");
    h.height /= 2;
  }

  switch (h.compression) {
    case kRgb:
      if (h.bits != 1 && h.bits != 2 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32) {
        return Fail(ImageError::Corrupt, Prefix(placement) + std::to_string(h.bits) + " bits per pixel");
      }
      break;
    case kRle8:
    case kRle4:
      if (h.bits != (h.compression == kRle8 ? 8 : 4)) {
        return Fail(ImageError::Corrupt, Prefix(placement) + "RLE with " + std::to_string(h.bits) + " bits per pixel");
      }
      if (h.top_down || placement.icon) return Fail(ImageError::Corrupt, Prefix(placement) + "RLE bitmap stored top-down");
      break;
    case kBitFields:
    case kAlphaBitFields:
      if (h.bits != 16 && h.bits != 32) {
        return Fail(ImageError::Corrupt, Prefix(placement) + "bit fields with " + std::to_string(h.bits) + " bits per pixel");
      }
      break;
    case 4:
    case 5:
      return Fail(ImageError::Unsupported, Prefix(placement) + "JPEG or PNG inside a bitmap is not decoded");
    default:
      return Fail(ImageError::Corrupt, Prefix(placement) + "compression " + std::to_string(h.compression));
  }

  // Channel masks: stated for bit fields (inside a long header, else right
  // after it), fixed otherwise.
  std::array<std::uint32_t, 4> masks{};
  if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
    ByteReader mask_reader(bytes, header_at + 40);
    const std::uint32_t count = h.compression == kAlphaBitFields ? 4 : 3;
    for (std::uint32_t i = 0; i < std::max(count, masks_in_header); ++i) masks[i] = mask_reader.u32();
    if (masks_in_header < count) in.skip(4 * (count - masks_in_header));
    if (mask_reader.overrun() || in.overrun()) return Fail(ImageError::Truncated, Prefix(placement) + "bit field masks missing");
    if (masks_in_header < 4 && h.compression == kBitFields) masks[3] = 0;
    h.has_alpha_mask = masks[3] != 0;
    for (int i = 0; i < 3; ++i) {
      const std::uint32_t m = masks[i];
      if (m == 0) continue;
      // A mask is one run of ones, and no two masks share a bit.
      const std::uint32_t run = m >> std::countr_zero(m);
      if ((run & (run + 1)) != 0) return Fail(ImageError::Corrupt, Prefix(placement) + "bit field mask is not contiguous");
    }
    if ((masks[0] & masks[1]) || (masks[0] & masks[2]) || (masks[1] & masks[2]) ||
        (masks[3] & (masks[0] | masks[1] | masks[2]))) {
      return Fail(ImageError::Corrupt, Prefix(placement) + "bit field masks overlap");
    }
    const std::uint32_t am = masks[3] >> (masks[3] ? std::countr_zero(masks[3]) : 0);
    if ((am & (am + 1)) != 0) return Fail(ImageError::Corrupt, Prefix(placement) + "bit field mask is not contiguous");
  } else if (h.bits == 16) {
    masks = {0x7C00, 0x03E0, 0x001F, 0};
  } else if (h.bits == 32) {
    // The fourth byte is unused by the format, but icon writers and our own
    // metafile records put alpha there; see the all-zero rule below.
    masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    h.has_alpha_mask = true;
  }
  for (int i = 0; i < 4; ++i) h.channels[i] = Channel::FromMask(masks[i]);

  // Colour table.
  std::vector<Rgba> palette;
  if (h.bits <= 8) {
    const std::uint32_t full = 1u << h.bits;
    std::uint32_t count = full;
    if (!h.core && h.colours_used != 0) {
      if (h.colours_used > 256) return Fail(ImageError::Corrupt, Prefix(placement) + "colour table of " + std::to_string(h.colours_used));
      count = std::min(h.colours_used, full);
    }
    const std::size_t entry = h.core ? 3 : 4;
    std::span<const std::uint8_t> table = in.bytes(count * entry);
    if (in.overrun()) return Fail(ImageError::Truncated, Prefix(placement) + "colour table ends early");
    palette.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) palette.push_back({table[i * entry + 2], table[i * entry + 1], table[i * entry], 255});
    if (!h.core && h.colours_used > full) in.skip((h.colours_used - full) * 4);
  } else if (!h.core && h.colours_used != 0 && h.compression == kRgb) {
    // A suggested palette for a true-colour bitmap: skipped.
    if (h.colours_used > 256) return Fail(ImageError::Corrupt, Prefix(placement) + "colour table of " + std::to_string(h.colours_used));
    in.skip(h.colours_used * 4);
  }
  if (in.overrun()) return Fail(ImageError::Truncated, Prefix(placement) + "colour table ends early");

  std::size_t pixels_at = in.position();
  if (placement.pixel_offset) {
    if (*placement.pixel_offset > bytes.size()) return Fail(ImageError::Truncated, Prefix(placement) + "pixel data offset past the end");
    if (*placement.pixel_offset < header_at + header_size) return Fail(ImageError::Corrupt, Prefix(placement) + "pixel data offset inside the header");
    pixels_at = *placement.pixel_offset;
  }

  DecodeResult result = AllocateImage(placement.format, h.width, h.height, limits);
  if (!result.ok()) return result;
  const std::span<const std::uint8_t> data = bytes.subspan(pixels_at);

  if (h.compression == kRle8 || h.compression == kRle4) return DecodeRle(h, data, palette, std::move(result), placement);

  const std::uint64_t stride = (static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.bits) + 31) / 32 * 4;
  const std::uint64_t mask_stride = (static_cast<std::uint64_t>(h.width) + 31) / 32 * 4;
  const std::uint64_t needed = stride * static_cast<std::uint64_t>(h.height);
  if (needed > data.size()) return Fail(ImageError::Truncated, Prefix(placement) + "pixel rows end early");

  Image& image = result.image;
  bool any_alpha = false;
  for (std::int64_t r = 0; r < h.height; ++r) {
    const int y = static_cast<int>(h.top_down ? r : h.height - 1 - r);
    DecodeRow(h, data.subspan(static_cast<std::size_t>(stride * r), static_cast<std::size_t>(stride)), palette, image, y, any_alpha);
  }

  // Uncompressed 32-bit pixels whose fourth byte is 0 throughout carry no
  // alpha: they are opaque.
  if (h.bits == 32 && h.compression == kRgb && !any_alpha) {
    for (std::size_t i = 3; i < image.rgba.size(); i += 4) image.rgba[i] = 255;
  }

  if (placement.icon && !(h.bits == 32 && any_alpha)) {
    // The AND mask: one bit per pixel, 1 = transparent. An icon entry
    // without it (some writers leave it out) is shown opaque.
    const std::span<const std::uint8_t> mask = data.subspan(static_cast<std::size_t>(needed));
    if (mask_stride * static_cast<std::uint64_t>(h.height) <= mask.size()) {
      for (std::int64_t r = 0; r < h.height; ++r) {
        const int y = static_cast<int>(h.height - 1 - r);
        const auto row = mask.subspan(static_cast<std::size_t>(mask_stride * r), static_cast<std::size_t>(mask_stride));
        for (int x = 0; x < image.width; ++x) {
          if ((row[x / 8] >> (7 - x % 8)) & 1) {
            std::uint8_t* p = image.rgba.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
            p[0] = p[1] = p[2] = p[3] = 0;
          }
        }
      }
    }
  }
  return result;
}

}  // namespace detail

using detail::Fail;

// A BMP file: "BM", file size (4), reserved (4), offset of the pixels (4),
// then the bitmap header.
DecodeResult DecodeBmp(std::span<const std::uint8_t> bytes, const DecodeLimits& limits) {
  detail::ByteReader in(bytes);
  if (in.u8() != 'B' || in.u8() != 'M') return Fail(ImageError::UnknownFormat, "BMP: no \"BM\" signature");
  in.skip(8);
  const std::uint32_t offset = in.u32();
  if (in.overrun()) return Fail(ImageError::Truncated, "BMP: file header ends early");
  return detail::DecodeDibAt(bytes, 14, {.format = "BMP", .pixel_offset = offset}, limits);
}

DecodeResult DecodeDib(std::span<const std::uint8_t> bytes, const DecodeLimits& limits) {
  return detail::DecodeDibAt(bytes, 0, {.format = "DIB"}, limits);
}

std::vector<std::uint8_t> EncodeDib(const Image& image) {
  std::vector<std::uint8_t> out;
  const auto put32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const auto put16 = [&](std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  const std::size_t pixels = static_cast<std::size_t>(std::max(image.width, 0)) * static_cast<std::size_t>(std::max(image.height, 0));
  out.reserve(40 + pixels * 4);
  put32(40);
  put32(static_cast<std::uint32_t>(image.width));
  put32(static_cast<std::uint32_t>(image.height));
  put16(1);
  put16(32);
  put32(detail::kRgb);
  put32(static_cast<std::uint32_t>(pixels * 4));
  put32(2835);  // 72 dots per inch
  put32(2835);
  put32(0);
  put32(0);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const auto p = image.pixel(x, y);
      out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
  }
  return out;
}

}  // namespace tavero::images
