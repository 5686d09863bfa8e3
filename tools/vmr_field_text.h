// Field values of a record as text, by a stored definition: what `tavero
// vmr dump` writes and `tavero vmr load` reads. Text fields travel as UTF-8
// (the record holds Windows-1252) without their trailing blanks; integer
// and floating fields as numbers; PACKED fields with exactly their number
// of places ("12.50", "-3.00").
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/vmr/table_definition.h"

namespace tavero::tool {

// One column of a dump: an element of a stored field, or a memo or blob.
// Groups and overlaid fields are left out (their bytes belong to other
// fields); an array field gives one column per element, "NAME[i]".
struct Column {
  std::string name;
  bool memo = false;
  std::size_t index = 0;         // field index, or blob index for a memo
  std::uint32_t element = 0;     // element of an array field
};

std::vector<Column> ColumnsOf(const vmr::TableDefinition& definition);

// The name of a field type ("INT16", "PACKED" ...); "TYPE n" when unknown.
std::string TypeName(std::uint8_t type);

struct FieldText {
  std::string text;  // UTF-8
  bool number = false;  // a JSON number (integer and floating fields)
};

// Reads one field element of `record` (record length bytes).
FieldText ReadFieldText(const vmr::FieldDefinition& field, std::uint32_t element,
                        std::span<const std::uint8_t> record);

// Stores UTF-8 `text` into a field element of `record`. Answers an empty
// string, or why the text does not fit ("not a number", "longer than 20
// characters" ...). An empty text stores blanks or zero.
std::string WriteFieldText(const vmr::FieldDefinition& field, std::uint32_t element, std::string_view text,
                           std::span<std::uint8_t> record);

// A memo's content as UTF-8, trailing blanks removed, and back into a memo
// buffer of its declared size (blank filled); the answer as above.
std::string MemoText(std::string_view memo);
std::string WriteMemoText(std::string_view text, std::string& memo, std::size_t size);

}  // namespace tavero::tool
