// Sequential processing: the SET forms and RESET, the first read after
// them, NEXT, PREVIOUS, SKIP, EOF and BOF, POSITION and REGET.
//
//   form                 cursor                 first read
//   41 record, start     none                   first or last data record
//   43 record, pointer   record number          that record, else the next in
//                                               the reading direction, else
//                                               the last record of the table
//   42 record, value     entry from the buffer  the exact entry, else the next
//                        (record 0 / all ones)  in the reading direction; then
//                                               record order from its record
//   44 key, start        none                   first or last entry of the key
//   45 key, value        as 42                  as 42, continuing in key order
//   47 key, entry        value and record       the exact entry, else the next
//   46 key, pointer      record number          that record; if absent the
//                                               last entry of the key
#include <cassert>
#include <cstring>

#include "runtime/error_codes.h"
#include "storage/vmr/table.h"

namespace tavero::vmr {

namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

bool key_order(SequenceStart start) {
  return start == SequenceStart::key_order_from_start || start == SequenceStart::key_order_from_key_value ||
         start == SequenceStart::key_order_from_pointer || start == SequenceStart::key_order_from_entry;
}

std::string fitted(std::string_view value, std::size_t length) {
  std::string out(value.substr(0, std::min(value.size(), length)));
  out.resize(length, '\0');
  return out;
}

}  // namespace

int Table::set(SequenceStart start, std::optional<std::size_t> key, RecordNumber record) {
  assert(store_ != nullptr);  // [1]
  sequence_ = {};
  const bool needs_key = key_order(start) || start == SequenceStart::record_order_from_key_value;
  assert(!needs_key || (key && *key < keys_.size()));
  sequence_.order = Order::pending;
  sequence_.start = start;
  sequence_.key = needs_key ? *key : 0;
  sequence_.record = record;
  if (start == SequenceStart::record_order_from_key_value || start == SequenceStart::key_order_from_key_value ||
      start == SequenceStart::key_order_from_entry) {
    sequence_.cursor = encode_key_value(definition_, keys_[sequence_.key], record_, options_);
  }
  return 0;
}

// The first or next entry of `key` from `from` in the reading direction;
// `inclusive` admits an entry equal to `from`. An empty `from` starts at the
// key's end.
int Table::entry_in_key(std::size_t key, bool forward, std::string_view from, bool inclusive,
                        std::optional<RecordView>& entry, SeekPosition& position) {
  RecordStore& store = key_store(key);
  const std::string prefix = key_prefix(table_, static_cast<std::uint8_t>(key));
  entry.reset();
  int e = 0;
  if (from.empty()) {
    e = forward ? store.seek_from(Seek::first_not_below, prefix, position, entry)
                : store.seek_from(Seek::last_below, prefix_end(prefix), position, entry);
  } else if (forward) {
    e = store.seek_from(inclusive ? Seek::first_not_below : Seek::first_above, from, position, entry);
  } else {
    if (inclusive) e = store.seek_from(Seek::exact, from, position, entry);
    if (e == 0 && !entry) e = store.seek_from(Seek::last_below, from, position, entry);
  }
  if (e == 0 && entry && !starts_with(entry->key, prefix)) entry.reset();
  return e;
}

int Table::data_in_table(bool forward, std::string_view from, bool inclusive, std::optional<RecordView>& data,
                         SeekPosition& position) {
  const std::string prefix = kind_prefix(table_, record_kind::data);
  data.reset();
  int e = 0;
  if (from.empty()) {
    e = forward ? store_->seek_from(Seek::first_not_below, prefix, position, data)
                : store_->seek_from(Seek::last_below, prefix_end(prefix), position, data);
  } else if (forward) {
    e = store_->seek_from(inclusive ? Seek::first_not_below : Seek::first_above, from, position, data);
  } else {
    if (inclusive) e = store_->seek_from(Seek::exact, from, position, data);
    if (e == 0 && !data) e = store_->seek_from(Seek::last_below, from, position, data);
  }
  if (e == 0 && data && !starts_with(data->key, prefix)) data.reset();
  return e;
}

