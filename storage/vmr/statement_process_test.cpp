// Read statements between stations that are real processes: a reader keeps
// its reader slot for the reads of one statement (a page), so it never sees
// part of another station's commit inside a page; the slot goes back after a
// bounded stretch, so a writer is not starved by a reader that reads on and
// on; and a reader scanning a file another station writes to still gets
// every row once, in key order.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "storage/driver/read_statement.h"
#include "storage/vmr/card_file_testing.h"
#include "storage/vmr/physical_file.h"
#include "storage/vmr/record_store_file.h"
#include "storage/vmr/vmr_test_support.h"

namespace tavero::vmr {
namespace {

using testing_support::ApplyBatch;
using testing_support::Model;
using Clock = std::chrono::steady_clock;

constexpr int kShared = 0x42 | kCreateFlag;
constexpr int kReadOnlyShared = 0x40;

class Statements : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tavero_vmr_statements_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "CARDS.VMR").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Writes `records` into the file, creating it.
  void Fill(const Model& records) {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), path_, kShared, file).ok());
    Model model;
    ASSERT_TRUE(ApplyBatch(*file, records, model).ok());
  }

  std::unique_ptr<PhysicalFileStore> OpenStore(int mode) {
    std::unique_ptr<PhysicalFile> file;
    if (!PhysicalFile::Open(PosixFileSystem(), path_, mode, file).ok()) return nullptr;
    return std::make_unique<PhysicalFileStore>(std::move(file));
  }

  std::filesystem::path dir_;
  std::string path_;
};

// One read operation as the driver brackets it.
int ReadOne(PhysicalFileStore& store, std::string_view after, std::optional<StoredRecord>& found) {
  if (int e = store.begin_operation(false)) return e;
  const int e = store.first_above(after, found);
  const int end = store.end_operation();
  return e != 0 ? e : end;
}

int ReadExact(PhysicalFileStore& store, const std::string& key, std::string& value) {
  std::optional<StoredRecord> found;
  if (int e = store.begin_operation(false)) return e;
  const int e = store.find(key, found);
  const int end = store.end_operation();
  value = found ? found->data : "<missing>";
  return e != 0 ? e : end;
}

std::string RowKey(int i) {
  char key[8];
  std::snprintf(key, sizeof key, "r%03d", i);
  return key;
}

void Await(int fd) {
  char c;
  ASSERT_EQ(read(fd, &c, 1), 1);
}

int ExitStatus(pid_t child) {
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(Statements, APageNeverSeesPartOfACommitAndTheNextPageSeesAllOfIt) {
  constexpr int kRows = 20;
  Model rows;
  for (int i = 0; i < kRows; ++i) rows[RowKey(i)] = "old";
  Fill(rows);
  int opened[2], go[2], done[2];
  ASSERT_EQ(pipe(opened), 0);
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(done), 0);
  // The writer rewrites every row in one commit, when told.
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    std::unique_ptr<PhysicalFile> file;
    if (!PhysicalFile::Open(PosixFileSystem(), path_, 0x42, file).ok()) _exit(1);
    if (write(opened[1], "o", 1) != 1) _exit(2);
    char c;
    if (read(go[0], &c, 1) != 1) _exit(3);
    Model changes, model;
    for (int i = 0; i < kRows; ++i) changes[RowKey(i)] = "new";
    if (!ApplyBatch(*file, changes, model).ok()) _exit(4);
    if (write(done[1], "d", 1) != 1) _exit(5);
    _exit(0);
  }
  Await(opened[0]);
  auto store = OpenStore(0x42);
  ASSERT_NE(store, nullptr);
  Clock::time_point writer_told;
  {
    driver::ReadStatement page;
    std::string value;
    for (int i = 0; i < kRows; ++i) {
      if (i == kRows / 2) {
        // Halfway through the page the writer commits, or tries to (well
        // within the time a statement keeps its slot).
        ASSERT_EQ(write(go[1], "g", 1), 1);
        writer_told = Clock::now();
        usleep(30000);
      }
      ASSERT_EQ(ReadExact(*store, RowKey(i), value), 0);
      EXPECT_EQ(value, "old") << RowKey(i);
    }
  }
  Await(done[0]);
  // The writer waited for the page.
  EXPECT_GE(Clock::now() - writer_told, std::chrono::milliseconds(25));
  {
    driver::ReadStatement page;
    std::string value;
    for (int i = 0; i < kRows; ++i) {
      ASSERT_EQ(ReadExact(*store, RowKey(i), value), 0);
      EXPECT_EQ(value, "new") << RowKey(i);
    }
  }
  EXPECT_EQ(ExitStatus(writer), 0);
}

// Scans the whole file in one statement; answers the rows seen, in order.
int Scan(PhysicalFileStore& store, std::vector<std::string>& keys) {
  keys.clear();
  driver::ReadStatement statement;
  std::optional<StoredRecord> found;
  std::string after;
  for (;;) {
    if (int e = ReadOne(store, after, found)) return e;
    if (!found) return 0;
    keys.push_back(found->key);
    after = found->key;
  }
}

