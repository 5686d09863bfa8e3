// Key values made byte-comparable: the encoded value of a key is the
// concatenation of its components in declaration order, each exactly its
// field's size, so that unsigned byte comparison of two encoded values
// orders them as the key declares.
//
//   FIXSTR             the field's bytes
//   ZSTR               the text before its terminator, 0x00 to the size
//   LENSTR             the text after the length byte, 0x00 to the size
//   text, no-case key  then upper-cased through the locale's case tables
//   text, always       then mapped through the locale's collation
//   UINT16, UINT32     big-endian
//   INT16, INT32       big-endian, top bit of the first byte flipped
//   FLOAT32, FLOAT64   big-endian; sign clear: set it; sign set: invert all
//   PACKED             top bit of the first byte flipped; a negative value
//                      (non-zero high half of the first byte) has that half
//                      cleared first and every byte inverted after
//   anything else      the stored bytes (UINT8, GROUP, ...)
//   descending         every byte of the component inverted
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "storage/vmr/table_definition.h"

namespace tavero::vmr {

// The locale services that key building needs: upper-casing and the sort
// weights of text. The standard one reads the process-wide locale tables
// (case partners, ANSI and OEM collation, digraphs).
class KeyCollation {
 public:
  virtual ~KeyCollation() = default;
  // Upper-cases `text` in place.
  virtual void upper(std::string& text) const;
  // Replaces `text` by its sort key in the ANSI or the OEM collation; the
  // result may be longer than the text when digraphs expand.
  virtual std::string sort_key(std::string_view text, bool oem) const;
  // Appends exactly `size` bytes: the sort key of `text` padded with NULs
  // to `size`, upper-cased first when `upper`, cut at `size`. This one goes
  // through upper() and sort_key(); the standard collation writes the
  // weights straight into `out`.
  virtual void append_sort_key(std::string& out, std::string_view text, std::size_t size, bool upper,
                               bool oem) const;

  static const KeyCollation& standard();
};

struct KeyEncodingOptions {
  bool oem = false;  // the file stores text in the OEM character set
  const KeyCollation* collation = &KeyCollation::standard();
};

// Encodes one field's value as a key component (ascending).
void append_key_component(std::string& out, const FieldDefinition& field,
                          std::span<const std::uint8_t> record, bool ignore_case,
                          const KeyEncodingOptions& options);

// Appends the whole key value of `record` for `key` to `out`.
void append_key_value(std::string& out, const TableDefinition& table, const KeyDefinition& key,
                      std::span<const std::uint8_t> record, const KeyEncodingOptions& options);
// The whole key value of `record` for `key`.
std::string encode_key_value(const TableDefinition& table, const KeyDefinition& key,
                             std::span<const std::uint8_t> record, const KeyEncodingOptions& options);

// True when every component of `key` is blank in `record`: a FIXSTR all
// spaces; a ZSTR or LENSTR empty or all spaces; any other type (groups
// included) all zero bytes.
bool key_value_is_blank(const TableDefinition& table, const KeyDefinition& key,
                        std::span<const std::uint8_t> record);

}  // namespace tavero::vmr
