#include "storage/vmr/record_kinds.h"

#include <cassert>

namespace tavero::vmr {

void append_u32_big_endian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void append_u16_big_endian(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value >> 8));
  out.push_back(static_cast<char>(value & 0xFF));
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
  std::string key = table_prefix(table);
  key.push_back(static_cast<char>(kind));
  return key;
}

std::string data_key(TableNumber table, RecordNumber record) {
  std::string key = kind_prefix(table, record_kind::data);
  append_u32_big_endian(key, record);
  return key;
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
  std::string key = kind_prefix(table, record_kind::segment);
  append_u32_big_endian(key, record);
  return key;
}

std::string segment_key(TableNumber table, RecordNumber record, std::uint8_t blob, std::uint16_t segment) {
  std::string key = segment_prefix(table, record);
  key.push_back(static_cast<char>(blob));
  append_u16_big_endian(key, segment);
  return key;
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
