#include <gtest/gtest.h>

#include "storage/vmr/format.h"
#include "tools/vmr_test_files.h"

namespace tavero::tool {
namespace {

// `tavero vmr check` prints a summary of a sound file and one line per
// problem of a damaged one, each led by the file's name.
TEST(VmrCheckTool, PrintsASummaryOrOneLinePerProblem) {
  test::TempDir dir;
  const std::string path = dir.File("CARDS.VMR");
  {
    test::CardFile file(vmr::PosixFileSystem(), path, "CARDS", true);
    ASSERT_EQ(file.error(), 0);
    for (int i = 1; i <= 30; ++i) {
      file.Fill(i, "Mays", i % 3 == 0 ? "signed" : "");
      ASSERT_EQ(file.Add(), 0);
    }
  }
  auto run = [&](std::string& out) { return test::RunTool("vmr check '" + path + "'", out); };
  std::string out;
  EXPECT_EQ(run(out), 0);
  EXPECT_EQ(out.rfind(path + ": sound (1 tables", 0), 0u) << out;

  std::vector<std::uint8_t> bytes = test::ReadBytes(path);
  bytes.resize(vmr::Load32(bytes.data() + 6) - 256);  // a block of the committed data lost
  test::WriteBytes(path, bytes);
  EXPECT_EQ(run(out), 1);
  EXPECT_NE(out.find(path + ": file is truncated"), std::string::npos) << out;

  EXPECT_EQ(test::RunTool("vmr check '" + dir.File("MISSING.VMR") + "'", out), 1);
  EXPECT_NE(out.find("MISSING.VMR: cannot read the file: No such file"), std::string::npos) << out;
}

}  // namespace
}  // namespace tavero::tool
