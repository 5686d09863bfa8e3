#include "app/record_copy.h"

#include <algorithm>
#include <cassert>

namespace zephcol {

namespace decimal = tavero::decimal;

RecordCopy RecordCopy::Take(DataFile& file) {
  RecordCopy copy;
  copy.record_.assign(file.record().begin(), file.record().end());
  for (std::size_t i = 0; i < file.memo_count(); ++i) copy.memos_.emplace_back(file.memo(i).begin(), file.memo(i).end());
  return copy;
}

void RecordCopy::Load(DataFile& file) const {
  assert(record_.size() == file.record().size() && memos_.size() == file.memo_count());
  std::ranges::copy(record_, file.record().begin());
  for (std::size_t i = 0; i < memos_.size(); ++i) std::ranges::copy(memos_[i], file.memo(i).begin());
}

// Every field lies inside the record (the dictionary's declarations are
// checked against the record length by its own tests).
std::span<const std::uint8_t> RecordCopy::Bytes(const FieldDeclaration& field) const {
  assert(field.offset + field.size <= record_.size());
  return std::span<const std::uint8_t>(record_).subspan(field.offset, field.size);
}

std::span<std::uint8_t> RecordCopy::Bytes(const FieldDeclaration& field) {
  assert(field.offset + field.size <= record_.size());
  return std::span<std::uint8_t>(record_).subspan(field.offset, field.size);
}

std::string RecordCopy::Text(const FieldDeclaration& field) const { return FieldText(Bytes(field)); }

void RecordCopy::SetText(const FieldDeclaration& field, std::string_view value) { SetFieldText(Bytes(field), value); }

std::int32_t RecordCopy::Number(const FieldDeclaration& field) const { return FieldNumber(Bytes(field)); }

void RecordCopy::SetNumber(const FieldDeclaration& field, std::int32_t value) { SetFieldNumber(Bytes(field), value); }

decimal::DecimalAccumulator RecordCopy::Decimal(const FieldDeclaration& field) const {
  return decimal::ReadPacked(decimal::PackedForm::kDecimal, Bytes(field), field.places);
}

void RecordCopy::SetDecimal(const FieldDeclaration& field, const decimal::DecimalAccumulator& value) {
  assert(decimal::FitsDecimalField(value, static_cast<int>(field.size), field.places));
  decimal::WritePacked(decimal::PackedForm::kDecimal, value, Bytes(field), field.places);
}

std::string RecordCopy::Memo(std::size_t index) const { return FieldText(memos_.at(index)); }

void RecordCopy::SetMemo(std::size_t index, std::string_view text) { SetFieldText(memos_.at(index), text); }

void RecordCopy::Clear(const FileDeclaration& file) {
  std::ranges::fill(record_, 0);
  for (const FieldDeclaration& field : file.fields) {
    if (tavero::driver::IsStringType(field.type)) SetFieldText(Bytes(field), {});
  }
  for (auto& memo : memos_) std::ranges::fill(memo, ' ');
}

}  // namespace zephcol
