// The kinds of record the record layer keeps in a file's ordered tree, and
// the key parts that name them. Identifiers that take part in ordering
// (table numbers, record numbers, chunk and segment numbers) are stored
// big-endian so byte order is numeric order; counters inside data parts are
// little-endian.
//
//   kind          key part                                     data part
//   table name    FE, name bytes                               table number (4)
//   data          table(4) F3 record(4)                        record image [marks]
//   key, unique   table(4) key(1) value                        record(4)
//   key, dups     table(4) key(1) value record(4)              empty
//   status        table(4) F6 (F3 | key number)                count(4) second(4)
//   definition    table(4) FA chunk(2)                         <= 512 stream bytes
//   segment       table(4) FC record(4) blob(1) segment(2)     <= 256 (+4) bytes
//   marker        FF                                           (transactions)
// A transaction control file holds no tables, only its own records:
//   in progress   number(4)                                    file names
//   last number   FF "LAST"                                    number(4)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavero::vmr {

using TableNumber = std::uint32_t;
using RecordNumber = std::uint32_t;

namespace record_kind {
inline constexpr std::uint8_t table_name = 0xFE;
inline constexpr std::uint8_t data = 0xF3;
inline constexpr std::uint8_t status = 0xF6;
inline constexpr std::uint8_t definition = 0xFA;
inline constexpr std::uint8_t segment = 0xFC;
inline constexpr std::uint8_t marker = 0xFF;
}  // namespace record_kind

// Highest key number: key numbers stay below the record kind bytes.
inline constexpr std::size_t max_keys = 240;

void append_u32_big_endian(std::string& out, std::uint32_t value);
void append_u16_big_endian(std::string& out, std::uint16_t value);
std::uint32_t read_u32_big_endian(std::string_view bytes);  // first 4 bytes
void append_u32_little_endian(std::string& out, std::uint32_t value);
std::uint32_t read_u32_little_endian(std::string_view bytes);  // first 4 bytes

std::string table_name_key(std::string_view name);
std::string table_prefix(TableNumber table);  // 4 bytes
std::string kind_prefix(TableNumber table, std::uint8_t kind);  // 5 bytes
std::string data_key(TableNumber table, RecordNumber record);
std::string key_prefix(TableNumber table, std::uint8_t key_number);
std::string key_entry_key(TableNumber table, std::uint8_t key_number, std::string_view value,
                          std::optional<RecordNumber> record_for_duplicates);
std::string status_key(TableNumber table, std::uint8_t index_byte);  // F3 or key number
std::string definition_key(TableNumber table, std::uint16_t chunk);
std::string segment_prefix(TableNumber table, RecordNumber record);
std::string segment_key(TableNumber table, RecordNumber record, std::uint8_t blob, std::uint16_t segment);

// The key part immediately above every key part that starts with `prefix`.
// Empty when no such key part exists (a prefix of all 0xFF).
std::string prefix_end(std::string_view prefix);

// The data part of a data record: the stored record image, then, in
// records written by this version, the segment marks: one bit per memo or
// blob (bit b % 8 of byte b / 8), set when it has segments, clear when it
// has none; the bits past the last blob are clear. A record without marks
// (written before them, or a table without memos and blobs) has its
// segments looked up. Marks are written only where the data record still
// fits a page with them.
struct DataPart {
  std::string_view image;
  std::string_view marks;  // empty: not marked
  // False only when the marks say the blob has no segments.
  bool may_have_segments(std::size_t blob) const {
    return marks.empty() || (static_cast<std::uint8_t>(marks[blob / 8]) >> (blob % 8) & 1) != 0;
  }
};
// The size of the marks a data record of this table carries: 0 without
// memos and blobs.
std::size_t segment_marks_size(std::size_t record_length, std::size_t blob_count);
// Splits a data part; nullopt when its length is neither the record length
// nor the record length with the marks.
std::optional<DataPart> split_data_part(std::string_view data, std::size_t record_length, std::size_t blob_count);

// A status record: count and the second counter, both 32-bit little-endian.
struct StatusCounters {
  std::uint32_t count = 0;
  std::uint32_t second = 0;
  friend bool operator==(const StatusCounters&, const StatusCounters&) = default;
};
std::string encode_status(const StatusCounters& counters);
std::optional<StatusCounters> decode_status(std::string_view data);

}  // namespace tavero::vmr
