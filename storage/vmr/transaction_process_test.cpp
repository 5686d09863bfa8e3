// Transactions through the runtime (LOGOUT, COMMIT, ROLLBACK over
// FileObjects) between stations that are real processes on real files:
// a writer killed around the commit point, and processes moving amounts
// between two files at once.
//
// The files live in /dev/shm when there is one: a killed process loses
// nothing the system already took, so the disk's flush speed is not what
// these tests look at, and they stay short. TAVERO_TEST_SCRATCH names
// another directory (a disk's, to run them on one).
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "runtime/error_state.h"
#include "storage/driver/transaction.h"
#include "storage/vmr/account_test_support.h"
#include "storage/vmr/check.h"
#include "storage/vmr/file_io.h"
#include "storage/vmr/transaction_commit.h"
#include "storage/vmr/vmr.h"

namespace tavero::vmr {
namespace {

namespace fs = std::filesystem;
using namespace tavero::driver;
using testing_support::Account;

constexpr int kReadWrite = 0x42;
constexpr std::int32_t kRecords = 24;
constexpr std::int32_t kOpeningAmount = 1000;

fs::path ScratchRoot() {
  std::error_code error;
  if (const char* chosen = std::getenv("TAVERO_TEST_SCRATCH"); chosen != nullptr && *chosen != '\0') return chosen;
  if (fs::is_directory("/dev/shm", error)) return "/dev/shm";
  return fs::temp_directory_path();
}

// Two account files and the transaction control file, in a directory of
// their own. Forked stations inherit the control file's name.
class Ledger : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (ScratchRoot() / "tavero-vmr-ledger-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    saved_control_file_ = TransactionControlFileName();
    SetTransactionControlFileName(path("LEDGER.TCF"));
    for (const char* name : {"A", "B"}) {
      VmrDriver driver(PosixFileSystem());
      Account account(path(name), driver);
      ASSERT_EQ(Create(account.file), 0) << ErrorText();
      ASSERT_EQ(Open(account.file, kReadWrite), 0) << ErrorText();
      for (std::int32_t id = 1; id <= kRecords; ++id) {
        account.set(id, kOpeningAmount);
        ASSERT_EQ(Add(account.file), 0) << ErrorText();
      }
      ASSERT_EQ(Close(account.file), 0);
    }
  }
  void TearDown() override {
    SetTransactionControlFileName(saved_control_file_);
    fs::remove_all(directory_);
  }
  std::string path(const std::string& name) const { return (directory_ / name).string(); }

