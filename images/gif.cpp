// GIF pictures (87a and 89a): the first image of the file, with the
// transparent colour of the graphic control extension before it. FORMAT.md
// has the layout.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "images/decode_support.h"

namespace tavero::images {

using detail::Fail;

namespace {

constexpr int kMaxCodes = 4096;

// Reads the data sub-blocks (a length byte, then that many bytes; length 0
// ends them) as one stream of bits, least significant first.
class SubBlockBits {
 public:
  SubBlockBits(std::span<const std::uint8_t> bytes, std::size_t at) : bytes_(bytes), at_(at) {}

  // The next `width` bits, or -1 when the data has ended.
  int Read(int width) {
    while (count_ < width) {
      if (left_in_block_ == 0) {
        if (ended_ || at_ >= bytes_.size()) return -1;
        left_in_block_ = bytes_[at_++];
        if (left_in_block_ == 0) {
          ended_ = true;
          return -1;
        }
      }
      if (at_ >= bytes_.size()) return -1;
      buffer_ |= std::uint32_t{bytes_[at_++]} << count_;
      count_ += 8;
      --left_in_block_;
    }
    const int code = static_cast<int>(buffer_ & ((1u << width) - 1));
    buffer_ >>= width;
    count_ -= width;
    return code;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_;
  std::size_t left_in_block_ = 0;
  std::uint32_t buffer_ = 0;
  int count_ = 0;
  bool ended_ = false;
};

// Skips data sub-blocks starting at `in`'s position, through the empty one.
bool SkipSubBlocks(detail::ByteReader& in) {
  for (;;) {
    const std::uint8_t length = in.u8();
    if (in.overrun()) return false;
    if (length == 0) return true;
    in.skip(length);
  }
}

// LZW as GIF uses it: codes start one bit wider than the minimum code size;
// `clear` (2^min) resets the table, `clear + 1` ends the data; every code
// after the first adds the previous string plus the first index of the
// current one; the width grows when the next free code reaches 2^width, up
// to 12 bits, after which the table stays full until a clear.
// Writes at most `out.size()` indices; answers how many were written, or -1
// for a code that names no entry.
long DecodeLzw(SubBlockBits& bits, int min_code_size, std::span<std::uint8_t> out) {
  const int clear = 1 << min_code_size;
  const int end = clear + 1;
  std::array<std::uint16_t, kMaxCodes> prefix{};
  std::array<std::uint8_t, kMaxCodes> suffix{};
  std::array<std::uint8_t, kMaxCodes> first{};
  std::array<std::uint16_t, kMaxCodes> length{};
  for (int i = 0; i < clear; ++i) {
    suffix[i] = static_cast<std::uint8_t>(i);
    first[i] = static_cast<std::uint8_t>(i);
    length[i] = 1;
  }
  int width = min_code_size + 1;
  int next = clear + 2;
  int previous = -1;
  std::size_t written = 0;
  while (written < out.size()) {
    const int code = bits.Read(width);
    if (code < 0 || code == end) break;
    if (code == clear) {
      width = min_code_size + 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    int string_code = code;
    if (previous < 0) {
      if (code >= clear) return -1;
    } else if (code > next || (code == next && next >= kMaxCodes)) {
      return -1;
    } else if (next < kMaxCodes) {
      // A new entry: the previous string plus the first index of this one
      // (of the previous one when this code is the entry being made).
      prefix[next] = static_cast<std::uint16_t>(previous);
      suffix[next] = code == next ? first[previous] : first[code];
      first[next] = first[previous];
      length[next] = static_cast<std::uint16_t>(length[previous] + 1);
      string_code = code;
      ++next;
      if (next == (1 << width) && width < 12) ++width;
    }
    // Write the string backwards, clipped at the end of the picture.
    const std::size_t n = length[string_code];
    std::size_t at = written + n;
    for (int c = string_code; at > written; c = prefix[c]) {
      --at;
      if (at < out.size()) out[at] = suffix[c];
    }
    written = std::min(out.size(), written + n);
    previous = code;
  }
  return static_cast<long>(written);
}

}  // namespace

DecodeResult DecodeGif(std::span<const std::uint8_t> bytes, const DecodeLimits& limits) {
  detail::ByteReader in(bytes);
  const auto signature = in.bytes(6);
  if (in.overrun() || !std::equal(signature.begin(), signature.begin() + 3, "GIF") ||
      (std::string(signature.begin() + 3, signature.end()) != "87a" &&
       std::string(signature.begin() + 3, signature.end()) != "89a")) {
    return Fail(ImageError::UnknownFormat, "GIF: no GIF87a or GIF89a signature");
  }
  const int screen_width = in.u16();
  const int screen_height = in.u16();
  const std::uint8_t screen_flags = in.u8();
  in.skip(2);  // background colour index, aspect ratio
  if (in.overrun()) return Fail(ImageError::Truncated, "GIF: screen descriptor ends early");

  std::span<const std::uint8_t> global_table;
  if (screen_flags & 0x80) {
    global_table = in.bytes(3 * (std::size_t{2} << (screen_flags & 7)));
    if (in.overrun()) return Fail(ImageError::Truncated, "GIF: global colour table ends early");
  }

  int transparent = -1;
  for (;;) {
    const std::uint8_t introducer = in.u8();
    if (in.overrun()) return Fail(ImageError::Truncated, "GIF: no image before the end of the file");
    if (introducer == 0x3B) return Fail(ImageError::Corrupt, "GIF: the file holds no image");
    if (introducer == 0x21) {
      const std::uint8_t label = in.u8();
      if (label == 0xF9) {
        // Graphic control: length 4, flags, delay (2), transparent index.
        const std::size_t at = in.position();
        const std::uint8_t length = in.u8();
        const std::uint8_t flags = in.u8();
        in.skip(2);
        const std::uint8_t index = in.u8();
        if (in.overrun()) return Fail(ImageError::Truncated, "GIF: graphic control extension ends early");
        if (length < 4) return Fail(ImageError::Corrupt, "GIF: graphic control extension too short");
        transparent = (flags & 1) ? index : -1;
        in = detail::ByteReader(bytes, at);
      }
      if (!SkipSubBlocks(in)) return Fail(ImageError::Truncated, "GIF: extension ends early");
      continue;
    }
    if (introducer != 0x2C) return Fail(ImageError::Corrupt, "GIF: unknown block " + std::to_string(introducer));
    break;
  }

  // Image descriptor: left, top, width, height (2 each), flags.
  const int left = in.u16();
  const int top = in.u16();
  const int width = in.u16();
  const int height = in.u16();
  const std::uint8_t flags = in.u8();
  if (in.overrun()) return Fail(ImageError::Truncated, "GIF: image descriptor ends early");
  std::span<const std::uint8_t> table = global_table;
  if (flags & 0x80) {
    table = in.bytes(3 * (std::size_t{2} << (flags & 7)));
    if (in.overrun()) return Fail(ImageError::Truncated, "GIF: local colour table ends early");
  }
  if (table.empty()) return Fail(ImageError::Corrupt, "GIF: no colour table");
  const int min_code_size = in.u8();
  if (in.overrun()) return Fail(ImageError::Truncated, "GIF: image data missing");
  if (min_code_size < 1 || min_code_size > 8) {
    return Fail(ImageError::Corrupt, "GIF: LZW code size " + std::to_string(min_code_size));
  }
  if (width == 0 || height == 0) return Fail(ImageError::Corrupt, "GIF: empty image");

  // The picture is the logical screen, grown to hold the image if the screen
  // is smaller; what the first image does not cover is transparent.
  const std::int64_t canvas_width = std::max(screen_width, left + width);
  const std::int64_t canvas_height = std::max(screen_height, top + height);
  DecodeResult result = detail::AllocateImage("GIF", canvas_width, canvas_height, limits);
  if (!result.ok()) return result;

  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  SubBlockBits bits(bytes, in.position());
  const long written = DecodeLzw(bits, min_code_size, indices);
  if (written < 0) return Fail(ImageError::Corrupt, "GIF: LZW code names no table entry");
  if (static_cast<std::size_t>(written) < indices.size()) return Fail(ImageError::Truncated, "GIF: image data ends early");

  // Interlaced rows come in four passes: every 8th row from 0, every 8th
  // from 4, every 4th from 2, every 2nd from 1.
  std::vector<int> row_order;
  row_order.reserve(height);
  if (flags & 0x40) {
    for (const auto& [start, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}}) {
      for (int y = start; y < height; y += step) row_order.push_back(y);
    }
  } else {
    for (int y = 0; y < height; ++y) row_order.push_back(y);
  }
  const std::size_t colours = table.size() / 3;
  for (int r = 0; r < height; ++r) {
    const int y = top + row_order[r];
    for (int x = 0; x < width; ++x) {
      const unsigned index = indices[static_cast<std::size_t>(r) * width + x];
      if (static_cast<int>(index) == transparent) continue;
      if (index < colours) {
        detail::PutPixel(result.image, left + x, y, table[index * 3], table[index * 3 + 1], table[index * 3 + 2]);
      } else {
        detail::PutPixel(result.image, left + x, y, 0, 0, 0);
      }
    }
  }
  return result;
}

}  // namespace tavero::images
