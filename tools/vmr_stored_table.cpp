#include "runtime/error_codes.h"
#include "tools/vmr_stored_table.h"

#include <algorithm>
#include <cctype>


namespace tavero::tool {
namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

OpenedTable::OpenedTable(const StoredTable& stored)
    : name_(stored.name),
      record_(stored.definition.record_length),
      memos_(stored.definition.blobs.size()),
      table_(stored.definition, record_) {
  for (std::size_t b = 0; b < memos_.size(); ++b) {
    if (stored.definition.blobs[b].is_blob()) continue;
    memos_[b].assign(stored.definition.blobs[b].declared_size, ' ');
    table_.set_memo_buffer(b, std::span(reinterpret_cast<std::uint8_t*>(memos_[b].data()), memos_[b].size()));
  }
  Clear();
}

void OpenedTable::Clear() {
  const vmr::TableDefinition& d = table_.definition();
  std::fill(record_.begin(), record_.end(), 0);
  for (const vmr::FieldDefinition& f : d.fields) {
    if (f.type != vmr::field_type::fixstr || f.overlaid) continue;
    const std::size_t end = std::min<std::size_t>(f.offset + f.size, record_.size());
    if (f.offset < end) std::fill(record_.begin() + f.offset, record_.begin() + end, ' ');
  }
  for (std::size_t b = 0; b < memos_.size(); ++b) {
    if (d.blobs[b].is_blob()) {
      table_.blob_content(b).clear();
    } else {
      std::fill(memos_[b].begin(), memos_[b].end(), ' ');
    }
  }
}

std::optional<std::size_t> StoredTable::FindKey(std::string_view key_name) const {
  for (std::size_t k = 0; k < definition.keys.size(); ++k) {
    if (SameNameIgnoringCase(definition.keys[k].name, key_name)) return k;
  }
  return std::nullopt;
}

int ListTableNames(vmr::RecordStore& store, std::vector<std::string>& names) {
  names.clear();
  const std::string prefix(1, static_cast<char>(vmr::record_kind::table_name));
  return vmr::for_each_with_prefix(store, prefix, [&](const vmr::StoredRecord& r) {
    names.push_back(r.key.substr(1));
    return 0;
  });
}

int ReadStoredTable(vmr::RecordStore& store, std::string_view name, StoredTable& table) {
  std::optional<vmr::StoredRecord> found;
  if (int rc = store.find(vmr::table_name_key(name), found)) return rc;
  if (!found) return error_code::kFileNotFound;
  if (found->data.size() != 4) return error_code::kInvalidDataFile;
  table.name.assign(name);
  table.number = vmr::read_u32_big_endian(found->data);
  std::string stream;
  std::uint16_t chunk = 0;
  bool in_order = true;
  if (int rc = vmr::for_each_with_prefix(store, vmr::kind_prefix(table.number, vmr::record_kind::definition),
                                 [&](const vmr::StoredRecord& r) {
                                   in_order = in_order && r.key == vmr::definition_key(table.number, chunk++) &&
                                              r.data.size() <= vmr::definition_chunk_size;
                                   stream += r.data;
                                   return 0;
                                 })) {
    return rc;
  }
  std::optional<vmr::TableDefinition> definition;
  if (in_order) definition = vmr::decode_table_definition(stream);
  if (!definition) return error_code::kInvalidDataFile;
  table.definition = std::move(*definition);
  return 0;
}

int ReadStoredTables(vmr::RecordStore& store, std::string_view name, std::vector<StoredTable>& tables) {
  tables.clear();
  std::vector<std::string> names;
  if (name.empty()) {
    if (int rc = ListTableNames(store, names)) return rc;
  } else {
    names.emplace_back(name);
  }
  for (const std::string& n : names) {
    StoredTable table;
    if (int rc = ReadStoredTable(store, n, table)) return rc;
    tables.push_back(std::move(table));
  }
  return 0;
}

}  // namespace tavero::tool
