// Reading a bound variable's value from program memory, by its field type.
//
// Storage forms (little-endian as the program holds them):
//   UINT8 1, INT16 2, UINT16 3, INT32 6, UINT32 7   binary integers
//   DATE4 4, TIME4 5                                day number / time value as INT32
//   FLOAT32 8, FLOAT64 9                            IEEE binary floats
//   PACKED 10, PACKED2 11   the two packed decimal forms (decimal/decimal.h)
//   BFLOAT32 13, BFLOAT64 14   the old binary format: last byte the exponent
//               (bias 129, 0 means zero), the byte before it holds the sign bit
//               and the top of the mantissa (hidden leading one)
//   FIXSTR 18, 21   the bytes, blank padded
//   ZSTR 19         up to the first zero byte
//   LENSTR 20       a length byte, then that many characters (at most size - 1)
//   GROUP 22        the bytes
#include <cassert>
#include <cmath>
#include <cstring>

#include "decimal/decimal.h"
#include "eval/nodes.h"

namespace tavero::eval {
namespace {

template <typename T>
T Load(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

double Packed(const std::uint8_t* p, std::uint32_t size, std::uint8_t places, decimal::PackedForm form) {
  return decimal::ReadPacked(form, {p, size}, places).ToDouble();
}

double OldBinaryFloat(const std::uint8_t* p, int bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  const int exponent = b[bytes - 1];
  if (exponent == 0) return 0;
  const bool negative = (b[bytes - 2] & 0x80) != 0;
  // Mantissa bits below the sign, most significant byte first.
  double mantissa = (b[bytes - 2] & 0x7F) | 0x80;
  for (int i = bytes - 3; i >= 0; --i) mantissa = mantissa * 256 + b[i];
  const int mantissa_bits = 8 * (bytes - 1);
  const double v = std::ldexp(mantissa, exponent - 128 - mantissa_bits);
  return negative ? -v : v;
}

}  // namespace

std::uint32_t Variable::ElementCount() const {
  std::uint32_t n = 1;
  for (std::uint32_t d : dimensions) n *= d == 0 ? 1 : d;
  return n == 0 ? 1 : n;
}

ValueClass ClassOfFieldType(std::uint8_t type) {
  if (type < 7) return ValueClass::Long;
  if (type >= 18) return ValueClass::String;
  return ValueClass::Real;
}

Element ElementOf(const Variable& v, std::uint32_t index) {
  assert(index < v.ElementCount());
  const std::uint32_t size = v.ElementSize();
  return {v.address + static_cast<std::size_t>(index) * size, size, v.type, v.places};
}

std::int32_t ElementLongByConversion(const Element& e) {
  const std::uint8_t* p = e.address;
  switch (e.type) {
    case 1: return e.size >= 1 ? Load<std::uint8_t>(p) : 0;
    case 2: return e.size >= 2 ? Load<std::int16_t>(p) : 0;
    case 3: return e.size >= 2 ? Load<std::uint16_t>(p) : 0;
    case 4:
    case 5:
    case 6: return e.size >= 4 ? Load<std::int32_t>(p) : 0;
    default: return RealToLong(ElementReal(e));
  }
}

double ElementReal(const Element& e) {
  const std::uint8_t* p = e.address;
  switch (e.type) {
    case 1: case 2: case 3: case 4: case 5: case 6: return ElementLong(e);
    case 7: return e.size >= 4 ? Load<std::uint32_t>(p) : 0;
    case 8: return e.size >= 4 ? Load<float>(p) : 0;
    case 9: return e.size >= 8 ? Load<double>(p) : 0;
    case 10: return Packed(p, e.size, e.places, decimal::PackedForm::kDecimal);
    case 11: return Packed(p, e.size, e.places, decimal::PackedForm::kPDecimal);
    case 13: return e.size >= 4 ? OldBinaryFloat(p, 4) : 0;
    case 14: return e.size >= 8 ? OldBinaryFloat(p, 8) : 0;
    default: return TextToReal(ElementString(e));
  }
}

std::string ElementString(const Element& e) {
  const char* text = reinterpret_cast<const char*>(e.address);
  switch (e.type) {
    case 19: return std::string(text, strnlen(text, e.size));
    case 20: {
      if (e.size == 0) return {};
      const std::uint32_t length = static_cast<unsigned char>(text[0]);
      return std::string(text + 1, std::min(length, e.size - 1));
    }
    default:
      if (e.type >= 18) return std::string(text, e.size);
      if (e.type < 7) return std::to_string(ElementLong(e));
      return RealToText(ElementReal(e));
  }
}

}  // namespace tavero::eval
