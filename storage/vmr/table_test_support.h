// Small builders for table declarations in the record layer's tests.
#pragma once

#include <utility>
#include <vector>

#include "storage/vmr/table_definition.h"

namespace tavero::vmr::test_support {

inline FieldDefinition make_field(std::uint8_t type, std::uint16_t offset, std::uint16_t size, const char* name) {
  FieldDefinition f;
  f.type = type;
  f.offset = offset;
  f.size = size;
  f.name = name;
  if (type == field_type::packed) {
    f.byte_size = static_cast<std::uint8_t>(size);
    f.places = 2;
  }
  if (is_text_type(type)) f.declared_length = size;
  return f;
}

inline KeyDefinition make_key(const char* name, std::uint32_t attributes, std::vector<KeyComponent> components) {
  KeyDefinition k;
  k.name = name;
  k.attributes = attributes;
  k.components = std::move(components);
  return k;
}

}  // namespace tavero::vmr::test_support
