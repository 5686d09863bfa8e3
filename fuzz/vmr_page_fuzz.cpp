// Any bytes given as a stored page either decode or give an internal
// error; a page that decodes encodes again to a page that decodes to the
// same records.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "storage/vmr/page_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavero::vmr;
  std::span<const std::uint8_t> bytes(data, size);
  const std::uint32_t block = size >= 4 ? (Load32(data) - kHeaderSize) / kBlockSize : 0;
  PageContent page;
  if (!DecodePage(bytes, block, page).ok()) return 0;
  std::vector<std::uint8_t> stored;
  if (!EncodePage(page, block, stored).ok()) return 0;  // over 59 blocks
  PageContent again;
  if (!DecodePage(stored, block, again).ok()) std::abort();
  if (again.records != page.records || again.children != page.children || again.level != page.level) std::abort();
  return 0;
}
