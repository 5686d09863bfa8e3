// Opening and creating tables, status records, reading records into the
// buffer, and memos and blobs.
#include "storage/vmr/table.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "locale/locale.h"
#include "runtime/error_codes.h"
#include "storage/vmr/memo_segments.h"

namespace tavero::vmr {

namespace {

constexpr std::uint8_t table_status_byte = record_kind::data;  // 0xF3

// Visits every record whose key part starts with `prefix`, in order.
int scan_prefix(RecordStore& store, std::string_view prefix,
                const std::function<int(const StoredRecord&)>& visit) {
  return for_each_with_prefix(store, prefix, visit);
}

}  // namespace

Table::Table(TableDefinition declared, std::span<std::uint8_t> record, KeyEncodingOptions options)
    : definition_(std::move(declared)),
      keys_(definition_.keys),
      record_(record),
      options_(options),
      memo_buffers_(definition_.blobs.size()),
      blob_contents_(definition_.blobs.size()),
      index_stores_(definition_.keys.size(), nullptr) {
  assert(record_.size() == definition_.record_length);
  for (std::size_t i = 0; i < definition_.blobs.size(); ++i) {
    if (!definition_.blobs[i].is_blob()) {
      blob_contents_[i].assign(definition_.blobs[i].declared_size, ' ');
      memo_buffers_[i] = std::span(reinterpret_cast<std::uint8_t*>(blob_contents_[i].data()),
                                   blob_contents_[i].size());
    }
  }
}

void Table::set_memo_buffer(std::size_t blob, std::span<std::uint8_t> buffer) {
  assert(blob < memo_buffers_.size() && !definition_.blobs[blob].is_blob());
  memo_buffers_[blob] = buffer;
}

void Table::set_index_store(std::size_t key, RecordStore* store) {
  assert(key < index_stores_.size());
  index_stores_[key] = store;
}

RecordStore& Table::key_store(std::size_t key) {
  assert(store_ != nullptr);  // [1]
  if (is_dynamic(key) && index_stores_[key] != nullptr) return *index_stores_[key];
  return *store_;
}

// ---------------------------------------------------------------- status

int Table::read_status(RecordStore& store, std::uint8_t index_byte, StatusCounters& counters) {
  std::optional<StoredRecord> found;
  if (int e = store.find(status_key(table_, index_byte), found)) return e;
  counters = {};
  if (found) {
    const auto decoded = decode_status(found->data);
    if (!decoded) return error_code::kInvalidDataFile;
    counters = *decoded;
  }
  return 0;
}

int Table::change_status(RecordStore& store, std::uint8_t index_byte, std::int64_t count_delta,
                         std::optional<RecordNumber> lower_second) {
  return store.change_counters(status_key(table_, index_byte), count_delta, lower_second);
}

int Table::erase_prefix(RecordStore& store, std::string_view prefix) { return erase_with_prefix(store, prefix); }

int Table::for_each_record(const std::function<int(const StoredRecord&)>& visit) {
  assert(store_ != nullptr);  // [1]
  return scan_prefix(*store_, table_prefix(table_), visit);
}

// ------------------------------------------------------- create and open

int Table::write_definition_and_status() {
  const std::vector<std::string> chunks = split_definition_chunks(encode_table_definition(definition_));
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    if (int e = store_->insert(definition_key(table_, static_cast<std::uint16_t>(i)), chunks[i])) return e;
  }
  if (int e = store_->insert(status_key(table_, table_status_byte), encode_status({}))) return e;
  for (std::size_t k = 0; k < keys_.size(); ++k) {
    RecordStore& store = key_store(k);
    std::optional<StoredRecord> found;
    const std::string key = status_key(table_, static_cast<std::uint8_t>(k));
    if (int e = store.find(key, found)) return e;
    if (int e = found ? store.replace(key, encode_status({})) : store.insert(key, encode_status({}))) return e;
  }
  return 0;
}

