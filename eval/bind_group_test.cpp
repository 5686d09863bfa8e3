#include <gtest/gtest.h>

#include <cstring>

#include "eval/eval.h"
#include "eval/test_support.h"
#include "runtime/error_codes.h"
#include "runtime/error_state.h"
#include "runtime/runtime_error.h"
#include "storage/driver/driver.h"

namespace tavero::eval {
namespace {

using driver::FieldType;

class BindGroupTest : public ::testing::Test {
 protected:
  void TearDown() override { ReleaseBindings(); }
};

TEST_F(BindGroupTest, BindsEveryNamedFieldNestedGroupsIncluded) {
  // CAR:SET_NO INT16 at 0, CAR:MANUFACTURER FIXSTR 30 at 2, a group
  // CAR:EXTRA at 32 holding CAR:YEAR FIXSTR 10 and an unnamed INT16.
  const std::vector<std::uint8_t> layout = driver::RecordLayoutWriter()
                                               .Field("CAR:SET_NO", 0, FieldType::INT16)
                                               .String("CAR:MANUFACTURER", 2, 30)
                                               .BeginGroup("CAR:EXTRA", 32)
                                               .String("CAR:YEAR", 0, 10)
                                               .Field("", 10, FieldType::INT16)
                                               .EndGroup()
                                               .Finish();
  std::uint8_t record[44];
  std::memset(record, ' ', sizeof record);
  const std::int16_t set_no = 12;
  std::memcpy(record, &set_no, 2);
  std::memcpy(record + 2, "Topps", 5);
  std::memcpy(record + 32, "1994", 4);
  ASSERT_TRUE(BindGroup(layout, record));

  EXPECT_EQ(Show("CAR:Set_No"), "12");
  EXPECT_EQ(Show("UPPER(CAR:MANUFACTURER) = 'TOPPS'"), "1");
  EXPECT_EQ(Show("CLIP(car:year)"), "'1994'");
  EXPECT_EQ(Show("SUB(CAR:EXTRA, 1, 4)"), "'1994'");
  // The fields are read where they live: a change shows at once.
  const std::int16_t other = 13;
  std::memcpy(record, &other, 2);
  EXPECT_EQ(Show("CAR:SET_NO + 1"), "14");
}

TEST_F(BindGroupTest, ANonGroupIsRefusedAndBindsNothing) {
  const std::uint8_t not_a_group[] = {0x18, 0, 0, 0, 0, 'X', 0, 6, 0};
  std::uint8_t record[4] = {};
  EXPECT_FALSE(BindGroup(not_a_group, record));
  EXPECT_TRUE(RuntimeErrorShown());
  EXPECT_EQ(Evaluate("X"), std::nullopt);
  EXPECT_EQ(ErrorCode(), error_code::kNoBindOnVariable);
  // A truncated layout is refused the same way, never read past its end.
  const std::uint8_t truncated[] = {0x16, 0x18, 0, 0};
  EXPECT_FALSE(BindGroup(truncated, record));
}

}  // namespace
}  // namespace tavero::eval
