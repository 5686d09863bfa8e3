// Icon files: a directory of pictures of several sizes and depths, of which
// one is chosen and decoded as a device-independent bitmap. FORMAT.md has
// the layout.
#include <algorithm>
#include <cassert>
#include <string>
#include <vector>

#include "images/decode_support.h"
#include "images/dib.h"

namespace tavero::images {

using detail::Fail;

namespace {

struct IconEntry {
  int size = 0;  // the larger side, as the directory states it
  int bits = 0;
  std::uint32_t length = 0;
  std::uint32_t offset = 0;
};

bool IsPng(std::span<const std::uint8_t> data) {
  static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return data.size() >= sizeof kSignature && std::equal(std::begin(kSignature), std::end(kSignature), data.begin());
}

// Better for a wanted side: reaching it beats not reaching it; among those
// that reach it the smaller, among those that do not the larger; then the
// deeper colour.
bool Better(const IconEntry& a, const IconEntry& b, int wanted) {
  const bool a_reaches = a.size >= wanted;
  const bool b_reaches = b.size >= wanted;
  if (a_reaches != b_reaches) return a_reaches;
  if (a.size != b.size) return a_reaches ? a.size < b.size : a.size > b.size;
  return a.bits > b.bits;
}

}  // namespace

DecodeResult DecodeIco(std::span<const std::uint8_t> bytes, const DecodeLimits& limits, int wanted_size) {
  detail::ByteReader in(bytes);
  const std::uint16_t reserved = in.u16();
  const std::uint16_t type = in.u16();
  const std::uint16_t count = in.u16();
  if (in.overrun()) return Fail(ImageError::Truncated, "ICO: directory header ends early");
  if (reserved != 0 || (type != 1 && type != 2)) return Fail(ImageError::UnknownFormat, "ICO: not an icon directory");
  if (count == 0) return Fail(ImageError::Corrupt, "ICO: the directory lists no pictures");

  std::vector<IconEntry> entries;
  bool any_png = false;
  for (std::uint16_t i = 0; i < count; ++i) {
    IconEntry e;
    const int width = in.u8();
    const int height = in.u8();
    const int colours = in.u8();
    in.u8();   // reserved
    in.u16();  // planes (icons) or hot spot x (cursors)
    e.bits = in.u16();
    e.length = in.u32();
    e.offset = in.u32();
    if (in.overrun()) return Fail(ImageError::Truncated, "ICO: directory entry " + std::to_string(i + 1) + " ends early");
    e.size = std::max(width == 0 ? 256 : width, height == 0 ? 256 : height);
    if (e.bits == 0) e.bits = colours == 0 ? 8 : colours <= 2 ? 1 : colours <= 16 ? 4 : 8;
    if (e.offset > bytes.size() || e.length > bytes.size() - e.offset) {
      return Fail(ImageError::Truncated, "ICO: picture " + std::to_string(i + 1) + " lies past the end of the file");
    }
    if (IsPng(bytes.subspan(e.offset, e.length))) {
      any_png = true;
      continue;
    }
    entries.push_back(e);
  }
  if (entries.empty()) {
    return Fail(ImageError::Unsupported, any_png ? "ICO: the icon holds only PNG pictures, which are not decoded"
                                                 : "ICO: no picture");
  }
  const IconEntry best = *std::min_element(entries.begin(), entries.end(),
                                           [&](const IconEntry& a, const IconEntry& b) { return Better(a, b, wanted_size); });
  return detail::DecodeDibAt(bytes.subspan(best.offset, best.length), 0, {.format = "ICO", .icon = true}, limits);
}

}  // namespace tavero::images

namespace tavero::images {

std::vector<std::uint8_t> EncodeIco(std::span<const Image> pictures) {
  std::vector<std::uint8_t> out;
  const auto put16 = [&](std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  out.resize(6 + 16 * pictures.size());
  put16(2, 1);
  put16(4, static_cast<std::uint32_t>(pictures.size()));
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const Image& picture = pictures[i];
    assert(picture.width >= 1 && picture.width <= 256 && picture.height >= 1 && picture.height <= 256);
    std::vector<std::uint8_t> dib = EncodeDib(picture);
    // The header states the height of colour and mask rows together.
    const std::uint32_t both = static_cast<std::uint32_t>(picture.height) * 2;
    for (int b = 0; b < 4; ++b) dib[8 + b] = static_cast<std::uint8_t>(both >> (8 * b));
    const std::size_t mask_stride = (static_cast<std::size_t>(picture.width) + 31) / 32 * 4;
    std::vector<std::uint8_t> mask(mask_stride * static_cast<std::size_t>(picture.height), 0);
    for (int y = 0; y < picture.height; ++y) {
      const std::size_t row = static_cast<std::size_t>(picture.height - 1 - y) * mask_stride;
      for (int x = 0; x < picture.width; ++x) {
        if (picture.pixel(x, y)[3] < 128) mask[row + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
    const std::size_t entry = 6 + 16 * i;
    out[entry] = static_cast<std::uint8_t>(picture.width & 0xFF);  // 256 is written 0
    out[entry + 1] = static_cast<std::uint8_t>(picture.height & 0xFF);
    put16(entry + 4, 1);
    put16(entry + 6, 32);
    put32(entry + 8, static_cast<std::uint32_t>(dib.size() + mask.size()));
    put32(entry + 12, static_cast<std::uint32_t>(out.size()));
    out.insert(out.end(), dib.begin(), dib.end());
    out.insert(out.end(), mask.begin(), mask.end());
  }
  return out;
}

}  // namespace tavero::images
