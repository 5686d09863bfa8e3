// BMP files and bare bitmaps: each layout built here and read both by
// DecodeBmp and by Qt's own BMP reader, which must agree pixel for pixel.
#include <array>
#include <functional>

#include "images/image_testing.h"

namespace tavero::images {
namespace {

using testing::Bytes;

struct BmpSpec {
  std::string name;
  int header_size = 40;  // 12, 40, 52, 56, 108 or 124
  int bits = 24;
  std::uint32_t compression = 0;  // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
  std::array<std::uint32_t, 4> masks{};
  bool top_down = false;
  std::uint32_t colours_used = 0;  // 0: the full table
  int width = 21;
  int height = 13;
  // Channels narrower than 8 bits: we widen them by repeating their bits
  // (all ones is 255), Qt by shifting (all ones of 5 bits is 248), so the
  // two may differ in the bits below the channel's width.
  int tolerance = 0;
};

void Put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// The pixel value at (x, y): an index for up to 8 bits, else a packed value
// that the masks (or 8-8-8 for 24 bits) take apart.
std::uint32_t PixelValue(const BmpSpec& s, int x, int y) {
  if (s.bits <= 8) {
    const std::uint32_t colours = s.colours_used ? s.colours_used : 1u << s.bits;
    return static_cast<std::uint32_t>((x / 2 + y * 3 + (x * y) % 5) % colours);
  }
  const std::uint32_t seed = static_cast<std::uint32_t>(x * 2654435761u ^ y * 40503u ^ (x * 13 + y * 7));
  if (s.bits == 16) return seed & 0xFFFF;
  if (s.bits == 24) return seed & 0xFFFFFF;
  if (s.compression == 0) return seed & 0x00FFFFFF;  // fourth byte 0: no alpha
  return seed;
}

// RLE8 / RLE4 of one row of indices: runs of two or more as runs, the rest
// as literal groups of at least three (shorter ones as runs of one).
void EncodeRleRow(Bytes& out, const std::vector<std::uint32_t>& row, bool four) {
  std::size_t x = 0;
  const auto value_byte = [&](std::uint32_t a, std::uint32_t b) {
    return static_cast<std::uint8_t>(four ? (a << 4 | b) : a);
  };
  while (x < row.size()) {
    std::size_t run = 1;
    while (x + run < row.size() && row[x + run] == row[x] && run < 255) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(run));
      out.push_back(value_byte(row[x], row[x]));
      x += run;
      continue;
    }
    std::size_t literal = 1;
    while (x + literal < row.size() && literal < 254 && row[x + literal] != row[x + literal - 1]) ++literal;
    if (literal < 3) {
      out.push_back(1);
      out.push_back(value_byte(row[x], 0));
      x += 1;
      continue;
    }
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(literal));
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < literal; i += four ? 2 : 1) {
      out.push_back(four ? value_byte(row[x + i], i + 1 < literal ? row[x + i + 1] : 0) : value_byte(row[x + i], 0));
      ++bytes;
    }
    if (bytes % 2) out.push_back(0);
    x += literal;
  }
  out.push_back(0);
  out.push_back(0);
}

