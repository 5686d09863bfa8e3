#include "storage/driver/record_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>

namespace tavero::driver {
namespace {

// A card-like record: a group holding a number and a name, a money field,
// an array of dates, and an overlay of the number's storage.
std::vector<std::uint8_t> CardLayout() {
  return RecordLayoutWriter()
      .BeginGroup("CAR:KEYPART", 0)
      .Field("CAR:SET_NO", 0, FieldType::INT32)
      .String("CAR:NAME", 4, 20, FieldType::FIXSTR, "@s20")
      .EndGroup()
      .Packed("CAR:VALUE", 24, 4, 2)
      .Field("CAR:DATES", 28, FieldType::INT32, {2, 3})
      .Field("CAR:SET_NO_DATE", 0, FieldType::DATE4)
      .Finish();
}

TEST(FlattenRecordLayout, OffsetsSizesAndCountsAreAbsoluteAndMultiplied) {
  const auto layout = CardLayout();
  const FlatLayout flat = FlattenRecordLayout(layout, 100);
  ASSERT_EQ(flat.error, 0);
  ASSERT_EQ(flat.fields.size(), 6u);

  const FieldDescriptor& group = flat.fields[0];
  EXPECT_EQ(group.type, FieldType::GROUP);
  EXPECT_EQ(group.size, 24u);
  EXPECT_EQ(group.group_end, 3u);

  const FieldDescriptor& name = flat.fields[2];
  EXPECT_EQ(name.name, "CAR:NAME");
  EXPECT_EQ(name.offset, 4u);
  EXPECT_EQ(name.declared_length, 20u);
  EXPECT_EQ(name.picture, "@s20");
  EXPECT_EQ(name.depth, 1);

  const FieldDescriptor& value = flat.fields[3];
  EXPECT_EQ(value.byte_size, 4);
  EXPECT_EQ(value.places, 2);
  EXPECT_EQ(value.size, 4u);

  const FieldDescriptor& dates = flat.fields[4];
  EXPECT_EQ(dates.element_count, 6u);
  EXPECT_EQ(dates.size, 24u);
  EXPECT_EQ(dates.dimensions, (std::vector<std::uint32_t>{2, 3}));

  EXPECT_TRUE(flat.fields[5].overlaid);
  EXPECT_EQ(flat.covered_size, 24u + 4u + 24u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_FALSE(flat.fields[i].overlaid) << i;
}

TEST(FlattenRecordLayout, NestedGroupOffsetsAddUp) {
  const auto layout = RecordLayoutWriter()
                          .Field("A", 0, FieldType::INT16)
                          .BeginGroup("G", 2)
                          .Field("B", 0, FieldType::UINT8)
                          .BeginGroup("H", 1, {3})
                          .Field("C", 0, FieldType::INT16)
                          .Field("D", 2, FieldType::UINT16)
                          .EndGroup()
                          .EndGroup()
                          .Finish();
  const FlatLayout flat = FlattenRecordLayout(layout, 15);
  ASSERT_EQ(flat.error, 0);
  EXPECT_EQ(flat.fields[3].name, "H");
  EXPECT_EQ(flat.fields[3].offset, 3u);
  EXPECT_EQ(flat.fields[3].size, 12u);  // 3 x (2 + 2)
  EXPECT_EQ(flat.fields[5].offset, 5u);
  EXPECT_EQ(flat.fields[1].size, 13u);
  EXPECT_EQ(flat.covered_size, 15u);
  // One byte short of the array of groups fails.
  EXPECT_EQ(FlattenRecordLayout(layout, 14).error, 47);
}

TEST(FlattenRecordLayout, EveryMemberOfAnOverlaidGroupIsOverlaid) {
  const auto layout = RecordLayoutWriter()
                          .String("S", 0, 8)
                          .BeginGroup("O", 0)
                          .Field("X", 0, FieldType::INT32)
                          .Field("Y", 4, FieldType::INT32)
                          .EndGroup()
                          .Field("Z", 8, FieldType::INT32)
                          .Finish();
  const FlatLayout flat = FlattenRecordLayout(layout, 12);
  ASSERT_EQ(flat.error, 0);
  EXPECT_TRUE(flat.fields[1].overlaid);
  EXPECT_TRUE(flat.fields[2].overlaid);
  EXPECT_TRUE(flat.fields[3].overlaid);
  EXPECT_FALSE(flat.fields[4].overlaid);
  EXPECT_EQ(flat.covered_size, 12u);
}

TEST(FlattenRecordLayout, DeclarationLimitsGive47) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> layout;
    std::uint32_t record_length;
  };
  const Case cases[] = {
      {"five dimensions", RecordLayoutWriter().Field("A", 0, FieldType::UINT8, {1, 1, 1, 1, 2}).Finish(), 10},
      {"string over 64000", RecordLayoutWriter().String("S", 0, 64001).Finish(), 64000},
      {"zero dimension", RecordLayoutWriter().Field("A", 0, FieldType::UINT8, {0}).Finish(), 10},
      {"past the record", RecordLayoutWriter().Field("A", 8, FieldType::FLOAT64).Finish(), 10},
      {"huge offset", RecordLayoutWriter().Field("A", 0xFFFFFFF0u, FieldType::UINT8).Finish(), 10},
      {"huge array", RecordLayoutWriter().Field("A", 0, FieldType::UINT8, {65536, 65536}).Finish(), 64000},
      {"empty packed", RecordLayoutWriter().Packed("P", 0, 0, 0).Finish(), 10},
  };
  for (const Case& c : cases) EXPECT_EQ(FlattenRecordLayout(c.layout, c.record_length).error, 47) << c.what;

