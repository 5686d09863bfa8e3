// JPEG pictures through libjpeg's decompression interface.
//
// libjpeg reports a fatal error by calling the error manager's error_exit,
// which must not return. Ours longjmps back to the setjmp in the stage that
// called the library. The rule that keeps this sound in C++: a stage that
// calls setjmp holds only trivially destructible locals, and everything
// that owns memory (the pixel vector, the decompressor's own pools) lives in
// the caller, outside the jump's path. The decompressor is destroyed by
// the caller in every case; jpeg_destroy_decompress is safe after an error.
#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "images/decode_support.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace tavero::images {

using detail::Fail;

namespace {

struct JpegErrorManager {
  jpeg_error_mgr base;  // first, so that the library's pointer is ours
  std::jmp_buf jump;
  ImageError error;
  char message[JMSG_LENGTH_MAX];
};

JpegErrorManager& ManagerOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrorManager*>(cinfo->err); }

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  JpegErrorManager& manager = ManagerOf(cinfo);
  if (manager.error == ImageError::None) {
    manager.error = ImageError::Corrupt;
    cinfo->err->format_message(cinfo, manager.message);
  }
  std::longjmp(manager.jump, 1);
}

// Warnings (level -1) about damaged data end the decoding as errors; a
// picture that decodes only with the library's patching is not shown.
// Harmless notes (stray bytes before a marker, an unknown JFIF revision or
// Adobe transform, a damaged colour profile) are let through. Trace
// messages (level >= 0) are dropped. Nothing is printed.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level != -1) return;
  switch (cinfo->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
    case JWRN_BOGUS_ICC:
      return;
    default:
      break;
  }
  JpegErrorManager& manager = ManagerOf(cinfo);
  manager.error = cinfo->err->msg_code == JWRN_JPEG_EOF ? ImageError::Truncated : ImageError::Corrupt;
  cinfo->err->format_message(cinfo, manager.message);
  std::longjmp(manager.jump, 1);
}

void OutputMessage(j_common_ptr) {}

// Stage 1: the header and the output size. Trivially destructible locals
// only (see the top of the file).
bool ReadHeader(jpeg_decompress_struct& cinfo, JpegErrorManager& manager, const std::uint8_t* data, std::size_t size) {
  if (setjmp(manager.jump) != 0) return false;
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  switch (cinfo.jpeg_color_space) {
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo.out_color_space = JCS_CMYK;
      break;
    default:
      cinfo.out_color_space = JCS_RGB;
      break;
  }
  jpeg_calc_output_dimensions(&cinfo);
  return true;
}

// Stage 2: the scanlines into `pixels` (width × height × 4 bytes, owned by
// the caller). RGB rows are read into their own place and spread to four
// bytes per pixel from the right end; CMYK rows fill all four bytes and are
// turned to RGB after.
bool ReadPixels(jpeg_decompress_struct& cinfo, JpegErrorManager& manager, std::uint8_t* pixels) {
  if (setjmp(manager.jump) != 0) return false;
  jpeg_start_decompress(&cinfo);
  const std::size_t row_bytes = static_cast<std::size_t>(cinfo.output_width) * 4;
  while (cinfo.output_scanline < cinfo.output_height) {
    std::uint8_t* row = pixels + static_cast<std::size_t>(cinfo.output_scanline) * row_bytes;
    JSAMPROW rows[1] = {row};
    if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) {
      manager.error = ImageError::Truncated;
      std::strcpy(manager.message, "scanlines ended early");
      return false;
    }
    if (cinfo.out_color_space == JCS_CMYK) {
      // Adobe's writers store CMYK inverted; so does almost every CMYK file.
      for (std::size_t x = 0; x < cinfo.output_width; ++x) {
        std::uint8_t* p = row + x * 4;
        const unsigned k = p[3];
        p[0] = static_cast<std::uint8_t>(p[0] * k / 255);
        p[1] = static_cast<std::uint8_t>(p[1] * k / 255);
        p[2] = static_cast<std::uint8_t>(p[2] * k / 255);
        p[3] = 255;
      }
    } else {
      for (std::size_t x = cinfo.output_width; x-- > 0;) {
        row[x * 4 + 3] = 255;
        row[x * 4 + 2] = row[x * 3 + 2];
        row[x * 4 + 1] = row[x * 3 + 1];
        row[x * 4] = row[x * 3];
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

class Decompressor {
 public:
  Decompressor() {
    std::memset(&manager_, 0, sizeof manager_);
    std::memset(&cinfo_, 0, sizeof cinfo_);
    cinfo_.err = jpeg_std_error(&manager_.base);
    manager_.base.error_exit = ErrorExit;
    manager_.base.emit_message = EmitMessage;
    manager_.base.output_message = OutputMessage;
    manager_.error = ImageError::None;
    if (setjmp(manager_.jump) == 0) {
      jpeg_create_decompress(&cinfo_);
      created_ = true;
    }
  }
  ~Decompressor() {
    if (created_) jpeg_destroy_decompress(&cinfo_);
  }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  bool created() const { return created_; }
  jpeg_decompress_struct& cinfo() { return cinfo_; }
  JpegErrorManager& manager() { return manager_; }
  DecodeResult Failure() const {
    return Fail(manager_.error == ImageError::None ? ImageError::Corrupt : manager_.error,
                std::string("JPEG: ") + manager_.message);
  }

 private:
  jpeg_decompress_struct cinfo_;
  JpegErrorManager manager_;
  bool created_ = false;
};

}  // namespace

DecodeResult DecodeJpeg(std::span<const std::uint8_t> bytes, const DecodeLimits& limits) {
  if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8) return Fail(ImageError::UnknownFormat, "JPEG: no start of image");
  Decompressor jpeg;
  if (!jpeg.created()) return jpeg.Failure();
  if (!ReadHeader(jpeg.cinfo(), jpeg.manager(), bytes.data(), bytes.size())) return jpeg.Failure();
  DecodeResult result = detail::AllocateImage("JPEG", jpeg.cinfo().output_width, jpeg.cinfo().output_height, limits);
  if (!result.ok()) return result;
  // Progressive pictures keep all coefficients in memory: capped like the
  // pixels (the library has no backing store, so it fails rather than
  // exceed this).
  jpeg.cinfo().mem->max_memory_to_use = static_cast<long>(std::min<std::size_t>(limits.max_pixel_bytes * 2, LONG_MAX / 2));
  if (!ReadPixels(jpeg.cinfo(), jpeg.manager(), result.image.rgba.data())) return jpeg.Failure();
  return result;
}

}  // namespace tavero::images
