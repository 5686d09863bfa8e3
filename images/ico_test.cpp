// Icon files: written by Qt's ICO plugin or by EncodeIco, read both by
// DecodeIco and (for single pictures) by Qt's reader; the entry chosen for
// a wanted size; PNG entries refused.
#include "images/image_testing.h"

namespace tavero::images {
namespace {

using testing::Bytes;

Image Filled(int side, std::uint8_t red) {
  Image image;
  image.width = side;
  image.height = side;
  for (int i = 0; i < side * side; ++i) image.rgba.insert(image.rgba.end(), {red, 20, 30, 255});
  return image;
}

TEST(Ico, QtWrittenIconsDecodeAsQtReadsThem) {
  const QImage picture = testing::ToQImage(testing::TestPicture(32, 32, true));
  for (const QImage& image : {picture.convertToFormat(QImage::Format_ARGB32), picture.convertToFormat(QImage::Format_RGB32),
                              picture.convertToFormat(QImage::Format_Indexed8), picture.convertToFormat(QImage::Format_Mono),
                              picture.scaled(16, 16)}) {
    const Bytes file = testing::WriteWithQt(image, "ICO");
    ASSERT_EQ(DetectImageFormat(file), ImageFormat::Ico);
    const DecodeResult ours = DecodeImage(file);
    ASSERT_TRUE(ours.ok()) << ours.message;
    // Qt keeps translucent icon pixels premultiplied: one unit of rounding.
    EXPECT_TRUE(testing::SamePixels(testing::ReadWithQt(file), ours.image, 1)) << "format " << image.format();
  }
}

TEST(Ico, EncodedIconReadsBackWithItsAlphaByUsAndByQt) {
  const Image picture = testing::TestPicture(24, 24, true);
  const std::vector<Image> pictures = {picture};
  const Bytes file = EncodeIco(pictures);
  const DecodeResult ours = DecodeIco(file);
  ASSERT_TRUE(ours.ok()) << ours.message;
  EXPECT_TRUE(testing::SamePixels(picture, ours.image));
  EXPECT_TRUE(testing::SamePixels(picture, testing::ReadWithQt(file), 1));
}

TEST(Ico, ChoosesTheSmallestEntryThatReachesTheWantedSize) {
  const std::vector<Image> pictures = {Filled(32, 2), Filled(16, 1), Filled(48, 3)};
  const Bytes file = EncodeIco(pictures);
  const struct {
    int wanted;
    int side;
  } cases[] = {{1, 16}, {16, 16}, {17, 32}, {32, 32}, {40, 48}, {48, 48}, {256, 48}};
  for (const auto& c : cases) {
    const DecodeResult r = DecodeIco(file, {}, c.wanted);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.image.width, c.side) << "wanted " << c.wanted;
    EXPECT_EQ(r.image.pixel(0, 0)[0], c.side / 16) << "wanted " << c.wanted;
  }
  EXPECT_EQ(DecodeImage(file).image.width, 32);
}

// An icon of two entries: a PNG (written by Qt) and, optionally, a bitmap.
Bytes IconWithPng(bool with_bitmap) {
  const Bytes png = testing::WriteWithQt(testing::ToQImage(testing::TestPicture(32, 32)), "PNG");
  const std::vector<Image> pictures = {Filled(16, 9)};
  Bytes bitmap_icon = EncodeIco(pictures);
  const Bytes bitmap(bitmap_icon.begin() + 22, bitmap_icon.end());
  const int count = with_bitmap ? 2 : 1;
  Bytes b = {0, 0, 1, 0, static_cast<std::uint8_t>(count), 0};
  const auto entry = [&](int side, std::size_t length, std::size_t offset) {
    b.insert(b.end(), {static_cast<std::uint8_t>(side), static_cast<std::uint8_t>(side), 0, 0, 1, 0, 32, 0});
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(offset >> (8 * i)));
  };
  const std::size_t first = 6 + 16 * count;
  entry(32, png.size(), first);
  if (with_bitmap) entry(16, bitmap.size(), first + png.size());
  b.insert(b.end(), png.begin(), png.end());
  if (with_bitmap) b.insert(b.end(), bitmap.begin(), bitmap.end());
  return b;
}

TEST(Ico, PngEntriesAreRefusedClearlyAndBitmapsPreferred) {
  const DecodeResult only_png = DecodeIco(IconWithPng(false));
  EXPECT_EQ(only_png.error, ImageError::Unsupported);
  EXPECT_NE(only_png.message.find("PNG"), std::string::npos) << only_png.message;
  const DecodeResult mixed = DecodeIco(IconWithPng(true));
  ASSERT_TRUE(mixed.ok()) << mixed.message;
  EXPECT_EQ(mixed.image.width, 16);
  EXPECT_EQ(DecodeImage(testing::WriteWithQt(QImage(4, 4, QImage::Format_RGB32), "PNG")).error, ImageError::Unsupported);
}

TEST(Ico, DamagedDirectoriesAreRefusedWithTheirReason) {
  const std::vector<Image> pictures = {Filled(16, 1)};
  const Bytes good = EncodeIco(pictures);
  struct Case {
    std::string name;
    std::function<void(Bytes&)> damage;
    ImageError error;
  };
  const std::vector<Case> cases = {
      {"no entries", [](Bytes& b) { b[4] = 0; }, ImageError::Corrupt},
      {"entry past the end", [](Bytes& b) { b[18] = 0xFF; b[19] = 0xFF; }, ImageError::Truncated},
      {"more entries than the directory holds", [](Bytes& b) { b[4] = 200; }, ImageError::Truncated},
      {"bitmap height not doubled", [](Bytes& b) { b[22 + 8] = 15; }, ImageError::Corrupt},
      {"not an icon", [](Bytes& b) { b[2] = 7; }, ImageError::UnknownFormat},
  };
  for (const Case& c : cases) {
    Bytes file = good;
    c.damage(file);
    EXPECT_EQ(DecodeIco(file).error, c.error) << c.name << ": " << DecodeIco(file).message;
  }
}

TEST(Ico, DamagedIconsGiveAnErrorOrAPicture) {
  const std::vector<Image> pictures = {testing::TestPicture(16, 16, true), testing::TestPicture(32, 32)};
  const Bytes file = EncodeIco(pictures);
  testing::ExpectTruncationsFail(file, [](std::span<const std::uint8_t> b) { return DecodeIco(b); });
  testing::ExpectCorruptionsContained(file, [](std::span<const std::uint8_t> b) { return DecodeIco(b); }, 120);
}

}  // namespace
}  // namespace tavero::images