  // Five dimensions are allowed where the field overlays earlier storage.
  const auto overlaid = RecordLayoutWriter()
                            .Field("A", 0, FieldType::INT32)
                            .Field("B", 0, FieldType::UINT8, {1, 1, 1, 1, 2})
                            .Finish();
  EXPECT_EQ(FlattenRecordLayout(overlaid, 4).error, 0);
}

TEST(FlattenRecordLayout, MalformedStreamsGive75Or79) {
  EXPECT_EQ(FlattenRecordLayout({}, 10).error, 75);
  const std::uint8_t not_a_group[] = {0x18, 0};
  EXPECT_EQ(FlattenRecordLayout(not_a_group, 10).error, 75);
  const std::uint8_t bad_entry[] = {0x16, 0x19, 0};
  EXPECT_EQ(FlattenRecordLayout(bad_entry, 10).error, 75);
  const std::uint8_t type_12[] = {0x16, 0x18, 0, 0, 0, 0, 'A', 0, 12, 0};
  EXPECT_EQ(FlattenRecordLayout(type_12, 10).error, 79);
  const std::uint8_t type_21[] = {0x16, 0x18, 0, 0, 0, 0, 'A', 0, 21, 0};
  EXPECT_EQ(FlattenRecordLayout(type_21, 10).error, 79);
}

TEST(FlattenRecordLayout, EveryTruncationGives75) {
  const auto layout = CardLayout();
  for (std::size_t n = 0; n < layout.size(); ++n) {
    const std::vector<std::uint8_t> prefix(layout.begin(), layout.begin() + n);
    EXPECT_EQ(FlattenRecordLayout(prefix, 100).error, 75) << "prefix of " << n << " bytes";
  }
}

TEST(FlattenRecordLayout, RandomDamageNeverReadsPastTheStream) {
  // Run under the sanitizers, any read past the copy below is caught.
  const auto layout = CardLayout();
  std::mt19937 random(20260);
  std::set<int> seen;
  for (int round = 0; round < 5000; ++round) {
    std::vector<std::uint8_t> damaged = layout;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
    damaged.resize(random() % (damaged.size() + 1));
    const int error = FlattenRecordLayout(damaged, 100).error;
    seen.insert(error);
    ASSERT_TRUE(error == 0 || error == 47 || error == 75 || error == 79) << error;
  }
  EXPECT_TRUE(seen.count(75));
}

}  // namespace
}  // namespace tavero::driver
