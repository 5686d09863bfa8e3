#include <gtest/gtest.h>

#include "storage/vmr/format.h"
#include "storage/vmr/transaction_commit.h"
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

// Leaves `path` between the phases of a commit that rewrites its first
// record as it is, with a transaction marker when one is given.
void Interrupt(const std::string& path, const std::string& marker = {}) {
  std::unique_ptr<vmr::PhysicalFile> file;
  ASSERT_TRUE(vmr::PhysicalFile::Open(vmr::PosixFileSystem(), path, 0x12, file).ok());
  ASSERT_TRUE(file->BeginWrite().ok());
  ASSERT_TRUE(file->RefreshHeader().ok());
  std::optional<vmr::RecordCopy> first;
  ASSERT_TRUE(file->Find(vmr::FindMode::kFirstNotBelow, {}, first).ok());
  ASSERT_TRUE(first);
  ASSERT_TRUE(file->Replace(first->key(), first->data()).ok());
  if (!marker.empty()) {
    ASSERT_TRUE(file->Insert(std::string(1, '\xFF'), marker).ok());
  }
  ASSERT_TRUE(file->CommitPhaseOne().ok());
}

// A file that only waits for the next open to finish its commit is not
// damaged: `check` says so with exit status 3, and `recover` finishes the
// commit, or rolls it back when its transaction is still listed.
TEST(VmrRecoverTool, FinishesOrRollsBackWhatCheckReportsWithStatus3) {
  test::TempDir dir;
  const std::string path = dir.File("CARDS.VMR");
  {
    test::CardFile file(vmr::PosixFileSystem(), path, "CARDS", true);
    ASSERT_EQ(file.error(), 0);
    for (int i = 1; i <= 10; ++i) {
      file.Fill(i, "Mays");
      ASSERT_EQ(file.Add(), 0);
    }
  }
  std::string out;
  Interrupt(path);
  EXPECT_EQ(test::RunTool("vmr check '" + path + "'", out), 3);
  EXPECT_EQ(out, path + ": an interrupted commit will be finished on the next open\n");
  EXPECT_EQ(test::RunTool("vmr recover '" + path + "'", out), 0);
  EXPECT_EQ(out, path + ": the interrupted commit was finished\n");
  EXPECT_EQ(test::RunTool("vmr check '" + path + "'", out), 0) << out;
  EXPECT_EQ(test::RunTool("vmr recover '" + path + "'", out), 0);
  EXPECT_EQ(out, path + ": no interrupted commit\n");

  // A transaction that never reached its commit point: its number is still
  // listed in the control file its marker names.
  const std::string control_file = dir.File("LISTED.TCF");
  {
    std::unique_ptr<vmr::PhysicalFile> control;
    ASSERT_TRUE(vmr::PhysicalFile::Open(vmr::PosixFileSystem(), control_file, 0x42 | vmr::kCreateFlag, control).ok());
    ASSERT_TRUE(control->BeginWrite().ok());
    ASSERT_TRUE(control->RefreshHeader().ok());
    ASSERT_TRUE(control->Insert(std::string("\0\0\0\x07", 4), {}).ok());
    ASSERT_TRUE(control->EndOperation().ok());
  }
  std::uint32_t counter;
  {
    std::unique_ptr<vmr::PhysicalFile> file;
    ASSERT_TRUE(vmr::PhysicalFile::Open(vmr::PosixFileSystem(), path, 0x12, file).ok());
    counter = file->header().change_counter;
  }
  Interrupt(path, vmr::TransactionMarker(7, control_file, counter + 1));
  EXPECT_EQ(test::RunTool("vmr check '" + path + "'", out), 3);
  EXPECT_EQ(test::RunTool("vmr recover '" + path + "'", out), 0);
  EXPECT_EQ(out, path + ": the interrupted commit was rolled back (its transaction never reached its commit point)\n");
  EXPECT_EQ(test::RunTool("vmr check '" + path + "'", out), 0) << out;
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
