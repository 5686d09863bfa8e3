// A form's working copy of one record of a data file and of its memos:
// plain bytes laid out as the file's record buffer, with the fields read and
// written by their declared names. The file's buffers are touched only by
// Take (copy from them) and Load (copy into them).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/dictionary/dictionary.h"
#include "decimal/decimal.h"

namespace zephcol {

class RecordCopy {
 public:
  RecordCopy() = default;
  // A copy of `file`'s record buffer and memo buffers as they stand.
  static RecordCopy Take(DataFile& file);
  // Puts the copy into `file`'s record buffer and memo buffers.
  void Load(DataFile& file) const;

  // Fields by declaration (of the copied file). Strings: the text without
  // trailing blanks, assignment cut or blank padded to the width. Whole
  // numbers: INT16 and INT32. Money: PACKED.
  std::string Text(const FieldDeclaration& field) const;
  void SetText(const FieldDeclaration& field, std::string_view value);
  std::int32_t Number(const FieldDeclaration& field) const;
  void SetNumber(const FieldDeclaration& field, std::int32_t value);
  tavero::decimal::DecimalAccumulator Decimal(const FieldDeclaration& field) const;
  void SetDecimal(const FieldDeclaration& field, const tavero::decimal::DecimalAccumulator& value);

  // A memo's text without trailing blanks; assignment cut or blank padded.
  std::string Memo(std::size_t index) const;
  void SetMemo(std::size_t index, std::string_view text);

  // Blank text fields and memos, everything else zero.
  void Clear(const FileDeclaration& file);

  friend bool operator==(const RecordCopy&, const RecordCopy&) = default;

 private:
  std::span<const std::uint8_t> Bytes(const FieldDeclaration& field) const;
  std::span<std::uint8_t> Bytes(const FieldDeclaration& field);

  std::vector<std::uint8_t> record_;
  std::vector<std::vector<std::uint8_t>> memos_;
};

}  // namespace zephcol
