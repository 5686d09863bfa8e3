#include "app/entry_text.h"

#include <charconv>
#include <limits>

#include "pictures/picture.h"

namespace zephcol {
namespace {

namespace decimal = tavero::decimal;
namespace pictures = tavero::pictures;
using tavero::driver::FieldType;

bool IsWholeNumber(const FieldDeclaration& field) {
  return field.type == FieldType::INT16 || field.type == FieldType::INT32;
}

bool IsDate(const FieldDeclaration& field) {
  return field.type == FieldType::INT32 && (field.picture.starts_with("@D") || field.picture.starts_with("@d"));
}

struct WholeRange {
  std::int64_t low;
  std::int64_t high;
};

WholeRange WholeRangeOf(const FieldDeclaration& field, std::int32_t low, std::int32_t high) {
  if (low != 0 || high != 0) return {low, high};
  if (field.type == FieldType::INT16) return {std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()};
  return {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
}

// The largest value a packed field holds: 2 x size - 1 digits, `places` of
// them decimals.
decimal::DecimalAccumulator PackedLargest(const FieldDeclaration& field) {
  const int digits = 2 * static_cast<int>(field.size) - 1;
  std::string text(static_cast<std::size_t>(digits - field.places), '9');
  if (text.empty()) text = "0";
  if (field.places > 0) text += "." + std::string(field.places, '9');
  return decimal::DecimalAccumulator::FromText(text);
}

}  // namespace

std::optional<decimal::DecimalAccumulator> ReadFreeFormNumber(std::string_view text) {
  std::string plain;
  for (char c : text) {
    if (c != ' ' && c != ',') plain += c;
  }
  bool negative = false;
  if (!plain.empty() && (plain.front() == '-' || plain.front() == '+')) {
    negative = plain.front() == '-';
    plain.erase(0, 1);
  } else if (!plain.empty() && plain.back() == '-') {
    negative = true;
    plain.pop_back();
  }
  int points = 0;
  int digits = 0;
  for (char c : plain) {
    if (c == '.') {
      ++points;
    } else if (c >= '0' && c <= '9') {
      ++digits;
    } else {
      return std::nullopt;
    }
  }
  if (points > 1 || (digits == 0 && !plain.empty())) return std::nullopt;
  if (digits == 0) return decimal::DecimalAccumulator{};
  // More integer digits than an accumulator holds would be cut: such a
  // number is no number here.
  const std::size_t point = plain.find('.');
  if ((point == std::string::npos ? plain.size() : point) > 30) return std::nullopt;
  decimal::DecimalAccumulator value = decimal::DecimalAccumulator::FromText(plain);
  if (negative && !value.IsZero()) value.negative = 1;
  return value;
}

EntryRange RangeOf(const FieldDeclaration& field, std::int32_t low, std::int32_t high) {
  if (field.type == FieldType::PACKED) {
    const decimal::DecimalAccumulator largest = PackedLargest(field);
    return {"-" + largest.ToFixedText(field.places), largest.ToFixedText(field.places)};
  }
  const WholeRange range = WholeRangeOf(field, low, high);
  return {std::to_string(range.low), std::to_string(range.high)};
}

bool TakeEntryText(RecordCopy& copy, const FieldDeclaration& field, std::int32_t low, std::int32_t high,
                   std::string_view text) {
  if (tavero::driver::IsStringType(field.type)) {
    copy.SetText(field, text);
    return true;
  }
  if (IsDate(field)) {
    if (text.find_first_not_of(' ') == std::string_view::npos) {
      copy.SetNumber(field, 0);
      return true;
    }
    const std::string day = pictures::DEFORMAT(text, field.picture);
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(day.data(), day.data() + day.size(), value);
    if (error != std::errc() || end != day.data() + day.size() || value < 0) return false;
    copy.SetNumber(field, value);
    return true;
  }
  std::optional<decimal::DecimalAccumulator> number = ReadFreeFormNumber(text);
  if (!number) return false;
  if (field.type == FieldType::PACKED) {
    number->RoundToPlaces(field.places);
    if (!decimal::FitsDecimalField(*number, static_cast<int>(field.size), field.places)) return false;
    copy.SetDecimal(field, *number);
    return true;
  }
  if (!IsWholeNumber(field)) return false;
  number->RoundToPlaces(0);
  const WholeRange range = WholeRangeOf(field, low, high);
  if (decimal::Compare(*number, decimal::DecimalAccumulator::FromInt64(range.low)) < 0 ||
      decimal::Compare(*number, decimal::DecimalAccumulator::FromInt64(range.high)) > 0) {
    return false;
  }
  copy.SetNumber(field, static_cast<std::int32_t>(number->ToInt64()));
  return true;
}

std::string EntryText(const RecordCopy& copy, const FieldDeclaration& field) {
  if (tavero::driver::IsStringType(field.type)) return copy.Text(field);
  if (field.type == FieldType::PACKED) return pictures::FORMAT(copy.Decimal(field), field.picture);
  return pictures::FORMAT(static_cast<std::int64_t>(copy.Number(field)), field.picture);
}

}  // namespace zephcol