int Table::create(RecordStore& store, std::string_view name) {
  if (name.empty()) return error_code::kInvalidFilename;
  close();
  std::optional<StoredRecord> found;
  const std::string name_key = table_name_key(name);
  if (int e = store.find(name_key, found)) return e;
  if (found) {
    if (found->data.size() == 4) {
      if (int e = erase_prefix(store, table_prefix(read_u32_big_endian(found->data)))) return e;
    }
    if (int e = store.erase(name_key)) return e;
  }
  std::uint32_t number = 0;
  if (int e = store.issue_identifier(number)) return e;
  std::string data;
  append_u32_big_endian(data, number);
  if (int e = store.insert(name_key, data)) return e;
  store_ = &store;
  table_ = number;
  keys_ = definition_.keys;
  if (int e = write_definition_and_status()) {
    close();
    return e;
  }
  return 0;
}

int Table::read_definition(std::optional<TableDefinition>& stored) {
  std::string stream;
  std::uint16_t expected = 0;
  bool in_order = true;
  if (int e = scan_prefix(*store_, kind_prefix(table_, record_kind::definition), [&](const StoredRecord& r) {
        const std::string want = definition_key(table_, expected++);
        in_order = in_order && r.key == want && r.data.size() <= definition_chunk_size;
        stream += r.data;
        return 0;
      })) {
    return e;
  }
  stored.reset();
  if (in_order) stored = decode_table_definition(stream);
  return 0;
}

int Table::open(RecordStore& store, std::string_view name) {
  if (name.empty()) return error_code::kInvalidFilename;
  close();
  std::optional<StoredRecord> found;
  if (int e = store.find(table_name_key(name), found)) return e;
  if (!found) return error_code::kFileNotFound;
  if (found->data.size() != 4) return error_code::kInvalidDataFile;
  store_ = &store;
  table_ = read_u32_big_endian(found->data);
  keys_ = definition_.keys;
  std::optional<TableDefinition> stored;
  int e = read_definition(stored);
  if (e == 0 && !stored) e = error_code::kInvalidDataFile;
  if (e == 0 && !same_structure(*stored, definition_)) e = error_code::kInvalidRecordDeclaration;
  if (e != 0) {
    close();
    return e;
  }
  return 0;
}

int Table::check_keys_built() {
  // A declared key that APPEND left behind (its status names records not
  // yet entered) must be rebuilt before the table is read through it
  // (invariant [4]); indexes are brought up to date by BUILD at any time.
  for (std::size_t key = 0; key < keys_.size(); ++key) {
    if (keys_[key].is_index()) continue;
    StatusCounters counters;
    if (int e = read_status(*store_, static_cast<std::uint8_t>(key), counters)) return e;
    if (counters.second != 0) return error_code::kKeyFileMustBeRebuilt;
  }
  return 0;
}

void Table::close() {
  store_ = nullptr;
  table_ = 0;
  drop_current();
  sequence_ = {};
  flags_ = {};
}

// ----------------------------------------------------------------- reads

RecordNumber Table::entry_record_number(RecordView entry) {
  // The record number is the last four bytes of every key entry, in the
  // key part for keys with duplicates and as the data of unique keys.
  if (entry.key.size() + entry.data.size() < 4 + 5) return 0;
  if (entry.data.size() >= 4) return read_u32_big_endian(entry.data.substr(entry.data.size() - 4));
  const std::size_t in_key = 4 - entry.data.size();
  char last[4];
  std::memcpy(last, entry.key.data() + entry.key.size() - in_key, in_key);
  std::memcpy(last + in_key, entry.data.data(), entry.data.size());
  return read_u32_big_endian(std::string_view(last, 4));
}

void Table::convert_text_fields(std::string& image, bool to_oem) const {
  for (const FieldDefinition& field : definition_.fields) {
    if (!is_text_type(field.type) || field.overlaid) continue;
    const std::size_t skip = field.type == field_type::lenstr ? 1 : 0;
    for (std::size_t i = field.offset + skip; i < field.offset + field.size && i < image.size(); ++i) {
      image[i] = to_oem ? AnsiToOem(image[i]) : OemToAnsi(image[i]);
    }
  }
}

std::string Table::program_form(std::string_view stored) const {
  std::string image(stored);
  if (options_.oem) convert_text_fields(image, false);
  return image;
}

std::string Table::stored_form(std::span<const std::uint8_t> image) const {
  std::string stored(reinterpret_cast<const char*>(image.data()), image.size());
  if (options_.oem) convert_text_fields(stored, true);
  return stored;
}

