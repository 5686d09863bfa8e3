#include <gtest/gtest.h>

#include "storage/vmr/format.h"
#include "tools/vmr_test_files.h"

namespace tavero::tool {
namespace {

// `tavero vmr check` prints a summary of a sound file and one line per
// problem of a damaged one, each led by the file's name.
TEST(VmrCheckTool, PrintsASummaryOrOneLinePerProblem) {
  test::TempDir dir(test::TempDir::Files::kDamagedOnPurpose);
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

// `tavero vmr tables` lists the tables in name order, as SEND "PNM=" walks
// them through the driver; a file without tables lists nothing.
TEST(VmrTablesTool, ListsEveryTableInNameOrder) {
  test::TempDir dir;
  const std::string path = dir.File("MANY.VMR");
  for (const char* table : {"CARDS", "ANOTHER", "CARDS2", "ZEBRA", "CARD"}) {
    test::CardFile file(vmr::PosixFileSystem(), path, table, true);
    ASSERT_EQ(file.error(), 0) << table;
  }
  std::string out;
  EXPECT_EQ(test::RunTool("vmr tables '" + path + "'", out), 0) << out;
  EXPECT_EQ(out, "ANOTHER\nCARD\nCARDS\nCARDS2\nZEBRA\n");

  const std::string empty = dir.File("EMPTY.VMR");
  {
    std::unique_ptr<vmr::PhysicalFile> file;
    ASSERT_EQ(OpenExclusive(empty, true, true, file), 0);
  }
  EXPECT_EQ(test::RunTool("vmr tables '" + empty + "'", out), 0) << out;
  EXPECT_EQ(out, "");
  EXPECT_EQ(test::RunTool("vmr tables '" + dir.File("NONE.VMR") + "'", out), 1);
}

}  // namespace
}  // namespace tavero::tool
