// What an entry of a form shows of a field, and how the text a person typed
// is taken into the form's working copy.
//
// Numbers (whole and money) are read as a free-form number: blanks and
// grouping commas are dropped, then an optional sign ('+' or '-', leading,
// or '-' trailing), digits with at most one decimal point; an empty text is
// 0. The value is rounded half away from zero to the field's places and
// must lie within the entry's range (whole numbers) or fit the field
// (money); nothing is stored otherwise. Dates are read by their picture.
// Text is cut to the field's width.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/record_copy.h"
#include "decimal/decimal.h"

namespace zephcol {

// The values an entry takes, as warning 10 names them.
struct EntryRange {
  std::string low;   // "-99999.99", "0"
  std::string high;  // "99999.99", "999"
};

// The free-form number in `text`, nothing when it is not one.
std::optional<tavero::decimal::DecimalAccumulator> ReadFreeFormNumber(std::string_view text);

// The range of an entry on `field`: [low, high] for whole numbers when
// either is non-zero, else the field's own.
EntryRange RangeOf(const FieldDeclaration& field, std::int32_t low, std::int32_t high);

// Takes `text` into `copy`'s `field`; false (and `copy` unchanged) when the
// text is no number or out of range.
bool TakeEntryText(RecordCopy& copy, const FieldDeclaration& field, std::int32_t low, std::int32_t high,
                   std::string_view text);

// The field's value formatted by its picture, as the entry shows it.
std::string EntryText(const RecordCopy& copy, const FieldDeclaration& field);

}  // namespace zephcol
