// Storing values into the fields of a record buffer, clearing a record,
// and comparing a field with the value a link stored there. Internal to the
// view engine.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/driver/driver.h"

namespace tavero::views {

// The lowest (or highest) value of the field's type, so a key search from
// it starts before (or after) every value.
void StoreExtreme(const driver::FieldDescriptor& field, std::span<std::uint8_t> record, bool highest);
// A number stored by the field's type: integers clamped to their range and
// rounded toward -infinity (`round_up` false) or +infinity; packed decimals
// to their places; text fields as the number's text.
void StoreNumber(const driver::FieldDescriptor& field, std::span<std::uint8_t> record, double value,
                 bool round_up);
// A text stored by the field's type: strings blank padded or cut; numeric
// fields take the number the text starts with.
void StoreText(const driver::FieldDescriptor& field, std::span<std::uint8_t> record, std::string_view text);
// Text fields blank, everything else zero.
void ClearRecord(const std::vector<driver::FieldDescriptor>& fields, std::span<std::uint8_t> record);

bool IsTextField(const driver::FieldDescriptor& field);
// The field's bytes.
std::string_view FieldBytes(const driver::FieldDescriptor& field, std::span<const std::uint8_t> record);
// Whether the field in `record` holds the value `stored` (its bytes as a link
// stored them): text by collation with trailing blanks ignored (upper-cased
// when `case_insensitive`), other types byte for byte.
bool FieldMatches(const driver::FieldDescriptor& field, std::span<const std::uint8_t> record,
                  std::string_view stored, bool case_insensitive);

}  // namespace tavero::views
