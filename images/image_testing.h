// Test support for images/: test pictures, Qt's reader as an independent
// oracle, and the checks every decoder's tests share.
#pragma once

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "images/image.h"

namespace tavero::images::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const QByteArray& a) { return Bytes(a.begin(), a.end()); }
inline QByteArray ToQt(std::span<const std::uint8_t> b) {
  return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

// A picture with gradients, a few hard edges and (when `alpha`) a ramp of
// transparency, so that a wrong channel, row order or stride shows.
inline Image TestPicture(int width, int height, bool alpha = false) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.resize(static_cast<std::size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image.rgba.data() + (static_cast<std::size_t>(y) * width + x) * 4;
      p[0] = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
      p[1] = static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1));
      p[2] = static_cast<std::uint8_t>(((x / 4 + y / 4) % 2) ? 200 : 30);
      p[3] = alpha ? static_cast<std::uint8_t>((x + y) % 3 == 0 ? 0 : 255 - (x * 7 + y) % 128) : 255;
    }
  }
  return image;
}

inline QImage ToQImage(const Image& image) {
  QImage q(image.width, image.height, QImage::Format_RGBA8888);
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(q.scanLine(y), image.rgba.data() + static_cast<std::size_t>(y) * image.width * 4,
                static_cast<std::size_t>(image.width) * 4);
  }
  return q;
}

inline Image FromQImage(const QImage& q) {
  const QImage c = q.convertToFormat(QImage::Format_RGBA8888);
  Image image;
  image.width = c.width();
  image.height = c.height();
  image.rgba.resize(static_cast<std::size_t>(c.width()) * c.height() * 4);
  for (int y = 0; y < c.height(); ++y) {
    std::memcpy(image.rgba.data() + static_cast<std::size_t>(y) * c.width() * 4, c.constScanLine(y),
                static_cast<std::size_t>(c.width()) * 4);
  }
  return image;
}

// Written by Qt's own plugin for `format` ("BMP", "JPEG", "ICO", "PNG").
inline Bytes WriteWithQt(const QImage& image, const char* format, int quality = -1) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(quality);
  EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
  return ToBytes(data);
}

// Read by Qt's own plugin, the format found from the content.
inline Image ReadWithQt(std::span<const std::uint8_t> bytes) {
  QImage q;
  EXPECT_TRUE(q.loadFromData(ToQt(bytes))) << "Qt cannot read the test file";
  return FromQImage(q);
}

// Same size and, pixel by pixel, channels within `tolerance`; pixels that
// are fully transparent in both compare by alpha alone.
inline ::testing::AssertionResult SamePixels(const Image& expected, const Image& actual, int tolerance = 0) {
  if (expected.width != actual.width || expected.height != actual.height) {
    return ::testing::AssertionFailure() << "size " << actual.width << "x" << actual.height << ", expected "
                                         << expected.width << "x" << expected.height;
  }
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < expected.width; ++x) {
      const auto e = expected.pixel(x, y);
      const auto a = actual.pixel(x, y);
      const int channels = (e[3] == 0 && a[3] == 0) ? 0 : 4;
      for (int c = 0; c < channels; ++c) {
        if (std::abs(e[c] - a[c]) > tolerance) {
          return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << int(a[0]) << "," << int(a[1])
                                               << "," << int(a[2]) << "," << int(a[3]) << ", expected " << int(e[0])
                                               << "," << int(e[1]) << "," << int(e[2]) << "," << int(e[3]);
        }
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// What must hold for any input: an error, or a decoded image of the stated
// size within the limits.
inline ::testing::AssertionResult WellFormed(const DecodeResult& r, const DecodeLimits& limits = {}) {
  if (!r.ok()) {
    if (r.message.empty()) return ::testing::AssertionFailure() << "an error without a message";
    return ::testing::AssertionSuccess();
  }
  if (r.image.width <= 0 || r.image.height <= 0 || r.image.width > limits.max_width ||
      r.image.height > limits.max_height ||
      r.image.rgba.size() != static_cast<std::size_t>(r.image.width) * r.image.height * 4) {
    return ::testing::AssertionFailure() << "decoded image breaks its invariant";
  }
  return ::testing::AssertionSuccess();
}

// Every prefix of `file` shorter than it decodes to an error or to exactly
// the whole file's picture (data after the picture, such as a GIF's
// trailer, may be missing).
inline void ExpectTruncationsFail(std::span<const std::uint8_t> file, DecodeResult (*decode)(std::span<const std::uint8_t>)) {
  const DecodeResult whole = decode(file);
  ASSERT_TRUE(whole.ok()) << whole.message;
  const std::size_t step = file.size() > 4096 ? file.size() / 1024 : 1;
  for (std::size_t length = 0; length < file.size(); length += step) {
    const DecodeResult cut = decode(file.first(length));
    ASSERT_TRUE(WellFormed(cut)) << "cut at " << length;
    if (cut.ok()) {
      ASSERT_TRUE(SamePixels(whole.image, cut.image)) << "cut at " << length << " decoded differently";
    }
  }
}

// Every byte of the first `span` bytes (all of a small file) replaced by
// several values, and bytes through the rest of the file: each result is
// well formed.
inline void ExpectCorruptionsContained(std::span<const std::uint8_t> file,
                                       DecodeResult (*decode)(std::span<const std::uint8_t>), std::size_t span = 160) {
  Bytes copy(file.begin(), file.end());
  const auto check = [&](std::size_t at) {
    const std::uint8_t original = copy[at];
    for (const std::uint8_t value : {std::uint8_t(original ^ 0xFF), std::uint8_t(original + 1), std::uint8_t(0),
                                     std::uint8_t(0x7F), std::uint8_t(0xFF)}) {
      copy[at] = value;
      ASSERT_TRUE(WellFormed(decode(copy))) << "byte " << at << " set to " << int(value);
    }
    copy[at] = original;
  };
  for (std::size_t at = 0; at < std::min(span, copy.size()); ++at) check(at);
  for (std::size_t at = span; at < copy.size(); at += 1 + copy.size() / 256) check(at);
}

}  // namespace tavero::images::testing
