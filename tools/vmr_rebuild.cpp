#include "tools/vmr_rebuild.h"

namespace tavero::tool {
namespace {

// Replaces or inserts the status record at `key`.
int WriteStatus(vmr::RecordStore& store, const std::string& key, const vmr::StatusCounters& counters) {
  std::optional<vmr::StoredRecord> found;
  if (int rc = store.find(key, found)) return rc;
  const std::string data = vmr::encode_status(counters);
  return found ? store.replace(key, data) : store.insert(key, data);
}

int Rebuild(vmr::RecordStore& store, const StoredTable& stored, OpenedTable& opened, std::uint32_t& records) {
  if (int rc = opened.Open(store)) return rc;
  records = 0;
  if (int rc = vmr::for_each_with_prefix(store, vmr::kind_prefix(stored.number, vmr::record_kind::data),
                                 [&](const vmr::StoredRecord&) {
                                   ++records;
                                   return 0;
                                 })) {
    return rc;
  }
  const std::string table_status = vmr::status_key(stored.number, vmr::record_kind::data);
  std::optional<vmr::StoredRecord> found;
  if (int rc = store.find(table_status, found)) return rc;
  vmr::StatusCounters counters;
  if (found) counters = vmr::decode_status(found->data).value_or(vmr::StatusCounters{});
  counters.count = records;
  if (int rc = WriteStatus(store, table_status, counters)) return rc;
  for (std::size_t k = 0; k < stored.definition.keys.size(); ++k) {
    if (stored.definition.keys[k].is_dynamic()) continue;
    // Every entry is made again: the key counts as deferred from the first
    // record number on.
    const auto key_byte = static_cast<std::uint8_t>(k);
    if (int rc = WriteStatus(store, vmr::status_key(stored.number, key_byte), {0, 1})) return rc;
    if (int rc = opened.table().build_key(k)) return rc;
  }
  return 0;
}

}  // namespace

int RebuildKeys(vmr::RecordStore& store, const StoredTable& table, std::uint32_t& records) {
  OpenedTable opened(table);
  if (int rc = store.begin_operation(true)) return rc;
  const int rc = Rebuild(store, table, opened, records);
  const int ended = store.end_operation();
  return rc != 0 ? rc : ended;
}

}  // namespace tavero::tool
