#include "storage/driver/record_layout.h"

#include <algorithm>
#include <cassert>
#include <optional>

#include "runtime/error_codes.h"

namespace tavero::driver {
namespace {

// Bounds-checked reading of the stream: every read either succeeds inside
// the stream or reports that the stream ended.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::optional<std::uint8_t> Byte() {
    if (pos_ >= bytes_.size()) return std::nullopt;
    return bytes_[pos_++];
  }
  std::optional<std::uint8_t> Peek() const {
    if (pos_ >= bytes_.size()) return std::nullopt;
    return bytes_[pos_];
  }
  std::optional<std::uint32_t> U32() {
    if (bytes_.size() - pos_ < 4) return std::nullopt;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | bytes_[pos_ + i];
    pos_ += 4;
    return v;
  }
  std::optional<std::string> Text() {
    const auto rest = bytes_.subspan(pos_);
    const auto nul = std::ranges::find(rest, std::uint8_t{0});
    if (nul == rest.end()) return std::nullopt;
    std::string text(rest.begin(), nul);
    pos_ += text.size() + 1;
    return text;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

// A group whose entries are being read; the record itself is the outermost.
struct OpenGroup {
  std::optional<std::size_t> field;  // index of the GROUP entry; none for the record
  std::uint64_t base = 0;            // absolute offset of the group
  std::uint64_t member_size = 0;     // sum of the sizes of members not overlaid
  bool overlaid = false;
};

}  // namespace

FlatLayout FlattenRecordLayout(std::span<const std::uint8_t> layout, std::uint32_t record_length) {
  FlatLayout flat;
  auto fail = [&flat](int error) {
    flat.error = error;
    flat.fields.clear();
    flat.covered_size = 0;
    return std::move(flat);
  };

  Reader in(layout);
  if (in.Byte() != kGroupMarker) return fail(error_code::kInvalidFieldTypeDescriptor);

  std::vector<OpenGroup> groups{OpenGroup{}};
  std::uint64_t covered_end = 0;  // end of the storage that non-overlaid fields cover

  // Finishes a field whose size is known: checks it fits the record and
  // accounts for the storage it covers.
  auto place = [&](FieldDescriptor& field, std::uint64_t element_size) -> int {
    const std::uint64_t size = element_size * field.element_count;
    if (element_size > kMaxRecordLength || size > record_length || field.offset + size > record_length) {
      return error_code::kInvalidRecordDeclaration;
    }
    field.element_size = static_cast<std::uint32_t>(element_size);
    field.size = static_cast<std::uint32_t>(size);
    if (!field.overlaid) {
      covered_end = std::max<std::uint64_t>(covered_end, field.offset + size);
      groups.back().member_size += size;
    }
    return 0;
  };

  for (;;) {
    const std::optional<std::uint8_t> marker = in.Byte();
    if (!marker) return fail(error_code::kInvalidFieldTypeDescriptor);

    if (*marker == kEndOfGroup) {
      const OpenGroup group = groups.back();
      groups.pop_back();
      if (!group.field) {
        flat.covered_size = static_cast<std::uint32_t>(group.member_size);
        return flat;
      }
      FieldDescriptor& field = flat.fields[*group.field];
      field.group_end = flat.fields.size();
      if (int error = place(field, group.member_size)) return fail(error);
      continue;
    }
    if (*marker != kFieldMarker) return fail(error_code::kInvalidFieldTypeDescriptor);

    FieldDescriptor field;
    const std::optional<std::uint32_t> offset = in.U32();
    if (!offset) return fail(error_code::kInvalidFieldTypeDescriptor);
    std::optional<std::string> name = in.Text();
    if (!name) return fail(error_code::kInvalidFieldTypeDescriptor);
    field.name = std::move(*name);

    std::uint64_t element_count = 1;
    while (in.Peek() == kDimensionMarker) {
      in.Byte();
      const std::optional<std::uint32_t> count = in.U32();
      if (!count) return fail(error_code::kInvalidFieldTypeDescriptor);
      if (*count == 0) return fail(error_code::kInvalidRecordDeclaration);
      element_count *= *count;
      if (element_count > kMaxRecordLength) return fail(error_code::kInvalidRecordDeclaration);
      field.dimensions.push_back(*count);
    }
    field.element_count = static_cast<std::uint32_t>(element_count);

    const std::optional<std::uint8_t> type_byte = in.Byte();
    if (!type_byte) return fail(error_code::kInvalidFieldTypeDescriptor);
    const std::optional<FieldTypeInfo> info = FieldTypeInfoFor(*type_byte);
    if (!info) return fail(error_code::kUnsupportedDataTypeInFile);
    field.type = info->type;

    const OpenGroup& parent = groups.back();
    const std::uint64_t absolute = parent.base + *offset;
    if (absolute > record_length) return fail(error_code::kInvalidRecordDeclaration);
    field.offset = static_cast<std::uint32_t>(absolute);
    field.overlaid = parent.overlaid || absolute < covered_end;
    field.depth = static_cast<std::uint16_t>(std::min<std::size_t>(groups.size() - 1, UINT16_MAX));
    if (field.dimensions.size() > kMaxDimensions && !field.overlaid) {
      return fail(error_code::kInvalidRecordDeclaration);
    }

    std::uint64_t element_size = info->element_size;
    if (IsPackedType(field.type)) {
      const std::optional<std::uint8_t> byte_size = in.Byte();
      const std::optional<std::uint8_t> places = in.Byte();
      if (!byte_size || !places) return fail(error_code::kInvalidFieldTypeDescriptor);
      if (*byte_size == 0) return fail(error_code::kInvalidRecordDeclaration);
      field.byte_size = *byte_size;
      field.places = *places;
      element_size = *byte_size;
    } else if (IsStringType(field.type)) {
      const std::optional<std::uint32_t> length = in.U32();
      if (!length) return fail(error_code::kInvalidFieldTypeDescriptor);
      std::optional<std::string> picture = in.Text();
      if (!picture) return fail(error_code::kInvalidFieldTypeDescriptor);
      if (*length == 0 || *length > kMaxStringLength) return fail(error_code::kInvalidRecordDeclaration);
      field.declared_length = *length;
      field.picture = std::move(*picture);
      element_size = *length;
    } else if (field.type == FieldType::GROUP) {
      groups.push_back({flat.fields.size(), absolute, 0, field.overlaid});
      flat.fields.push_back(std::move(field));
      continue;  // sized when its end marker is read
    }
    if (int error = place(field, element_size)) return fail(error);
    flat.fields.push_back(std::move(field));
  }
}

RecordLayoutWriter::RecordLayoutWriter() { bytes_.push_back(kGroupMarker); }

void RecordLayoutWriter::Put32(std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void RecordLayoutWriter::Entry(std::string_view name, std::uint32_t offset,
                               std::initializer_list<std::uint32_t> dimensions, FieldType type) {
  assert(open_groups_ > 0);
  bytes_.push_back(kFieldMarker);
  Put32(offset);
  bytes_.insert(bytes_.end(), name.begin(), name.end());
  bytes_.push_back(0);
  for (std::uint32_t count : dimensions) {
    bytes_.push_back(kDimensionMarker);
    Put32(count);
  }
  bytes_.push_back(static_cast<std::uint8_t>(type));
}

RecordLayoutWriter& RecordLayoutWriter::Field(std::string_view name, std::uint32_t offset, FieldType type,
                                              std::initializer_list<std::uint32_t> dimensions) {
  assert(!IsPackedType(type) && !IsStringType(type) && type != FieldType::GROUP);
  Entry(name, offset, dimensions, type);
  return *this;
}

RecordLayoutWriter& RecordLayoutWriter::Packed(std::string_view name, std::uint32_t offset,
                                               std::uint8_t byte_size, std::uint8_t places, FieldType type,
                                               std::initializer_list<std::uint32_t> dimensions) {
  assert(IsPackedType(type));
  Entry(name, offset, dimensions, type);
  bytes_.push_back(byte_size);
  bytes_.push_back(places);
  return *this;
}

RecordLayoutWriter& RecordLayoutWriter::String(std::string_view name, std::uint32_t offset,
                                               std::uint32_t length, FieldType type,
                                               std::string_view picture,
                                               std::initializer_list<std::uint32_t> dimensions) {
  assert(IsStringType(type));
  Entry(name, offset, dimensions, type);
  Put32(length);
  bytes_.insert(bytes_.end(), picture.begin(), picture.end());
  bytes_.push_back(0);
  return *this;
}

RecordLayoutWriter& RecordLayoutWriter::BeginGroup(std::string_view name, std::uint32_t offset,
                                                   std::initializer_list<std::uint32_t> dimensions) {
  Entry(name, offset, dimensions, FieldType::GROUP);
  ++open_groups_;
  return *this;
}

RecordLayoutWriter& RecordLayoutWriter::EndGroup() {
  assert(open_groups_ > 1);
  bytes_.push_back(kEndOfGroup);
  --open_groups_;
  return *this;
}

std::vector<std::uint8_t> RecordLayoutWriter::Finish() const {
  std::vector<std::uint8_t> out = bytes_;
  out.insert(out.end(), static_cast<std::size_t>(open_groups_), kEndOfGroup);
  return out;
}

}  // namespace tavero::driver