int Table::read_data(RecordNumber record, std::optional<StoredRecord>& found) {
  found.reset();
  if (record == 0) return 0;
  return store_->find(data_key(table_, record), found);
}

int Table::read_data(RecordNumber record, std::optional<RecordView>& found) {
  found.reset();
  if (record == 0) return 0;
  return store_->seek(Seek::exact, data_key(table_, record), found);
}

void Table::drop_current() {
  has_current_ = false;
  current_ = 0;
  as_read_.clear();
  flags_.held = false;
  flags_.watched = false;
}

// `data` may point into the store: it is used up before the memos are read.
int Table::load(RecordView data) {
  const std::optional<DataPart> part = split(data.data);
  if (!part || data.key.size() != 9) return error_code::kInvalidDataFile;
  as_read_.assign(part->image);
  if (options_.oem) convert_text_fields(as_read_, false);
  std::memcpy(record_.data(), as_read_.data(), record_.size());
  current_ = read_u32_big_endian(data.key.substr(5));
  has_current_ = true;
  if (flags_.watch_armed) flags_.watched = true;
  if (flags_.skip_memos) return 0;
  // The marks are copied before the store is called again.
  marks_read_.assign(part->marks);
  return load_memos(current_, DataPart{{}, marks_read_});
}

// Ends a read: the one-shot flags are spent [5]; a failed read leaves no
// current record, unless `keep_current` (REGET).
int Table::finish_read(int error, bool keep_current) {
  flags_.skip_memos = false;
  flags_.hold_armed = false;
  flags_.watch_armed = false;
  flags_.hold_seconds.reset();
  if (error != 0 && !keep_current) drop_current();
  return error;
}

int Table::get_by_pointer(RecordNumber record) {
  assert(store_ != nullptr);  // [1]
  drop_current();
  std::optional<RecordView> found;
  int e = read_data(record, found);
  if (e == 0) e = found ? load(*found) : error_code::kRecordNotFound;
  return finish_read(e);
}

int Table::get_by_key_and_pointer(std::size_t, RecordNumber record) { return get_by_pointer(record); }

int Table::get_by_key(std::size_t key) {
  assert(store_ != nullptr);  // [1]
  const KeyDefinition& k = keys_[key];
  const std::string value = encode_key_value(definition_, k, record_, options_);
  drop_current();
  std::optional<StoredRecord> entry;
  const std::string prefix = key_prefix(table_, static_cast<std::uint8_t>(key));
  int e = 0;
  if (k.allows_duplicates()) {
    e = key_store(key).first_not_below(prefix + value + std::string(4, '\0'), entry);
    if (e == 0 && entry && !(entry->key.size() == prefix.size() + value.size() + 4 &&
                             entry->key.compare(0, prefix.size() + value.size(), prefix + value) == 0)) {
      entry.reset();
    }
  } else {
    e = key_store(key).find(prefix + value, entry);
  }
  if (e == 0 && !entry) e = error_code::kRecordNotFound;
  std::optional<RecordView> data;
  if (e == 0) e = read_data(entry_record_number(*entry), data);
  if (e == 0) e = data ? load(*data) : error_code::kRecordNotFound;
  return finish_read(e);
}

int Table::records(std::uint32_t& count) {
  StatusCounters counters;
  const int e = read_status(*store_, table_status_byte, counters);
  count = counters.count;
  return e;
}

int Table::records_of_key(std::size_t key, std::uint32_t& count) {
  StatusCounters counters;
  const int e = read_status(key_store(key), static_cast<std::uint8_t>(key), counters);
  count = counters.count;
  return e;
}

// ------------------------------------------------------- memos and blobs

Table::ContentSegments Table::content_segments() const {
  ContentSegments segments(definition_.blobs.size());
  for (std::size_t blob = 0; blob < segments.size(); ++blob) {
    if (definition_.blobs[blob].is_blob()) {
      segments[blob] = blob_segments(blob_contents_[blob]);
      continue;
    }
    const std::span<std::uint8_t> memo = memo_buffers_[blob];
    const std::string_view text(reinterpret_cast<const char*>(memo.data()), memo.size());
    segments[blob] = options_.oem ? memo_segments(AnsiToOem(text)) : memo_segments(text);
  }
  return segments;
}