  // Every amount of file `name`, read by a fresh station (which completes
  // or undoes an interrupted commit); empty when the file cannot be read.
  std::vector<std::int32_t> amounts(const std::string& name) {
    VmrDriver driver(PosixFileSystem());
    Account account(path(name), driver);
    std::vector<std::int32_t> result;
    if (Open(account.file, kReadWrite) != 0) return result;
    for (std::int32_t id = 1; id <= kRecords; ++id) {
      std::int32_t value = 0;
      if (account.read(id, value) != 0) break;
      result.push_back(value);
    }
    Close(account.file);
    return result;
  }
  static std::int64_t sum(const std::vector<std::int32_t>& values) {
    std::int64_t total = 0;
    for (std::int32_t v : values) total += v;
    return total;
  }
  // The full structural check of the file, and no commit left half done.
  ::testing::AssertionResult sound(const std::string& name) {
    const CheckResult result = CheckFile(path(name) + ".VMR");
    if (result.sound() && result.records > 0) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << name << " (" << result.records << " records):";
    for (const std::string& problem : result.problems) failure << "\n  " << problem;
    return failure;
  }
  static int wait_for(pid_t pid, bool& killed) {
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path directory_;
  std::string saved_control_file_;
};

// ---- other stations during a transaction ----

// One byte through a pipe: a station tells another it may go on.
struct Signal {
  Signal() { EXPECT_EQ(pipe(ends), 0); }
  ~Signal() {
    close(ends[0]);
    close(ends[1]);
  }
  bool raise() const { return write(ends[1], "x", 1) == 1; }
  bool await() const {
    char c;
    return read(ends[0], &c, 1) == 1;
  }
  int ends[2];
};

TEST_F(Ledger, OtherStationsWaitForATransactionAndSeeOnlyItsCommittedResult) {
  Signal logged_out, commit_now;
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    VmrDriver driver(PosixFileSystem());
    Account a(path("A"), driver);
    Account b(path("B"), driver);
    if (Open(a.file, kReadWrite) != 0 || Open(b.file, kReadWrite) != 0) _exit(10);
    FileObject* both[] = {&a.file, &b.file};
    if (Logout(2, both) != 0) _exit(11);
    if (a.put_amount(1, 0) != 0 || b.put_amount(1, 2 * kOpeningAmount) != 0) _exit(12);
    if (!logged_out.raise() || !commit_now.await()) _exit(13);
    _exit(Commit() == 0 ? 0 : 14);
  }
  ASSERT_TRUE(logged_out.await());
  // A reader of B (shared, read only) starts while the transaction holds it.
  const pid_t reader = fork();
  ASSERT_GE(reader, 0);
  if (reader == 0) {
    VmrDriver driver(PosixFileSystem());
    Account b(path("B"), driver);
    std::int32_t value = 0;
    if (Open(b.file, 0x40) != 0 || b.read(1, value) != 0) _exit(10);
    _exit(value == 2 * kOpeningAmount ? 0 : 11);
  }
  usleep(300 * 1000);
  int status = 0;
  EXPECT_EQ(waitpid(reader, &status, WNOHANG), 0) << "the reader did not wait for the transaction";
  ASSERT_TRUE(commit_now.raise());
  bool killed = false;
  EXPECT_EQ(wait_for(writer, killed), 0);
  EXPECT_EQ(wait_for(reader, killed), 0) << "the reader saw B before the commit";
  EXPECT_EQ(amounts("A")[0], 0);
}

TEST_F(Ledger, ALogoutOverAFileAnotherStationHasInATransactionGives48AfterItsLimit) {
  // Opened first: a read/write open starts in the write phase, and would
  // wait for the other station's transaction.
  VmrDriver driver(PosixFileSystem());
  Account a(path("A"), driver);
  Account b(path("B"), driver);
  ASSERT_EQ(Open(a.file, kReadWrite), 0);
  ASSERT_EQ(Open(b.file, kReadWrite), 0);
  Signal logged_out, commit_now;
  const pid_t other = fork();
  ASSERT_GE(other, 0);
  if (other == 0) {
    VmrDriver own_driver(PosixFileSystem());
    Account own(path("A"), own_driver);
    if (Open(own.file, kReadWrite) != 0) _exit(10);
    FileObject* files[] = {&own.file};
    if (Logout(2, files) != 0 || own.put_amount(1, 1) != 0) _exit(11);
    if (!logged_out.raise() || !commit_now.await()) _exit(12);
    _exit(Commit() == 0 ? 0 : 13);
  }
  ASSERT_TRUE(logged_out.await());
  FileObject* files[] = {&b.file, &a.file};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Logout(1, files), 48);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_FALSE(TransactionActive());
  EXPECT_FALSE(Has(FileStateOf(b.file), FileState::InTransaction));  // B left out again

  ASSERT_TRUE(commit_now.raise());
  bool killed = false;
  EXPECT_EQ(wait_for(other, killed), 0);
  ASSERT_EQ(Logout(1, files), 0) << ErrorText();
  std::int32_t value = 0;
  EXPECT_EQ(a.read(1, value), 0);
  EXPECT_EQ(value, 1);  // the other station's committed change
  ASSERT_EQ(Commit(), 0);
  Close(a.file);
  Close(b.file);
}

// ---- a writer killed around the commit point ----

struct KillPoint {
  const char* name;
  CommitStep step;
  int occurrence;        // the step's n-th report (steps per file come twice)
  bool changes_survive;  // the commit point was passed
};

