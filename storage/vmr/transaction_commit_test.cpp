#include "storage/vmr/transaction_commit.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "storage/vmr/fault_file_system.h"
#include "storage/vmr/vmr_test_support.h"

namespace tavero::vmr {
namespace {

using testing_support::Describe;
using testing_support::ForwardingFile;
using testing_support::MakeBatch;
using testing_support::Model;
using testing_support::Snapshot;
using testing_support::Valid;

constexpr int kMode = 0x42 | kCreateFlag;
const std::string kMarker(1, '\xFF');
const std::string kControlFile = "/tx/TX.TCF";

Model Without(Model model) {
  model.erase(kMarker);
  return model;
}

// Applies `changes` to `file` without committing.
Status Change(PhysicalFile& file, const Model& changes) {
  VMR_TRY(file.BeginWrite());
  VMR_TRY(file.RefreshHeader());
  for (const auto& [key, value] : changes) {
    std::optional<RecordCopy> r;
    VMR_TRY(file.Find(FindMode::kExact, key, r));
    bool found;
    if (value.empty()) VMR_TRY(file.Erase(key, found));
    else if (r) VMR_TRY(file.Replace(key, value));
    else VMR_TRY(file.Insert(key, value));
  }
  return Status::Ok();
}

Model Applied(Model model, const Model& changes) {
  for (const auto& [key, value] : changes) {
    if (value.empty()) model.erase(key);
    else model[key] = value;
  }
  return model;
}

// The numbers the control file lists (4-byte key parts).
std::vector<std::string> ListedNumbers(FileSystem& fs) {
  std::vector<std::string> numbers;
  std::unique_ptr<PhysicalFile> control;
  if (!PhysicalFile::Open(fs, kControlFile, kMode, control).ok()) return {"cannot open"};
  Model listed;
  if (!Snapshot(*control, listed)) return {"cannot read"};
  for (const auto& [key, data] : listed) {
    if (key.size() == 4) numbers.push_back(key);
  }
  return numbers;
}

// A file system that refuses to open one path: `error` for every open.
class RefusingFileSystem final : public FileSystem {
 public:
  RefusingFileSystem(FileSystem& inner, std::string path, int error)
      : inner_(inner), path_(std::move(path)), error_(error) {}
  int Open(const std::string& path, OpenMode mode, std::unique_ptr<File>& file) override {
    if (path == path_) return error_;
    return inner_.Open(path, mode, file);
  }
  int Remove(const std::string& path) override { return inner_.Remove(path); }

 private:
  FileSystem& inner_;
  std::string path_;
  int error_;
};

// Two or three files changed in one transaction (the parameter: how many).
class Transaction : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    saved_name_ = TransactionControlFileName();
    SetTransactionControlFileName(kControlFile);
    count_ = GetParam();
    for (int i = 0; i < count_; ++i) {
      std::unique_ptr<PhysicalFile> file;
      ASSERT_TRUE(PhysicalFile::Open(fs_, names_[i], kMode, file).ok());
      ASSERT_TRUE(Change(*file, MakeBatch({}, 10 + i, 300)).ok());
      ASSERT_TRUE(file->EndOperation().ok());
      ASSERT_TRUE(Snapshot(*file, old_[i]));
      changes_[i] = MakeBatch(old_[i], 20 + i, 300);
      new_[i] = Applied(old_[i], changes_[i]);
      base_[i] = fs_.Contents(names_[i]);
    }
  }
  void TearDown() override { SetTransactionControlFileName(saved_name_); }

  void Reset() {
    for (int i = 0; i < count_; ++i) fs_.SetContents(names_[i], base_[i]);
    fs_.Remove(kControlFile);
  }

  // Every file changed and committed as one transaction.
  Status Run(const CommitProbe& probe = {}) {
    std::vector<std::unique_ptr<PhysicalFile>> files(count_);
    std::vector<PhysicalFile*> list;
    for (int i = 0; i < count_; ++i) {
      VMR_TRY(PhysicalFile::Open(fs_, names_[i], kMode, files[i]));
      files[i]->set_in_transaction(true);
      VMR_TRY(Change(*files[i], changes_[i]));
      VMR_TRY(files[i]->EndOperation());
      list.push_back(files[i].get());
    }
    return CommitTransaction(fs_, list, probe);
  }

