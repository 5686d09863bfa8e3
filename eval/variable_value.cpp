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

const std::uint8_t* ElementAddress(const Variable& v, std::uint32_t index) {
  assert(index < v.ElementCount());
  return v.address + static_cast<std::size_t>(index) * v.ElementSize();
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

std::int32_t VariableLong(const Variable& v, std::uint32_t index) {
  const std::uint8_t* p = ElementAddress(v, index);
  const std::uint32_t size = v.ElementSize();
  switch (v.type) {
    case 1: return size >= 1 ? Load<std::uint8_t>(p) : 0;
    case 2: return size >= 2 ? Load<std::int16_t>(p) : 0;
    case 3: return size >= 2 ? Load<std::uint16_t>(p) : 0;
    case 4:
    case 5:
    case 6: return size >= 4 ? Load<std::int32_t>(p) : 0;
    default: return RealToLong(VariableReal(v, index));
  }
}

double VariableReal(const Variable& v, std::uint32_t index) {
  const std::uint8_t* p = ElementAddress(v, index);
  const std::uint32_t size = v.ElementSize();
  switch (v.type) {
    case 1: case 2: case 3: case 4: case 5: case 6: return VariableLong(v, index);
    case 7: return size >= 4 ? Load<std::uint32_t>(p) : 0;
    case 8: return size >= 4 ? Load<float>(p) : 0;
    case 9: return size >= 8 ? Load<double>(p) : 0;
    case 10: return Packed(p, size, v.places, decimal::PackedForm::kDecimal);
    case 11: return Packed(p, size, v.places, decimal::PackedForm::kPDecimal);
    case 13: return size >= 4 ? OldBinaryFloat(p, 4) : 0;
    case 14: return size >= 8 ? OldBinaryFloat(p, 8) : 0;
    default: return TextToReal(VariableString(v, index));
  }
}

std::string VariableString(const Variable& v, std::uint32_t index) {
  const std::uint8_t* p = ElementAddress(v, index);
  const std::uint32_t size = v.ElementSize();
  const char* text = reinterpret_cast<const char*>(p);
  switch (v.type) {
    case 19: return std::string(text, strnlen(text, size));
    case 20: {
      if (size == 0) return {};
      const std::uint32_t length = static_cast<unsigned char>(text[0]);
      return std::string(text + 1, std::min(length, size - 1));
    }
    default:
      if (v.type >= 18) return std::string(text, size);
      if (v.type < 7) return std::to_string(VariableLong(v, index));
      return RealToText(VariableReal(v, index));
  }
}

}  // namespace tavero::eval
