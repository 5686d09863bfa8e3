// Writing records: key maintenance, ADD, APPEND, PUT, DELETE, EMPTY,
// DUPLICATE and BUILD.
#include <algorithm>
#include <cassert>
#include <cstring>

#include "runtime/error_codes.h"
#include "storage/vmr/table.h"

namespace tavero::vmr {

namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

std::string upper_ascii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::span<const std::uint8_t> as_bytes(const std::string& image) {
  return {reinterpret_cast<const std::uint8_t*>(image.data()), image.size()};
}

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string Table::key_entry(std::size_t key, std::span<const std::uint8_t> image, RecordNumber record) const {
  // key_entry_key's layout, the value encoded in place.
  const KeyDefinition& k = keys_[key];
  std::string entry;
  entry.reserve(5 + definition_.key_value_length(k) + 4);
  entry += key_prefix(table_, static_cast<std::uint8_t>(key));
  append_key_value(entry, definition_, k, image, options_);
  if (k.allows_duplicates()) append_u32_big_endian(entry, record);
  return entry;
}

std::optional<std::string> Table::key_entry_if_kept(std::size_t key, std::span<const std::uint8_t> image,
                                                     RecordNumber record) const {
  if (keys_[key].excludes_blank() && key_value_is_blank(definition_, keys_[key], image)) return std::nullopt;
  return key_entry(key, image, record);
}

// One key's part of ADD (no old image), PUT (both) and DELETE (no new
// image). An empty span stands for "no image". With `unique_checked` the
// new entries of the unique keys were looked up just before and not found.
int Table::maintain_key(std::size_t key, std::span<const std::uint8_t> old_image,
                        std::span<const std::uint8_t> new_image, RecordNumber record, bool deferred,
                        bool unique_checked) {
  const KeyDefinition& k = keys_[key];
  if (is_dynamic(key)) return 0;
  RecordStore& store = key_store(key);
  const auto key_byte = static_cast<std::uint8_t>(key);
  if (k.is_index() || deferred) return change_status(store, key_byte, 0, record);

  std::optional<std::string> old_entry, new_entry;
  if (!old_image.empty()) old_entry = key_entry_if_kept(key, old_image, record);
  if (!new_image.empty()) new_entry = key_entry_if_kept(key, new_image, record);
  if (old_entry && new_entry && *old_entry == *new_entry) return 0;

  std::int64_t delta = 0;
  if (new_entry) {
    std::string data;
    if (!k.allows_duplicates()) {
      if (!unique_checked) {
        std::optional<StoredRecord> existing;
        if (int e = store.find(*new_entry, existing)) return e;
        if (existing) return error_code::kCreatesDuplicateKey;
      }
      append_u32_big_endian(data, record);
    }
    if (int e = store.insert(*new_entry, data)) return e;
    ++delta;
  }
  if (old_entry) {
    std::optional<StoredRecord> existing;
    if (int e = store.find(*old_entry, existing)) return e;
    if (existing && entry_record_number(*existing) == record) {
      if (int e = store.erase(*old_entry)) return e;
      --delta;
    }
  }
  return delta == 0 ? 0 : change_status(store, key_byte, delta, std::nullopt);
}

int Table::maintain_keys(std::span<const std::uint8_t> old_image, std::span<const std::uint8_t> new_image,
                         RecordNumber record, bool deferred, bool unique_checked) {
  for (std::size_t key = 0; key < keys_.size(); ++key) {
    const int e = maintain_key(key, old_image, new_image, record, deferred, unique_checked);
    if (e == 0) continue;
    // Undo what the earlier keys of this operation did: the same procedure
    // with old and new swapped.
    for (std::size_t earlier = 0; earlier < key; ++earlier) {
      maintain_key(earlier, new_image, old_image, record, deferred, false);
    }
    return e;
  }
  return 0;
}

int Table::insert_new(bool deferred) {
  assert(store_ != nullptr);  // [1]
  // A value that another record already holds on a unique key fails before
  // anything is written, not even a record number.
  if (!deferred) {
    for (std::size_t key = 0; key < keys_.size(); ++key) {
      const KeyDefinition& k = keys_[key];
      if (k.allows_duplicates() || k.is_index()) continue;
      const auto entry = key_entry_if_kept(key, record_, 0);
      if (!entry) continue;
      std::optional<StoredRecord> existing;
      if (int e = key_store(key).find(*entry, existing)) return e;
      if (existing) return error_code::kCreatesDuplicateKey;
    }
  }
  RecordNumber record = 0;
  if (int e = store_->issue_identifier(record)) return e;
  // The unique keys were checked above; other keys' entries cannot give
  // them one.
  if (int e = maintain_keys({}, record_, record, deferred, !deferred)) return e;
  const ContentSegments segments = content_segments();
  if (int e = store_->insert(data_key(table_, record), data_part(segments))) return e;
  if (int e = change_status(*store_, record_kind::data, 1, std::nullopt)) return e;
  drop_current();
  has_current_ = true;
  current_ = record;
  as_read_.assign(reinterpret_cast<const char*>(record_.data()), record_.size());
  return write_memos(record, segments, std::nullopt);
}

int Table::add() { return insert_new(false); }
int Table::append() { return insert_new(true); }

// The stored image of the current record, in the program's form; 33 when
// there is none.
int Table::read_current(std::string& data_key_part, std::string& stored_data, std::string& old_image) {
  assert(store_ != nullptr);  // [1]
  if (!has_current_) return error_code::kRecordNotAvailable;
  std::optional<StoredRecord> stored;
  if (int e = read_data(current_, stored)) return e;
  const std::optional<DataPart> part = stored ? split(stored->data) : std::nullopt;
  if (!part) return error_code::kRecordNotAvailable;
  old_image = program_form(part->image);
  data_key_part = std::move(stored->key);
  stored_data = std::move(stored->data);
  return 0;
}

int Table::put() {
  std::string key_part, stored, old_image;
  if (int e = read_current(key_part, stored, old_image)) return e;
  if (flags_.watched && old_image != as_read_) return 89;  // Record Changed By Another Station
  const std::string image(reinterpret_cast<const char*>(record_.data()), record_.size());
  if (image != old_image) {
    if (int e = maintain_keys(as_bytes(old_image), record_, current_, false, false)) return e;
  }
  // The data record is rewritten when its image or its marks change (a
  // note added or cleared, or a record written before the marks).
  const ContentSegments segments = content_segments();
  const std::string data = data_part(segments);
  if (data != stored) {
    if (int e = store_->replace(key_part, data)) return e;
  }
  as_read_ = image;
  flags_.held = false;
  flags_.watched = false;
  return write_memos(current_, segments, split(stored));
}

int Table::put_at(RecordNumber record) {
  assert(store_ != nullptr);  // [1]
  // PUT at a pointer that fails leaves no current record.
  std::optional<StoredRecord> stored;
  int e = read_data(record, stored);
  drop_current();
  if (e != 0 || !stored) return e != 0 ? e : error_code::kRecordNotAvailable;
  const std::optional<DataPart> part = split(stored->data);
  if (!part) return error_code::kRecordNotAvailable;
  has_current_ = true;
  current_ = record;
  as_read_ = program_form(part->image);
  e = put();
  if (e != 0) drop_current();
  return e;
}

int Table::erase() {
  std::string key_part, stored, old_image;
  if (int e = read_current(key_part, stored, old_image)) return e;
  if (int e = maintain_keys(as_bytes(old_image), {}, current_, false, false)) return e;
  if (int e = store_->erase(key_part)) return e;
  if (int e = erase_memos(current_)) return e;
  if (int e = change_status(*store_, record_kind::data, -1, std::nullopt)) return e;
  drop_current();
  return 0;
}

int Table::empty() {
  assert(store_ != nullptr);  // [1]
  if (int e = erase_prefix(*store_, table_prefix(table_))) return e;
  for (std::size_t key = 0; key < keys_.size(); ++key) {
    if (is_dynamic(key) && index_stores_[key] != nullptr) {
      if (int e = erase_prefix(*index_stores_[key], table_prefix(table_))) return e;
    }
  }
  drop_current();
  sequence_ = {};
  return write_definition_and_status();
}

int Table::duplicate(std::size_t key, bool& answer) {
  assert(store_ != nullptr);  // [1]
  answer = false;
  const KeyDefinition& k = keys_[key];
  if (k.allows_duplicates()) return 0;
  const auto entry = key_entry_if_kept(key, record_, 0);
  if (!entry) return 0;
  std::optional<StoredRecord> existing;
  if (int e = key_store(key).find(*entry, existing)) return e;
  answer = existing && !(has_current_ && entry_record_number(*existing) == current_);
  return 0;
}

int Table::duplicate_any(bool& answer) {
  answer = false;
  for (std::size_t key = 0; key < keys_.size() && !answer; ++key) {
    if (int e = duplicate(key, answer)) return e;
  }
  return 0;
}

// ----------------------------------------------------------------- BUILD

int Table::build_key(std::size_t key, RecordFilter* filter) {
  assert(store_ != nullptr);  // [1]
  const KeyDefinition& k = keys_[key];
  if (k.components.empty()) return 0;  // a dynamic index before its first BUILD
  RecordStore& store = key_store(key);
  const auto key_byte = static_cast<std::uint8_t>(key);
  StatusCounters status;
  if (int e = read_status(store, key_byte, status)) return e;
  const RecordNumber start = status.second;
  if (start == 0) return 0;

  // Entries of records from `start` on are made again; any already there
  // (an index, or a PUT between APPEND and BUILD) go first.
  const std::string prefix = key_prefix(table_, key_byte);
  std::vector<std::string> stale;
  std::uint32_t remaining = 0;
  std::optional<StoredRecord> entry;
  if (int e = store.first_not_below(prefix, entry)) return e;
  while (entry && starts_with(entry->key, prefix)) {
    if (entry_record_number(*entry) >= start) {
      stale.push_back(entry->key);
    } else {
      ++remaining;
    }
    const std::string at = entry->key;
    if (int e = store.first_above(at, entry)) return e;
  }
  for (const std::string& doomed : stale) {
    if (int e = store.erase(doomed)) return e;
  }

  // Visit the data records from `start` in batches, sort each batch's
  // entries and insert them.
  const std::size_t batch_size =
      std::max<std::size_t>(1, 1000000 / (definition_.key_value_length(k) + 38));
  std::vector<StoredRecord> batch;
  auto flush = [&]() -> int {
    std::sort(batch.begin(), batch.end(), [](const StoredRecord& a, const StoredRecord& b) { return a.key < b.key; });
    for (const StoredRecord& made : batch) {
      std::optional<StoredRecord> existing;
      if (int e = store.find(made.key, existing)) return e;
      if (existing) continue;  // a second record with one unique value keeps the first
      if (int e = store.insert(made.key, made.data)) return e;
      ++remaining;
    }
    batch.clear();
    return 0;
  };
  const std::string data_prefix = kind_prefix(table_, record_kind::data);
  std::optional<StoredRecord> data;
  if (int e = store_->first_not_below(data_key(table_, start), data)) return e;
  while (data && starts_with(data->key, data_prefix)) {
    if (const auto part = split(data->data); part && data->key.size() == 9) {
      const std::string program = program_form(part->image);
      const auto image = as_bytes(program);
      const RecordNumber record = read_u32_big_endian(std::string_view(data->key).substr(5));
      if (const auto made = key_entry_if_kept(key, image, record); made && (!filter || filter->accepts(image))) {
        std::string entry_data;
        if (!k.allows_duplicates()) append_u32_big_endian(entry_data, record);
        batch.push_back({*made, entry_data});
        if (batch.size() >= batch_size) {
          if (int e = flush()) return e;
        }
      }
    }
    const std::string at = data->key;
    if (int e = store_->first_above(at, data)) return e;
  }
  if (int e = flush()) return e;
  const std::string status_at = status_key(table_, key_byte);
  std::optional<StoredRecord> found;
  if (int e = store.find(status_at, found)) return e;
  const std::string encoded = encode_status({remaining, 0});
  return found ? store.replace(status_at, encoded) : store.insert(status_at, encoded);
}

int Table::build_all() {
  for (std::size_t key = 0; key < keys_.size(); ++key) {
    if (keys_[key].is_index()) continue;
    if (int e = build_key(key)) return e;
  }
  return 0;
}

// Component text of a dynamic index:
//   components -> component { "," component }
//   component  -> [ "+" | "-" ] field-name
// Field names compare without regard to case; "-" sorts that component
// descending. An empty text, an unknown name or an array field gives 76.
int Table::parse_components(std::string_view text, std::vector<KeyComponent>& components) const {
  components.clear();
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const std::size_t comma = std::min(text.find(',', pos), text.size());
    std::string_view item = trim(text.substr(pos, comma - pos));
    pos = comma + 1;
    KeyComponent component;
    if (!item.empty() && (item.front() == '+' || item.front() == '-')) {
      component.descending = item.front() == '-';
      item = trim(item.substr(1));
    }
    const std::string wanted = upper_ascii(item);
    const auto field = std::find_if(definition_.fields.begin(), definition_.fields.end(),
                                    [&](const FieldDefinition& f) { return upper_ascii(f.name) == wanted; });
    if (item.empty() || field == definition_.fields.end() || field->element_count != 1) {
      return error_code::kInvalidIndexString;
    }
    component.field = static_cast<std::uint16_t>(field - definition_.fields.begin());
    components.push_back(component);
  }
  return 0;
}

int Table::build_dynamic(std::size_t key, std::string_view text, RecordFilter* filter) {
  assert(store_ != nullptr);  // [1]
  if (!is_dynamic(key)) return error_code::kInvalidIndexString;
  std::vector<KeyComponent> components;
  if (int e = parse_components(text, components)) return e;
  // A dynamic index starts afresh: its old entries and status go, and it is
  // built from record number 1.
  keys_[key].components.clear();
  RecordStore& store = key_store(key);
  const auto key_byte = static_cast<std::uint8_t>(key);
  if (int e = erase_prefix(store, key_prefix(table_, key_byte))) return e;
  const std::string status_at = status_key(table_, key_byte);
  std::optional<StoredRecord> found;
  if (int e = store.find(status_at, found)) return e;
  const std::string encoded = encode_status({0, 1});
  if (int e = found ? store.replace(status_at, encoded) : store.insert(status_at, encoded)) return e;
  keys_[key].components = std::move(components);
  return build_key(key, filter);
}

}  // namespace tavero::vmr
