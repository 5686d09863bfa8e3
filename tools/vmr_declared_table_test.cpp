#include "tools/vmr_declared_table.h"

#include <gtest/gtest.h>

#include "storage/driver/record_layout.h"
#include "storage/vmr/table_definition.h"
#include "storage/vmr/vmr.h"

namespace tavero::tool {
namespace {

using driver::FieldType;
using driver::RecordLayoutWriter;

// The flattened field list the driver stores for `layout`.
std::vector<vmr::FieldDefinition> Stored(const std::vector<std::uint8_t>& layout, std::uint32_t record_length) {
  const driver::FlatLayout flat = driver::FlattenRecordLayout(layout, record_length);
  EXPECT_EQ(flat.error, 0);
  std::vector<vmr::FieldDefinition> fields;
  for (const driver::FieldDescriptor& f : flat.fields) fields.push_back(vmr::field_definition_of(f));
  return fields;
}

// A stored field list gives back a layout that flattens to the same list:
// plain fields, arrays, groups within groups, arrayed groups, overlays.
TEST(DeclaredTable, RebuildsTheRecordLayoutFromTheStoredFields) {
  const std::vector<std::uint8_t> layouts[] = {
      RecordLayoutWriter().Field("A", 0, FieldType::INT16).String("B", 2, 10).Finish(),
      RecordLayoutWriter()
          .Field("ID", 0, FieldType::INT32)
          .BeginGroup("ADDRESS", 4)
          .String("STREET", 0, 20, FieldType::FIXSTR, "@s20")
          .BeginGroup("PLACE", 20)
          .String("CITY", 0, 15)
          .Packed("ZIP", 15, 3, 0)
          .EndGroup()
          .EndGroup()
          .Packed("PRICE", 42, 4, 2, FieldType::PACKED, {3})
          .BeginGroup("LINES", 54, {2})
          .Field("QTY", 0, FieldType::INT16)
          .String("TEXT", 2, 8)
          .EndGroup()
          .Field("AFTER", 74, FieldType::UINT8)
          .Finish(),
      RecordLayoutWriter().String("WHOLE", 0, 8).Field("HALF", 0, FieldType::INT32).Field("END", 8, FieldType::INT16)
          .Finish(),
  };
  const std::uint32_t lengths[] = {12, 75, 10};
  for (std::size_t i = 0; i < std::size(layouts); ++i) {
    const std::vector<vmr::FieldDefinition> fields = Stored(layouts[i], lengths[i]);
    std::vector<std::uint8_t> rebuilt;
    ASSERT_TRUE(LayoutOfFields(fields, rebuilt)) << i;
    const std::vector<vmr::FieldDefinition> again = Stored(rebuilt, lengths[i]);
    EXPECT_EQ(again, fields) << i;
  }
}

TEST(DeclaredTable, DefinitionsThatAreNoLayoutGive47) {
  StoredTable stored;
  stored.name = "T";
  stored.definition.record_length = 10;
  vmr::FieldDefinition group;
  group.type = vmr::field_type::group;
  group.offset = 0;
  group.size = 10;
  group.name = "G";
  vmr::FieldDefinition member;
  member.type = vmr::field_type::int32;
  member.offset = 0;
  member.size = 4;
  member.name = "M";
  stored.definition.fields = {group, member};  // the group's members fill 4 of its 10 bytes
  EXPECT_EQ(DeclaredTable(vmr::Driver(), "T.VMR", stored).declaration_error(), 47);
  member.type = 99;  // no such type
  stored.definition.fields = {member};
  EXPECT_EQ(DeclaredTable(vmr::Driver(), "T.VMR", stored).declaration_error(), 47);
  stored.definition.fields = {};
  EXPECT_EQ(DeclaredTable(vmr::Driver(), "T.VMR", stored).declaration_error(), 0);
}

}  // namespace
}  // namespace tavero::tool
