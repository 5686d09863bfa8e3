#include "storage/vmr/table_definition.h"

#include <algorithm>

#include "storage/driver/record_layout.h"

namespace tavero::vmr {

FieldDefinition field_definition_of(const driver::FieldDescriptor& f) {
  FieldDefinition field;
  field.type = static_cast<std::uint8_t>(f.type);
  field.offset = static_cast<std::uint16_t>(f.offset);
  field.name = f.name;
  field.element_count = static_cast<std::uint16_t>(f.element_count);
  field.size = static_cast<std::uint16_t>(f.size);
  field.overlaid = f.overlaid;
  field.places = f.places;
  field.byte_size = f.byte_size;
  field.declared_length = static_cast<std::uint16_t>(f.declared_length);
  field.picture = f.picture;
  return field;
}

bool is_text_type(std::uint8_t type) {
  return type == field_type::fixstr || type == field_type::zstr || type == field_type::lenstr;
}

std::uint16_t TableDefinition::version() const {
  const bool any_blob = std::any_of(blobs.begin(), blobs.end(),
                                    [](const BlobDefinition& blob) { return blob.is_blob(); });
  return any_blob ? 2 : 1;
}

std::size_t TableDefinition::key_value_length(const KeyDefinition& key) const {
  std::size_t length = 0;
  for (const KeyComponent& component : key.components) {
    if (component.field < fields.size()) length += fields[component.field].size;
  }
  return length;
}

std::uint8_t stored_key_attributes(std::uint32_t attributes) {
  std::uint8_t stored = static_cast<std::uint8_t>(attributes & 0xBF);
  if (attributes & key_attribute::index) stored |= 0x40;
  return stored;
}

std::uint32_t declared_key_attributes(std::uint8_t stored) {
  std::uint32_t attributes = stored & 0xBF;
  if (stored & 0x40) attributes |= key_attribute::index;
  return attributes;
}

namespace {

class StreamWriter {
 public:
  void byte(std::uint8_t value) { out_.push_back(static_cast<char>(value)); }
  void number(std::uint16_t value) {
    byte(static_cast<std::uint8_t>(value & 0xFF));
    byte(static_cast<std::uint8_t>(value >> 8));
  }
  void text(std::string_view value) {
    // Names never hold a NUL byte of their own: cut at one.
    value = value.substr(0, value.find('\0'));
    out_.append(value);
    byte(0);
    if (value.empty()) byte(0);
  }
  void optional_text(const std::optional<std::string>& value) {
    if (value) {
      text(*value);
    } else {
      byte(0);
      byte(1);
    }
  }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

class StreamReader {
 public:
  explicit StreamReader(std::string_view in) : in_(in) {}

  bool byte(std::uint8_t& value) {
    if (pos_ >= in_.size()) return false;
    value = static_cast<std::uint8_t>(in_[pos_++]);
    return true;
  }
  bool number(std::uint16_t& value) {
    std::uint8_t low = 0, high = 0;
    if (!byte(low) || !byte(high)) return false;
    value = static_cast<std::uint16_t>(low | (high << 8));
    return true;
  }
  // Accepts the three forms: bytes then 0x00, 0x00 0x00 (empty), 0x00 0x01
  // (absent).
  bool optional_text(std::optional<std::string>& value) {
    const std::size_t end = in_.find('\0', pos_);
    if (end == std::string_view::npos) return false;
    if (end > pos_) {
      value = std::string(in_.substr(pos_, end - pos_));
      pos_ = end + 1;
      return true;
    }
    pos_ = end + 1;
    std::uint8_t marker = 0;
    if (!byte(marker)) return false;
    if (marker == 0) {
      value = std::string();
    } else if (marker == 1) {
      value.reset();
    } else {
      return false;
    }
    return true;
  }
  bool text(std::string& value) {
    std::optional<std::string> read;
    if (!optional_text(read)) return false;
    value = read.value_or(std::string());
    return true;
  }
  bool at_end() const { return pos_ == in_.size(); }

