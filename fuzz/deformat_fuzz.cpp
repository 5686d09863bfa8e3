// DEFORMAT of fuzzed text with fuzzed pictures: input is the picture, a NUL,
// then the typed text. The result never exceeds 255 characters; a picture
// that does not compile gives "".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "pictures/picture.h"

using namespace tavero::pictures;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view picture = input.substr(0, split);
  const std::string_view text = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
  const std::string out = DEFORMAT(text, picture);
  if (out.size() > 255) std::abort();
  CompiledPicture pic;
  if (!picture.empty() && CompilePicture(picture, pic) == 0 && !out.empty()) std::abort();
  return 0;
}
