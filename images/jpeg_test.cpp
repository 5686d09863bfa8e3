// JPEG pictures: files written by Qt's JPEG plugin, read both by DecodeJpeg
// and by Qt's reader; damaged files end in an error value, never in the
// library ending the process.
#include "images/image_testing.h"

namespace tavero::images {
namespace {

using testing::Bytes;

struct JpegSpec {
  std::string name;
  int width = 37;  // not a multiple of the 8- or 16-pixel blocks
  int height = 29;
  int quality = 85;
  bool grey = false;
  bool progressive = false;
};

Bytes BuildJpeg(const JpegSpec& s) {
  QImage picture = testing::ToQImage(testing::TestPicture(s.width, s.height)).convertToFormat(QImage::Format_RGB32);
  if (s.grey) picture = picture.convertToFormat(QImage::Format_Grayscale8);
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "JPEG");
  writer.setQuality(s.quality);
  writer.setProgressiveScanWrite(s.progressive);
  EXPECT_TRUE(writer.write(picture)) << writer.errorString().toStdString();
  return testing::ToBytes(data);
}

const std::vector<JpegSpec>& Specs() {
  static const std::vector<JpegSpec> specs = {
      {.name = "quality_85"},
      {.name = "quality_20", .quality = 20},
      {.name = "grey", .grey = true},
      {.name = "progressive", .progressive = true},
      {.name = "one_pixel", .width = 1, .height = 1},
      {.name = "wide", .width = 301, .height = 3},
  };
  return specs;
}

class JpegLayout : public ::testing::TestWithParam<JpegSpec> {};

TEST_P(JpegLayout, DecodesAsQtReadsIt) {
  const Bytes file = BuildJpeg(GetParam());
  ASSERT_EQ(DetectImageFormat(file), ImageFormat::Jpeg);
  const DecodeResult ours = DecodeImage(file);
  ASSERT_TRUE(ours.ok()) << ours.message;
  EXPECT_TRUE(testing::SamePixels(testing::ReadWithQt(file), ours.image));
}

TEST_P(JpegLayout, TruncatedFileGivesAnError) {
  testing::ExpectTruncationsFail(BuildJpeg(GetParam()), [](std::span<const std::uint8_t> b) { return DecodeJpeg(b); });
}

TEST_P(JpegLayout, CorruptedBytesGiveAnErrorOrAPicture) {
  testing::ExpectCorruptionsContained(BuildJpeg(GetParam()), [](std::span<const std::uint8_t> b) { return DecodeJpeg(b); }, 400);
}

INSTANTIATE_TEST_SUITE_P(Layouts, JpegLayout, ::testing::ValuesIn(Specs()), [](const auto& info) { return info.param.name; });

TEST(Jpeg, LibraryErrorsComeBackAsValues) {
  struct Case {
    std::string name;
    Bytes file;
    ImageError error;
  };
  const Bytes good = BuildJpeg({});
  Bytes no_frame(good.begin(), good.begin() + 2);
  no_frame.insert(no_frame.end(), {0xFF, 0xD9});
  Bytes garbage = {0xFF, 0xD8, 0xFF, 0x01, 0x02, 0x03, 0x04};
  Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() * 2 / 3));
  Bytes twelve_bits = good;
  for (std::size_t i = 0; i + 4 < twelve_bits.size(); ++i) {
    if (twelve_bits[i] == 0xFF && twelve_bits[i + 1] == 0xC0) {
      twelve_bits[i + 4] = 12;  // sample precision
      break;
    }
  }
  const std::vector<Case> cases = {
      {"start then end of image", no_frame, ImageError::Corrupt},
      {"12-bit samples", twelve_bits, ImageError::Corrupt},
      {"a marker, then the data ends", garbage, ImageError::Truncated},
      {"scan cut short", cut, ImageError::Truncated},
  };
  for (const Case& c : cases) {
    const DecodeResult r = DecodeJpeg(c.file);
    EXPECT_EQ(r.error, c.error) << c.name << ": " << r.message;
    EXPECT_NE(r.message.find("JPEG: "), std::string::npos) << c.name;
  }
  // The decoder is whole again after the errors.
  EXPECT_TRUE(DecodeJpeg(good).ok());
}

TEST(Jpeg, SizeBeyondTheLimitsIsRefusedBeforeDecoding) {
  const Bytes file = BuildJpeg({.width = 64, .height = 48});
  EXPECT_EQ(DecodeJpeg(file, {.max_width = 63}).error, ImageError::TooLarge);
  EXPECT_EQ(DecodeJpeg(file, {.max_pixel_bytes = 64 * 48 * 4 - 1}).error, ImageError::TooLarge);
  EXPECT_TRUE(DecodeJpeg(file, {.max_pixel_bytes = 64 * 48 * 4}).ok());
}

}  // namespace
}  // namespace tavero::images