 private:
  std::string_view in_;
  std::size_t pos_ = 0;
};

bool has_places(std::uint8_t type) { return type == field_type::packed || type == field_type::packed2; }

}  // namespace

std::string encode_table_definition(const TableDefinition& definition) {
  StreamWriter out;
  out.number(definition.version());
  out.number(definition.record_length);
  out.number(static_cast<std::uint16_t>(definition.fields.size()));
  out.number(static_cast<std::uint16_t>(definition.blobs.size()));
  out.number(static_cast<std::uint16_t>(definition.keys.size()));
  for (std::size_t i = 0; i < definition.fields.size(); ++i) {
    const FieldDefinition& field = definition.fields[i];
    out.byte(field.type);
    out.number(field.offset);
    out.text(field.name);
    out.number(field.element_count);
    out.number(field.size);
    out.number(field.overlaid ? 1 : 0);
    out.number(static_cast<std::uint16_t>(i));
    if (has_places(field.type)) {
      out.byte(field.places);
      out.byte(field.byte_size);
    }
    if (is_text_type(field.type)) {
      out.number(field.declared_length);
      out.text(field.picture);
    }
  }
  for (const BlobDefinition& blob : definition.blobs) {
    out.text(blob.name);
    out.optional_text(blob.second_name);
    out.number(blob.attributes);
    out.number(blob.declared_size);
  }
  for (const KeyDefinition& key : definition.keys) {
    out.text(key.name);
    out.optional_text(key.external_name);
    out.byte(stored_key_attributes(key.attributes));
    out.number(static_cast<std::uint16_t>(key.components.size()));
    for (const KeyComponent& component : key.components) {
      out.number(component.field);
      out.number(component.descending ? 1 : 0);
    }
  }
  return out.take();
}

std::optional<TableDefinition> decode_table_definition(std::string_view stream) {
  StreamReader in(stream);
  TableDefinition definition;
  std::uint16_t version = 0, field_count = 0, blob_count = 0, key_count = 0;
  if (!in.number(version) || !in.number(definition.record_length) || !in.number(field_count) ||
      !in.number(blob_count) || !in.number(key_count)) {
    return std::nullopt;
  }
  if (version != 1 && version != 2) return std::nullopt;
  // Every entry takes several bytes: counts beyond the stream are damage,
  // and reserving for them would be a way to exhaust memory.
  if (field_count > stream.size() || blob_count > stream.size() || key_count > stream.size()) {
    return std::nullopt;
  }
  definition.fields.reserve(field_count);
  for (std::uint16_t i = 0; i < field_count; ++i) {
    FieldDefinition field;
    std::uint16_t overlay = 0, index = 0;
    if (!in.byte(field.type) || !in.number(field.offset) || !in.text(field.name) ||
        !in.number(field.element_count) || !in.number(field.size) || !in.number(overlay) ||
        !in.number(index)) {
      return std::nullopt;
    }
    if (index != i || overlay > 1) return std::nullopt;
    field.overlaid = overlay != 0;
    if (has_places(field.type) && (!in.byte(field.places) || !in.byte(field.byte_size))) {
      return std::nullopt;
    }
    if (is_text_type(field.type) && (!in.number(field.declared_length) || !in.text(field.picture))) {
      return std::nullopt;
    }
    if (static_cast<std::uint32_t>(field.offset) + field.size > definition.record_length) {
      return std::nullopt;
    }
    definition.fields.push_back(std::move(field));
  }
  definition.blobs.reserve(blob_count);
  for (std::uint16_t i = 0; i < blob_count; ++i) {
    BlobDefinition blob;
    if (!in.text(blob.name) || !in.optional_text(blob.second_name) || !in.number(blob.attributes) ||
        !in.number(blob.declared_size)) {
      return std::nullopt;
    }
    definition.blobs.push_back(std::move(blob));
  }
  definition.keys.reserve(key_count);
  for (std::uint16_t i = 0; i < key_count; ++i) {
    KeyDefinition key;
    std::uint8_t attributes = 0;
    std::uint16_t component_count = 0;
    if (!in.text(key.name) || !in.optional_text(key.external_name) || !in.byte(attributes) ||
        !in.number(component_count)) {
      return std::nullopt;
    }
    key.attributes = declared_key_attributes(attributes);
    if (component_count > stream.size()) return std::nullopt;
    for (std::uint16_t c = 0; c < component_count; ++c) {
      KeyComponent component;
      std::uint16_t descending = 0;
      if (!in.number(component.field) || !in.number(descending)) return std::nullopt;
      if (component.field >= definition.fields.size() || descending > 1) return std::nullopt;
      component.descending = descending != 0;
      key.components.push_back(component);
    }
    definition.keys.push_back(std::move(key));
  }
  if (!in.at_end()) return std::nullopt;
  if (definition.version() != version) return std::nullopt;
  return definition;
}

bool same_structure(const TableDefinition& stored, const TableDefinition& declared) {
  if (stored.version() != declared.version() || stored.record_length != declared.record_length ||
      stored.fields.size() != declared.fields.size() || stored.blobs.size() != declared.blobs.size() ||
      stored.keys.size() != declared.keys.size()) {
    return false;
  }
  for (std::size_t i = 0; i < stored.fields.size(); ++i) {
    const FieldDefinition& a = stored.fields[i];
    const FieldDefinition& b = declared.fields[i];
    if (a.type != b.type || a.offset != b.offset || a.element_count != b.element_count ||
        a.size != b.size || a.overlaid != b.overlaid) {
      return false;
    }
  }
  for (std::size_t i = 0; i < stored.keys.size(); ++i) {
    const KeyDefinition& a = stored.keys[i];
    const KeyDefinition& b = declared.keys[i];
    // Compare what survives storage: attributes outside the stored 8 bits
    // cannot be told apart.
    if (stored_key_attributes(a.attributes) != stored_key_attributes(b.attributes) ||
        a.components != b.components) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> split_definition_chunks(std::string_view stream) {
  std::vector<std::string> chunks;
  for (std::size_t pos = 0; pos < stream.size(); pos += definition_chunk_size) {
    chunks.emplace_back(stream.substr(pos, definition_chunk_size));
  }
  if (chunks.empty()) chunks.emplace_back();
  return chunks;
}

}  // namespace tavero::vmr
