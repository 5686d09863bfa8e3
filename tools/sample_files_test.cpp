#include "tools/sample_files.h"

#include <gtest/gtest.h>

#include "storage/vmr/check.h"
#include "storage/vmr/format.h"
#include "storage/vmr/record_kinds.h"
#include "tools/vmr_stored_table.h"
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

// Every vmr command on the collection's files as `tavero sample` writes
// them: a CSV dump loads into an empty collection and dumps the same.
TEST(SampleFiles, EveryCommandWorksOnThem) {
  test::TempDir dir;
  std::string out;
  ASSERT_EQ(test::RunTool("sample " + dir.File("full") + " --sets 5 --cards-per-set 8 --seed 2", out), 0) << out;
  ASSERT_EQ(test::RunTool("sample " + dir.File("empty") + " --sets 0 --seed 2", out), 0) << out;
  for (const char* file : {"CARDSET", "SETINFORMATION"}) {
    const std::string full = dir.File("full/") + file;
    const std::string empty = dir.File("empty/") + file;
    EXPECT_EQ(test::RunTool("vmr tables " + full, out), 0);
    EXPECT_EQ(out, "UNNAMED\n");
    EXPECT_EQ(test::RunTool("vmr schema " + full, out), 0);
    EXPECT_EQ(out.rfind("table UNNAMED: record length ", 0), 0u) << out;
    const std::string csv = dir.File(std::string(file) + ".csv");
    EXPECT_EQ(test::RunTool("vmr dump '" + full + "\\!UNNAMED' --format csv > " + csv, out), 0) << out;
    std::string dumped;
    ASSERT_EQ(test::RunTool("vmr dump '" + full + "\\!UNNAMED' --format csv", dumped), 0);
    EXPECT_EQ(test::RunTool("vmr load " + empty + " --csv " + csv + " --batch 7", out), 0) << out;
    EXPECT_EQ(test::RunTool("vmr dump '" + empty + "\\!UNNAMED' --format csv", out), 0);
    EXPECT_EQ(out, dumped) << file;
    EXPECT_EQ(test::RunTool("vmr build " + empty, out), 0) << out;
    EXPECT_EQ(test::RunTool("vmr check " + empty + ".VMR " + full + ".VMR", out), 0) << out;
  }
  EXPECT_EQ(test::RunTool("vmr dump " + dir.File("full/SETINFORMATION") + " --key SET:BOUGHT --format json", out), 0);
  EXPECT_EQ(out.rfind("{\"tables\":[\n{\"name\":\"UNNAMED\",\"records\":[\n{\"recno\":", 0), 0u) << out;
}

// Damaged copies of a sample file: the check names the damage, through the
// tool as well, and no byte of the file makes it crash.
TEST(SampleFiles, CheckFindsTheDamageInDamagedCopies) {
  test::TempDir dir(test::TempDir::Files::kDamagedOnPurpose);
  std::string out;
  ASSERT_EQ(test::RunTool("sample " + dir.File("s") + " --sets 4 --cards-per-set 15 --seed 5", out), 0) << out;
  const std::string path = dir.File("s/SETINFORMATION.VMR");
  const std::vector<std::uint8_t> sound = test::ReadBytes(path);
  ASSERT_TRUE(vmr::CheckImage(sound).sound());

  for (std::size_t i = 0; i < sound.size(); i += 2) {
    std::vector<std::uint8_t> bytes = sound;
    bytes[i] ^= i % 4 == 0 ? 0x5A : 0xFF;
    (void)vmr::CheckImage(bytes);  // must neither crash nor read outside
  }
  const std::vector<std::size_t> pages = vmr::testing_support::PageOffsets(sound);
  ASSERT_GT(pages.size(), 2u);
  for (std::size_t offset : pages) {
    if (offset + 16 > sound.size()) continue;  // a free slot past the end
    std::vector<std::uint8_t> bytes = sound;
    bytes[offset + 10] ^= 0x01;  // the page's record count
    EXPECT_FALSE(vmr::CheckImage(bytes).sound()) << "page at " << offset;
  }

  auto check = [&](const std::vector<std::uint8_t>& bytes, std::string& lines) {
    test::WriteBytes(path, bytes);
    return test::RunTool("vmr check '" + path + "'", lines);
  };
  // A block of the committed data lost.
  std::vector<std::uint8_t> truncated(sound.begin(), sound.begin() + (vmr::Load32(sound.data() + 6) - 256));
  EXPECT_EQ(check(truncated, out), 1);
  EXPECT_NE(out.find(": file is truncated"), std::string::npos) << out;

  std::vector<std::uint8_t> flipped = sound;
  flipped[pages.front() + 10] ^= 0x01;
  EXPECT_EQ(check(flipped, out), 1);

  // A key entry removed: the key lacks the entry of its record.
  test::WriteBytes(path, sound);
  {
    std::unique_ptr<vmr::PhysicalFile> file;
    ASSERT_EQ(OpenExclusive(path, true, false, file), 0);
    PhysicalRecordStore store(*file);
    StoredTable table;
    ASSERT_EQ(ReadStoredTable(store, "UNNAMED", table), 0);
    ASSERT_TRUE(file->BeginWrite().ok());
    ASSERT_TRUE(file->RefreshHeader().ok());
    std::optional<vmr::RecordCopy> entry;
    ASSERT_TRUE(file->FirstWithPrefix(vmr::key_prefix(table.number, 1), entry).ok());
    ASSERT_TRUE(entry.has_value());
    bool found = false;
    ASSERT_TRUE(file->Erase(entry->key(), found).ok());
    ASSERT_TRUE(file->EndOperation().ok());
  }
  EXPECT_EQ(test::RunTool("vmr check '" + path + "'", out), 1);
  EXPECT_NE(out.find("key SET:NAME_KEY: no entry for record"), std::string::npos) << out;
  // and `tavero vmr build` mends it
  EXPECT_EQ(test::RunTool("vmr build '" + path + "'", out), 0) << out;
  EXPECT_EQ(test::RunTool("vmr check '" + path + "'", out), 0) << out;
}

}  // namespace
}  // namespace tavero::tool
