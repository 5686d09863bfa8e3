// The declaration of one VMR table as the engine keeps it and as it is
// stored in the file: the flattened field list, the blobs (memos and
// blobs) and the keys. `encode_table_definition` writes the stream that is
// cut into 512-byte definition records; `decode_table_definition` reads it
// back, never trusting a byte; `compare_structure` decides whether a stored
// definition still fits a declaration (47 when it does not).
//
// Stream layout (numbers 16-bit little-endian unless said):
//   version (1, or 2 when a blob has attribute 0x04)
//   record length, field count, blob count, key count
//   per field : type (8 bits), offset, name, element count, size,
//               overlay flag, field index (its position in the list),
//               [types 10, 11: places (8 bits), byte size (8 bits)]
//               [types 18, 19, 20: declared length, picture]
//   per blob  : name, second name, attributes, declared size
//   per key   : name, external name, attribute flags (8 bits, 0x4000
//               kept as 0x40), component count,
//               per component: field number (0-based), descending flag
// A text is its bytes then 0x00; empty is 0x00 0x00; absent 0x00 0x01.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavero::driver {
struct FieldDescriptor;
}

namespace tavero::vmr {

// Field type codes of the record model.
namespace field_type {
inline constexpr std::uint8_t uint8 = 1;
inline constexpr std::uint8_t int16 = 2;
inline constexpr std::uint8_t uint16 = 3;
inline constexpr std::uint8_t date4 = 4;
inline constexpr std::uint8_t time4 = 5;
inline constexpr std::uint8_t int32 = 6;
inline constexpr std::uint8_t uint32 = 7;
inline constexpr std::uint8_t float32 = 8;
inline constexpr std::uint8_t float64 = 9;
inline constexpr std::uint8_t packed = 10;
inline constexpr std::uint8_t packed2 = 11;
inline constexpr std::uint8_t bfloat32 = 13;
inline constexpr std::uint8_t bfloat64 = 14;
inline constexpr std::uint8_t fixstr = 18;
inline constexpr std::uint8_t zstr = 19;
inline constexpr std::uint8_t lenstr = 20;
inline constexpr std::uint8_t group = 22;
}  // namespace field_type

bool is_text_type(std::uint8_t type);

// Key attribute bits as declared.
namespace key_attribute {
inline constexpr std::uint32_t duplicates = 0x01;
inline constexpr std::uint32_t exclude_blank = 0x02;
inline constexpr std::uint32_t no_case = 0x04;
inline constexpr std::uint32_t index = 0x4000;
}  // namespace key_attribute

// Blob attribute bit: a blob (variable length) rather than a memo.
inline constexpr std::uint16_t blob_attribute_blob = 0x04;

struct FieldDefinition {
  std::uint8_t type = 0;
  std::uint16_t offset = 0;  // absolute, within the record
  std::string name;
  std::uint16_t element_count = 1;
  std::uint16_t size = 0;  // element size times element count
  bool overlaid = false;
  std::uint8_t places = 0;            // PACKED, PACKED2
  std::uint8_t byte_size = 0;         // PACKED, PACKED2
  std::uint16_t declared_length = 0;  // text types
  std::string picture;                // text types; empty when none

  friend bool operator==(const FieldDefinition&, const FieldDefinition&) = default;
};

// The stored form of a field the runtime declared (a flattened layout's
// descriptor).
FieldDefinition field_definition_of(const driver::FieldDescriptor& field);

struct BlobDefinition {
  std::string name;
  std::optional<std::string> second_name;
  std::uint16_t attributes = 0;
  std::uint16_t declared_size = 0;

  bool is_blob() const { return (attributes & blob_attribute_blob) != 0; }
  friend bool operator==(const BlobDefinition&, const BlobDefinition&) = default;
};

struct KeyComponent {
  std::uint16_t field = 0;  // 0-based position in the flattened field list
  bool descending = false;

  friend bool operator==(const KeyComponent&, const KeyComponent&) = default;
};

struct KeyDefinition {
  std::string name;
  std::optional<std::string> external_name;
  std::uint32_t attributes = 0;
  std::vector<KeyComponent> components;

  bool allows_duplicates() const { return (attributes & key_attribute::duplicates) != 0; }
  bool excludes_blank() const { return (attributes & key_attribute::exclude_blank) != 0; }
  bool ignores_case() const { return (attributes & key_attribute::no_case) != 0; }
  bool is_index() const { return (attributes & key_attribute::index) != 0; }
  bool is_dynamic() const { return is_index() && components.empty(); }
  friend bool operator==(const KeyDefinition&, const KeyDefinition&) = default;
};

struct TableDefinition {
  std::uint16_t record_length = 0;
  std::vector<FieldDefinition> fields;
  std::vector<BlobDefinition> blobs;
  std::vector<KeyDefinition> keys;

  std::uint16_t version() const;
  // Bytes of one key's encoded value (the sum of its components' sizes).
  std::size_t key_value_length(const KeyDefinition& key) const;
  friend bool operator==(const TableDefinition&, const TableDefinition&) = default;
};

// Key attributes as stored (8 bits) and back.
std::uint8_t stored_key_attributes(std::uint32_t attributes);
std::uint32_t declared_key_attributes(std::uint8_t stored);

std::string encode_table_definition(const TableDefinition& definition);

// Reads a stream; nullopt when it is truncated, has trailing bytes or holds
// values that cannot be (a component beyond the field list, a field beyond
// the record). Never reads outside `stream`.
std::optional<TableDefinition> decode_table_definition(std::string_view stream);

// True when `stored` has the structure of `declared`: names, pictures,
// decimal places, string lengths and blob attributes may differ.
bool same_structure(const TableDefinition& stored, const TableDefinition& declared);

// The stream cut into definition-record chunks of at most 512 bytes.
inline constexpr std::size_t definition_chunk_size = 512;
std::vector<std::string> split_definition_chunks(std::string_view stream);

}  // namespace tavero::vmr
