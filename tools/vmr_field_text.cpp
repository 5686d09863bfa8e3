#include "tools/vmr_field_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "decimal/decimal.h"
#include "locale/locale.h"

namespace tavero::tool {
namespace {

namespace type = vmr::field_type;

std::uint32_t ElementSize(const vmr::FieldDefinition& field) {
  return field.element_count == 0 ? 0 : field.size / field.element_count;
}

// The bytes of one element, or empty when the definition puts it outside
// the record.
template <typename Byte>
std::span<Byte> ElementBytes(const vmr::FieldDefinition& field, std::uint32_t element, std::span<Byte> record) {
  const std::uint64_t size = ElementSize(field);
  const std::uint64_t offset = field.offset + size * element;
  if (offset + size > record.size()) return {};
  return record.subspan(offset, size);
}

std::string TrimBlanks(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  return std::string(text.substr(0, end));
}

template <typename T>
T LoadLittleEndian(std::span<const std::uint8_t> bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
  if constexpr (std::is_floating_point_v<T>) {
    using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
    const Bits bits = static_cast<Bits>(value);
    T result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
  } else {
    return static_cast<T>(value);
  }
}

template <typename T>
void StoreLittleEndian(std::span<std::uint8_t> bytes, T value) {
  std::uint64_t bits = 0;
  if constexpr (std::is_floating_point_v<T>) {
    using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
    Bits b;
    std::memcpy(&b, &value, sizeof b);
    bits = b;
  } else {
    bits = static_cast<std::uint64_t>(value);
  }
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

template <typename T>
std::string Integer(std::span<const std::uint8_t> bytes) {
  return std::to_string(LoadLittleEndian<T>(bytes));
}

template <typename T>
std::string Floating(std::span<const std::uint8_t> bytes) {
  const T value = LoadLittleEndian<T>(bytes);
  if (!std::isfinite(value)) return "null";
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", std::numeric_limits<T>::max_digits10, static_cast<double>(value));
  return text;
}

template <typename T>
std::string ParseInteger(std::string_view text, std::span<std::uint8_t> bytes) {
  if (text.empty()) text = "0";
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return "not a whole number";
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) return "out of range";
  StoreLittleEndian<T>(bytes, static_cast<T>(value));
  return {};
}

template <typename T>
std::string ParseFloating(std::string_view text, std::span<std::uint8_t> bytes) {
  if (text.empty()) text = "0";
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return "not a number";
  StoreLittleEndian<T>(bytes, static_cast<T>(value));
  return {};
}

std::string ParseText(const vmr::FieldDefinition& field, std::string_view utf8, std::span<std::uint8_t> bytes) {
  const std::string text = Utf8ToAnsi(utf8);
  std::size_t room = bytes.size();
  if (field.type == type::zstr || field.type == type::lenstr) room = room == 0 ? 0 : room - 1;
  if (field.type == type::lenstr) room = std::min<std::size_t>(room, 255);
  if (TrimBlanks(text).size() > room) return "longer than " + std::to_string(room) + " characters";
  const std::string kept = text.size() > room ? TrimBlanks(text) : text;
  switch (field.type) {
    case type::fixstr:
      std::fill(bytes.begin(), bytes.end(), ' ');
      std::memcpy(bytes.data(), kept.data(), kept.size());
      break;
    case type::zstr:
      std::fill(bytes.begin(), bytes.end(), 0);
      std::memcpy(bytes.data(), kept.data(), kept.size());
      break;
    default:  // LENSTR
      std::fill(bytes.begin(), bytes.end(), 0);
      bytes[0] = static_cast<std::uint8_t>(kept.size());
      std::memcpy(bytes.data() + 1, kept.data(), kept.size());
      break;
  }
  return {};
}

}  // namespace

std::vector<Column> ColumnsOf(const vmr::TableDefinition& definition) {
  std::vector<Column> columns;
  for (std::size_t i = 0; i < definition.fields.size(); ++i) {
    const vmr::FieldDefinition& field = definition.fields[i];
    if (field.type == type::group || field.overlaid) continue;
    if (field.element_count <= 1) {
      columns.push_back({field.name, false, i, 0});
      continue;
    }
    for (std::uint32_t e = 0; e < field.element_count; ++e) {
      columns.push_back({field.name + "[" + std::to_string(e + 1) + "]", false, i, e});
    }
  }
  for (std::size_t b = 0; b < definition.blobs.size(); ++b) columns.push_back({definition.blobs[b].name, true, b, 0});
  return columns;
}

std::string TypeName(std::uint8_t t) {
  switch (t) {
    case type::uint8: return "UINT8";
    case type::int16: return "INT16";
    case type::uint16: return "UINT16";
    case type::date4: return "DATE4";
    case type::time4: return "TIME4";
    case type::int32: return "INT32";
    case type::uint32: return "UINT32";
    case type::float32: return "FLOAT32";
    case type::float64: return "FLOAT64";
    case type::packed: return "PACKED";
    case type::packed2: return "PACKED2";
    case type::bfloat32: return "BFLOAT32";
    case type::bfloat64: return "BFLOAT64";
    case type::fixstr: return "FIXSTR";
    case type::zstr: return "ZSTR";
    case type::lenstr: return "LENSTR";
    case type::group: return "GROUP";
    default: return "TYPE " + std::to_string(t);
  }
}

FieldText ReadFieldText(const vmr::FieldDefinition& field, std::uint32_t element,
                        std::span<const std::uint8_t> record) {
  const std::span<const std::uint8_t> bytes = ElementBytes(field, element, record);
  const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const auto needs = [&](std::size_t n) { return bytes.size() >= n; };
  switch (field.type) {
    case type::uint8: if (needs(1)) return {Integer<std::uint8_t>(bytes), true}; break;
    case type::int16: if (needs(2)) return {Integer<std::int16_t>(bytes), true}; break;
    case type::uint16: if (needs(2)) return {Integer<std::uint16_t>(bytes), true}; break;
    case type::int32: if (needs(4)) return {Integer<std::int32_t>(bytes), true}; break;
    case type::uint32: if (needs(4)) return {Integer<std::uint32_t>(bytes), true}; break;
    case type::float32: if (needs(4)) return {Floating<float>(bytes), true}; break;
    case type::float64: if (needs(8)) return {Floating<double>(bytes), true}; break;
    case type::packed:
      return {decimal::ReadPacked(decimal::PackedForm::kDecimal, bytes, field.places).ToFixedText(field.places),
              false};
    case type::fixstr: return {AnsiToUtf8(TrimBlanks(raw)), false};
    case type::zstr: return {AnsiToUtf8(TrimBlanks(raw.substr(0, raw.find('\0')))), false};
    case type::lenstr:
      if (!raw.empty()) {
        const std::size_t length = std::min<std::size_t>(static_cast<unsigned char>(raw[0]), raw.size() - 1);
        return {AnsiToUtf8(TrimBlanks(raw.substr(1, length))), false};
      }
      break;
    default: break;
  }
  // Types a stored field does not use: the bytes in hexadecimal.
  std::string hex;
  for (std::uint8_t b : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", b);
    hex += pair;
  }
  return {hex, false};
}

std::string WriteFieldText(const vmr::FieldDefinition& field, std::uint32_t element, std::string_view text,
                           std::span<std::uint8_t> record) {
  const std::span<std::uint8_t> bytes = ElementBytes(field, element, record);
  if (bytes.empty()) return "lies outside the record";
  switch (field.type) {
    case type::uint8: return ParseInteger<std::uint8_t>(text, bytes);
    case type::int16: return ParseInteger<std::int16_t>(text, bytes);
    case type::uint16: return ParseInteger<std::uint16_t>(text, bytes);
    case type::int32: return ParseInteger<std::int32_t>(text, bytes);
    case type::uint32: return ParseInteger<std::uint32_t>(text, bytes);
    case type::float32: return ParseFloating<float>(text, bytes);
    case type::float64: return ParseFloating<double>(text, bytes);
    case type::packed: {
      if (text.empty()) text = "0";
      if (!decimal::DecimalAccumulator::IsNumericText(text)) return "not a number";
      const auto value = decimal::DecimalAccumulator::FromText(text);
      if (!decimal::FitsDecimalField(value, static_cast<int>(bytes.size()), field.places)) {
        return "does not fit " + std::to_string(bytes.size()) + " packed bytes with " +
               std::to_string(field.places) + " places";
      }
      decimal::WritePacked(decimal::PackedForm::kDecimal, value, bytes, field.places);
      return {};
    }
    case type::fixstr:
    case type::zstr:
    case type::lenstr:
      return ParseText(field, text, bytes);
    default:
      return "has a type that cannot be loaded";
  }
}

std::string MemoText(std::string_view memo) { return AnsiToUtf8(TrimBlanks(memo)); }

std::string WriteMemoText(std::string_view utf8, std::string& memo, std::size_t size) {
  const std::string text = TrimBlanks(Utf8ToAnsi(utf8));
  if (text.size() > size) return "longer than " + std::to_string(size) + " characters";
  memo.assign(size, ' ');
  memo.replace(0, text.size(), text);
  return {};
}

}  // namespace tavero::tool
