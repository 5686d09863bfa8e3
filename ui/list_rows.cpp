// Formatting queue entries for a list box.
#include "ui/list_rows.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

#include "decimal/decimal.h"
#include "pictures/picture.h"

namespace tavero::ui {
namespace {

using driver::FieldDescriptor;
using driver::FieldType;

template <typename T>
T Load(const std::uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// The field's first element, or nothing when the field is not a value the
// entry holds in full (a group, or a layout that reaches past the entry).
const FieldDescriptor* Usable(const driver::FlatLayout& layout, int number, std::span<const std::uint8_t> entry) {
  if (layout.error != 0 || number < 1 || static_cast<std::size_t>(number) > layout.fields.size()) return nullptr;
  const FieldDescriptor& field = layout.fields[static_cast<std::size_t>(number - 1)];
  if (field.element_size == 0 || field.offset > entry.size() || entry.size() - field.offset < field.element_size) {
    return nullptr;
  }
  return &field;
}

// A text field's characters (ZSTR up to its NUL, LENSTR as long as its count).
std::string_view TextOf(const FieldDescriptor& field, const std::uint8_t* p) {
  const auto* chars = reinterpret_cast<const char*>(p);
  switch (field.type) {
    case FieldType::ZSTR: return {chars, strnlen(chars, field.element_size)};
    case FieldType::LENSTR: return {chars + 1, std::min<std::size_t>(p[0], field.element_size - 1)};
    default: return {chars, field.element_size};
  }
}

std::optional<std::int64_t> WholeNumber(const FieldDescriptor& field, const std::uint8_t* p) {
  switch (field.type) {
    case FieldType::UINT8: return p[0];
    case FieldType::INT16: return Load<std::int16_t>(p);
    case FieldType::UINT16: return Load<std::uint16_t>(p);
    case FieldType::DATE4:
    case FieldType::TIME4:
    case FieldType::INT32: return Load<std::int32_t>(p);
    case FieldType::UINT32: return Load<std::uint32_t>(p);
    default: return std::nullopt;
  }
}

std::string Cell(const FieldDescriptor* field, std::span<const std::uint8_t> entry, std::string_view picture) {
  if (field == nullptr) return {};
  const std::uint8_t* p = entry.data() + field->offset;
  if (std::optional<std::int64_t> whole = WholeNumber(*field, p)) return pictures::FORMAT(*whole, picture);
  switch (field->type) {
    case FieldType::FLOAT32: return pictures::FORMAT(static_cast<double>(Load<float>(p)), picture);
    case FieldType::FLOAT64: return pictures::FORMAT(Load<double>(p), picture);
    case FieldType::PACKED:
    case FieldType::PACKED2: {
      const auto form = field->type == FieldType::PACKED ? decimal::PackedForm::kDecimal : decimal::PackedForm::kPDecimal;
      return pictures::FORMAT(decimal::ReadPacked(form, {p, field->element_size}, field->places), picture);
    }
    case FieldType::FIXSTR:
    case FieldType::ZSTR:
    case FieldType::LENSTR:
      return pictures::FORMAT(TextOf(*field, p), picture);
    default:
      return {};  // the old binary floats and groups are not shown
  }
}

// A number field read for its value (colours, icons, levels); `fallback`
// when the field cannot say.
std::int64_t Number(const driver::FlatLayout& layout, int number, std::span<const std::uint8_t> entry,
                    std::int64_t fallback) {
  const FieldDescriptor* field = Usable(layout, number, entry);
  if (field == nullptr) return fallback;
  const std::uint8_t* p = entry.data() + field->offset;
  if (std::optional<std::int64_t> whole = WholeNumber(*field, p)) return *whole;
  if (field->type == FieldType::FIXSTR || field->type == FieldType::ZSTR || field->type == FieldType::LENSTR) {
    std::string_view text = TextOf(*field, p);
    std::int64_t value = 0;
    bool negative = false;
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) return fallback;
    if (text[i] == '-') negative = true, ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < INT32_MAX; ++i) value = value * 10 + (text[i] - '0');
    return negative ? -value : value;
  }
  return fallback;
}

constexpr std::int64_t kMaxTreeLevel = 255;

int Clamp32(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

std::vector<ListRow> ListRowsOf(const ListFormat& format, const queues::Queue& queue) {
  const driver::FlatLayout& layout = queue.Layout();
  const std::int32_t count = queue.EntryCount();
  std::vector<ListRow> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (std::int32_t position = 1; position <= count; ++position) {
    const std::span<const std::uint8_t> entry = queue.Entry(position);
    ListRow row;
    row.cells.reserve(format.columns.size());
    for (const ListColumn& column : format.columns) {
      ListCell cell;
      cell.text = Cell(Usable(layout, column.field, entry), entry, column.display_picture());
      cell.text.erase(cell.text.find_last_not_of(' ') + 1);
      if (column.has2(list_flag2::kColours)) {
        for (int k = 0; k < 4; ++k) cell.colours[k] = Clamp32(Number(layout, column.colour_field() + k, entry, -1));
      }
      if (column.has(list_flag::kIcon)) cell.icon = Clamp32(Number(layout, column.icon_field(), entry, 0));
      if (column.has(list_flag::kTree)) {
        row.level = static_cast<int>(std::clamp<std::int64_t>(Number(layout, column.tree_field(), entry, 0), -kMaxTreeLevel, kMaxTreeLevel));
      }
      row.cells.push_back(std::move(cell));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace tavero::ui