std::string Table::data_part(const ContentSegments& segments) const {
  std::string data = stored_form(record_);
  const std::size_t marks = segment_marks_size(record_.size(), segments.size());
  if (marks == 0) return data;
  data.resize(data.size() + marks, '\0');
  for (std::size_t blob = 0; blob < segments.size(); ++blob) {
    if (!segments[blob].empty()) data[record_.size() + blob / 8] |= static_cast<char>(1u << (blob % 8));
  }
  return data;
}

int Table::write_memos(RecordNumber record, const ContentSegments& segments, std::optional<DataPart> stored_part) {
  for (std::size_t blob = 0; blob < definition_.blobs.size(); ++blob) {
    std::string prefix = segment_prefix(table_, record);
    prefix.push_back(static_cast<char>(blob));
    std::vector<StoredRecord> stored;
    if (stored_part && stored_part->may_have_segments(blob)) {
      if (int e = scan_prefix(*store_, prefix, [&](const StoredRecord& r) {
            stored.push_back(r);
            return 0;
          })) {
        return e;
      }
    }
    for (std::size_t s = 0; s < segments[blob].size(); ++s) {
      const std::string key = segment_key(table_, record, static_cast<std::uint8_t>(blob),
                                          static_cast<std::uint16_t>(s));
      auto it = std::find_if(stored.begin(), stored.end(), [&](const StoredRecord& r) { return r.key == key; });
      int e = 0;
      if (it == stored.end()) {
        e = store_->insert(key, segments[blob][s]);
      } else {
        if (it->data != segments[blob][s]) e = store_->replace(key, segments[blob][s]);
        stored.erase(it);
      }
      if (e) return e;
    }
    for (const StoredRecord& left : stored) {
      if (int e = store_->erase(left.key)) return e;
    }
  }
  return 0;
}

int Table::erase_memos(RecordNumber record) {
  if (definition_.blobs.empty()) return 0;
  return erase_prefix(*store_, segment_prefix(table_, record));
}

// A memo or blob the data record marks as empty is not looked up [6].
int Table::load_memos(RecordNumber record, DataPart data) {
  for (std::size_t blob = 0; blob < definition_.blobs.size(); ++blob) {
    const bool is_blob = definition_.blobs[blob].is_blob();
    if (!data.may_have_segments(blob)) {
      if (is_blob) {
        blob_contents_[blob].clear();
      } else {
        std::memset(memo_buffers_[blob].data(), ' ', memo_buffers_[blob].size());
      }
      continue;
    }
    std::string prefix = segment_prefix(table_, record);
    prefix.push_back(static_cast<char>(blob));
    if (!is_blob) {
      if (int e = load_memo(blob, prefix)) return e;
      continue;
    }
    std::vector<std::string> segments;
    if (int e = scan_prefix(*store_, prefix, [&](const StoredRecord& r) {
          segments.push_back(r.data);
          return 0;
        })) {
      return e;
    }
    if (!join_blob_segments(segments, blob_contents_[blob])) return error_code::kInvalidDataFile;
  }
  return 0;
}

// A memo is read with every record: its segments go straight into its
// buffer, blanks after them.
int Table::load_memo(std::size_t blob, std::string_view prefix) {
  const std::span<std::uint8_t> memo = memo_buffers_[blob];
  std::size_t filled = 0;
  // In place: a blank memo has no segment, and the record found after its
  // place is looked at, not copied.
  std::optional<RecordView> segment;
  SeekPosition position;
  if (int e = store_->seek_from(Seek::first_not_below, prefix, position, segment)) return e;
  std::string at;
  while (segment && segment->key.starts_with(prefix)) {
    const std::size_t n = std::min(segment->data.size(), memo.size() - filled);
    std::memcpy(memo.data() + filled, segment->data.data(), n);
    filled += n;
    if (filled == memo.size()) break;
    at.assign(segment->key);
    if (int e = store_->seek_from(Seek::first_above, at, position, segment)) return e;
  }
  std::memset(memo.data() + filled, ' ', memo.size() - filled);
  if (options_.oem) {
    for (std::uint8_t& c : memo.first(filled)) c = static_cast<std::uint8_t>(OemToAnsi(static_cast<char>(c)));
  }
  return 0;
}

}  // namespace tavero::vmr
