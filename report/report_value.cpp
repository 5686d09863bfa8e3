#include "report/report_value.h"

#include <cstring>

#include "pictures/picture.h"

namespace tavero::report {
namespace {

std::string_view WithoutTrailingBlanks(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  return text;
}

template <typename T>
T Load(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

Value ReadField(const driver::FieldDescriptor& f, std::span<const std::uint8_t> record) {
  using driver::FieldType;
  if (f.offset > record.size() || f.size > record.size() - f.offset || f.size == 0) return std::string();
  const std::uint8_t* p = record.data() + f.offset;
  const std::uint32_t element = f.element_size == 0 ? f.size : f.element_size;
  auto need = [&](std::uint32_t bytes) { return element >= bytes; };
  switch (f.type) {
    case FieldType::UINT8: return std::int64_t{p[0]};
    case FieldType::INT16: return need(2) ? Value{std::int64_t{Load<std::int16_t>(p)}} : Value{std::string()};
    case FieldType::UINT16: return need(2) ? Value{std::int64_t{Load<std::uint16_t>(p)}} : Value{std::string()};
    case FieldType::INT32: return need(4) ? Value{std::int64_t{Load<std::int32_t>(p)}} : Value{std::string()};
    case FieldType::DATE4:
    case FieldType::TIME4:
    case FieldType::UINT32: return need(4) ? Value{std::int64_t{Load<std::uint32_t>(p)}} : Value{std::string()};
    case FieldType::FLOAT32: return need(4) ? Value{double{Load<float>(p)}} : Value{std::string()};
    case FieldType::FLOAT64: return need(8) ? Value{Load<double>(p)} : Value{std::string()};
    case FieldType::PACKED:
    case FieldType::PACKED2:
      return decimal::ReadPacked(f.type == FieldType::PACKED ? decimal::PackedForm::kDecimal
                                                             : decimal::PackedForm::kPDecimal,
                                 {p, element}, f.places);
    case FieldType::FIXSTR: return std::string(reinterpret_cast<const char*>(p), element);
    case FieldType::ZSTR: {
      const void* end = std::memchr(p, 0, element);
      const std::size_t n = end ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - p) : element;
      return std::string(reinterpret_cast<const char*>(p), n);
    }
    case FieldType::LENSTR: {
      const std::size_t n = std::min<std::size_t>(p[0], element - 1);
      return std::string(reinterpret_cast<const char*>(p + 1), n);
    }
    case FieldType::BFLOAT32:
    case FieldType::BFLOAT64:
    case FieldType::GROUP: break;
  }
  return std::string();
}

}  // namespace

FieldPicture::FieldPicture(std::string_view text) : plain(text.empty() || text == "@") {
  if (!plain) pictures::CompilePicture(text, compiled);
}

std::string FormatValue(const Value& value, const FieldPicture& picture) {
  const bool plain = picture.plain;
  const pictures::CompiledPicture& compiled = picture.compiled;
  return std::visit(
      [&](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return plain ? std::string(WithoutTrailingBlanks(v)) : pictures::FORMAT(std::string_view(v), compiled);
        } else if constexpr (std::is_same_v<T, decimal::DecimalAccumulator>) {
          return plain ? v.ToText() : pictures::FORMAT(v, compiled);
        } else if constexpr (std::is_same_v<T, double>) {
          return plain ? decimal::DecimalAccumulator::FromText(std::to_string(v)).ToText()
                       : pictures::FORMAT(v, compiled);
        } else {
          return plain ? std::to_string(v) : pictures::FORMAT(v, compiled);
        }
      },
      value);
}

std::string FormatValue(const Value& value, std::string_view picture) {
  return FormatValue(value, FieldPicture(picture));
}

bool SameValue(const Value& a, const Value& b) {
  const auto* ta = std::get_if<std::string>(&a);
  const auto* tb = std::get_if<std::string>(&b);
  if (ta || tb) return ta && tb && WithoutTrailingBlanks(*ta) == WithoutTrailingBlanks(*tb);
  auto as_decimal = [](const Value& v) {
    if (const auto* d = std::get_if<decimal::DecimalAccumulator>(&v)) return *d;
    if (const auto* i = std::get_if<std::int64_t>(&v)) return decimal::DecimalAccumulator::FromInt64(*i);
    return decimal::DecimalAccumulator::FromText(std::to_string(std::get<double>(v)));
  };
  if (a.index() == b.index() && std::holds_alternative<double>(a)) return std::get<double>(a) == std::get<double>(b);
  return decimal::Compare(as_decimal(a), as_decimal(b)) == 0;
}

Variable FieldVariable(const driver::FieldDescriptor& field, std::span<const std::uint8_t> record) {
  return [field, record] { return ReadField(field, record); };
}

}  // namespace tavero::report
