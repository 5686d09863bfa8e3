// Feeds arbitrary bytes to the RecordLayout flattening: the first two bytes
// give the record length, the rest is the stream. Any answer other than
// 0, 47, 75 or 79, and any read past the stream, is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "storage/driver/record_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint32_t record_length = data[0] | (data[1] << 8);
  const auto flat = tavero::driver::FlattenRecordLayout(std::span(data + 2, size - 2), record_length);
  switch (flat.error) {
    case 0:
      for (const auto& field : flat.fields) {
        if (field.offset + field.size > record_length) std::abort();
      }
      break;
    case 47:
    case 75:
    case 79:
      break;
    default:
      std::abort();
  }
  return 0;
}