  // Every file whole, and all of them show the old state or all the new
  // one; `new_count` counts the transactions found committed.
  void ExpectAllOrNothing(const std::string& where, int& new_count) {
    int news = 0;
    for (int i = 0; i < count_; ++i) {
      std::unique_ptr<PhysicalFile> file;
      Status s = PhysicalFile::Open(fs_, names_[i], kMode, file);
      ASSERT_TRUE(s.ok()) << Describe(s) << where;
      Model seen;
      ASSERT_TRUE(Snapshot(*file, seen)) << where;
      ASSERT_TRUE(Valid(*file, seen.size())) << where;
      seen = Without(seen);
      ASSERT_TRUE(seen == old_[i] || seen == new_[i]) << where << " file " << i;
      news += seen == new_[i];
    }
    ASSERT_TRUE(news == 0 || news == count_) << where << ": " << news << " of " << count_ << " files changed";
    new_count += news / count_;
  }

  // The transaction number in file `i`'s marker.
  std::string MarkerNumber(int i) {
    std::unique_ptr<PhysicalFile> file;
    EXPECT_TRUE(PhysicalFile::Open(fs_, names_[i], kMode, file).ok());
    Model seen;
    EXPECT_TRUE(Snapshot(*file, seen));
    return seen[kMarker].substr(0, 4);
  }

  FaultFileSystem fs_;
  std::string saved_name_;
  int count_ = 0;
  const std::string names_[3] = {"/data/A.VMR", "/data/B.VMR", "/data/C.VMR"};
  Model old_[3], new_[3], changes_[3];
  std::vector<std::uint8_t> base_[3];
};

TEST_P(Transaction, CommitsEveryFileAndLeavesNoNumberListed) {
  ASSERT_TRUE(Run().ok());
  int news = 0;
  ExpectAllOrNothing("", news);
  EXPECT_EQ(news, 1);
  EXPECT_TRUE(ListedNumbers(fs_).empty());
  // Each file carries a marker naming the transaction, the control file by
  // its absolute name, and the change counter the commit gave the file.
  std::unique_ptr<PhysicalFile> a;
  ASSERT_TRUE(PhysicalFile::Open(fs_, names_[0], kMode, a).ok());
  ASSERT_TRUE(a->RefreshHeader().ok());
  std::optional<RecordCopy> marker;
  ASSERT_TRUE(a->Find(FindMode::kExact, kMarker, marker).ok());
  ASSERT_TRUE(marker);
  ParsedMarker parsed;
  ASSERT_TRUE(ParseTransactionMarker(marker->data(), parsed));
  EXPECT_EQ(parsed.control_file, kControlFile);
  EXPECT_EQ(parsed.change_counter, a->header().change_counter);
}

TEST_P(Transaction, UnchangedOrSingleFilesNeedNoControlFile) {
  for (int i = 1; i < count_; ++i) {
    changes_[i].clear();
    new_[i] = old_[i];
  }
  ASSERT_TRUE(Run().ok());
  EXPECT_FALSE(fs_.Exists(kControlFile));
}

TEST_P(Transaction, NumbersNeverRepeat) {
  // Two transactions within the same second get different numbers, each
  // above the one before.
  ASSERT_TRUE(Run().ok());
  const std::string first = MarkerNumber(0);
  changes_[0] = MakeBatch(new_[0], 30, 10);
  changes_[1] = MakeBatch(new_[1], 31, 10);
  ASSERT_TRUE(Run().ok());
  const std::string second = MarkerNumber(0);
  EXPECT_EQ(second, MarkerNumber(1));
  EXPECT_GT(second, first);
}

