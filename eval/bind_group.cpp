// BIND of a record group: every named field of the record's layout, in
// stream order, under its stored name.
#include "eval/eval.h"
#include "eval/services.h"
#include "storage/driver/driver.h"

namespace tavero::eval {

bool BindGroup(std::span<const std::uint8_t> layout, std::span<const std::uint8_t> record) {
  const driver::FlatLayout flat =
      driver::FlattenRecordLayout(layout, static_cast<std::uint32_t>(record.size()));
  if (flat.error != 0) {
    // Not a group (or not a layout at all): nothing is bound.
    services::ReportParameterTypingError();
    return false;
  }
  for (const driver::FieldDescriptor& field : flat.fields) {
    if (field.name.empty()) continue;
    Variable v;
    v.address = record.data() + field.offset;
    v.type = static_cast<std::uint8_t>(field.type);
    v.size = field.size;
    v.places = field.places;
    if (field.element_count > 1) v.dimensions = field.dimensions;
    Bind(field.name, v);
  }
  return true;
}

}  // namespace tavero::eval
