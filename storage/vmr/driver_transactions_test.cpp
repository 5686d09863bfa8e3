// LOGOUT, COMMIT and ROLLBACK through the runtime's transaction routines
// over real VMR files (and an ASCII file, whose driver has no
// transactions), and the driver's SEND commands.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <thread>
#include <filesystem>
#include <fstream>

#include "runtime/error_state.h"
#include "storage/ascii/ascii.h"
#include "storage/vmr/account_test_support.h"
#include "storage/driver/file_operations.h"
#include "storage/driver/transaction.h"
#include "storage/vmr/check_testing.h"
#include "storage/vmr/file_io.h"
#include "storage/vmr/transaction_commit.h"
#include "storage/vmr/vmr.h"

namespace tavero::vmr {
namespace {

namespace fs = std::filesystem;
using namespace tavero::driver;

constexpr int kReadWrite = 0x42;

using testing_support::Account;

class VmrTransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavero-vmr-transactions-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    saved_control_file_ = TransactionControlFileName();
    SetTransactionControlFileName(path("control.tcf"));
  }
  void TearDown() override {
    if (TransactionActive()) Rollback();
    SetTransactionControlFileName(saved_control_file_);
    EXPECT_TRUE(testing_support::VmrFilesAreSound(directory_));
    fs::remove_all(directory_);
  }
  std::string path(const std::string& name) const { return (directory_ / name).string(); }

  // A new table holding record 1 with amount 100.
  std::unique_ptr<Account> created(const std::string& name) {
    auto account = std::make_unique<Account>(path(name), driver_);
    EXPECT_EQ(Create(account->file), 0) << ErrorText();
    EXPECT_EQ(Open(account->file, kReadWrite), 0) << ErrorText();
    account->set(1, 100);
    EXPECT_EQ(Add(account->file), 0) << ErrorText();
    return account;
  }
  std::int32_t amount_after_reopen(const std::string& name) {
    Account again(path(name), driver_);
    EXPECT_EQ(Open(again.file, kReadWrite), 0) << ErrorText();
    const std::int32_t amount = again.amount_of(1);
    Close(again.file);
    return amount;
  }
  void change(Account& account, std::int32_t amount) {
    ASSERT_EQ(account.amount_of(1), 100);
    account.set(1, amount);
    ASSERT_EQ(Put(account.file), 0) << ErrorText();
  }
  bool listed_in_transaction(const FileObject& file) {
    for (const OpenFileEntry& entry : OpenFiles()) {
      if (entry.file == &file) return entry.in_transaction;
    }
    return false;
  }

  fs::path directory_;
  std::string saved_control_file_;
  VmrDriver driver_{PosixFileSystem()};
};

TEST_F(VmrTransactionTest, CommitKeepsTheChangesOfBothFiles) {
  auto a = created("A");
  auto b = created("B");
  FileObject* files[] = {&a->file, &b->file};
  ASSERT_EQ(Logout(5, files), 0) << ErrorText();
  EXPECT_TRUE(TransactionActive());
  EXPECT_TRUE(listed_in_transaction(a->file));
  EXPECT_TRUE(Has(FileStateOf(b->file), FileState::InTransaction));
  EXPECT_EQ(Logout(5, files), 56);  // one transaction at a time
  change(*a, 70);
  change(*b, 130);
  EXPECT_EQ(Close(a->file), 56);  // a file in a transaction stays open
  ASSERT_EQ(Commit(), 0) << ErrorText();
  EXPECT_FALSE(TransactionActive());
  EXPECT_FALSE(listed_in_transaction(a->file));
  EXPECT_FALSE(Has(FileStateOf(a->file), FileState::InTransaction));
  EXPECT_EQ(Close(a->file), 0);
  EXPECT_EQ(Close(b->file), 0);
  EXPECT_EQ(amount_after_reopen("A"), 70);
  EXPECT_EQ(amount_after_reopen("B"), 130);
}