Bytes BuildDib(const BmpSpec& s) {
  Bytes b;
  Put32(b, static_cast<std::uint32_t>(s.header_size));
  if (s.header_size == 12) {
    Put16(b, static_cast<std::uint32_t>(s.width));
    Put16(b, static_cast<std::uint32_t>(s.height));
    Put16(b, 1);
    Put16(b, static_cast<std::uint32_t>(s.bits));
  } else {
    Put32(b, static_cast<std::uint32_t>(s.width));
    Put32(b, static_cast<std::uint32_t>(s.top_down ? -s.height : s.height));
    Put16(b, 1);
    Put16(b, static_cast<std::uint32_t>(s.bits));
    Put32(b, s.compression);
    Put32(b, 0);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, s.colours_used);
    Put32(b, 0);
    const int in_header = s.header_size >= 56 ? 4 : s.header_size >= 52 ? 3 : 0;
    for (int i = 0; i < in_header; ++i) Put32(b, s.masks[i]);
    while (b.size() < static_cast<std::size_t>(s.header_size)) b.push_back(0);
    if (s.compression == 3 && in_header == 0) {
      for (int i = 0; i < 3; ++i) Put32(b, s.masks[i]);
    }
  }
  if (s.bits <= 8) {
    const std::uint32_t colours = s.colours_used ? s.colours_used : 1u << s.bits;
    for (std::uint32_t i = 0; i < colours; ++i) {
      b.push_back(static_cast<std::uint8_t>(i * 37 + 11));  // blue
      b.push_back(static_cast<std::uint8_t>(255 - i * 19)); // green
      b.push_back(static_cast<std::uint8_t>(i * 71));       // red
      if (s.header_size != 12) b.push_back(0);
    }
  }
  if (s.compression == 1 || s.compression == 2) {
    for (int r = 0; r < s.height; ++r) {
      std::vector<std::uint32_t> row;
      for (int x = 0; x < s.width; ++x) row.push_back(PixelValue(s, x, s.height - 1 - r));
      EncodeRleRow(b, row, s.compression == 2);
    }
    b.push_back(0);
    b.push_back(1);
    return b;
  }
  const std::size_t stride = (static_cast<std::size_t>(s.width) * s.bits + 31) / 32 * 4;
  for (int r = 0; r < s.height; ++r) {
    const int y = s.top_down ? r : s.height - 1 - r;
    Bytes row(stride, 0);
    for (int x = 0; x < s.width; ++x) {
      const std::uint32_t v = PixelValue(s, x, y);
      if (s.bits < 8) {
        const std::size_t bit = static_cast<std::size_t>(x) * s.bits;
        row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - s.bits - bit % 8));
      } else {
        for (int i = 0; i < s.bits / 8; ++i) row[x * (s.bits / 8) + i] = static_cast<std::uint8_t>(v >> (8 * i));
      }
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

Bytes BuildBmp(const BmpSpec& s) {
  const Bytes dib = BuildDib(s);
  const std::size_t palette = s.bits <= 8 ? (s.colours_used ? s.colours_used : 1u << s.bits) * (s.header_size == 12 ? 3 : 4) : 0;
  const std::size_t masks = (s.compression == 3 && s.header_size == 40) ? 12 : 0;
  Bytes b = {'B', 'M'};
  Put32(b, static_cast<std::uint32_t>(14 + dib.size()));
  Put32(b, 0);
  Put32(b, static_cast<std::uint32_t>(14 + s.header_size + masks + palette));
  b.insert(b.end(), dib.begin(), dib.end());
  return b;
}

const std::vector<BmpSpec>& Specs() {
  static const std::vector<BmpSpec> specs = {
      {.name = "1bit_padded_rows", .bits = 1, .width = 37},
      {.name = "4bit", .bits = 4},
      {.name = "4bit_short_table", .bits = 4, .colours_used = 5},
      {.name = "8bit", .bits = 8, .width = 30},
      {.name = "8bit_top_down", .bits = 8, .top_down = true},
      {.name = "16bit_555", .bits = 16, .tolerance = 7},
      {.name = "16bit_565_fields", .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}, .tolerance = 7},
      {.name = "16bit_4444_v5", .header_size = 124, .bits = 16, .compression = 3, .masks = {0x0F00, 0x00F0, 0x000F, 0xF000},
       .tolerance = 15},
      {.name = "24bit_padded_rows", .bits = 24, .width = 33},
      {.name = "24bit_top_down", .bits = 24, .top_down = true},
      {.name = "32bit_no_alpha", .bits = 32},
      {.name = "32bit_fields_swapped", .bits = 32, .compression = 3, .masks = {0x0000FF00, 0x00FF0000, 0xFF000000}},
      {.name = "32bit_alpha_v4", .header_size = 108, .bits = 32, .compression = 3,
       .masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}},
      {.name = "core_8bit", .header_size = 12, .bits = 8},
      {.name = "core_1bit", .header_size = 12, .bits = 1, .width = 9},
      {.name = "core_24bit", .header_size = 12, .bits = 24},
      {.name = "rle8", .bits = 8, .compression = 1, .colours_used = 7, .width = 40},
      {.name = "rle4", .bits = 4, .compression = 2, .colours_used = 6, .width = 41},
  };
  return specs;
}

class BmpLayout : public ::testing::TestWithParam<BmpSpec> {};

TEST_P(BmpLayout, DecodesAsQtReadsIt) {
  const Bytes file = BuildBmp(GetParam());
  const DecodeResult ours = DecodeImage(file);
  ASSERT_TRUE(ours.ok()) << ours.message;
  EXPECT_TRUE(testing::SamePixels(testing::ReadWithQt(file), ours.image, GetParam().tolerance));
}