// From `entry` on, the first entry whose data record exists: an entry whose
// record has vanished is skipped.
int Table::follow_entries(std::size_t key, bool forward, std::optional<RecordView> entry, StepResult& result) {
  while (entry) {
    // The entry is gone with the store's next call: its key part first.
    result.cursor.assign(entry->key);
    if (int e = read_data(entry_record_number(*entry), result.found)) return e;
    if (result.found) return 0;
    if (int e = entry_in_key(key, forward, result.cursor, false, entry, result.position)) return e;
  }
  result.found.reset();
  return 0;
}

int Table::first_step(bool forward, StepResult& result) {
  result.position = {};
  SeekPosition& position = result.position;
  const std::size_t key = sequence_.key;
  const KeyDefinition& k = keys_[key];
  const std::string prefix = key_prefix(table_, static_cast<std::uint8_t>(key));
  std::optional<RecordView> entry;
  switch (sequence_.start) {
    case SequenceStart::record_order_from_start:
      result.order = Order::record;
      return data_in_table(forward, {}, false, result.found, position);
    case SequenceStart::record_order_from_pointer: {
      result.order = Order::record;
      if (int e = data_in_table(forward, data_key(table_, sequence_.record), true, result.found, position)) return e;
      if (!result.found) return data_in_table(false, {}, false, result.found, position);
      return 0;
    }
    case SequenceStart::record_order_from_key_value:
    case SequenceStart::key_order_from_key_value: {
      std::string from = prefix + sequence_.cursor;
      if (k.allows_duplicates()) from += std::string(4, forward ? '\0' : '\xFF');
      if (int e = entry_in_key(key, forward, from, true, entry, position)) return e;
      if (int e = follow_entries(key, forward, entry, result)) return e;
      if (sequence_.start == SequenceStart::record_order_from_key_value) {
        result.order = Order::record;
        if (result.found) result.cursor.assign(result.found->key);
      } else {
        result.order = Order::key;
      }
      return 0;
    }
    case SequenceStart::key_order_from_start:
      result.order = Order::key;
      if (int e = entry_in_key(key, forward, {}, false, entry, position)) return e;
      return follow_entries(key, forward, entry, result);
    case SequenceStart::key_order_from_entry: {
      result.order = Order::key;
      std::string from = prefix + sequence_.cursor;
      if (k.allows_duplicates()) append_u32_big_endian(from, sequence_.record);
      if (int e = entry_in_key(key, forward, from, true, entry, position)) return e;
      return follow_entries(key, forward, entry, result);
    }
    case SequenceStart::key_order_from_pointer: {
      result.order = Order::key;
      if (int e = read_data(sequence_.record, result.found)) return e;
      if (const auto part = result.found ? split(result.found->data) : std::nullopt) {
        const std::string image = program_form(part->image);
        result.cursor = key_entry(
            key, std::span(reinterpret_cast<const std::uint8_t*>(image.data()), image.size()), sequence_.record);
        return 0;
      }
      if (int e = entry_in_key(key, false, {}, false, entry, position)) return e;
      return follow_entries(key, false, entry, result);
    }
  }
  return 0;
}

int Table::next_step(bool forward, StepResult& result) {
  result.order = sequence_.order;
  // From where the store found the record the sequence stands on.
  result.position = sequence_.position;
  if (sequence_.order == Order::record) {
    if (int e = data_in_table(forward, sequence_.cursor, false, result.found, result.position)) return e;
    if (result.found) result.cursor.assign(result.found->key);
    return 0;
  }
  std::optional<RecordView> entry;
  if (int e = entry_in_key(sequence_.key, forward, sequence_.cursor, false, entry, result.position)) return e;
  return follow_entries(sequence_.key, forward, entry, result);
}

