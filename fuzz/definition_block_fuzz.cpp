// Definition blocks as they could arrive damaged: any bytes must decode to a
// block or to BlockDamage, and a block that decodes must survive re-encoding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>

#include "ui/definitions/definitions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavero::definitions;
  const auto decoded = DecodeBlock(std::span(data, size));
  if (const DefinitionBlock* block = std::get_if<DefinitionBlock>(&decoded)) {
    const auto again = DecodeBlock(EncodeBlock(*block));
    if (!std::holds_alternative<DefinitionBlock>(again) || std::get<DefinitionBlock>(again) != *block) std::abort();
  }
  return 0;
}
