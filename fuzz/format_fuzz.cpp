// FORMAT of fuzzed values with fuzzed pictures: input is the picture, a NUL,
// then the value text. Every entry must give either "" or exactly the
// picture's width.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "decimal/decimal.h"
#include "pictures/picture.h"

using namespace tavero;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view picture = input.substr(0, split);
  const std::string_view value = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
  pictures::CompiledPicture pic;
  const std::size_t width = pictures::CompilePicture(picture, pic) == 0 ? 0 : static_cast<std::size_t>(pic.width());
  auto check = [&](const std::string& out) {
    if (out.size() != width) std::abort();
  };
  check(pictures::FORMAT(value, picture));
  std::int64_t long_value = 0;
  if (!value.empty()) std::memcpy(&long_value, value.data(), std::min(value.size(), sizeof long_value));
  check(pictures::FORMAT(long_value, picture));
  check(pictures::FORMAT(static_cast<std::int64_t>(static_cast<std::int32_t>(long_value)), picture));
  double real = 0;
  if (!value.empty()) std::memcpy(&real, value.data(), std::min(value.size(), sizeof real));
  check(pictures::FORMAT(real, picture));
  check(pictures::FORMAT(decimal::DecimalAccumulator::FromText(value), picture));
  return 0;
}
