// RecordLayout: the byte stream a record declaration compiles to, and its
// flattening into one field descriptor per entry.
//
// Stream format (all numbers little-endian, 32-bit unless told):
//
//   layout   := 0x16 entries 0x00               the record is a group
//   entries  := { entry }
//   entry    := 0x18 offset name { dimension } type extra
//   offset   := byte offset of the field within its group
//   name     := bytes up to a NUL ("SET:SET_NO"; may be empty)
//   dimension:= 0x17 element-count
//   type     := one byte, a FieldType code
//   extra    := PACKED, PACKED2: size-in-bytes (1 byte), decimal places (1 byte)
//             | FIXSTR, ZSTR, LENSTR: declared length, picture up to a NUL
//             | GROUP: entries 0x00            a nested group
//             | nothing for the other types
//
// Errors: a first byte other than 0x16, a byte other than 0x18 or 0x00 where
// an entry should start, or a stream that ends early give 75; a type byte
// that names no type gives 79; more than four dimensions on a field that is
// not overlaid, a dimension of 0, a string longer than 64000 or of length 0,
// a PACKED of size 0, or a field that reaches past the record give 47.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/driver/field_type.h"

namespace tavero::driver {

inline constexpr std::uint8_t kGroupMarker = 0x16;
inline constexpr std::uint8_t kFieldMarker = 0x18;
inline constexpr std::uint8_t kDimensionMarker = 0x17;
inline constexpr std::uint8_t kEndOfGroup = 0x00;

inline constexpr std::uint32_t kMaxRecordLength = 64000;
inline constexpr std::uint32_t kMaxStringLength = 64000;
inline constexpr std::size_t kMaxDimensions = 4;

// One entry of the layout, groups included, in stream order.
struct FieldDescriptor {
  FieldType type = FieldType::GROUP;
  std::string name;
  std::uint32_t offset = 0;         // absolute: the offsets of enclosing groups added
  std::uint32_t element_size = 0;   // bytes of one element
  std::uint32_t element_count = 1;  // product of all dimensions
  std::uint32_t size = 0;           // element_size * element_count
  std::vector<std::uint32_t> dimensions;
  // Starts inside storage that earlier fields already cover, or belongs to an
  // overlaid group.
  bool overlaid = false;
  std::uint8_t places = 0;            // PACKED, PACKED2: decimal places
  std::uint8_t byte_size = 0;         // PACKED, PACKED2: storage size
  std::uint32_t declared_length = 0;  // strings: the declared length
  std::string picture;                // strings: the picture text, may be empty
  std::uint16_t depth = 0;            // 0 for fields of the record itself
  std::size_t group_end = 0;          // GROUP: index one past its last member
};

struct FlatLayout {
  int error = 0;  // 0, or 47, 75 or 79
  std::vector<FieldDescriptor> fields;
  // Bytes covered by fields that are not overlaid (a group counts once,
  // with its members).
  std::uint32_t covered_size = 0;
};

// Flattens `layout` for a record of `record_length` bytes. Never reads past
// the end of `layout`.
FlatLayout FlattenRecordLayout(std::span<const std::uint8_t> layout, std::uint32_t record_length);

// Writes a RecordLayout stream; the data dictionary and tests declare their
// records with it. Offsets are relative to the enclosing group.
class RecordLayoutWriter {
 public:
  RecordLayoutWriter();

  // A field of a fixed-size type (UINT8 ... FLOAT64, DATE4, TIME4, BFLOAT*).
  RecordLayoutWriter& Field(std::string_view name, std::uint32_t offset, FieldType type,
                            std::initializer_list<std::uint32_t> dimensions = {});
  // PACKED or PACKED2 of `byte_size` bytes.
  RecordLayoutWriter& Packed(std::string_view name, std::uint32_t offset, std::uint8_t byte_size,
                             std::uint8_t places, FieldType type = FieldType::PACKED,
                             std::initializer_list<std::uint32_t> dimensions = {});
  // FIXSTR, ZSTR or LENSTR of `length` characters.
  RecordLayoutWriter& String(std::string_view name, std::uint32_t offset, std::uint32_t length,
                             FieldType type = FieldType::FIXSTR, std::string_view picture = {},
                             std::initializer_list<std::uint32_t> dimensions = {});
  RecordLayoutWriter& BeginGroup(std::string_view name, std::uint32_t offset,
                                 std::initializer_list<std::uint32_t> dimensions = {});
  RecordLayoutWriter& EndGroup();

  // The stream, with every open group (the record's own included) closed.
  std::vector<std::uint8_t> Finish() const;

 private:
  void Entry(std::string_view name, std::uint32_t offset,
             std::initializer_list<std::uint32_t> dimensions, FieldType type);
  void Put32(std::uint32_t value);

  std::vector<std::uint8_t> bytes_;
  int open_groups_ = 1;
};

}  // namespace tavero::driver
