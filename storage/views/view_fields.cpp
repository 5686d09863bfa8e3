// Field stores for links, key searches and cleared components.
#include "storage/views/view_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "decimal/decimal.h"
#include "locale/locale.h"

namespace tavero::views {
namespace {

using driver::FieldType;

template <typename T>
void Put(std::span<std::uint8_t> record, std::uint32_t offset, T value) {
  std::memcpy(record.data() + offset, &value, sizeof value);
}

template <typename T>
T Clamped(double v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(std::numeric_limits<T>::lowest())) return std::numeric_limits<T>::lowest();
  if (v >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  return static_cast<T>(v);
}

std::string_view Clip(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

std::string NumberText(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

}  // namespace

bool IsTextField(const driver::FieldDescriptor& f) {
  return driver::IsStringType(f.type) || f.type == FieldType::GROUP;
}

std::string_view FieldBytes(const driver::FieldDescriptor& f, std::span<const std::uint8_t> record) {
  return {reinterpret_cast<const char*>(record.data()) + f.offset, f.size};
}

void StoreExtreme(const driver::FieldDescriptor& f, std::span<std::uint8_t> record, bool highest) {
  std::uint8_t* p = record.data() + f.offset;
  switch (f.type) {
    case FieldType::UINT8:
    case FieldType::UINT16:
    case FieldType::UINT32: std::memset(p, highest ? 0xFF : 0x00, f.size); return;
    case FieldType::INT16: Put<std::int16_t>(record, f.offset, highest ? INT16_MAX : INT16_MIN); return;
    case FieldType::DATE4:
    case FieldType::TIME4:
    case FieldType::INT32: Put<std::int32_t>(record, f.offset, highest ? INT32_MAX : INT32_MIN); return;
    case FieldType::FLOAT32:
      Put<float>(record, f.offset, highest ? std::numeric_limits<float>::max() : std::numeric_limits<float>::lowest());
      return;
    case FieldType::FLOAT64:
      Put<double>(record, f.offset,
                  highest ? std::numeric_limits<double>::max() : std::numeric_limits<double>::lowest());
      return;
    case FieldType::PACKED:
      // All nines, with the sign of the end wanted.
      std::memset(p, 0x99, f.size);
      if (f.size > 0) p[0] = highest ? 0x09 : 0xF9;
      return;
    case FieldType::PACKED2:
      std::memset(p, 0x99, f.size);
      if (f.size > 0) p[f.size - 1] = highest ? 0x9F : 0x9D;
      return;
    case FieldType::ZSTR:
      std::memset(p, highest ? 0xFF : 0x00, f.size);
      if (f.size > 0) p[f.size - 1] = 0;
      return;
    case FieldType::LENSTR:
      std::memset(p, highest ? 0xFF : 0x00, f.size);
      if (f.size > 0) p[0] = highest ? static_cast<std::uint8_t>(std::min<std::uint32_t>(f.size - 1, 255)) : 0;
      return;
    default: std::memset(p, highest ? 0xFF : 0x00, f.size); return;
  }
}

void StoreNumber(const driver::FieldDescriptor& f, std::span<std::uint8_t> record, double value, bool round_up) {
  const double whole = round_up ? std::ceil(value) : std::floor(value);
  switch (f.type) {
    case FieldType::UINT8: Put<std::uint8_t>(record, f.offset, Clamped<std::uint8_t>(whole)); return;
    case FieldType::INT16: Put<std::int16_t>(record, f.offset, Clamped<std::int16_t>(whole)); return;
    case FieldType::UINT16: Put<std::uint16_t>(record, f.offset, Clamped<std::uint16_t>(whole)); return;
    case FieldType::DATE4:
    case FieldType::TIME4:
    case FieldType::INT32: Put<std::int32_t>(record, f.offset, Clamped<std::int32_t>(whole)); return;
    case FieldType::UINT32: Put<std::uint32_t>(record, f.offset, Clamped<std::uint32_t>(whole)); return;
    case FieldType::FLOAT32: Put<float>(record, f.offset, static_cast<float>(value)); return;
    case FieldType::FLOAT64: Put<double>(record, f.offset, value); return;
    case FieldType::PACKED:
    case FieldType::PACKED2:
      decimal::WritePacked(f.type == FieldType::PACKED ? decimal::PackedForm::kDecimal : decimal::PackedForm::kPDecimal,
                           decimal::DecimalAccumulator::FromText(NumberText(value)),
                           record.subspan(f.offset, f.size), f.places);
      return;
    default:
      if (IsTextField(f)) StoreText(f, record, NumberText(value));
      return;
  }
}

void StoreText(const driver::FieldDescriptor& f, std::span<std::uint8_t> record, std::string_view text) {
  char* p = reinterpret_cast<char*>(record.data()) + f.offset;
  switch (f.type) {
    case FieldType::ZSTR: {
      if (f.size == 0) return;
      const std::size_t n = std::min<std::size_t>(text.size(), f.size - 1);
      std::memcpy(p, text.data(), n);
      std::memset(p + n, 0, f.size - n);
      return;
    }
    case FieldType::LENSTR: {
      if (f.size == 0) return;
      const std::size_t n = std::min<std::size_t>({text.size(), f.size - 1, 255});
      p[0] = static_cast<char>(n);
      std::memcpy(p + 1, text.data(), n);
      std::memset(p + 1 + n, ' ', f.size - 1 - n);
      return;
    }
    case FieldType::FIXSTR:
    case FieldType::GROUP: {
      const std::size_t n = std::min<std::size_t>(text.size(), f.size);
      std::memcpy(p, text.data(), n);
      std::memset(p + n, ' ', f.size - n);
      return;
    }
    default: {
      const decimal::DecimalAccumulator number = decimal::DecimalAccumulator::FromText(Clip(text));
      StoreNumber(f, record, number.ToDouble(), false);
      return;
    }
  }
}

void ClearRecord(const std::vector<driver::FieldDescriptor>& fields, std::span<std::uint8_t> record) {
  std::fill(record.begin(), record.end(), 0);
  for (const driver::FieldDescriptor& f : fields) {
    if (f.type == FieldType::FIXSTR && f.offset + f.size <= record.size()) {
      std::memset(record.data() + f.offset, ' ', f.size);
    }
  }
}

bool FieldMatches(const driver::FieldDescriptor& f, std::span<const std::uint8_t> record, std::string_view stored,
                  bool case_insensitive) {
  const std::string_view bytes = FieldBytes(f, record);
  if (!IsTextField(f)) return bytes == stored;
  const std::string_view a = Clip(bytes), b = Clip(stored);
  return (case_insensitive ? CompareCollatedNoCase(a, b) : CompareCollated(a, b)) == 0;
}

}  // namespace tavero::views
