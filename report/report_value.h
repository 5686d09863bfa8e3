// The values a report prints: each field of a band shows one USE variable of
// the report, formatted by the field's picture. A variable is read when its
// band is printed (PRINT); the text it gives then is what the page shows,
// whatever the variable holds later.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "decimal/decimal.h"
#include "pictures/picture.h"
#include "storage/driver/record_layout.h"

namespace tavero::report {

// A value as a variable gives it: a text (string fields), a long integer
// (dates, times, integers), a real, or a decimal number (money fields).
using Value = std::variant<std::string, std::int64_t, double, decimal::DecimalAccumulator>;

// A USE variable of a report: reads the variable's current value.
using Variable = std::function<Value()>;

// A field's picture, compiled once for every value it formats.
struct FieldPicture {
  explicit FieldPicture(std::string_view text = {});
  bool plain = true;  // no picture ("" or "@"): values shown as they are
  pictures::CompiledPicture compiled;
};

// The text a field shows: `value` formatted by `picture` (without its "@").
// No picture shows a text as it is (trailing blanks removed) and a number in
// its plain decimal form; an invalid picture shows nothing.
std::string FormatValue(const Value& value, const FieldPicture& picture);
std::string FormatValue(const Value& value, std::string_view picture);

// True when two values are the same (break values): texts compare without
// their trailing blanks, numbers by value.
bool SameValue(const Value& a, const Value& b);

// A variable over a field of a record buffer: the field `field` of
// FlattenRecordLayout, read from `record` whenever the variable is read.
// The record must outlive the variable. A field that lies outside the record
// reads as an empty text.
Variable FieldVariable(const driver::FieldDescriptor& field, std::span<const std::uint8_t> record);

}  // namespace tavero::report