// A transaction keeps the status counters' changes back until its commit:
// the counts read inside it include them, a rollback drops them, and the
// commit writes them (TearDown checks the counts against the records).
TEST_F(VmrTransactionTest, CountsKeptBackInATransactionAreReadInsideItAndLandWithItsCommit) {
  auto a = created("A");
  auto b = created("B");
  FileObject* files[] = {&a->file, &b->file};
  for (const bool commit : {false, true}) {
    ASSERT_EQ(Logout(5, files), 0) << ErrorText();
    for (std::int32_t id = 2; id <= 4; ++id) {
      a->set(id, id);
      ASSERT_EQ(Add(a->file), 0) << ErrorText();
    }
    ASSERT_EQ(a->amount_of(1), 100);
    ASSERT_EQ(Delete(a->file), 0) << ErrorText();
    EXPECT_EQ(Records(a->file), 3);
    EXPECT_EQ(Records(a->file, a->by_id), 3);
    EXPECT_EQ(Records(b->file), 1);
    ASSERT_EQ(a->amount_of(3), 3);  // reads after the counts were written go on
    a->set(5, 5);
    ASSERT_EQ(Add(a->file), 0) << ErrorText();
    EXPECT_EQ(Records(a->file), 4);
    ASSERT_EQ(commit ? Commit() : Rollback(), 0) << ErrorText();
    EXPECT_EQ(Records(a->file), commit ? 4 : 1);
    EXPECT_EQ(Records(a->file, a->by_id), commit ? 4 : 1);
  }
  EXPECT_EQ(Close(a->file), 0);
  EXPECT_EQ(Close(b->file), 0);
  EXPECT_EQ(amount_after_reopen("A"), -1);  // record 1 went with the commit
}

TEST_F(VmrTransactionTest, RollbackDropsTheChangesOfBothFilesAndTheFilesGoOnWorking) {
  auto a = created("A");
  auto b = created("B");
  FileObject* files[] = {&a->file, &b->file};
  ASSERT_EQ(Logout(0, files), 0) << ErrorText();
  change(*a, 70);
  change(*b, 130);
  ASSERT_EQ(Rollback(), 0) << ErrorText();
  EXPECT_FALSE(TransactionActive());
  EXPECT_EQ(a->amount_of(1), 100);
  EXPECT_EQ(amount_after_reopen("A"), 100);
  EXPECT_EQ(amount_after_reopen("B"), 100);
  // Outside the transaction every change commits at once again.
  change(*b, 90);
  EXPECT_EQ(amount_after_reopen("B"), 90);
  // A second transaction over the same files.
  ASSERT_EQ(Logout(0, files), 0) << ErrorText();
  change(*a, 10);
  ASSERT_EQ(Commit(), 0) << ErrorText();
  EXPECT_EQ(amount_after_reopen("A"), 10);
}

TEST_F(VmrTransactionTest, AFailedCommitDropsTheChangesAndEndsTheTransaction) {
  auto a = created("A");
  auto b = created("B");
  // A control file that cannot be made: the commit of two files fails.
  SetTransactionControlFileName(path("missing/control.tcf"));
  FileObject* files[] = {&a->file, &b->file};
  ASSERT_EQ(Logout(0, files), 0) << ErrorText();
  change(*a, 70);
  change(*b, 130);
  EXPECT_NE(Commit(), 0);
  EXPECT_NE(ErrorCode(), 0);
  EXPECT_FALSE(TransactionActive());
  for (Account* account : {a.get(), b.get()}) {
    EXPECT_FALSE(Has(FileStateOf(account->file), FileState::InTransaction));
    EXPECT_EQ(account->amount_of(1), 100);
  }
  EXPECT_EQ(Close(a->file), 0);
  EXPECT_EQ(Close(b->file), 0);
  EXPECT_EQ(amount_after_reopen("A"), 100);
  EXPECT_EQ(amount_after_reopen("B"), 100);
}

// While LOGOUT waits for a table lock, other threads run (the lock-wait
// pause); a LOGOUT of theirs must not slip its files into this one.
TEST_F(VmrTransactionTest, ALogoutStartedWhileAnotherWaitsForItsLockGets56) {
  auto a = created("A");
  auto b = created("B");
  Account a_elsewhere(path("A"), driver_);  // the same table, another thread's
  ASSERT_EQ(Open(a_elsewhere.file, kReadWrite), 0) << ErrorText();
  ASSERT_EQ(Lock(a_elsewhere.file), 0);

  std::vector<int> nested;
  const LockWaitPause plain = SetLockWaitPause([&](std::chrono::milliseconds pause) {
    FileObject* other[] = {&b->file};
    if (nested.empty()) nested.push_back(Logout(0, other));
    std::this_thread::sleep_for(pause);
  });
  FileObject* files[] = {&a->file};
  EXPECT_EQ(Logout(1, files), 48);  // A's table stays locked
  SetLockWaitPause(plain);
  EXPECT_EQ(nested, std::vector<int>{56});
  EXPECT_FALSE(TransactionActive());
  EXPECT_FALSE(listed_in_transaction(b->file));
  change(*b, 70);  // B commits at once: it is in no transaction
  EXPECT_EQ(amount_after_reopen("B"), 70);
  EXPECT_EQ(Unlock(a_elsewhere.file), 0);
  EXPECT_EQ(Close(a_elsewhere.file), 0);
}

