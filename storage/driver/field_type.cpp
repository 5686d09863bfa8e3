#include "storage/driver/field_type.h"

namespace tavero::driver {
namespace {

constexpr StoredAs No = StoredAs::No;
constexpr StoredAs Overlaid = StoredAs::OverlaidOnly;
constexpr StoredAs Yes = StoredAs::Yes;

constexpr FieldTypeInfo kFieldTypes[] = {
    {FieldType::UINT8, "UINT8", 1, Yes, No},
    {FieldType::INT16, "INT16", 2, Yes, No},
    {FieldType::UINT16, "UINT16", 2, Yes, No},
    {FieldType::DATE4, "DATE4", 4, Overlaid, No},
    {FieldType::TIME4, "TIME4", 4, Overlaid, No},
    {FieldType::INT32, "INT32", 4, Yes, No},
    {FieldType::UINT32, "UINT32", 4, Yes, No},
    {FieldType::FLOAT32, "FLOAT32", 4, Yes, No},
    {FieldType::FLOAT64, "FLOAT64", 8, Yes, No},
    {FieldType::PACKED, "PACKED", 0, Yes, No},
    {FieldType::PACKED2, "PACKED2", 0, Overlaid, No},
    {FieldType::BFLOAT32, "BFLOAT32", 4, Overlaid, No},
    {FieldType::BFLOAT64, "BFLOAT64", 8, Overlaid, No},
    {FieldType::FIXSTR, "FIXSTR", 0, Yes, Yes},
    {FieldType::ZSTR, "ZSTR", 0, Yes, No},
    {FieldType::LENSTR, "LENSTR", 0, Yes, No},
    {FieldType::GROUP, "GROUP", 0, Yes, Yes},
};

}  // namespace

std::optional<FieldTypeInfo> FieldTypeInfoFor(std::uint8_t type_byte) {
  for (const FieldTypeInfo& info : kFieldTypes) {
    if (static_cast<std::uint8_t>(info.type) == type_byte) return info;
  }
  return std::nullopt;
}

}  // namespace tavero::driver
