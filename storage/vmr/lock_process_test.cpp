// Stations as real processes on real files: the reader/writer discipline
// of the station locks and transactions under concurrency.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "storage/vmr/physical_file.h"
#include "storage/vmr/transaction_commit.h"
#include "storage/vmr/vmr_test_support.h"

namespace tavero::vmr {
namespace {

using testing_support::Model;
using testing_support::Snapshot;
using testing_support::Valid;

constexpr int kShared = 0x42 | kCreateFlag;

class Stations : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tavero_vmr_stations_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
};

// Waits for one byte from the pipe.
void Await(int fd) {
  char c;
  ASSERT_EQ(read(fd, &c, 1), 1);
}

TEST_F(Stations, ReadersShareAndAWriterWaitsForThem) {
  const std::string path = Path("CARDS.VMR");
  {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), path, kShared, file).ok());
    Model model;
    ASSERT_TRUE(testing_support::ApplyBatch(*file, {{"k", "v"}}, model).ok());
  }
  // Two reader processes each start an operation and report; they finish
  // it when told.
  int ready[2], go[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go), 0);
  pid_t readers[2];
  for (pid_t& reader : readers) {
    reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
      std::unique_ptr<PhysicalFile> file;
      if (!PhysicalFile::Open(PosixFileSystem(), path, 0x40, file).ok()) _exit(1);
      if (!file->RefreshHeader().ok()) _exit(2);
      if (write(ready[1], "r", 1) != 1) _exit(3);
      char c;
      if (read(go[0], &c, 1) != 1) _exit(4);
      if (!file->EndOperation().ok()) _exit(5);
      _exit(0);
    }
  }
  // Both readers are inside an operation at the same time.
  Await(ready[0]);
  Await(ready[0]);
  const auto start = std::chrono::steady_clock::now();
  pid_t releaser = fork();
  if (releaser == 0) {
    usleep(300000);
    for (int i = 0; i < 2; ++i) {
      if (write(go[1], "g", 1) != 1) _exit(1);
    }
    _exit(0);
  }
  // A read/write open starts in the write phase: it waits for both readers.
  std::unique_ptr<PhysicalFile> writer;
  ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), path, 0x42, writer).ok());
  ASSERT_TRUE(writer->BeginWrite().ok());
  ASSERT_TRUE(writer->RefreshHeader().ok());
  const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(waited, 0.25);
  ASSERT_TRUE(writer->Insert("w", "1").ok());
  ASSERT_TRUE(writer->EndOperation().ok());
  for (pid_t p : {readers[0], readers[1], releaser}) {
    int status;
    ASSERT_EQ(waitpid(p, &status, 0), p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}

// Processes move amounts between the records of two files in transactions;
// the total never changes and both files stay whole.
TEST_F(Stations, ConcurrentTransactionsKeepTheTotal) {
  const char* env = std::getenv("TAVERO_VMR_STRESS_TRANSACTIONS");
  const int transactions = env ? std::atoi(env) : 20;
  constexpr int kProcesses = 4, kAccounts = 20, kStart = 1000;
  const std::string paths[2] = {Path("LEFT.VMR"), Path("RIGHT.VMR")};
  const std::string control = Path("TX.TCF");
  auto account = [](int i) { return std::string("acct") + static_cast<char>('A' + i); };
  for (const std::string& path : paths) {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), path, kShared, file).ok());
    Model changes, model;
    for (int i = 0; i < kAccounts; ++i) changes[account(i)] = std::to_string(kStart) + std::string(200, ' ');
    ASSERT_TRUE(testing_support::ApplyBatch(*file, changes, model).ok());
  }
  pid_t children[kProcesses];
  for (int p = 0; p < kProcesses; ++p) {
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] != 0) continue;
    SetTransactionControlFileName(control);
    std::mt19937 random(static_cast<unsigned>(p + 1));
    std::unique_ptr<PhysicalFile> files[2];
    for (int f = 0; f < 2; ++f) {
      if (!PhysicalFile::Open(PosixFileSystem(), paths[f], 0x42, files[f]).ok()) _exit(1);
    }
    for (int t = 0; t < transactions; ++t) {
      // Files are always taken in the same order.
      for (auto& file : files) {
        file->set_in_transaction(true);
        if (!file->BeginWrite().ok() || !file->RefreshHeader().ok()) _exit(2);
      }
      const int amount = static_cast<int>(random() % 50);
      const int from = static_cast<int>(random() % 2);
      const std::string keys[2] = {account(static_cast<int>(random() % kAccounts)),
                                   account(static_cast<int>(random() % kAccounts))};
      for (int f = 0; f < 2; ++f) {
        std::optional<RecordCopy> r;
        if (!files[f]->Find(FindMode::kExact, keys[f], r).ok() || !r) _exit(3);
        long value = std::atol(std::string(r->data()).c_str()) + (f == from ? -amount : amount);
        if (!files[f]->Replace(keys[f], std::to_string(value) + std::string(200, ' ')).ok()) _exit(4);
      }
      PhysicalFile* list[] = {files[0].get(), files[1].get()};
      if (!CommitTransaction(PosixFileSystem(), list).ok()) _exit(5);
      for (auto& file : files) {
        file->set_in_transaction(false);
        if (!file->EndOperation().ok()) _exit(6);
      }
    }
    _exit(0);
  }
  for (pid_t child : children) {
    int status;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "signal";
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  long total = 0;
  for (const std::string& path : paths) {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), path, kShared, file).ok());
    Model seen;
    ASSERT_TRUE(Snapshot(*file, seen));
    ASSERT_TRUE(Valid(*file, seen.size()));
    seen.erase(std::string(1, '\xFF'));
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kAccounts));
    for (const auto& [key, value] : seen) total += std::atol(value.c_str());
  }
  EXPECT_EQ(total, 2L * kAccounts * kStart);
}

}  // namespace
}  // namespace tavero::vmr