TEST(Bmp, NarrowChannelsAllOnesAreFullIntensity) {
  for (const auto& [masks, value] : {std::pair{std::array<std::uint32_t, 4>{0x7C00, 0x03E0, 0x001F, 0}, 0x7FFFu},
                                     std::pair{std::array<std::uint32_t, 4>{0xF800, 0x07E0, 0x001F, 0}, 0xFFFFu}}) {
    Bytes file = BuildBmp({.bits = 16, .compression = 3, .masks = masks, .width = 1, .height = 1});
    file[file.size() - 4] = static_cast<std::uint8_t>(value);
    file[file.size() - 3] = static_cast<std::uint8_t>(value >> 8);
    const DecodeResult r = DecodeBmp(file);
    ASSERT_TRUE(r.ok()) << r.message;
    const auto p = r.image.pixel(0, 0);
    EXPECT_EQ((std::array<int, 4>{p[0], p[1], p[2], p[3]}), (std::array<int, 4>{255, 255, 255, 255}));
  }
}

TEST_P(BmpLayout, BareBitmapDecodesLikeTheFile) {
  const DecodeResult file = DecodeBmp(BuildBmp(GetParam()));
  const DecodeResult bare = DecodeDib(BuildDib(GetParam()));
  ASSERT_TRUE(bare.ok()) << bare.message;
  EXPECT_TRUE(testing::SamePixels(file.image, bare.image));
}

TEST_P(BmpLayout, TruncatedFileGivesAnError) {
  testing::ExpectTruncationsFail(BuildBmp(GetParam()), [](std::span<const std::uint8_t> b) { return DecodeBmp(b); });
}

TEST_P(BmpLayout, CorruptedBytesGiveAnErrorOrAPicture) {
  testing::ExpectCorruptionsContained(BuildBmp(GetParam()), [](std::span<const std::uint8_t> b) { return DecodeBmp(b); });
}

INSTANTIATE_TEST_SUITE_P(Layouts, BmpLayout, ::testing::ValuesIn(Specs()),
                         [](const auto& info) { return info.param.name; });

TEST(Bmp, QtWrittenFilesDecodeAsQtReadsThem) {
  const QImage colour = testing::ToQImage(testing::TestPicture(45, 17));
  for (const QImage& image : {colour, colour.convertToFormat(QImage::Format_RGB32),
                              colour.convertToFormat(QImage::Format_Indexed8),
                              colour.convertToFormat(QImage::Format_Mono)}) {
    const Bytes file = testing::WriteWithQt(image, "BMP");
    const DecodeResult ours = DecodeImage(file);
    ASSERT_TRUE(ours.ok()) << ours.message;
    EXPECT_TRUE(testing::SamePixels(testing::ReadWithQt(file), ours.image)) << "format " << image.format();
  }
}

TEST(Bmp, TwoBitPixelsIndexTheirTable) {
  // Qt has no reader for 2 bits per pixel: the expected pixels are known.
  const BmpSpec layout{.bits = 2, .width = 7, .height = 3};
  const DecodeResult r = DecodeBmp(BuildBmp(layout));
  ASSERT_TRUE(r.ok()) << r.message;
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 7; ++x) {
      const std::uint32_t i = PixelValue(layout, x, y);
      const auto p = r.image.pixel(x, y);
      EXPECT_EQ(p[0], static_cast<std::uint8_t>(i * 71));
      EXPECT_EQ(p[1], static_cast<std::uint8_t>(255 - i * 19));
      EXPECT_EQ(p[2], static_cast<std::uint8_t>(i * 37 + 11));
      EXPECT_EQ(p[3], 255);
    }
  }
}

TEST(Bmp, RleMoveLeavesSkippedPixelsTransparent) {
  BmpSpec layout{.bits = 8, .compression = 1, .colours_used = 2, .width = 4, .height = 2};
  Bytes file = BuildBmp(layout);
  const std::size_t pixels = 14 + 40 + 8;
  file.resize(pixels);
  // Bottom row: two pixels of colour 1, then move 1 right and 1 up; then
  // one pixel of colour 1 at (3, top); end of bitmap.
  for (const std::uint8_t b : {2, 1, 0, 2, 1, 1, 1, 1, 0, 1}) file.push_back(b);
  const DecodeResult r = DecodeBmp(file);
  ASSERT_TRUE(r.ok()) << r.message;
  const std::array<std::array<int, 4>, 2> opaque = {{{0, 0, 0, 1}, {1, 1, 0, 0}}};  // rows from the top
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(r.image.pixel(x, y)[3], opaque[y][x] ? 255 : 0) << x << "," << y;
  }
}

