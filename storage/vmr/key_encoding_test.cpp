#include "storage/vmr/key_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "locale/locale.h"

namespace tavero::vmr {
namespace {

using Bytes = std::vector<std::uint8_t>;

FieldDefinition field(std::uint8_t type, std::uint16_t size, std::uint16_t offset = 0) {
  FieldDefinition f;
  f.type = type;
  f.size = size;
  f.offset = offset;
  return f;
}

std::string encode(const FieldDefinition& f, const Bytes& record, bool no_case = false, bool descending = false) {
  TableDefinition table;
  table.record_length = static_cast<std::uint16_t>(record.size());
  table.fields = {f};
  KeyDefinition key;
  key.attributes = no_case ? key_attribute::no_case : 0;
  key.components = {{0, descending}};
  return encode_key_value(table, key, record, {});
}

Bytes hex(std::initializer_list<int> bytes) { return Bytes(bytes.begin(), bytes.end()); }
std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

template <typename T>
Bytes little_endian(T value) {
  Bytes out(sizeof(T));
  std::memcpy(out.data(), &value, sizeof(T));
  return out;
}

TEST(KeyEncoding, NumbersAsTabulated) {
  struct Case {
    std::uint8_t type;
    Bytes stored;
    Bytes encoded;
  };
  const Case cases[] = {
      {field_type::packed, hex({0x00, 0x00, 0x12, 0x35}), hex({0x80, 0x00, 0x12, 0x35})},
      {field_type::packed, hex({0xF0, 0x00, 0x12, 0x35}), hex({0x7F, 0xFF, 0xED, 0xCA})},
      {field_type::int16, little_endian<std::int16_t>(1), hex({0x80, 0x01})},
      {field_type::int16, little_endian<std::int16_t>(-1), hex({0x7F, 0xFF})},
      {field_type::uint16, little_endian<std::uint16_t>(0x1234), hex({0x12, 0x34})},
      {field_type::int32, little_endian<std::int32_t>(0x01020304), hex({0x81, 0x02, 0x03, 0x04})},
      {field_type::uint32, little_endian<std::uint32_t>(0x01020304), hex({0x01, 0x02, 0x03, 0x04})},
      {field_type::float32, little_endian<float>(1.0f), hex({0xBF, 0x80, 0x00, 0x00})},
      {field_type::float32, little_endian<float>(-1.0f), hex({0x40, 0x7F, 0xFF, 0xFF})},
      {field_type::uint8, hex({0xAB}), hex({0xAB})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(encode(field(c.type, static_cast<std::uint16_t>(c.stored.size())), c.stored), text(c.encoded))
        << "type " << int(c.type);
  }
}

// Encoded values must order exactly as the numbers do, and a descending
// component exactly the other way.
template <typename T>
void expect_order_kept(std::uint8_t type, std::vector<T> values) {
  std::sort(values.begin(), values.end());
  for (std::size_t i = 1; i < values.size(); ++i) {
    const auto a = little_endian(values[i - 1]);
    const auto b = little_endian(values[i]);
    const FieldDefinition f = field(type, sizeof(T));
    if (values[i - 1] == values[i]) continue;
    EXPECT_LT(encode(f, a), encode(f, b)) << values[i - 1] << " < " << values[i];
    EXPECT_GT(encode(f, a, false, true), encode(f, b, false, true)) << "descending";
  }
}

TEST(KeyEncoding, ByteOrderFollowsNumericOrder) {
  std::mt19937 random(7);
  std::vector<std::int32_t> ints = {INT32_MIN, -1, 0, 1, INT32_MAX};
  std::vector<std::int16_t> shorts = {INT16_MIN, -300, -1, 0, 1, 255, 256, INT16_MAX};
  std::vector<double> doubles = {-1e300, -1.5, -0.5, 0.0, 0.5, 1.5, 1e300};
  std::vector<float> floats = {-3.5f, -0.25f, 0.0f, 0.25f, 1e20f};
  for (int i = 0; i < 200; ++i) {
    ints.push_back(static_cast<std::int32_t>(random()));
    shorts.push_back(static_cast<std::int16_t>(random()));
    doubles.push_back(std::uniform_real_distribution<double>(-1e6, 1e6)(random));
  }
  expect_order_kept(field_type::int32, ints);
  expect_order_kept(field_type::int16, shorts);
  expect_order_kept(field_type::float64, doubles);
  expect_order_kept(field_type::float32, floats);
}

// Packed decimals: sign in the high half of the first byte, BCD digits.
Bytes packed(long cents) {
  Bytes out(4, 0);
  long magnitude = cents < 0 ? -cents : cents;
  for (int i = 3; i >= 0; --i) {
    out[i] = static_cast<std::uint8_t>((magnitude % 10) | ((magnitude / 10 % 10) << 4));
    magnitude /= 100;
  }
  if (cents < 0) out[0] = static_cast<std::uint8_t>(out[0] | 0xF0);
  return out;
}

TEST(KeyEncoding, PackedOrdersNegativesBeforePositives) {
  const long values[] = {-9999999, -1235, -1234, -1, 0, 1, 1234, 1235, 9999999};
  const FieldDefinition f = field(field_type::packed, 4);
  for (std::size_t i = 1; i < std::size(values); ++i) {
    EXPECT_LT(encode(f, packed(values[i - 1])), encode(f, packed(values[i]))) << values[i - 1];
    EXPECT_GT(encode(f, packed(values[i - 1]), false, true), encode(f, packed(values[i]), false, true));
  }
}

TEST(KeyEncoding, TextForms) {
  // ZSTR: the text before its terminator, then zero bytes.
  EXPECT_EQ(encode(field(field_type::zstr, 6), Bytes{'a', 'b', 0, 'x', 'y', 'z'}), std::string("ab\0\0\0\0", 6));
  // LENSTR: the length byte dropped, zero filled to the field size.
  EXPECT_EQ(encode(field(field_type::lenstr, 5), Bytes{2, 'a', 'b', 'q', 'q'}), std::string("ab\0\0\0", 5));
  // A length byte larger than the field is cut at the field.
  EXPECT_EQ(encode(field(field_type::lenstr, 3), Bytes{200, 'a', 'b'}), std::string("ab\0", 3));
  EXPECT_EQ(encode(field(field_type::fixstr, 4), Bytes{'a', 'B', ' ', ' '}), "aB  ");
  EXPECT_EQ(encode(field(field_type::fixstr, 4), Bytes{'a', 'B', ' ', ' '}, true), "AB  ");
  EXPECT_EQ(encode(field(field_type::fixstr, 2), Bytes{'a', 'B'}, true, true), std::string("\xBE\xBD", 2));
}

class ReversedCollation : public KeyCollation {
 public:
  std::string sort_key(std::string_view text, bool oem) const override {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(255 - static_cast<std::uint8_t>(c));
    if (oem) out += "XX";  // an expanding collation: cut back to the size
    return out;
  }
};

TEST(KeyEncoding, CollationWeightsFillExactlyTheComponent) {
  TableDefinition table;
  table.record_length = 3;
  table.fields = {field(field_type::fixstr, 3)};
  KeyDefinition key;
  key.components = {{0, false}};
  const ReversedCollation reversed;
  const Bytes record{'a', 'b', 'c'};
  EXPECT_EQ(encode_key_value(table, key, record, {false, &reversed}), "\x9E\x9D\x9C");
  EXPECT_EQ(encode_key_value(table, key, record, {true, &reversed}).size(), 3u);
}

TEST(KeyEncoding, TextFollowsTheLocaleTables) {
  ApplySetting("TAVCOLSEQ", "ba");  // b now sorts before a
  EXPECT_LT(encode(field(field_type::fixstr, 1), Bytes{'b'}), encode(field(field_type::fixstr, 1), Bytes{'a'}));
  ResetLocale();
  ApplySetting("TAVCASE", "\xC9,\xE9");  // E acute pairs with e acute
  EXPECT_EQ(encode(field(field_type::fixstr, 1), Bytes{0xE9}, true), "\xC9");
  ResetLocale();
}

TEST(KeyEncoding, ComponentsConcatenateAtTheirSizes) {
  TableDefinition table;
  table.record_length = 6;
  table.fields = {field(field_type::fixstr, 4, 0), field(field_type::int16, 2, 4)};
  KeyDefinition key;
  key.components = {{1, false}, {0, true}};
  const Bytes record{'a', 'b', 'c', 'd', 0x01, 0x00};
  EXPECT_EQ(encode_key_value(table, key, record, {}), std::string("\x80\x01\x9E\x9D\x9C\x9B", 6));
}

TEST(KeyEncoding, BlankValues) {
  TableDefinition table;
  table.record_length = 14;
  table.fields = {field(field_type::fixstr, 3, 0), field(field_type::zstr, 3, 3), field(field_type::lenstr, 3, 6),
                  field(field_type::int32, 4, 9), field(field_type::group, 1, 13)};
  auto blank = [&](std::uint16_t f, const Bytes& record) {
    KeyDefinition key;
    key.components = {{f, false}};
    return key_value_is_blank(table, key, record);
  };
  Bytes record(14, 0);
  std::memcpy(record.data(), "   ", 3);
  EXPECT_TRUE(blank(0, record));
  EXPECT_FALSE(blank(0, Bytes(14, 0)));  // FIXSTR of zero bytes is not spaces
  record[3] = ' ';
  EXPECT_TRUE(blank(1, record));  // ZSTR of one space
  record[3] = 'x';
  EXPECT_FALSE(blank(1, record));
  record[6] = 2;
  record[7] = ' ';
  record[8] = ' ';
  EXPECT_TRUE(blank(2, record));  // LENSTR of spaces
  record[6] = 0;
  record[7] = 'z';
  EXPECT_TRUE(blank(2, record));  // LENSTR of length 0
  EXPECT_TRUE(blank(3, record));
  record[10] = 1;
  EXPECT_FALSE(blank(3, record));
  EXPECT_TRUE(blank(4, record));  // a group: all zero bytes
  record[13] = ' ';
  EXPECT_FALSE(blank(4, record));
}

}  // namespace
}  // namespace tavero::vmr
