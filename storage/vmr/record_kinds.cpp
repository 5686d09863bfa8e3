#include "storage/vmr/record_kinds.h"

#include <cassert>

#include "storage/vmr/page_tree.h"

namespace tavero::vmr {
namespace {

// Every read builds a few of these keys: each is put together in place and
// made a string once (short enough to need no allocation).
void put_u32_big_endian(char* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
}

void put_table_and_kind(char* out, TableNumber table, std::uint8_t kind) {
  put_u32_big_endian(out, table);
  out[4] = static_cast<char>(kind);
}

}  // namespace

void append_u32_big_endian(std::string& out, std::uint32_t value) {
  char bytes[4];
  put_u32_big_endian(bytes, value);
  out.append(bytes, 4);
}

void append_u16_big_endian(std::string& out, std::uint16_t value) {
  const char bytes[2] = {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
  out.append(bytes, 2);
}

std::uint32_t read_u32_big_endian(std::string_view bytes) {
  assert(bytes.size() >= 4);
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<std::uint8_t>(bytes[i]);
  return value;
}

void append_u32_little_endian(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint32_t read_u32_little_endian(std::string_view bytes) {
  assert(bytes.size() >= 4);
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[i]);
  return value;
}

std::string table_name_key(std::string_view name) {
  std::string key(1, static_cast<char>(record_kind::table_name));
  key += name;
  return key;
}

std::string table_prefix(TableNumber table) {
  std::string key;
  append_u32_big_endian(key, table);
  return key;
}

std::string kind_prefix(TableNumber table, std::uint8_t kind) {
  char key[5];
  put_table_and_kind(key, table, kind);
  return std::string(key, sizeof key);
}

std::string data_key(TableNumber table, RecordNumber record) {
  char key[9];
  put_table_and_kind(key, table, record_kind::data);
  put_u32_big_endian(key + 5, record);
  return std::string(key, sizeof key);
}

std::string key_prefix(TableNumber table, std::uint8_t key_number) {
  assert(key_number < max_keys);
  return kind_prefix(table, key_number);
}

std::string key_entry_key(TableNumber table, std::uint8_t key_number, std::string_view value,
                          std::optional<RecordNumber> record_for_duplicates) {
  std::string key = key_prefix(table, key_number);
  key += value;
  if (record_for_duplicates) append_u32_big_endian(key, *record_for_duplicates);
  return key;
}

std::string status_key(TableNumber table, std::uint8_t index_byte) {
  std::string key = kind_prefix(table, record_kind::status);
  key.push_back(static_cast<char>(index_byte));
  return key;
}

std::string definition_key(TableNumber table, std::uint16_t chunk) {
  std::string key = kind_prefix(table, record_kind::definition);
  append_u16_big_endian(key, chunk);
  return key;
}

std::string segment_prefix(TableNumber table, RecordNumber record) {
  char key[9];
  put_table_and_kind(key, table, record_kind::segment);
  put_u32_big_endian(key + 5, record);
  return std::string(key, sizeof key);
}

std::string segment_key(TableNumber table, RecordNumber record, std::uint8_t blob, std::uint16_t segment) {
  std::string key = segment_prefix(table, record);
  key.push_back(static_cast<char>(blob));
  append_u16_big_endian(key, segment);
  return key;
}

std::size_t segment_marks_size(std::size_t record_length, std::size_t blob_count) {
  const std::size_t size = (blob_count + 7) / 8;
  // A data record: 9 bytes of key part, the image and the marks.
  return 9 + record_length + size <= kMaxRecordLength ? size : 0;
}

std::optional<DataPart> split_data_part(std::string_view data, std::size_t record_length, std::size_t blob_count) {
  if (data.size() == record_length) return DataPart{data, {}};
  const std::size_t marks = segment_marks_size(record_length, blob_count);
  if (marks == 0 || data.size() != record_length + marks) return std::nullopt;
  return DataPart{data.substr(0, record_length), data.substr(record_length)};
}

std::string prefix_end(std::string_view prefix) {
  std::string end(prefix);
  while (!end.empty()) {
    auto last = static_cast<std::uint8_t>(end.back());
    if (last != 0xFF) {
      end.back() = static_cast<char>(last + 1);
      return end;
    }
    end.pop_back();
  }
  return end;
}

std::string encode_status(const StatusCounters& counters) {
  std::string data;
  append_u32_little_endian(data, counters.count);
  append_u32_little_endian(data, counters.second);
  return data;
}

std::optional<StatusCounters> decode_status(std::string_view data) {
  if (data.size() != 8) return std::nullopt;
  return StatusCounters{read_u32_little_endian(data), read_u32_little_endian(data.substr(4))};
}

}  // namespace tavero::vmr
