#include "app/record_copy.h"

#include <algorithm>
#include <cassert>
#include <cstring>


namespace zephcol {
namespace {

namespace decimal = tavero::decimal;

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
  });
}

std::string WithoutTrailingBlanks(std::span<const std::uint8_t> bytes) {
  std::size_t length = bytes.size();
  while (length > 0 && (bytes[length - 1] == ' ' || bytes[length - 1] == 0)) --length;
  return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

void PutPadded(std::span<std::uint8_t> bytes, std::string_view value) {
  std::fill(bytes.begin(), bytes.end(), ' ');
  std::copy_n(value.begin(), std::min(value.size(), bytes.size()), bytes.begin());
}

}  // namespace

const FieldDeclaration* FindField(const FileDeclaration& file, std::string_view name) {
  for (const FieldDeclaration& field : file.fields) {
    if (SameName(field.name, name)) return &field;
  }
  return nullptr;
}

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

std::string RecordCopy::Text(const FieldDeclaration& field) const { return WithoutTrailingBlanks(Bytes(field)); }

void RecordCopy::SetText(const FieldDeclaration& field, std::string_view value) { PutPadded(Bytes(field), value); }

std::int32_t RecordCopy::Number(const FieldDeclaration& field) const {
  const std::span<const std::uint8_t> bytes = Bytes(field);
  if (bytes.size() == 2) {
    std::int16_t value;
    std::memcpy(&value, bytes.data(), 2);
    return value;
  }
  assert(bytes.size() == 4);
  std::int32_t value;
  std::memcpy(&value, bytes.data(), 4);
  return value;
}

void RecordCopy::SetNumber(const FieldDeclaration& field, std::int32_t value) {
  const std::span<std::uint8_t> bytes = Bytes(field);
  if (bytes.size() == 2) {
    assert(value >= INT16_MIN && value <= INT16_MAX);  // callers check the range first
    const auto narrow = static_cast<std::int16_t>(value);
    std::memcpy(bytes.data(), &narrow, 2);
  } else {
    assert(bytes.size() == 4);
    std::memcpy(bytes.data(), &value, 4);
  }
}

decimal::DecimalAccumulator RecordCopy::Decimal(const FieldDeclaration& field) const {
  return decimal::ReadPacked(decimal::PackedForm::kDecimal, Bytes(field), field.places);
}

void RecordCopy::SetDecimal(const FieldDeclaration& field, const decimal::DecimalAccumulator& value) {
  assert(decimal::FitsDecimalField(value, static_cast<int>(field.size), field.places));
  decimal::WritePacked(decimal::PackedForm::kDecimal, value, Bytes(field), field.places);
}

std::string RecordCopy::Memo(std::size_t index) const { return WithoutTrailingBlanks(memos_.at(index)); }

void RecordCopy::SetMemo(std::size_t index, std::string_view text) { PutPadded(memos_.at(index), text); }

void RecordCopy::Clear(const FileDeclaration& file) {
  std::ranges::fill(record_, 0);
  for (const FieldDeclaration& field : file.fields) {
    if (tavero::driver::IsStringType(field.type)) PutPadded(Bytes(field), {});
  }
  for (auto& memo : memos_) std::ranges::fill(memo, ' ');
}

}  // namespace zephcol