// I/O errors, once or from then on, at every call of the commit, each
// followed by no crash or a crash that loses, keeps or tears the unflushed
// writes: after reopening, every file is whole and all or none changed.
TEST_P(Transaction, EveryFailedCallLeavesAllOrNothing) {
  using Mode = FaultFileSystem::CrashMode;
  const std::optional<Mode> crashes[] = {std::nullopt, Mode::kLoseUnsynced, Mode::kKeepUnsynced, Mode::kRandom};
  int news = 0, olds = 0;
  for (std::uint64_t n = 1;; ++n) {
    bool finished = false;
    for (const bool persistent : {false, true}) {
      for (const auto& crash : crashes) {
        Reset();
        fs_.FailCall(n, persistent);
        const Status s = Run();
        finished = !fs_.failure_happened();
        if (finished) {
          ASSERT_TRUE(s.ok()) << Describe(s);
        }
        fs_.FailCall(0);
        if (crash) fs_.Crash(*crash, static_cast<std::uint32_t>(n));
        const int before = news;
        ExpectAllOrNothing(" call " + std::to_string(n) + (persistent ? " on" : " once") + " crash " +
                               std::to_string(crash ? static_cast<int>(*crash) : -1),
                           news);
        if (::testing::Test::HasFatalFailure()) return;
        if (news == before) {
          // A commit that reported success is never found undone.
          ASSERT_FALSE(s.ok()) << " call " << n;
          ++olds;
        }
      }
    }
    if (finished) break;
  }
  EXPECT_GT(news, 0);
  EXPECT_GT(olds, 0);
}

TEST_P(Transaction, ACrashedNumberIsPurgedOnceItsFilesAreRecovered) {
  // Every call fails from the commit point on: the number cannot be erased
  // and the files cannot be set back, so it stays listed.
  const Status failed = Run([&](CommitStep step) {
    if (step == CommitStep::BeforeCommitPoint) fs_.FailCall(1, true);
  });
  ASSERT_FALSE(failed.ok());
  fs_.FailCall(0);
  fs_.Crash(FaultFileSystem::CrashMode::kKeepUnsynced);
  ASSERT_EQ(ListedNumbers(fs_).size(), 1u);
  int news = 0;
  ExpectAllOrNothing(" after the crash", news);  // the reopen rolls each file back
  ASSERT_EQ(news, 0);
  ASSERT_TRUE(Run().ok());
  EXPECT_TRUE(ListedNumbers(fs_).empty());
}

TEST_P(Transaction, ANumberInProgressIsNotPurged) {
  // Another station's transaction: listed, locked, naming our files.
  std::unique_ptr<PhysicalFile> control;
  ASSERT_TRUE(PhysicalFile::Open(fs_, kControlFile, kMode, control).ok());
  const std::string number("\x01\x02\x03\x04", 4);
  std::string names;
  for (int i = 0; i < count_; ++i) names.append(names_[i]).push_back('\0');
  ASSERT_TRUE(Change(*control, {{number, names}}).ok());
  ASSERT_TRUE(control->EndOperation().ok());
  bool locked = false;
  ASSERT_TRUE(control->TryLockIdentifier(std::span<const std::uint8_t, 4>(
                                             reinterpret_cast<const std::uint8_t*>(number.data()), 4),
                                         locked)
                  .ok());
  ASSERT_TRUE(locked);
  ASSERT_TRUE(Run().ok());
  EXPECT_EQ(ListedNumbers(fs_), std::vector<std::string>{number});
  control.reset();  // that station is gone: the next commit purges its number
  changes_[0] = MakeBatch(new_[0], 30, 10);
  changes_[1] = MakeBatch(new_[1], 31, 10);
  ASSERT_TRUE(Run().ok());
  EXPECT_TRUE(ListedNumbers(fs_).empty());
}

INSTANTIATE_TEST_SUITE_P(Files, Transaction, ::testing::Values(2, 3),
                         [](const auto& info) { return std::to_string(info.param) + "Files"; });

// ---- recovery and the marker ----

class Recovery : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_name_ = TransactionControlFileName();
    SetTransactionControlFileName(kControlFile);
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(fs_, kFile, kMode, file).ok());
    ASSERT_TRUE(Change(*file, MakeBatch({}, 1, 200)).ok());
    ASSERT_TRUE(file->EndOperation().ok());
    ASSERT_TRUE(Snapshot(*file, old_));
    counter_ = file->header().change_counter;
  }
  void TearDown() override { SetTransactionControlFileName(saved_name_); }

  void List(std::uint32_t number) {
    std::unique_ptr<PhysicalFile> control;
    ASSERT_TRUE(PhysicalFile::Open(fs_, kControlFile, kMode, control).ok());
    std::string key(4, '\0');
    for (int i = 0; i < 4; ++i) key[i] = static_cast<char>(number >> (24 - 8 * i));
    ASSERT_TRUE(Change(*control, {{key, " "}}).ok());
    ASSERT_TRUE(control->EndOperation().ok());
  }

  // Leaves the file between the phases of a commit that also writes
  // `marker`, when given.
  void Interrupt(const std::optional<std::string>& marker) {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(fs_, kFile, kMode, file).ok());
    Model changes = MakeBatch(old_, 2, 50);
    if (marker) changes[kMarker] = *marker;
    ASSERT_TRUE(Change(*file, changes).ok());
    new_ = Applied(old_, changes);
    ASSERT_TRUE(file->CommitPhaseOne().ok());
  }

  Status Reopen(FileSystem& fs, Model& seen) {
    std::unique_ptr<PhysicalFile> file;
    VMR_TRY(PhysicalFile::Open(fs, kFile, kMode, file));
    if (!Snapshot(*file, seen)) return Status::Internal(__LINE__);
    return Status::Ok();
  }

  const std::string kFile = "/data/A.VMR";
  FaultFileSystem fs_;
  std::string saved_name_;
  Model old_, new_;
  std::uint32_t counter_ = 0;
};

