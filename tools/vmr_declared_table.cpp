#include "tools/vmr_declared_table.h"

#include <algorithm>
#include <limits>

#include "runtime/error_codes.h"
#include "runtime/error_state.h"
#include "storage/driver/record_layout.h"

namespace tavero::tool {
namespace {

using driver::FieldType;
using driver::RecordLayoutWriter;


// Writes fields[i] (and, for a group, its members) relative to `base`;
// advances `i` past them. False when the list cannot be a layout.
bool WriteField(const std::vector<vmr::FieldDefinition>& fields, std::size_t& i, std::uint32_t base,
                RecordLayoutWriter& writer, int depth) {
  const vmr::FieldDefinition& f = fields[i++];
  const std::optional<driver::FieldTypeInfo> info = driver::FieldTypeInfoFor(f.type);
  if (!info || f.offset < base || f.element_count == 0 || depth > 64) return false;
  const FieldType type = info->type;
  const std::uint32_t offset = f.offset - base;
  // One dimension of the whole element count: it flattens the same way.
  const std::uint32_t count = f.element_count;
  const bool array = count > 1;
  if (type == FieldType::GROUP) {
    array ? writer.BeginGroup(f.name, offset, {count}) : writer.BeginGroup(f.name, offset);
    const std::uint32_t element_size = f.size / count;
    std::uint32_t filled = 0;
    while (filled < element_size && i < fields.size()) {
      const bool overlaid = fields[i].overlaid;
      const std::uint32_t size = fields[i].size;
      if (!WriteField(fields, i, f.offset, writer, depth + 1)) return false;
      if (!overlaid) filled += size;
    }
    writer.EndGroup();
    return filled == element_size;
  }
  if (driver::IsPackedType(type)) {
    array ? writer.Packed(f.name, offset, f.byte_size, f.places, type, {count})
          : writer.Packed(f.name, offset, f.byte_size, f.places, type);
  } else if (driver::IsStringType(type)) {
    array ? writer.String(f.name, offset, f.declared_length, type, f.picture, {count})
          : writer.String(f.name, offset, f.declared_length, type, f.picture);
  } else {
    array ? writer.Field(f.name, offset, type, {count}) : writer.Field(f.name, offset, type);
  }
  return true;
}

}  // namespace

bool LayoutOfFields(const std::vector<vmr::FieldDefinition>& fields, std::vector<std::uint8_t>& layout) {
  RecordLayoutWriter writer;
  for (std::size_t i = 0; i < fields.size();) {
    if (!WriteField(fields, i, 0, writer, 0)) return false;
  }
  layout = writer.Finish();
  return true;
}

DeclaredTable::DeclaredTable(driver::DriverEntry& entry, const std::string& os_file, const StoredTable& stored)
    : definition_(stored.definition), record_(stored.definition.record_length) {
  const vmr::TableDefinition& d = definition_;
  file_.entry = &entry;
  file_.name = os_file + "\\!" + stored.name;
  file_.record = record_;
  if (!LayoutOfFields(d.fields, layout_)) {
    declaration_error_ = error_code::kInvalidRecordDeclaration;
    return;
  }
  // The layout must flatten back to the stored fields.
  const driver::FlatLayout flat = driver::FlattenRecordLayout(layout_, d.record_length);
  bool same = flat.error == 0 && flat.fields.size() == d.fields.size();
  for (std::size_t i = 0; same && i < d.fields.size(); ++i) {
    const driver::FieldDescriptor& a = flat.fields[i];
    const vmr::FieldDefinition& b = d.fields[i];
    same = static_cast<std::uint8_t>(a.type) == b.type && a.offset == b.offset && a.element_count == b.element_count &&
           a.size == b.size && a.overlaid == b.overlaid;
  }
  if (!same) {
    declaration_error_ = error_code::kInvalidRecordDeclaration;
    return;
  }
  file_.record_layout = layout_;
  for (const vmr::KeyDefinition& k : d.keys) {
    auto key = std::make_unique<driver::KeyObject>();
    key->name = k.name;
    key->attributes = k.attributes;
    key->file = &file_;
    for (const vmr::KeyComponent& c : k.components) {
      const auto number = static_cast<std::int32_t>(c.field) + 1;
      key->components.push_back(c.descending ? -number : number);
    }
    file_.keys.push_back(key.get());
    keys_.push_back(std::move(key));
  }
  memos_.resize(d.blobs.size());
  for (std::size_t b = 0; b < d.blobs.size(); ++b) {
    const vmr::BlobDefinition& definition = d.blobs[b];
    auto blob = std::make_unique<driver::BlobObject>();
    blob->name = definition.name;
    blob->second_name = definition.second_name.value_or("");
    blob->size = definition.declared_size;
    blob->attributes = definition.attributes;
    if (!definition.is_blob()) {
      memos_[b].assign(definition.declared_size, ' ');
      blob->buffer = memos_[b];
    }
    file_.blobs.push_back(blob.get());
    blobs_.push_back(std::move(blob));
  }
  Clear();
}

void DeclaredTable::Clear() {
  std::fill(record_.begin(), record_.end(), 0);
  for (const vmr::FieldDefinition& f : definition_.fields) {
    if (f.type != vmr::field_type::fixstr || f.overlaid) continue;
    const std::size_t end = std::min<std::size_t>(f.offset + f.size, record_.size());
    if (f.offset < end) std::fill(record_.begin() + f.offset, record_.begin() + end, ' ');
  }
  for (std::vector<std::uint8_t>& memo : memos_) std::fill(memo.begin(), memo.end(), ' ');
}

int DeclaredTable::SetBlob(std::size_t blob, std::string_view bytes) {
  driver::OperationArgs args;
  args.number = static_cast<std::int64_t>(blob) + 1;
  args.text = "size=0";
  driver::Perform(file_, driver::OperationCode::BlobSetProperty, args);
  if (int rc = ErrorCode(); rc != 0 || bytes.empty()) return rc;
  args.text = bytes;
  args.start = 0;
  args.end = static_cast<std::int64_t>(bytes.size()) - 1;
  driver::Perform(file_, driver::OperationCode::BlobPutBytes, args);
  return ErrorCode();
}

}  // namespace tavero::tool
