#include "storage/vmr/key_encoding.h"

#include <algorithm>
#include <cassert>

#include "locale/locale.h"

namespace tavero::vmr {

void KeyCollation::upper(std::string& text) const { ToUpperInPlace(text); }

std::string KeyCollation::sort_key(std::string_view text, bool oem) const {
  return oem ? SortKeyOem(text) : SortKeyAnsi(text);
}

void KeyCollation::append_sort_key(std::string& out, std::string_view text, std::size_t size, bool upper,
                                   bool oem) const {
  std::string padded(text.substr(0, size));
  padded.resize(size, '\0');
  if (upper) this->upper(padded);
  std::string weights = sort_key(padded, oem);
  weights.resize(size, '\0');
  out += weights;
}

namespace {

// The locale's tables, without the intermediate texts.
class StandardCollation final : public KeyCollation {
 public:
  void append_sort_key(std::string& out, std::string_view text, std::size_t size, bool upper,
                       bool oem) const override {
    const std::size_t start = out.size();
    out.resize(start + size);
    SortKeyInto(std::span<char>(out.data() + start, size), text, upper, oem);
  }
};

}  // namespace

const KeyCollation& KeyCollation::standard() {
  static const StandardCollation collation;
  return collation;
}

namespace {

// The text a text field holds, without its terminator or length byte.
std::string_view field_text(const FieldDefinition& field, std::span<const std::uint8_t> bytes) {
  const auto* chars = reinterpret_cast<const char*>(bytes.data());
  std::string_view all(chars, bytes.size());
  switch (field.type) {
    case field_type::zstr:
      return all.substr(0, all.find('\0'));
    case field_type::lenstr: {
      if (all.empty()) return {};
      const std::size_t length = std::min<std::size_t>(bytes[0], all.size() - 1);
      return all.substr(1, length);
    }
    default:
      return all;
  }
}

void append_big_endian(std::string& out, std::span<const std::uint8_t> little_endian) {
  for (std::size_t i = little_endian.size(); i-- > 0;) out.push_back(static_cast<char>(little_endian[i]));
}

void invert(std::string& out, std::size_t from) {
  for (std::size_t i = from; i < out.size(); ++i) out[i] = static_cast<char>(~static_cast<std::uint8_t>(out[i]));
}

}  // namespace

void append_key_component(std::string& out, const FieldDefinition& field,
                          std::span<const std::uint8_t> record, bool ignore_case,
                          const KeyEncodingOptions& options) {
  assert(static_cast<std::size_t>(field.offset) + field.size <= record.size());
  const std::span<const std::uint8_t> bytes = record.subspan(field.offset, field.size);
  const std::size_t start = out.size();
  switch (field.type) {
    case field_type::fixstr:
    case field_type::zstr:
    case field_type::lenstr: {
      options.collation->append_sort_key(out, field_text(field, bytes), field.size, ignore_case, options.oem);
      break;
    }
    case field_type::uint16:
    case field_type::uint32:
      append_big_endian(out, bytes);
      break;
    case field_type::int16:
    case field_type::int32:
      append_big_endian(out, bytes);
      if (out.size() > start) out[start] = static_cast<char>(out[start] ^ 0x80);
      break;
    case field_type::float32:
    case field_type::float64:
      append_big_endian(out, bytes);
      if (out.size() > start) {
        if (static_cast<std::uint8_t>(out[start]) & 0x80) {
          invert(out, start);
        } else {
          out[start] = static_cast<char>(out[start] | 0x80);
        }
      }
      break;
    case field_type::packed:
      out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      if (out.size() > start) {
        const bool negative = (static_cast<std::uint8_t>(out[start]) & 0xF0) != 0;
        if (negative) out[start] = static_cast<char>(out[start] & 0x0F);
        out[start] = static_cast<char>(out[start] ^ 0x80);
        if (negative) invert(out, start);
      }
      break;
    default:
      out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      break;
  }
}

void append_key_value(std::string& out, const TableDefinition& table, const KeyDefinition& key,
                      std::span<const std::uint8_t> record, const KeyEncodingOptions& options) {
  for (const KeyComponent& component : key.components) {
    assert(component.field < table.fields.size());
    const std::size_t start = out.size();
    append_key_component(out, table.fields[component.field], record, key.ignores_case(), options);
    if (component.descending) invert(out, start);
  }
}

std::string encode_key_value(const TableDefinition& table, const KeyDefinition& key,
                             std::span<const std::uint8_t> record, const KeyEncodingOptions& options) {
  std::string out;
  out.reserve(table.key_value_length(key));
  append_key_value(out, table, key, record, options);
  return out;
}

bool key_value_is_blank(const TableDefinition& table, const KeyDefinition& key,
                        std::span<const std::uint8_t> record) {
  for (const KeyComponent& component : key.components) {
    assert(component.field < table.fields.size());
    const FieldDefinition& field = table.fields[component.field];
    const std::span<const std::uint8_t> bytes = record.subspan(field.offset, field.size);
    if (is_text_type(field.type)) {
      const std::string_view text = field_text(field, bytes);
      if (text.find_first_not_of(' ') != std::string_view::npos) return false;
    } else if (std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; })) {
      return false;
    }
  }
  return true;
}

}  // namespace tavero::vmr
