#include "app/dictionary/dictionary.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "storage/vmr/vmr.h"

namespace zephcol {

namespace {

using tavero::driver::FieldType;

std::vector<std::uint8_t> compile_layout(const FileDeclaration& declaration) {
  tavero::driver::RecordLayoutWriter writer;
  for (const FieldDeclaration& field : declaration.fields) {
    switch (field.type) {
      case FieldType::FIXSTR:
      case FieldType::ZSTR:
      case FieldType::LENSTR:
        writer.String(field.name, field.offset, field.size, field.type, field.picture);
        break;
      case FieldType::PACKED:
      case FieldType::PACKED2:
        writer.Packed(field.name, field.offset, static_cast<std::uint8_t>(field.size), field.places, field.type);
        break;
      default:
        writer.Field(field.name, field.offset, field.type);
        break;
    }
  }
  return writer.Finish();
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return up(x) == up(y); });
}

const FieldDeclaration* FindField(const FileDeclaration& file, std::string_view name) {
  for (const FieldDeclaration& field : file.fields) {
    if (SameName(field.name, name)) return &field;
  }
  return nullptr;
}

std::string FieldText(std::span<const std::uint8_t> bytes) {
  std::size_t length = bytes.size();
  while (length > 0 && (bytes[length - 1] == ' ' || bytes[length - 1] == 0)) --length;
  return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

void SetFieldText(std::span<std::uint8_t> bytes, std::string_view value) {
  std::fill(bytes.begin(), bytes.end(), ' ');
  std::copy_n(value.begin(), std::min(value.size(), bytes.size()), bytes.begin());
}

std::int32_t FieldNumber(std::span<const std::uint8_t> bytes) {
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

void SetFieldNumber(std::span<std::uint8_t> bytes, std::int32_t value) {
  if (bytes.size() == 2) {
    const auto narrow = static_cast<std::int16_t>(value);
    std::memcpy(bytes.data(), &narrow, 2);
  } else {
    assert(bytes.size() == 4);
    std::memcpy(bytes.data(), &value, 4);
  }
}

DataFile::DataFile(const FileDeclaration& declaration, tavero::driver::DriverEntry& driver)
    : declaration_(declaration),
      layout_(compile_layout(declaration)),
      record_(declaration.record_length, 0),
      memos_(declaration.memos.size()),
      keys_(declaration.keys.size()),
      blobs_(declaration.memos.size()) {
  file_.entry = &driver;
  file_.name = std::string(declaration.label);
  file_.attributes = declaration.attributes;
  file_.record_layout = layout_;
  file_.record = record_;
  for (std::size_t i = 0; i < declaration.keys.size(); ++i) {
    const KeyDeclaration& declared = declaration.keys[i];
    tavero::driver::KeyObject& key = keys_[i];
    key.name = std::string(declared.name);
    key.attributes = declared.attributes;
    for (std::int32_t component : declared.components) {
      if (component != 0) key.components.push_back(component);
    }
    key.file = &file_;
    file_.keys.push_back(&key);
  }
  for (std::size_t i = 0; i < declaration.memos.size(); ++i) {
    const MemoDeclaration& declared = declaration.memos[i];
    memos_[i].assign(declared.size, ' ');
    tavero::driver::BlobObject& blob = blobs_[i];
    blob.name = std::string(declared.name);
    blob.size = declared.size;
    blob.attributes = declared.attributes;
    blob.buffer = memos_[i];
    file_.blobs.push_back(&blob);
  }
  clear();
}

tavero::driver::KeyObject& DataFile::key(std::string_view name) {
  for (tavero::driver::KeyObject& key : keys_) {
    if (SameName(key.name, name)) return key;
  }
  assert(false && "no such key");
  return keys_.front();
}

const FieldDeclaration& DataFile::declared(std::string_view name) const {
  const FieldDeclaration* found = FindField(declaration_, name);
  assert(found != nullptr && "no such field");
  return found != nullptr ? *found : declaration_.fields.front();
}

std::span<std::uint8_t> DataFile::field(std::string_view name) {
  const FieldDeclaration& f = declared(name);
  return std::span(record_).subspan(f.offset, f.size);
}

std::string DataFile::text(std::string_view name) { return FieldText(field(name)); }

void DataFile::set_text(std::string_view name, std::string_view value) { SetFieldText(field(name), value); }

std::int32_t DataFile::number(std::string_view name) { return FieldNumber(field(name)); }

void DataFile::set_number(std::string_view name, std::int32_t value) { SetFieldNumber(field(name), value); }

void DataFile::clear() {
  std::fill(record_.begin(), record_.end(), 0);
  for (const FieldDeclaration& field : declaration_.fields) {
    if (tavero::driver::IsStringType(field.type)) set_text(field.name, {});
  }
  for (auto& memo : memos_) std::fill(memo.begin(), memo.end(), ' ');
}

DataFile::~DataFile() {
  if (!file_.driver_state) return;
  using tavero::driver::FileState;
  const FileState state = tavero::driver::FileStateOf(file_);
  if (tavero::driver::Has(state, FileState::InTransaction)) tavero::driver::Rollback(file_);
  if (tavero::driver::Has(state, FileState::Open)) tavero::driver::Close(file_);
  if (file_.driver_state) tavero::driver::ReleaseDriverState(file_);
}

DataFiles::DataFiles(tavero::driver::DriverEntry& driver)
    : cardset_(kCardsetDeclaration, driver),
      manufacturer_(kManufacturerDeclaration, driver),
      types_(kTypesDeclaration, driver),
      set_information_(kSetInformationDeclaration, driver) {}

DataFiles& ThreadDataFiles() {
  thread_local DataFiles files(tavero::vmr::Driver());
  return files;
}

DataFile& Cardset() { return ThreadDataFiles().cardset(); }
DataFile& Manufacturer() { return ThreadDataFiles().manufacturer(); }
DataFile& Types() { return ThreadDataFiles().types(); }
DataFile& SetInformation() { return ThreadDataFiles().set_information(); }

}  // namespace zephcol
