// Feeds arbitrary bytes to `tavero vmr check` as a whole VMR file. The magic
// and header size are forced into place so that most inputs get past the
// header into the zones, pages and records. Any crash, hang or read outside
// the input is a fault; every outcome of the check is fine.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/vmr/format.h"
#include "storage/vmr/check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> image(data, data + size);
  if (image.size() >= tavero::vmr::kHeaderSize && (image[0] & 1) == 0) {
    for (int i = 0; i < 4; ++i) image[14 + i] = tavero::vmr::kMagic[i];
    image[4] = tavero::vmr::kHeaderSize & 0xFF;
    image[5] = tavero::vmr::kHeaderSize >> 8;
  }
  const auto result = tavero::vmr::CheckImage(image);
  (void)result;
  return 0;
}
