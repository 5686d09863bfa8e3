#include "tools/sample_files.h"

#include <gtest/gtest.h>

#include "storage/vmr/check.h"
#include "tools/vmr_test_files.h"

namespace tavero::tool {
namespace {

constexpr const char* kFiles[] = {"CARDSET.VMR", "MANUFACTURER.VMR", "TYPES.VMR", "SETINFORMATION.VMR"};

TEST(SampleFiles, SameSeedSameFilesAndEveryFileSound) {
  test::TempDir dir;
  std::string out;
  ASSERT_EQ(test::RunTool("sample " + dir.File("a") + " --sets 3 --cards-per-set 10 --seed 11", out), 0) << out;
  EXPECT_EQ(out, dir.File("a") + ": 10 manufacturers, 8 types, 3 sets, 30 cards\n");
  ASSERT_EQ(test::RunTool("sample " + dir.File("b") + " --sets 3 --cards-per-set 10 --seed 11", out), 0) << out;
  ASSERT_EQ(test::RunTool("sample " + dir.File("c") + " --sets 3 --cards-per-set 10 --seed 12", out), 0) << out;
  bool all_same = true;
  for (const char* name : kFiles) {
    const auto a = test::ReadBytes(dir.File("a") + "/" + name);
    ASSERT_FALSE(a.empty()) << name;
    EXPECT_EQ(a, test::ReadBytes(dir.File("b") + "/" + name)) << name;
    all_same = all_same && a == test::ReadBytes(dir.File("c") + "/" + name);
    const vmr::CheckResult check = vmr::CheckImage(a);
    EXPECT_TRUE(check.sound()) << name << ": " << (check.problems.empty() ? "" : check.problems.front());
  }
  EXPECT_FALSE(all_same) << "another seed, other files";

  // The other commands read what sample writes.
  EXPECT_EQ(test::RunTool("vmr tables " + dir.File("a") + "/CARDSET", out), 0);
  EXPECT_EQ(out, "UNNAMED\n");
  EXPECT_EQ(test::RunTool("vmr dump " + dir.File("a") + "/SETINFORMATION --key SET:NAME_KEY", out), 0);
  EXPECT_NE(out.find("\"SET:NOTES\":\""), std::string::npos);
  EXPECT_EQ(test::RunTool("vmr build " + dir.File("a") + "/CARDSET", out), 0) << out;
  EXPECT_EQ(test::RunTool("vmr check " + dir.File("a") + "/CARDSET.VMR", out), 0) << out;

  EXPECT_EQ(test::RunTool("sample " + dir.File("d") + " --sets many", out), 2);
}

}  // namespace
}  // namespace tavero::tool