int Table::step(bool forward, bool look_only) {
  assert(store_ != nullptr);  // [1]
  if (sequence_.order == Order::none) return look_only ? error_code::kRecordNotAvailable : finish_read(error_code::kRecordNotAvailable);
  StepResult& result = stepped_;
  result.found.reset();
  int e = sequence_.order == Order::pending ? first_step(forward, result) : next_step(forward, result);
  if (e == 0 && !result.found) e = error_code::kRecordNotAvailable;
  if (look_only) return e;
  if (e == 0) {
    // load() uses up the record found in place; the cursor is kept apart.
    if (result.order == Order::record) result.cursor.assign(result.found->key);
    e = load(*result.found);
    if (e == 0) {
      sequence_.order = result.order;
      sequence_.cursor.swap(result.cursor);
      sequence_.position = result.position;
    }
  } else {
    drop_current();
  }
  return finish_read(e);
}

bool Table::at_end(bool forward, int& error) {
  error = step(forward, true);
  return error != 0;
}

int Table::skip(std::int32_t count) {
  assert(store_ != nullptr);  // [1]
  if (sequence_.order == Order::none) return error_code::kRecordNotAvailable;
  const bool forward = count >= 0;
  for (std::int64_t n = count >= 0 ? count : -static_cast<std::int64_t>(count); n > 0; --n) {
    StepResult& result = stepped_;
    result.found.reset();
    int e = sequence_.order == Order::pending ? first_step(forward, result) : next_step(forward, result);
    if (e == 0 && !result.found) e = error_code::kRecordNotAvailable;
    if (e != 0) return e;
    if (result.order == Order::record) result.cursor.assign(result.found->key);
    sequence_.order = result.order;
    sequence_.cursor.swap(result.cursor);
    sequence_.position = result.position;
  }
  drop_current();
  return 0;
}

std::string Table::position() const {
  std::string text;
  append_u32_big_endian(text, pointer());
  return text;
}

std::string Table::position_of_key(std::size_t key) const {
  std::string text = position();
  if (as_read_.size() == record_.size()) {
    const auto image = std::span(reinterpret_cast<const std::uint8_t*>(as_read_.data()), as_read_.size());
    text += encode_key_value(definition_, keys_[key], image, options_);
  }
  return text;
}

int Table::reset(std::string_view text) {
  const std::string position = fitted(text, 4);
  return set(SequenceStart::record_order_from_pointer, std::nullopt, read_u32_big_endian(position));
}

int Table::reset_key(std::size_t key, std::string_view text) {
  const std::string position = fitted(text, 4 + definition_.key_value_length(keys_[key]));
  const int e = set(SequenceStart::key_order_from_entry, key, read_u32_big_endian(position));
  sequence_.cursor = position.substr(4);
  return e;
}

// A REGET that fails keeps the current record.
int Table::reget(std::string_view text) {
  assert(store_ != nullptr);  // [1]
  if (text.size() < 4) return finish_read(error_code::kRecordNotFound, true);
  std::optional<RecordView> found;
  int e = read_data(read_u32_big_endian(text), found);
  if (e == 0) e = found ? load(*found) : error_code::kRecordNotFound;
  return finish_read(e, true);
}

int Table::reget_key(std::size_t key, std::string_view text) {
  assert(store_ != nullptr);  // [1]
  const std::string position = fitted(text, 4 + definition_.key_value_length(keys_[key]));
  const RecordNumber record = read_u32_big_endian(position);
  const std::string entry_key =
      key_entry_key(table_, static_cast<std::uint8_t>(key), std::string_view(position).substr(4),
                    keys_[key].allows_duplicates() ? std::optional<RecordNumber>(record) : std::nullopt);
  std::optional<StoredRecord> entry;
  int e = key_store(key).find(entry_key, entry);
  if (e == 0 && !entry) e = error_code::kRecordNotFound;
  std::optional<RecordView> data;
  if (e == 0) e = read_data(entry_record_number(*entry), data);
  if (e == 0) e = data ? load(*data) : error_code::kRecordNotFound;
  return finish_read(e, true);
}

}  // namespace tavero::vmr