void PrintTo(const KillPoint& point, std::ostream* out) { *out << point.name; }

class KilledCommit : public Ledger, public ::testing::WithParamInterface<KillPoint> {};

// The killed station: LOGOUT over both files, every record of A gives 10
// to the same record of B, COMMIT; the probe kills it at the chosen step.
[[noreturn]] void CommitAndDieAt(const std::string& a_name, const std::string& b_name, const KillPoint& point) {
  VmrDriver driver(PosixFileSystem());
  Account a(a_name, driver);
  Account b(b_name, driver);
  if (Open(a.file, kReadWrite) != 0 || Open(b.file, kReadWrite) != 0) _exit(10);
  FileObject* both[] = {&a.file, &b.file};
  if (Logout(2, both) != 0) _exit(11);
  for (std::int32_t id = 1; id <= kRecords; ++id) {
    if (a.put_amount(id, kOpeningAmount - 10) != 0) _exit(12);
    if (b.put_amount(id, kOpeningAmount + 10) != 0) _exit(13);
  }
  int reports = 0;
  driver.set_commit_probe([&](CommitStep step) {
    if (step == point.step && ++reports == point.occurrence) raise(SIGKILL);
  });
  Commit();
  _exit(14);  // the probe never fired
}

TEST_P(KilledCommit, BothFilesShowTheChangesOrNeitherDoes) {
  const KillPoint point = GetParam();
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) CommitAndDieAt(path("A"), path("B"), point);
  bool killed = false;
  const int code = wait_for(writer, killed);
  ASSERT_TRUE(killed) << "the writer exited with " << code;

  const std::vector<std::int32_t> a = amounts("A");
  const std::vector<std::int32_t> b = amounts("B");
  ASSERT_EQ(a.size(), static_cast<std::size_t>(kRecords));
  ASSERT_EQ(b.size(), static_cast<std::size_t>(kRecords));
  const std::int32_t delta = point.changes_survive ? 10 : 0;
  for (std::int32_t i = 0; i < kRecords; ++i) {
    EXPECT_EQ(a[i], kOpeningAmount - delta) << "A record " << i + 1;
    EXPECT_EQ(b[i], kOpeningAmount + delta) << "B record " << i + 1;
  }
  EXPECT_TRUE(sound("A"));
  EXPECT_TRUE(sound("B"));

  // The files take the next transaction as if nothing had happened.
  VmrDriver driver(PosixFileSystem());
  Account again_a(path("A"), driver);
  Account again_b(path("B"), driver);
  ASSERT_EQ(Open(again_a.file, kReadWrite), 0);
  ASSERT_EQ(Open(again_b.file, kReadWrite), 0);
  FileObject* both[] = {&again_a.file, &again_b.file};
  ASSERT_EQ(Logout(2, both), 0) << ErrorText();
  ASSERT_EQ(again_a.put_amount(1, 0), 0);
  ASSERT_EQ(again_b.put_amount(1, 0), 0);
  ASSERT_EQ(Commit(), 0) << ErrorText();
  Close(again_a.file);
  Close(again_b.file);
  EXPECT_EQ(amounts("A")[0], 0);
  EXPECT_EQ(amounts("B")[0], 0);
}

INSTANTIATE_TEST_SUITE_P(
    CommitSteps, KilledCommit,
    ::testing::Values(KillPoint{"OneFilePrepared", CommitStep::FilePrepared, 1, false},
                      KillPoint{"JustBeforeTheCommitPoint", CommitStep::BeforeCommitPoint, 1, false},
                      KillPoint{"JustAfterTheCommitPoint", CommitStep::AfterCommitPoint, 1, true},
                      KillPoint{"OneFileCommitted", CommitStep::FileCommitted, 1, true}),
    [](const ::testing::TestParamInfo<KillPoint>& info) { return std::string(info.param.name); });

// ---- stations moving amounts between two files ----

