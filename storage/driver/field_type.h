// Field types: the type byte of a RecordLayout entry, the element size of
// each type, and whether each driver stores it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavero::driver {

enum class FieldType : std::uint8_t {
  UINT8 = 1,
  INT16 = 2,
  UINT16 = 3,
  DATE4 = 4,
  TIME4 = 5,
  INT32 = 6,
  UINT32 = 7,
  FLOAT32 = 8,
  FLOAT64 = 9,
  PACKED = 10,
  PACKED2 = 11,
  BFLOAT32 = 13,
  BFLOAT64 = 14,
  FIXSTR = 18,
  ZSTR = 19,
  LENSTR = 20,
  GROUP = 22,
};

// Whether a driver accepts a field type as a stored field.
enum class StoredAs : std::uint8_t {
  No,            // the type fails with 79
  OverlaidOnly,  // accepted only where the field overlays earlier storage
  Yes,
};

struct FieldTypeInfo {
  FieldType type;
  std::string_view name;
  // Bytes of one element; 0 where the declaration gives it (PACKED, PACKED2,
  // the strings) or the members make it (GROUP).
  std::uint32_t element_size;
  StoredAs vmr;
  StoredAs ascii;
};

// The entry of `type_byte`, or nothing for a byte that names no field type.
std::optional<FieldTypeInfo> FieldTypeInfoFor(std::uint8_t type_byte);

inline bool IsStringType(FieldType t) {
  return t == FieldType::FIXSTR || t == FieldType::ZSTR || t == FieldType::LENSTR;
}
inline bool IsPackedType(FieldType t) { return t == FieldType::PACKED || t == FieldType::PACKED2; }

}  // namespace tavero::driver
