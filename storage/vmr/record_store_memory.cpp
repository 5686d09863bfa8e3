#include "storage/vmr/record_store_memory.h"

#include <cassert>

namespace tavero::vmr {

namespace {

std::optional<StoredRecord> at(const auto& records, auto it) {
  if (it == records.end()) return std::nullopt;
  return StoredRecord{it->first, it->second};
}

}  // namespace

// std::string compares with char_traits<char>::compare, which orders as
// unsigned char: the tree's byte order.

int MemoryRecordStore::find(std::string_view key, std::optional<StoredRecord>& found) {
  found = at(records_, records_.find(key));
  return 0;
}

int MemoryRecordStore::first_not_below(std::string_view key, std::optional<StoredRecord>& found) {
  found = at(records_, records_.lower_bound(key));
  return 0;
}

int MemoryRecordStore::last_below(std::string_view key, std::optional<StoredRecord>& found) {
  auto it = records_.lower_bound(key);
  found = it == records_.begin() ? std::nullopt : at(records_, std::prev(it));
  return 0;
}

int MemoryRecordStore::insert(std::string_view key, std::string_view data) {
  const bool inserted = records_.emplace(std::string(key), std::string(data)).second;
  assert(inserted);
  (void)inserted;
  ++changes_;
  return 0;
}

int MemoryRecordStore::replace(std::string_view key, std::string_view data) {
  auto it = records_.find(key);
  assert(it != records_.end());
  it->second = data;
  ++changes_;
  return 0;
}

int MemoryRecordStore::erase(std::string_view key) {
  auto it = records_.find(key);
  assert(it != records_.end());
  records_.erase(it);
  ++changes_;
  return 0;
}

int MemoryRecordStore::issue_identifier(std::uint32_t& identifier) {
  identifier = ++last_identifier_;
  ++changes_;
  return 0;
}

int MemoryRecordStore::begin_operation(bool) { return 0; }
int MemoryRecordStore::end_operation() { return 0; }

}  // namespace tavero::vmr