TEST_F(Recovery, AListedMarkerOfThisCommitRollsBack) {
  List(7);
  Interrupt(TransactionMarker(7, kControlFile, counter_ + 1));
  Model seen;
  ASSERT_TRUE(Reopen(fs_, seen).ok());
  EXPECT_EQ(seen, old_);
}

TEST_F(Recovery, AStaleMarkerDoesNotRollBackALaterCommit) {
  // A marker left by an earlier commit (counter_), whose number is listed
  // again: the later single-file commit is finished all the same.
  {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(fs_, kFile, kMode, file).ok());
    ASSERT_TRUE(Change(*file, {{kMarker, TransactionMarker(7, kControlFile, counter_ + 1)}}).ok());
    ASSERT_TRUE(file->EndOperation().ok());
    ASSERT_TRUE(Snapshot(*file, old_));
  }
  List(7);
  Interrupt(std::nullopt);
  Model seen;
  ASSERT_TRUE(Reopen(fs_, seen).ok());
  EXPECT_EQ(seen, new_);
}

TEST_F(Recovery, AMarkerWithoutCounterStillSpeaksForTheCommit) {
  // Markers written before they carried the counter end at the name's 0.
  List(7);
  Interrupt(std::string("\0\0\0\x07", 4) + kControlFile + std::string(1, '\0'));
  Model seen;
  ASSERT_TRUE(Reopen(fs_, seen).ok());
  EXPECT_EQ(seen, old_);
}

TEST_F(Recovery, AControlFileThatCannotBeReadRefusesTheOpenAndChangesNothing) {
  const std::string foreign = "/home/someone-else/.velmoran.tcf";
  struct Case {
    const char* name;
    std::string control_file;
    int open_error;  // 0: the file system opens it
    bool refused;
  };
  const Case cases[] = {
      {"permission denied", kControlFile, EACCES, true},
      {"I/O error", kControlFile, EIO, true},
      {"another user's control file missing", foreign, 0, true},
      {"a relative name missing", "TX.TCF", 0, true},
      {"this user's control file missing", kControlFile, 0, false},
  };
  const auto base = fs_.Contents(kFile);
  for (const Case& c : cases) {
    fs_.SetContents(kFile, base);
    fs_.Remove(kControlFile);
    Interrupt(TransactionMarker(7, c.control_file, counter_ + 1));
    const auto interrupted = fs_.Contents(kFile);
    RefusingFileSystem refusing(fs_, c.control_file, c.open_error);
    FileSystem& fs = c.open_error != 0 ? static_cast<FileSystem&>(refusing) : fs_;
    Model seen;
    const Status s = Reopen(fs, seen);
    if (c.refused) {
      EXPECT_FALSE(s.ok()) << c.name;
      EXPECT_EQ(fs_.Contents(kFile), interrupted) << c.name;
    } else {
      ASSERT_TRUE(s.ok()) << c.name << " " << Describe(s);
      EXPECT_EQ(seen, new_) << c.name;
    }
  }
}

TEST(TransactionControlFileName, IsKeptAbsolute) {
  const std::string saved = TransactionControlFileName();
  SetTransactionControlFileName("relative.tcf");
  EXPECT_EQ(TransactionControlFileName().front(), '/');
  EXPECT_TRUE(TransactionControlFileName().ends_with("/relative.tcf"));
  SetTransactionControlFileName(saved);
}

}  // namespace
}  // namespace tavero::vmr