constexpr int kStations = 4;
// Transactions per station; TAVERO_STRESS_TRANSACTIONS asks for more.
constexpr int kDefaultTransactions = 500;
constexpr int kLockSeconds = 30;

int TransactionsPerStation() {
  if (const char* text = std::getenv("TAVERO_STRESS_TRANSACTIONS")) {
    const int n = std::atoi(text);
    if (n > 0) return n;
  }
  return kDefaultTransactions;
}

// What a station reports by its exit code.
enum StationExit : int {
  kStationDone = 0,
  kCannotOpen = 20,
  kLogoutFailed,
  kReadFailed,
  kPutFailed,
  kCommitFailed,
  kRollbackFailed,
};

// One station: short transactions, each moving an amount between a record
// of A and one of B (every fifth between two records of A alone, a one-file
// commit); every seventh changes one record only and is rolled back.
[[noreturn]] void RunStation(const std::string& a_name, const std::string& b_name, int station, int transactions) {
  VmrDriver driver(PosixFileSystem());
  Account a(a_name, driver);
  Account b(b_name, driver);
  if (Open(a.file, kReadWrite) != 0 || Open(b.file, kReadWrite) != 0) _exit(kCannotOpen);
  std::mt19937 random(1234u + static_cast<unsigned>(station));
  std::uniform_int_distribution<std::int32_t> pick(1, kRecords);
  std::uniform_int_distribution<std::int32_t> amount(-50, 50);
  for (int n = 1; n <= transactions; ++n) {
    const bool within_a = n % 5 == 0;
    Account& to = within_a ? a : b;
    FileObject* both[] = {&a.file, &b.file};
    FileObject* only_a[] = {&a.file};
    if (Logout(kLockSeconds, within_a ? std::span<FileObject* const>(only_a) : both) != 0) _exit(kLogoutFailed);
    const std::int32_t from_id = pick(random);
    std::int32_t to_id = pick(random);
    if (within_a && to_id == from_id) to_id = to_id % kRecords + 1;
    const std::int32_t moved = amount(random);
    std::int32_t from_amount = 0;
    std::int32_t to_amount = 0;
    if (a.read(from_id, from_amount) != 0 || to.read(to_id, to_amount) != 0) _exit(kReadFailed);
    if (n % 7 == 0) {
      // A change that would break the total, rolled back.
      if (a.put_amount(from_id, from_amount + 1000000) != 0) _exit(kPutFailed);
      if (Rollback() != 0) _exit(kRollbackFailed);
      continue;
    }
    if (a.put_amount(from_id, from_amount - moved) != 0) _exit(kPutFailed);
    if (to.put_amount(to_id, to_amount + moved) != 0) _exit(kPutFailed);
    if (Commit() != 0) {
      _exit(kCommitFailed);
    }
  }
  Close(a.file);
  Close(b.file);
  _exit(kStationDone);
}

TEST_F(Ledger, StationsMovingAmountsKeepTheTotalAndBothFilesSound) {
  const int transactions = TransactionsPerStation();
  std::vector<pid_t> stations;
  for (int s = 0; s < kStations; ++s) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) RunStation(path("A"), path("B"), s, transactions);
    stations.push_back(pid);
  }
  for (pid_t pid : stations) {
    bool killed = false;
    EXPECT_EQ(wait_for(pid, killed), kStationDone) << "station " << pid;
  }
  const std::vector<std::int32_t> a = amounts("A");
  const std::vector<std::int32_t> b = amounts("B");
  ASSERT_EQ(a.size(), static_cast<std::size_t>(kRecords));
  ASSERT_EQ(b.size(), static_cast<std::size_t>(kRecords));
  EXPECT_EQ(sum(a) + sum(b), 2 * kRecords * kOpeningAmount);
  EXPECT_NE(a, std::vector<std::int32_t>(kRecords, kOpeningAmount));  // something moved
  EXPECT_TRUE(sound("A"));
  EXPECT_TRUE(sound("B"));
}

}  // namespace
}  // namespace tavero::vmr