// A table opened for reading only, then one of the same file for writing:
// both go through one open file, so a read during the other's transaction
// is served (a second open file would wait for this process's own writer
// range for ever).
TEST_F(VmrTransactionTest, ATableOpenedReadOnlySharesTheFileWithAWritableOne) {
  created("A");
  Account reader(path("A"), driver_);
  ASSERT_EQ(Open(reader.file, 0x40), 0) << ErrorText();
  Account writer(path("A"), driver_);
  ASSERT_EQ(Open(writer.file, kReadWrite), 0) << ErrorText();
  FileObject* files[] = {&writer.file};
  ASSERT_EQ(Logout(1, files), 0) << ErrorText();
  ASSERT_EQ(writer.put_amount(1, 55), 0) << ErrorText();
  alarm(20);  // a hang ends the test
  EXPECT_EQ(reader.amount_of(1), 55);
  alarm(0);
  ASSERT_EQ(Commit(), 0) << ErrorText();
  reader.set(1, 0);
  EXPECT_EQ(Put(reader.file), 5);  // the reader's table stays read only
  EXPECT_EQ(amount_after_reopen("A"), 55);
}

TEST_F(VmrTransactionTest, AFileWithoutTransactionsGives48AndLeavesTheOthersOutside) {
  auto a = created("A");
  const fs::path text = directory_ / "lines.txt";
  { std::ofstream(text) << "one\ntwo\n"; }
  Account lines(text.string(), ascii::AsciiDriver());
  lines.file.keys.clear();
  lines.layout = RecordLayoutWriter().String("L:LINE", 0, 8).Finish();
  lines.file.record_layout = lines.layout;
  ASSERT_EQ(Open(lines.file, kReadWrite), 0) << ErrorText();

  FileObject* files[] = {&a->file, &lines.file};
  EXPECT_EQ(Logout(0, files), 48);
  EXPECT_EQ(ErrorCode(), 48);
  EXPECT_FALSE(TransactionActive());
  EXPECT_FALSE(listed_in_transaction(a->file));
  EXPECT_FALSE(Has(FileStateOf(a->file), FileState::InTransaction));
  // A's changes commit at once: it is in no transaction.
  change(*a, 55);
  EXPECT_EQ(amount_after_reopen("A"), 55);
  // A file never opened has no entry in the open-file list.
  Account stranger(path("A"), driver_);
  Records(stranger.file);  // used (it has driver state), but not open
  FileObject* with_stranger[] = {&a->file, &stranger.file};
  EXPECT_EQ(Logout(0, with_stranger), 48);
  EXPECT_FALSE(listed_in_transaction(a->file));
  Close(lines.file);
}

TEST_F(VmrTransactionTest, SendSetsTheControlFileAndEnumeratesTables) {
  Account one(path("DATA\\!ONE"), driver_);
  ASSERT_EQ(Create(one.file), 0) << ErrorText();
  Account two(path("DATA\\!TWO"), driver_);
  ASSERT_EQ(Create(two.file), 0) << ErrorText();
  ASSERT_EQ(Open(one.file, kReadWrite), 0) << ErrorText();

  std::vector<std::string> names;
  for (std::string name = Send(one.file, "PNM="); !name.empty();
       name = Send(one.file, "PNM=" + name + std::string(1, '\x01'))) {
    names.push_back(name);
    ASSERT_LT(names.size(), 5u);
  }
  ASSERT_EQ(names.size(), 2u);
  EXPECT_LT(names[0], names[1]);
  EXPECT_EQ(Send(one.file, "PNM=" + names[1]), names[1]);  // the search includes equality
  EXPECT_EQ(Send(two.file, "PNM="), "");                     // not open: no answer

  ClearError();
  EXPECT_EQ(Send(one.file, "TCF=" + path("other.tcf")), "");
  EXPECT_EQ(TransactionControlFileName(), path("other.tcf"));
  EXPECT_EQ(Send(one.file, "anything"), "SEND arg not recognised");
  EXPECT_EQ(Send(one.file, "REGISTER"), "VELMORAN");
  EXPECT_EQ(ErrorCode(), 0);
  Close(one.file);
}

}  // namespace
}  // namespace tavero::vmr
