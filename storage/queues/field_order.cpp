// Field comparison for keyed queue operations.
//
// Storage forms compared (little-endian as the program holds them):
//   UINT8, INT16, UINT16, DATE4, TIME4, INT32, UINT32   binary integers
//   FLOAT32, FLOAT64                                    IEEE floats
//   PACKED, PACKED2   the packed decimal forms, compared exactly
//   BFLOAT32, BFLOAT64  the old binary form: last byte the exponent (0: zero),
//             the byte before it the sign bit and the top of the mantissa
//   FIXSTR, GROUP  the bytes; ZSTR up to its zero byte; LENSTR its length byte
//             then the characters
#include "storage/queues/field_order.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "decimal/decimal.h"
#include "locale/locale.h"

namespace tavero::queues {
namespace {

using driver::FieldType;

template <typename T>
T Load(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

std::string_view Clipped(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

std::string_view Text(const driver::FieldDescriptor& f, const std::uint8_t* p) {
  const auto* c = reinterpret_cast<const char*>(p);
  switch (f.type) {
    case FieldType::ZSTR: return {c, strnlen(c, f.element_size)};
    case FieldType::LENSTR:
      if (f.element_size == 0) return {};
      return {c + 1, std::min<std::size_t>(p[0], f.element_size - 1)};
    default: return {c, f.element_size};
  }
}

int CompareDecimals(const driver::FieldDescriptor& f, const std::uint8_t* a, const std::uint8_t* b) {
  const auto form = f.type == FieldType::PACKED ? decimal::PackedForm::kDecimal : decimal::PackedForm::kPDecimal;
  return decimal::Compare(decimal::ReadPacked(form, {a, f.element_size}, f.places),
                          decimal::ReadPacked(form, {b, f.element_size}, f.places));
}

// The old binary float as a sortable magnitude: exponent, then mantissa
// bytes from the most significant.
int CompareOldBinaryFloats(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  const auto sign = [bytes](const std::uint8_t* p) {
    if (p[bytes - 1] == 0) return 0;  // zero whatever the mantissa says
    return (p[bytes - 2] & 0x80) ? -1 : 1;
  };
  const int sa = sign(a), sb = sign(b);
  if (sa != sb) return sa < sb ? -1 : 1;
  if (sa == 0) return 0;
  int order = Order(a[bytes - 1], b[bytes - 1]);
  if (order == 0) order = Order(a[bytes - 2] & 0x7F, b[bytes - 2] & 0x7F);
  for (std::size_t i = bytes - 2; order == 0 && i-- > 0;) order = Order(a[i], b[i]);
  return sa < 0 ? -order : order;
}

int CompareElement(const driver::FieldDescriptor& f, const std::uint8_t* a, const std::uint8_t* b) {
  switch (f.type) {
    case FieldType::UINT8: return Order(a[0], b[0]);
    case FieldType::INT16: return Order(Load<std::int16_t>(a), Load<std::int16_t>(b));
    case FieldType::UINT16: return Order(Load<std::uint16_t>(a), Load<std::uint16_t>(b));
    case FieldType::DATE4:
    case FieldType::TIME4:
    case FieldType::INT32: return Order(Load<std::int32_t>(a), Load<std::int32_t>(b));
    case FieldType::UINT32: return Order(Load<std::uint32_t>(a), Load<std::uint32_t>(b));
    case FieldType::FLOAT32: return Order(Load<float>(a), Load<float>(b));
    case FieldType::FLOAT64: return Order(Load<double>(a), Load<double>(b));
    case FieldType::PACKED:
    case FieldType::PACKED2: return CompareDecimals(f, a, b);
    case FieldType::BFLOAT32: return CompareOldBinaryFloats(a, b, 4);
    case FieldType::BFLOAT64: return CompareOldBinaryFloats(a, b, 8);
    default: return CompareCollated(Clipped(Text(f, a)), Clipped(Text(f, b)));
  }
}

}  // namespace

int CompareField(const driver::FieldDescriptor& f, const std::uint8_t* a, const std::uint8_t* b) {
  if (f.type == FieldType::GROUP) {
    return CompareCollated(Clipped({reinterpret_cast<const char*>(a + f.offset), f.size}),
                           Clipped({reinterpret_cast<const char*>(b + f.offset), f.size}));
  }
  // Arrays compare element by element.
  for (std::uint32_t i = 0; i < f.element_count; ++i) {
    const std::size_t at = f.offset + static_cast<std::size_t>(i) * f.element_size;
    if (const int order = CompareElement(f, a + at, b + at)) return order;
  }
  return 0;
}

}  // namespace tavero::queues
