#include "storage/vmr/transaction_commit.h"

#include <gtest/gtest.h>

#include "storage/vmr/fault_file_system.h"
#include "storage/vmr/vmr_test_support.h"

namespace tavero::vmr {
namespace {

using testing_support::Describe;
using testing_support::MakeBatch;
using testing_support::Model;
using testing_support::Snapshot;
using testing_support::Valid;

constexpr int kMode = 0x42 | kCreateFlag;
const std::string kMarker(1, '\xFF');

Model Without(Model model) {
  model.erase(kMarker);
  return model;
}

// Applies `changes` to `file` without committing.
Status Change(PhysicalFile& file, const Model& changes) {
  VMR_TRY(file.BeginWrite());
  VMR_TRY(file.RefreshHeader());
  for (const auto& [key, value] : changes) {
    std::optional<Record> r;
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

class Transaction : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_name_ = TransactionControlFileName();
    SetTransactionControlFileName("TX.TCF");
    for (int i = 0; i < 2; ++i) {
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

  // Both files changed and committed as one transaction.
  Status Run() {
    std::unique_ptr<PhysicalFile> files[2];
    for (int i = 0; i < 2; ++i) {
      VMR_TRY(PhysicalFile::Open(fs_, names_[i], kMode, files[i]));
      files[i]->set_in_transaction(true);
      VMR_TRY(Change(*files[i], changes_[i]));
      VMR_TRY(files[i]->EndOperation());
    }
    PhysicalFile* list[] = {files[0].get(), files[1].get()};
    return CommitTransaction(fs_, list);
  }

  // Both files show the old state or both the new one.
  void ExpectAllOrNothing(const char* where, int& new_count) {
    int news = 0;
    for (int i = 0; i < 2; ++i) {
      std::unique_ptr<PhysicalFile> file;
      Status s = PhysicalFile::Open(fs_, names_[i], kMode, file);
      ASSERT_TRUE(s.ok()) << Describe(s) << where;
      Model seen;
      ASSERT_TRUE(Snapshot(*file, seen)) << where;
      ASSERT_TRUE(Valid(*file, seen.size())) << where;
      seen = Without(seen);
      ASSERT_TRUE(seen == old_[i] || seen == new_[i]) << where;
      news += seen == new_[i];
    }
    ASSERT_TRUE(news == 0 || news == 2) << where;
    new_count += news / 2;
  }

  FaultFileSystem fs_;
  std::string saved_name_;
  const std::string names_[2] = {"A.VMR", "B.VMR"};
  Model old_[2], new_[2], changes_[2];
  std::vector<std::uint8_t> base_[2];
};

TEST_F(Transaction, CommitsBothFilesAndLeavesTheControlFileEmpty) {
  ASSERT_TRUE(Run().ok());
  int news = 0;
  ExpectAllOrNothing("", news);
  EXPECT_EQ(news, 1);
  std::unique_ptr<PhysicalFile> control;
  ASSERT_TRUE(PhysicalFile::Open(fs_, "TX.TCF", kMode, control).ok());
  Model listed;
  ASSERT_TRUE(Snapshot(*control, listed));
  EXPECT_TRUE(listed.empty());
  // Each file carries a marker naming the transaction and the control file.
  std::unique_ptr<PhysicalFile> a;
  ASSERT_TRUE(PhysicalFile::Open(fs_, names_[0], kMode, a).ok());
  ASSERT_TRUE(a->RefreshHeader().ok());
  std::optional<Record> marker;
  ASSERT_TRUE(a->Find(FindMode::kExact, kMarker, marker).ok());
  ASSERT_TRUE(marker);
  EXPECT_EQ(marker->data().substr(4), std::string("TX.TCF", 7));
}

TEST_F(Transaction, UnchangedOrSingleFilesNeedNoControlFile) {
  changes_[1].clear();
  new_[1] = old_[1];
  ASSERT_TRUE(Run().ok());
  EXPECT_FALSE(fs_.Exists("TX.TCF"));
}

TEST_F(Transaction, MarkerOfAListedTransactionRollsBack) {
  // A marker whose transaction is still listed, found between the phases.
  std::unique_ptr<PhysicalFile> control;
  ASSERT_TRUE(PhysicalFile::Open(fs_, "TX.TCF", kMode, control).ok());
  ASSERT_TRUE(Change(*control, {{std::string("\0\0\0\x07", 4), " "}}).ok());
  ASSERT_TRUE(control->EndOperation().ok());
  {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(fs_, names_[0], kMode, file).ok());
    Model changes = changes_[0];
    changes[kMarker] = TransactionMarker(7, "TX.TCF");
    ASSERT_TRUE(Change(*file, changes).ok());
    ASSERT_TRUE(file->CommitPhaseOne().ok());
  }
  std::unique_ptr<PhysicalFile> file;
  ASSERT_TRUE(PhysicalFile::Open(fs_, names_[0], kMode, file).ok());
  Model seen;
  ASSERT_TRUE(Snapshot(*file, seen));
  EXPECT_EQ(seen, old_[0]);
}

// I/O errors and power loss at every call of a two-file commit.
TEST_F(Transaction, EveryCallOfTheCommitLeavesBothOrNeither) {
  int news = 0, olds = 0;
  for (std::uint64_t n = 1;; ++n) {
    bool finished = false;
    for (auto mode : {FaultFileSystem::CrashMode::kLoseUnsynced, FaultFileSystem::CrashMode::kRandom}) {
      for (int i = 0; i < 2; ++i) fs_.SetContents(names_[i], base_[i]);
      fs_.Remove("TX.TCF");
      fs_.FailCall(n, true);
      Status s = Run();
      finished = !fs_.failure_happened();
      if (finished) {
        ASSERT_TRUE(s.ok()) << Describe(s);
      }
      fs_.FailCall(0);
      fs_.Crash(mode, static_cast<std::uint32_t>(n));
      int before = news;
      ExpectAllOrNothing((" call " + std::to_string(n)).c_str(), news);
      if (news == before) ++olds;
      if (::testing::Test::HasFatalFailure()) return;
    }
    if (finished) break;
  }
  EXPECT_GT(news, 0);
  EXPECT_GT(olds, 0);
}

}  // namespace
}  // namespace tavero::vmr
