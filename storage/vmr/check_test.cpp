#include "storage/vmr/check.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "storage/vmr/card_file_testing.h"
#include "storage/vmr/check_testing.h"
#include "storage/vmr/fault_file_system.h"
#include "storage/vmr/format.h"
#include "storage/vmr/record_kinds.h"

namespace tavero::vmr {
namespace {

using testing_support::CardFile;
using testing_support::PageOffsets;

bool Mentions(const CheckResult& result, const std::string& text) {
  return std::any_of(result.problems.begin(), result.problems.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

std::string Lines(const CheckResult& result) {
  std::string all;
  for (const auto& line : result.problems) all += line + "\n";
  return all;
}

const char* const kPlayers[] = {"Mantle", "Aaron", "Mays", "", "Clemente", "koufax", "Robinson", "Gibson"};

class VmrCheck : public ::testing::Test {
 protected:
  // Writes `cards` cards, every third with a note (every tenth one of 300
  // characters), then changes every fifth and deletes every seventh.
  void Write(int cards) {
    CardFile file(fs_, kName, "CARDS", true);
    ASSERT_EQ(file.error(), 0);
    for (int i = 1; i <= cards; ++i) {
      std::string notes = i % 3 == 0 ? "bought at the show" : "";
      if (i % 10 == 0) notes = std::string(300, 'n');
      file.Fill(i, kPlayers[i % 8], notes);
      ASSERT_EQ(file.Add(), 0) << i;
    }
    for (int i = 5; i <= cards; i += 5) {
      ASSERT_EQ(file.GetByPointer(static_cast<std::uint32_t>(i + 1)), 0);  // record numbers start after the table's
      file.record()[2] = 'Z';
      ASSERT_EQ(file.Put(), 0);
    }
    for (int i = 7; i <= cards; i += 7) {
      ASSERT_EQ(file.GetByPointer(static_cast<std::uint32_t>(i + 1)), 0);
      ASSERT_EQ(file.Erase(), 0);
    }
  }

  // Damages the file through the physical layer: `change` runs in a write
  // operation that is then committed.
  void Change(const std::function<void(PhysicalFile&)>& change) {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(fs_, kName, 0x12, file).ok());  // read/write, others denied
    ASSERT_TRUE(file->BeginWrite().ok());
    ASSERT_TRUE(file->RefreshHeader().ok());
    change(*file);
    ASSERT_TRUE(file->EndOperation().ok());
  }

  static std::string FirstKeyWithPrefix(PhysicalFile& file, const std::string& prefix) {
    std::optional<RecordCopy> found;
    EXPECT_TRUE(file.FirstWithPrefix(prefix, found).ok());
    return found ? std::string(found->key()) : std::string();
  }

  // Replaces the segment marks of a data record (its one byte after the
  // 26-byte image); an empty `marks` takes them away, as a record written
  // before the marks.
  static void SetMarks(PhysicalFile& file, const std::string& key, std::string_view marks) {
    std::optional<RecordCopy> r;
    ASSERT_TRUE(file.Find(FindMode::kExact, key, r).ok());
    ASSERT_TRUE(r.has_value());
    ASSERT_EQ(r->data().size(), 27u);
    ASSERT_TRUE(file.Replace(key, std::string(r->data().substr(0, 26)) + std::string(marks)).ok());
  }

  std::vector<std::uint8_t> Bytes() const { return fs_.Contents(kName); }
  CheckResult Check() const { return CheckImage(Bytes()); }

  // Files are written in memory.
  static constexpr const char* kName = "CARDS.VMR";
  FaultFileSystem fs_;
};

TEST_F(VmrCheck, FilesWrittenThroughTheRecordLayerAreSound) {
  Write(400);
  CheckResult result = Check();
  EXPECT_TRUE(result.sound()) << Lines(result);
  EXPECT_EQ(result.tables, 1u);
  EXPECT_GT(result.pages, 2u);  // the tree has split

  // A second table in the same file, and a reopened first one.
  {
    CardFile second(fs_, kName, "MORE", true);
    ASSERT_EQ(second.error(), 0);
    second.Fill(1, "Ruth");
    ASSERT_EQ(second.Add(), 0);
    CardFile first(fs_, kName, "CARDS", false);
    ASSERT_EQ(first.error(), 0);
  }
  result = Check();
  EXPECT_TRUE(result.sound()) << Lines(result);
  EXPECT_EQ(result.tables, 2u);

  EXPECT_TRUE(CheckImage({}).sound()) << "an empty file is a new file";
  EXPECT_FALSE(CheckFile("MISSING.VMR", fs_).sound());
  EXPECT_TRUE(CheckFile(kName, fs_).sound());
}

TEST_F(VmrCheck, FindsDamageInTheFileStructure) {
  Write(200);
  const std::vector<std::uint8_t> sound = Bytes();
  struct Case {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    const char* expected;
  };
  const Case cases[] = {
      // Half of what is committed: the file may hold free space beyond it.
      {"truncated to half", [](auto& b) { b.resize(Load32(b.data() + 6) / 2); }, "truncated"},
      {"truncated inside the header", [](auto& b) { b.resize(100); }, "truncated"},
      {"magic", [](auto& b) { b[15] ^= 0x20; }, "not a VMR file"},
      {"zone table", [](auto& b) { b[32 + 4 * 1] += 1; }, "zone"},
      {"root block", [](auto& b) { Store32(b.data() + 28, 999999); }, "root block"},
      {"commit left half done", [](auto& b) { Store32(b.data() + 10, Load32(b.data() + 6) + 256); },
       "interrupted"},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = sound;
    c.damage(bytes);
    const CheckResult result = CheckImage(bytes);
    EXPECT_TRUE(Mentions(result, c.expected)) << c.name << "\n" << Lines(result);
  }
}

// Leaves the file between the phases of a commit that rewrites its first
// page as it is.
void Interrupt(FaultFileSystem& fs, const std::string& name) {
  std::unique_ptr<PhysicalFile> file;
  ASSERT_TRUE(PhysicalFile::Open(fs, name, 0x12, file).ok());
  ASSERT_TRUE(file->BeginWrite().ok());
  ASSERT_TRUE(file->RefreshHeader().ok());
  std::optional<RecordCopy> first;
  ASSERT_TRUE(file->Find(FindMode::kFirstNotBelow, {}, first).ok());
  ASSERT_TRUE(first);
  ASSERT_TRUE(file->Replace(first->key(), first->data()).ok());
  ASSERT_TRUE(file->CommitPhaseOne().ok());
}

TEST_F(VmrCheck, AnInterruptedCommitIsNotedNotDamage) {
  Write(100);
  Interrupt(fs_, kName);
  const CheckResult result = Check();
  EXPECT_TRUE(result.sound()) << Lines(result);
  EXPECT_TRUE(result.interrupted_commit);
}

// A pending copy aimed past the new tree is damage, and the check neither
// follows it nor grows its image to reach it.
TEST_F(VmrCheck, APendingCopyAimedOutsideTheNewTreeIsDamage) {
  Write(100);
  Interrupt(fs_, kName);
  const std::vector<std::uint8_t> interrupted = Bytes();
  std::size_t copy = 0;
  for (std::size_t at = Load32(&interrupted[6]); at < Load32(&interrupted[10]);
       at += BlocksFor(Load16(&interrupted[at + 4])) * kBlockSize) {
    if (Load32(&interrupted[at]) != 0) copy = at;
  }
  ASSERT_NE(copy, 0u);
  for (const std::uint32_t target : {0x10000200u, 0xFFFFFF00u}) {
    std::vector<std::uint8_t> bytes = interrupted;
    Store32(&bytes[copy], target);
    const CheckResult result = CheckImage(bytes);
    EXPECT_TRUE(Mentions(result, "not a page of its size in the new tree")) << Lines(result);
  }
}

TEST_F(VmrCheck, FindsADamagedHeaderOrBodyInEveryPage) {
  Write(200);
  const std::vector<std::uint8_t> sound = Bytes();
  const auto pages = PageOffsets(sound);
  ASSERT_GT(pages.size(), 2u);
  for (std::size_t offset : pages) {
    // Own offset, stored size (by a block: a compressed body may end before
    // its stored size), record count, level.
    for (std::size_t field : {0u, 5u, 10u, 12u}) {
      std::vector<std::uint8_t> bytes = sound;
      bytes[offset + field] ^= 0x01;
      EXPECT_FALSE(CheckImage(bytes).sound()) << "page at " << offset << ", byte " << field;
    }
    std::vector<std::uint8_t> bytes = sound;
    bytes[offset + 13] ^= 0x80;  // first flag byte (leaf) or child pointer (inner page)
    EXPECT_FALSE(CheckImage(bytes).sound()) << "page at " << offset;
  }
}

TEST_F(VmrCheck, SurvivesEveryFlippedByteOfASmallFile) {
  Write(12);
  const std::vector<std::uint8_t> sound = Bytes();
  ASSERT_TRUE(CheckImage(sound).sound());
  for (std::size_t i = 0; i < sound.size(); ++i) {
    for (std::uint8_t mask : {0x01, 0x80, 0xFF}) {
      std::vector<std::uint8_t> bytes = sound;
      bytes[i] ^= mask;
      (void)CheckImage(bytes);  // must neither crash nor read outside
    }
  }
}

TEST_F(VmrCheck, FindsRecordsThatDisagree) {
  Write(60);
  const TableNumber table = 1;  // the first identifier of a new file
  struct Case {
    const char* name;
    std::function<void(PhysicalFile&)> damage;
    std::vector<const char*> expected;
  };
  const Case cases[] = {
      {"key entry removed",
       [&](PhysicalFile& f) {
         bool found = false;
         ASSERT_TRUE(f.Erase(FirstKeyWithPrefix(f, key_prefix(table, 1)), found).ok());
         ASSERT_TRUE(found);
       },
       {"key CRD:BY_PLAYER: no entry for record", "key CRD:BY_PLAYER: status counts"}},
      {"data record removed",
       [&](PhysicalFile& f) {
         bool found = false;
         ASSERT_TRUE(f.Erase(data_key(table, 4), found).ok());  // card 3, with a note
         ASSERT_TRUE(found);
       },
       {"status counts", "for record 4, which does not exist", "memo segments of record 4"}},
      {"record changed under its keys",
       [&](PhysicalFile& f) {
         std::optional<RecordCopy> r;
         ASSERT_TRUE(f.Find(FindMode::kExact, data_key(table, 3), r).ok());
         std::string data(r->data());
         data[0] = 99;
         ASSERT_TRUE(f.Replace(data_key(table, 3), data).ok());
       },
       {"does not match that record", "no entry for record 3"}},
      {"memo segment out of sequence",
       [&](PhysicalFile& f) {
         ASSERT_TRUE(f.Insert(segment_key(table, 4, 0, 5), "late").ok());
       },
       {"segment 5 of record 4"}},
      {"a note's segments under a mark that says none",
       [&](PhysicalFile& f) { SetMarks(f, data_key(table, 4), std::string(1, '\0')); },  // card 3, with a note
       {"record 4 marks CRD:NOTES as empty, but it has segments"}},
      {"a mark for a note that has no segments",
       [&](PhysicalFile& f) { SetMarks(f, data_key(table, 2), "\x01"); },  // card 1, without
       {"record 2 marks CRD:NOTES as stored, but it has no segments"}},
      {"a mark for an undeclared blob",
       [&](PhysicalFile& f) { SetMarks(f, data_key(table, 2), "\x02"); },
       {"record 2 marks blob number 2, which the definition does not declare"}},
      {"a segment added to a record marked without one",
       [&](PhysicalFile& f) { ASSERT_TRUE(f.Insert(segment_key(table, 2, 0, 0), "late").ok()); },
       {"record 2 marks CRD:NOTES as empty, but it has segments"}},
      {"a data record one byte too long",
       [&](PhysicalFile& f) {
         std::optional<RecordCopy> r;
         ASSERT_TRUE(f.Find(FindMode::kExact, data_key(table, 2), r).ok());
         ASSERT_TRUE(f.Replace(data_key(table, 2), std::string(r->data()) + "x").ok());
       },
       {"record 2 holds 28 bytes, the record length is 26"}},
      {"definition lost",
       [&](PhysicalFile& f) {
         bool found = false;
         ASSERT_TRUE(f.Erase(definition_key(table, 0), found).ok());
       },
       {"definition"}},
      {"table name lost",
       [&](PhysicalFile& f) {
         bool found = false;
         ASSERT_TRUE(f.Erase(table_name_key("CARDS"), found).ok());
       },
       {"which no table name names"}},
  };
  const std::vector<std::uint8_t> sound = Bytes();
  for (const Case& c : cases) {
    fs_.SetContents(kName, sound);
    Change(c.damage);
    const CheckResult result = Check();
    for (const char* expected : c.expected) {
      EXPECT_TRUE(Mentions(result, expected)) << c.name << ": " << expected << "\n" << Lines(result);
    }
  }
}

TEST_F(VmrCheck, RecordsWrittenBeforeTheSegmentMarksAreReadWholeAndSound) {
  Write(40);
  const TableNumber table = 1;
  // Every data record as the code before the marks wrote it.
  Change([&](PhysicalFile& f) {
    for (RecordNumber record = 2; record <= 41; ++record) {
      std::optional<RecordCopy> r;
      ASSERT_TRUE(f.Find(FindMode::kExact, data_key(table, record), r).ok());
      if (r) SetMarks(f, data_key(table, record), "");
    }
  });
  CheckResult result = Check();
  EXPECT_TRUE(result.sound()) << Lines(result);
  {
    CardFile file(fs_, kName, "CARDS", false);
    ASSERT_EQ(file.error(), 0);
    for (int i = 1; i <= 40; ++i) {
      if (i % 7 == 0) continue;  // deleted
      ASSERT_EQ(file.GetByPointer(static_cast<std::uint32_t>(i + 1)), 0) << i;
      const std::string expected = i % 10 == 0 ? std::string(300, 'n') : i % 3 == 0 ? "bought at the show" : "";
      EXPECT_EQ(file.Notes(), expected) << i;
    }
    // A PUT gives the record its marks; a note cleared by PUT is marked so.
    ASSERT_EQ(file.GetByPointer(4), 0);  // card 3, with a note
    file.Fill(3, kPlayers[3]);
    ASSERT_EQ(file.Put(), 0);
    ASSERT_EQ(file.GetByPointer(2), 0);  // card 1, without
    file.Fill(1, kPlayers[1], "found later");
    ASSERT_EQ(file.Put(), 0);
    ASSERT_EQ(file.GetByPointer(4), 0);
    EXPECT_EQ(file.Notes(), "");
    ASSERT_EQ(file.GetByPointer(2), 0);
    EXPECT_EQ(file.Notes(), "found later");
  }
  result = Check();
  EXPECT_TRUE(result.sound()) << Lines(result);
  Change([&](PhysicalFile& f) {
    for (RecordNumber record : {2u, 4u}) {
      std::optional<RecordCopy> r;
      ASSERT_TRUE(f.Find(FindMode::kExact, data_key(table, record), r).ok());
      EXPECT_EQ(r->data().size(), 27u) << record;
      EXPECT_EQ(r->data().back(), record == 2 ? '\x01' : '\0') << record;
    }
  });
}

TEST_F(VmrCheck, LongReportsAreCutPerKindOfProblem) {
  Write(100);
  Change([&](PhysicalFile& f) {
    for (std::uint32_t record = 2; record <= 60; ++record) {
      bool found = false;
      ASSERT_TRUE(f.Erase(data_key(1, record), found).ok());
    }
  });
  const CheckResult result = Check();
  EXPECT_TRUE(Mentions(result, "more like the above")) << Lines(result);
  EXPECT_LT(result.problems.size(), 120u);
}

// The teardown helper finds every VMR file below a directory, by its
// magic, and names the damaged ones.
TEST(VmrCheckTeardown, FindsTheDamagedFilesBelowADirectory) {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "tavero-check-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path directory = pattern;
  fs::create_directories(directory / "deeper");
  {
    CardFile file(PosixFileSystem(), (directory / "deeper" / "CARDS.VMR").string(), "CARDS", true);
    ASSERT_EQ(file.error(), 0);
    file.Fill(1, "Mays");
    ASSERT_EQ(file.Add(), 0);
  }
  std::ofstream(directory / "notes.txt") << "not a VMR file, and not checked";
  EXPECT_TRUE(testing_support::VmrFilesAreSound(directory));

  fs::copy_file(directory / "deeper" / "CARDS.VMR", directory / "DAMAGED.DAT");
  fs::resize_file(directory / "DAMAGED.DAT", 600);
  const ::testing::AssertionResult result = testing_support::VmrFilesAreSound(directory);
  EXPECT_FALSE(result);
  EXPECT_NE(std::string(result.message()).find("DAMAGED.DAT: "), std::string::npos) << result.message();
  EXPECT_EQ(std::string(result.message()).find("CARDS.VMR"), std::string::npos) << result.message();
  fs::remove_all(directory);
}

}  // namespace
}  // namespace tavero::vmr