TEST_F(Statements, AWriterIsNotStarvedByAReaderScanningOnAndOn) {
  Model rows;
  for (int i = 0; i < 2000; ++i) rows[RowKey(i) + "-" + std::to_string(i)] = std::string(40, 'x');
  Fill(rows);
  int started[2], stop[2];
  ASSERT_EQ(pipe(started), 0);
  ASSERT_EQ(pipe(stop), 0);
  const pid_t reader = fork();
  ASSERT_GE(reader, 0);
  if (reader == 0) {
    auto store = OpenStore(kReadOnlyShared);
    if (!store) _exit(1);
    fcntl(stop[0], F_SETFL, O_NONBLOCK);
    std::vector<std::string> keys;
    bool told = false;
    const auto give_up = Clock::now() + std::chrono::seconds(60);
    for (;;) {
      if (Scan(*store, keys) != 0 || keys.size() < 2000) _exit(2);
      if (!told && write(started[1], "s", 1) != 1) _exit(3);
      told = true;
      char c;
      if (read(stop[0], &c, 1) == 1 || Clock::now() > give_up) _exit(0);
    }
  }
  Await(started[0]);
  std::unique_ptr<PhysicalFile> file;
  ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), path_, 0x42, file).ok());
  Model model = rows;
  Clock::duration longest{};
  for (int i = 0; i < 20; ++i) {
    const auto start = Clock::now();
    ASSERT_TRUE(ApplyBatch(*file, {{"w" + std::to_string(i), "written"}}, model).ok());
    longest = std::max(longest, Clock::now() - start);
  }
  ASSERT_EQ(write(stop[1], "x", 1), 1);
  EXPECT_EQ(ExitStatus(reader), 0);
  // A generous bound: a reader gives its slot back every few dozen reads.
  EXPECT_LT(longest, std::chrono::seconds(5));
}

TEST_F(Statements, AReaderOnAFileBeingWrittenGetsEveryRowOnceInKeyOrder) {
  // Stable rows, which every scan must see exactly once; the writer adds
  // and removes rows between them and rewrites them, in many commits.
  constexpr int kStable = 1500;
  Model rows;
  for (int i = 0; i < kStable; ++i) rows["s" + std::to_string(10000 + i)] = "v";
  Fill(rows);
  int done[2];
  ASSERT_EQ(pipe(done), 0);
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    std::unique_ptr<PhysicalFile> file;
    if (!PhysicalFile::Open(PosixFileSystem(), path_, 0x42, file).ok()) _exit(1);
    Model model = rows;
    std::uint32_t x = 12345;
    auto next = [&x] { x ^= x << 13; x ^= x >> 17; x ^= x << 5; return x; };
    std::vector<std::string> added;
    for (int commit = 0; commit < 150; ++commit) {
      Model changes;
      for (int k = 0; k < 30; ++k) {
        const std::string stable = "s" + std::to_string(10000 + next() % kStable);
        const std::string fresh = stable + "+" + std::to_string(next() % 1000);
        if (!model.contains(fresh)) {
          changes[fresh] = std::string(1 + next() % 200, 'n');
          added.push_back(fresh);
        }
        changes[stable] = std::string(1 + next() % 200, 'v');
        if (!added.empty() && next() % 2 == 0) {
          const std::string gone = added[next() % added.size()];
          if (!changes.contains(gone) && model.contains(gone)) changes[gone] = "";
        }
      }
      if (!ApplyBatch(*file, changes, model).ok()) _exit(2);
    }
    if (write(done[1], "d", 1) != 1) _exit(3);
    _exit(0);
  }
  auto store = OpenStore(0x42);
  ASSERT_NE(store, nullptr);
  fcntl(done[0], F_SETFL, O_NONBLOCK);
  int scans = 0;
  for (bool writer_done = false; !writer_done || scans < 3; ++scans) {
    char c;
    writer_done = writer_done || read(done[0], &c, 1) == 1;
    std::vector<std::string> keys;
    ASSERT_EQ(Scan(*store, keys), 0);
    std::set<std::string> stable_seen;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (i > 0) {
        ASSERT_LT(CompareKeys(keys[i - 1], keys[i]), 0) << "scan " << scans << " at " << keys[i];
      }
      if (keys[i].find('+') == std::string::npos) stable_seen.insert(keys[i]);
    }
    ASSERT_EQ(stable_seen.size(), static_cast<std::size_t>(kStable)) << "scan " << scans;
  }
  EXPECT_EQ(ExitStatus(writer), 0);
}

TEST_F(Statements, ANoteAnotherStationAddsIsSeenThoughTheRecordWasMarkedWithoutOne) {
  using testing_support::CardFile;
  CardFile reader(PosixFileSystem(), path_, "CARDS", true, 0x42);
  ASSERT_EQ(reader.error(), 0);
  for (int i = 1; i <= 3; ++i) {
    reader.Fill(i, "Aaron");
    ASSERT_EQ(reader.Add(), 0);
  }
  const std::uint32_t first = 2;  // record numbers start after the table's
  ASSERT_EQ(reader.GetByPointer(first), 0);
  EXPECT_EQ(reader.Notes(), "");
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    CardFile other(PosixFileSystem(), path_, "CARDS", false, 0x42);
    if (other.error() != 0 || other.GetByPointer(first) != 0) _exit(1);
    other.Fill(1, "Aaron", "added at another station");
    _exit(other.Put() == 0 ? 0 : 2);
  }
  ASSERT_EQ(ExitStatus(writer), 0);
  ASSERT_EQ(reader.GetByPointer(first), 0);
  EXPECT_EQ(reader.Notes(), "added at another station");
}

}  // namespace
}  // namespace tavero::vmr
