// Format detection by leading bytes, the dispatch to the decoders, and the
// reading of a picture file.
#include "images/image.h"

#include <fstream>
#include <iterator>

#include "images/decode_support.h"

namespace tavero::images {

using detail::Fail;

std::string_view ImageFormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::Bmp: return "BMP";
    case ImageFormat::Jpeg: return "JPEG";
    case ImageFormat::Gif: return "GIF";
    case ImageFormat::Pcx: return "PCX";
    case ImageFormat::Ico: return "ICO";
    case ImageFormat::Png: return "PNG";
    case ImageFormat::Unknown: break;
  }
  return "unknown";
}

std::string_view ImageErrorName(ImageError error) {
  switch (error) {
    case ImageError::None: return "none";
    case ImageError::CannotRead: return "cannot read";
    case ImageError::UnknownFormat: return "unknown format";
    case ImageError::Truncated: return "truncated";
    case ImageError::Corrupt: return "corrupt";
    case ImageError::TooLarge: return "too large";
    case ImageError::Unsupported: return "unsupported";
  }
  return "unknown error";
}

// Leading bytes of each format:
//   BMP   "BM"
//   JPEG  FF D8 FF (start of image, then the first marker)
//   GIF   "GIF87a" or "GIF89a"
//   PNG   89 "PNG" 0D 0A 1A 0A
//   ICO   00 00 01 00 (reserved 0, type 1 = icon), then a count of at least 1
//   PCX   0A, version 0 to 5, encoding 0 or 1, bits per plane 1, 2, 4 or 8
ImageFormat DetectImageFormat(std::span<const std::uint8_t> b) {
  const auto starts = [&](std::initializer_list<std::uint8_t> prefix) {
    if (b.size() < prefix.size()) return false;
    std::size_t i = 0;
    for (const std::uint8_t byte : prefix) {
      if (b[i++] != byte) return false;
    }
    return true;
  };
  if (starts({'B', 'M'})) return ImageFormat::Bmp;
  if (starts({0xFF, 0xD8, 0xFF})) return ImageFormat::Jpeg;
  if (starts({'G', 'I', 'F', '8', '7', 'a'}) || starts({'G', 'I', 'F', '8', '9', 'a'})) return ImageFormat::Gif;
  if (starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return ImageFormat::Png;
  if (starts({0, 0, 1, 0}) && b.size() >= 6 && (b[4] | b[5]) != 0) return ImageFormat::Ico;
  if (b.size() >= 4 && b[0] == 0x0A && b[1] <= 5 && b[2] <= 1 &&
      (b[3] == 1 || b[3] == 2 || b[3] == 4 || b[3] == 8)) {
    return ImageFormat::Pcx;
  }
  return ImageFormat::Unknown;
}

DecodeResult DecodeImage(std::span<const std::uint8_t> bytes, const DecodeLimits& limits) {
  switch (DetectImageFormat(bytes)) {
    case ImageFormat::Bmp: return DecodeBmp(bytes, limits);
    case ImageFormat::Jpeg: return DecodeJpeg(bytes, limits);
    case ImageFormat::Gif: return DecodeGif(bytes, limits);
    case ImageFormat::Pcx: return DecodePcx(bytes, limits);
    case ImageFormat::Ico: return DecodeIco(bytes, limits);
    case ImageFormat::Png: return Fail(ImageError::Unsupported, "PNG pictures are not decoded");
    case ImageFormat::Unknown: break;
  }
  return Fail(ImageError::UnknownFormat, "the leading bytes name no known picture format");
}

DecodeResult LoadImageFile(const std::filesystem::path& path, const DecodeLimits& limits) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return Fail(ImageError::CannotRead, "no file " + path.string());
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(ImageError::CannotRead, "cannot open " + path.string());
  std::vector<std::uint8_t> bytes;
  char buffer[65536];
  while (in) {
    in.read(buffer, sizeof buffer);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (bytes.size() + got > limits.max_file_bytes) {
      return Fail(ImageError::TooLarge, path.string() + " is larger than the file size limit");
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  if (in.bad()) return Fail(ImageError::CannotRead, "cannot read " + path.string());
  return DecodeImage(bytes, limits);
}

}  // namespace tavero::images