TEST(Dib, EncodedBitmapReadsBackWithItsAlpha) {
  const Image picture = testing::TestPicture(19, 11, true);
  const DecodeResult r = DecodeDib(EncodeDib(picture));
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_TRUE(testing::SamePixels(picture, r.image));
}

TEST(Dib, FourthByteZeroThroughoutMeansOpaque) {
  Image picture = testing::TestPicture(5, 4);
  for (std::size_t i = 3; i < picture.rgba.size(); i += 4) picture.rgba[i] = 0;
  const DecodeResult r = DecodeDib(EncodeDib(picture));
  ASSERT_TRUE(r.ok()) << r.message;
  for (std::size_t i = 3; i < r.image.rgba.size(); i += 4) ASSERT_EQ(r.image.rgba[i], 255);
}

struct Refusal {
  std::string name;
  std::function<void(Bytes&)> damage;  // applied to a 24-bit 21 × 13 BMP file
  ImageError error;
};

TEST(Bmp, DamagedHeadersAreRefusedWithTheirReason) {
  const auto set32 = [](Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  const std::vector<Refusal> cases = {
      {"width beyond the cap", [&](Bytes& b) { set32(b, 18, 20000); }, ImageError::TooLarge},
      {"height beyond the cap", [&](Bytes& b) { set32(b, 22, static_cast<std::uint32_t>(-20000)); }, ImageError::TooLarge},
      {"zero width", [&](Bytes& b) { set32(b, 18, 0); }, ImageError::Corrupt},
      {"7 bits per pixel", [](Bytes& b) { b[28] = 7; }, ImageError::Corrupt},
      {"JPEG inside", [&](Bytes& b) { set32(b, 30, 4); }, ImageError::Unsupported},
      {"unknown compression", [&](Bytes& b) { set32(b, 30, 9); }, ImageError::Corrupt},
      {"RLE8 at 24 bits", [&](Bytes& b) { set32(b, 30, 1); }, ImageError::Corrupt},
      {"header size 39", [&](Bytes& b) { set32(b, 14, 39); }, ImageError::Corrupt},
      {"pixels past the end", [&](Bytes& b) { set32(b, 10, 1u << 30); }, ImageError::Truncated},
      {"pixels inside the header", [&](Bytes& b) { set32(b, 10, 20); }, ImageError::Corrupt},
      {"rows missing", [](Bytes& b) { b.resize(b.size() - 1); }, ImageError::Truncated},
  };
  for (const Refusal& c : cases) {
    Bytes file = BuildBmp(BmpSpec{});
    c.damage(file);
    const DecodeResult r = DecodeImage(file);
    EXPECT_EQ(r.error, c.error) << c.name << ": " << r.message;
  }
}

TEST(Bmp, OverlappingOrBrokenMasksAreRefused) {
  for (const auto& masks : {std::array<std::uint32_t, 4>{0xFF00, 0x0FF0, 0x000F, 0}, std::array<std::uint32_t, 4>{0xF00F, 0x00F0, 0x0F00, 0}}) {
    const DecodeResult r = DecodeBmp(BuildBmp({.bits = 16, .compression = 3, .masks = masks}));
    EXPECT_EQ(r.error, ImageError::Corrupt) << r.message;
  }
}

TEST(Bmp, LimitsAreCheckedBeforeAnyPixelIsRead) {
  const Bytes file = BuildBmp({.width = 64, .height = 64});
  EXPECT_EQ(DecodeBmp(file, {.max_width = 63}).error, ImageError::TooLarge);
  EXPECT_EQ(DecodeBmp(file, {.max_height = 63}).error, ImageError::TooLarge);
  EXPECT_EQ(DecodeBmp(file, {.max_pixel_bytes = 64 * 64 * 4 - 1}).error, ImageError::TooLarge);
  EXPECT_TRUE(DecodeBmp(file, {.max_pixel_bytes = 64 * 64 * 4}).ok());
}

}  // namespace
}  // namespace tavero::images
