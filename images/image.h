// Images: the decoders behind image controls, tree icons and report pictures.
//
// Every picture, whatever its file format, decodes to one form: an `Image`
// of width × height pixels, four bytes each (red, green, blue, alpha; alpha
// 255 is opaque, not premultiplied), rows from the top. The format is chosen
// by the file's leading bytes, never by its name.
//
// Picture files are untrusted: every read is bounds-checked, sizes are capped
// by `DecodeLimits`, and a picture that cannot be decoded gives an error
// value. No decoder throws, aborts or ends the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavero::images {

// The decoded form. Invariant: rgba.size() == width * height * 4, and
// width and height are both positive for a decoded image.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;

  bool empty() const { return width <= 0 || height <= 0; }
  // The four bytes of pixel (x, y); x < width, y < height.
  std::span<const std::uint8_t, 4> pixel(int x, int y) const {
    return std::span<const std::uint8_t, 4>(
        rgba.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4, 4);
  }
};

enum class ImageFormat : std::uint8_t { Unknown, Bmp, Jpeg, Gif, Pcx, Ico, Png };

enum class ImageError : std::uint8_t {
  None = 0,
  CannotRead,     // the file is missing or could not be read
  UnknownFormat,  // the leading bytes name no format decoded here
  Truncated,      // the data ends before the picture does
  Corrupt,        // a header field or the coded data is inconsistent
  TooLarge,       // dimensions or decoded bytes beyond the limits
  Unsupported,    // a well-formed variant not decoded here (PNG, for one)
};

// Size caps applied before any pixel memory is taken.
struct DecodeLimits {
  int max_width = 16384;
  int max_height = 16384;
  std::size_t max_pixel_bytes = std::size_t{256} << 20;  // of the RGBA result
  std::size_t max_file_bytes = std::size_t{64} << 20;    // read by LoadImageFile
};

// An image or the reason there is none. `message` is a short English text
// for logs and tests ("BMP: RLE8 run past the end of a row"); callers show
// nothing for a failed picture.
struct DecodeResult {
  Image image;
  ImageError error = ImageError::None;
  std::string message;

  bool ok() const { return error == ImageError::None; }
};

std::string_view ImageFormatName(ImageFormat format);
std::string_view ImageErrorName(ImageError error);

// The format the leading bytes announce (Unknown when none matches).
ImageFormat DetectImageFormat(std::span<const std::uint8_t> bytes);

// Decodes a whole picture file held in memory, format by its leading bytes.
// For an icon file the entry nearest 32 pixels is taken (see DecodeIco).
DecodeResult DecodeImage(std::span<const std::uint8_t> bytes, const DecodeLimits& limits = {});

// Reads a file (at most limits.max_file_bytes) and decodes it.
DecodeResult LoadImageFile(const std::filesystem::path& path, const DecodeLimits& limits = {});

// The decoders one by one, each for the whole file of its format.
DecodeResult DecodeBmp(std::span<const std::uint8_t> bytes, const DecodeLimits& limits = {});
DecodeResult DecodeJpeg(std::span<const std::uint8_t> bytes, const DecodeLimits& limits = {});
DecodeResult DecodeGif(std::span<const std::uint8_t> bytes, const DecodeLimits& limits = {});
DecodeResult DecodePcx(std::span<const std::uint8_t> bytes, const DecodeLimits& limits = {});
// An icon file holds several pictures; the one taken is the smallest whose
// side is at least `wanted_size` (else the largest), the deepest colour among
// equals. Entries in PNG form are refused with Unsupported.
DecodeResult DecodeIco(std::span<const std::uint8_t> bytes, const DecodeLimits& limits = {}, int wanted_size = 32);

// A device-independent bitmap without its file header, as metafile records
// carry it: a BITMAPINFOHEADER (or a later, longer header), its bit fields or
// colour table, then its pixels.
DecodeResult DecodeDib(std::span<const std::uint8_t> bytes, const DecodeLimits& limits = {});
// The reverse, for writers of such records: a 40-byte header, 32 bits per
// pixel, no compression, rows from the bottom, blue-green-red-alpha. DecodeDib
// reads the alpha back (a fourth byte of 0 throughout means opaque).
std::vector<std::uint8_t> EncodeDib(const Image& image);

// An icon file of the given pictures (each 1 to 256 pixels a side), each
// stored as a 32-bit bitmap with alpha and an AND mask set where alpha is
// below 128, for readers that ignore alpha.
std::vector<std::uint8_t> EncodeIco(std::span<const Image> pictures);

// Finds a picture file the program names ("star1.ico", "SPORTS~1.ICO"): first
// in the working directory, then in `program_directory`; the name matches in
// any case, and a short name of the form "SPORTS~1.ICO" also matches the long
// name it stands for ("Sports My Computer.ico"). Nothing found: nullopt.
std::optional<std::filesystem::path> FindImageFile(std::string_view name,
                                                   const std::filesystem::path& program_directory);
// The same, beside the running program.
std::optional<std::filesystem::path> FindImageFile(std::string_view name);

}  // namespace tavero::images
