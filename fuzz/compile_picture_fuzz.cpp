// Feeds arbitrary picture text to CompilePicture. The answer must be 0 with
// a zeroed header, or 2 + 2 x width (2 for @S) with every token kind one of
// the defined codes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pictures/picture.h"

using namespace tavero::pictures;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CompiledPicture pic;
  const int bytes = CompilePicture(text, pic);
  if (bytes == 0) {
    if (pic.valid() || pic.bytes()[0] != 0) std::abort();
    return 0;
  }
  if (!pic.valid() || bytes > CompiledPicture::kMaxBytes) std::abort();
  if (pic.type() == PictureType::String) {
    if (bytes != 2) std::abort();
    return 0;
  }
  if (bytes != 2 + 2 * pic.width()) std::abort();
  for (int i = 0; i < pic.token_count(); ++i) {
    const int kind = static_cast<int>(pic.token(i).kind);
    if (kind > kMaxTokenKind || kind == 18) std::abort();
  }
  return 0;
}
