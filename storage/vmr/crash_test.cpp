// The writer process is stopped at each write and each flush of a commit
// (before phase one, inside it, between the phases, inside phase two); the
// next open, in another process, must see the old or the new state, whole.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "storage/vmr/physical_file.h"
#include "storage/vmr/transaction_commit.h"
#include "storage/vmr/vmr_test_support.h"

namespace tavero::vmr {
namespace {

using testing_support::ApplyBatch;
using testing_support::Describe;
using testing_support::MakeBatch;
using testing_support::Model;
using testing_support::Snapshot;
using testing_support::Valid;

constexpr int kMode = 0x12 | kCreateFlag;
constexpr int kCompleted = 3;
constexpr int kKilled = 4;

// Real files; the process ends (without any clean-up) when it reaches the
// chosen write or flush.
class DyingFile final : public testing_support::ForwardingFile {
 public:
  DyingFile(std::unique_ptr<File> file, long& calls, long kill_at)
      : ForwardingFile(std::move(file)), calls_(calls), kill_at_(kill_at) {}
  int WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    Stop();
    return ForwardingFile::WriteAt(offset, data);
  }
  int Sync() override {
    Stop();
    return ForwardingFile::Sync();
  }
  int Truncate(std::uint64_t size) override {
    Stop();
    return ForwardingFile::Truncate(size);
  }

 private:
  void Stop() {
    if (++calls_ == kill_at_) _exit(kKilled);
  }
  long& calls_;
  long kill_at_;
};

class DyingFileSystem final : public FileSystem {
 public:
  explicit DyingFileSystem(long kill_at) : kill_at_(kill_at) {}
  int Open(const std::string& path, OpenMode mode, std::unique_ptr<File>& file) override {
    std::unique_ptr<File> real;
    if (int rc = PosixFileSystem().Open(path, mode, real)) return rc;
    file = std::make_unique<DyingFile>(std::move(real), calls_, kill_at_);
    return 0;
  }
  int Remove(const std::string& path) override { return PosixFileSystem().Remove(path); }

 private:
  long calls_ = 0;
  long kill_at_;
};

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tavero_vmr_crash_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "CARDS.VMR").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(CrashTest, KilledWriterLeavesTheOldOrTheNewState) {
  Model base_model;
  {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), path_, kMode, file).ok());
    for (unsigned s = 1; s <= 4; ++s) ASSERT_TRUE(ApplyBatch(*file, MakeBatch(base_model, s, 500), base_model).ok());
  }
  const std::string base_copy = path_ + ".base";
  std::filesystem::copy_file(path_, base_copy);
  const Model changes = MakeBatch(base_model, 17, 600);
  Model new_model = base_model;
  for (const auto& [key, value] : changes) {
    if (value.empty()) new_model.erase(key);
    else new_model[key] = value;
  }

  int old_seen = 0, new_seen = 0, interrupted_seen = 0;
  for (long kill_at = 1;; ++kill_at) {
    std::filesystem::copy_file(base_copy, path_, std::filesystem::copy_options::overwrite_existing);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      DyingFileSystem fs(kill_at);
      std::unique_ptr<PhysicalFile> file;
      Model model = base_model;
      if (!PhysicalFile::Open(fs, path_, kMode, file).ok()) _exit(1);
      if (!ApplyBatch(*file, changes, model).ok()) _exit(2);
      _exit(kCompleted);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    ASSERT_TRUE(code == kCompleted || code == kKilled) << "child exit " << code << " at " << kill_at;

    {
      std::ifstream in(path_, std::ios::binary);
      std::uint8_t header[14];
      in.read(reinterpret_cast<char*>(header), sizeof header);
      if (Load32(header + 6) != Load32(header + 10)) ++interrupted_seen;
    }
    std::unique_ptr<PhysicalFile> file;
    Status opened = PhysicalFile::Open(PosixFileSystem(), path_, kMode, file);
    ASSERT_TRUE(opened.ok()) << Describe(opened) << " at " << kill_at;
    Model seen;
    ASSERT_TRUE(Snapshot(*file, seen)) << "at " << kill_at;
    ASSERT_TRUE(seen == base_model || seen == new_model) << "at " << kill_at;
    ASSERT_TRUE(Valid(*file, seen.size())) << "at " << kill_at;
    (seen == base_model ? old_seen : new_seen)++;
    if (code == kCompleted) {
      EXPECT_TRUE(seen == new_model);
      break;
    }
  }
  // The loop went through both sides of the commit point, and stopped at
  // least once between the phases.
  EXPECT_GT(old_seen, 0);
  EXPECT_GT(new_seen, 0);
  EXPECT_GT(interrupted_seen, 0);
}

// Two files in one transaction; the writer dies at each write and flush of
// either file or of the control file. Both files show the change or neither.
TEST_F(CrashTest, KilledTransactionChangesBothFilesOrNeither) {
  const std::string paths[2] = {path_, (dir_ / "SETS.VMR").string()};
  const std::string control = (dir_ / "TX.TCF").string();
  const std::string saved_control = TransactionControlFileName();
  SetTransactionControlFileName(control);
  Model old_models[2], new_models[2], changes[2];
  for (int i = 0; i < 2; ++i) {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), paths[i], kMode, file).ok());
    ASSERT_TRUE(ApplyBatch(*file, MakeBatch({}, 30 + i, 400), old_models[i]).ok());
    changes[i] = MakeBatch(old_models[i], 40 + i, 400);
    new_models[i] = old_models[i];
    for (const auto& [key, value] : changes[i]) {
      if (value.empty()) new_models[i].erase(key);
      else new_models[i][key] = value;
    }
    std::filesystem::copy_file(paths[i], paths[i] + ".base");
  }
  int news = 0, olds = 0;
  for (long kill_at = 1;; ++kill_at) {
    for (const auto& p : paths) {
      std::filesystem::copy_file(p + ".base", p, std::filesystem::copy_options::overwrite_existing);
    }
    std::filesystem::remove(control);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      DyingFileSystem fs(kill_at);
      std::unique_ptr<PhysicalFile> files[2];
      for (int i = 0; i < 2; ++i) {
        if (!PhysicalFile::Open(fs, paths[i], kMode, files[i]).ok()) _exit(1);
        files[i]->set_in_transaction(true);
        Model model;
        if (!ApplyBatch(*files[i], changes[i], model).ok()) _exit(2);
      }
      PhysicalFile* list[] = {files[0].get(), files[1].get()};
      _exit(CommitTransaction(fs, list).ok() ? kCompleted : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    ASSERT_TRUE(code == kCompleted || code == kKilled) << "child exit " << code << " at " << kill_at;
    int changed = 0;
    for (int i = 0; i < 2; ++i) {
      std::unique_ptr<PhysicalFile> file;
      ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), paths[i], kMode, file).ok());
      Model seen;
      ASSERT_TRUE(Snapshot(*file, seen)) << "at " << kill_at;
      ASSERT_TRUE(Valid(*file, seen.size())) << "at " << kill_at;
      seen.erase(std::string(1, '\xFF'));
      ASSERT_TRUE(seen == old_models[i] || seen == new_models[i]) << "at " << kill_at;
      changed += seen == new_models[i];
    }
    ASSERT_TRUE(changed == 0 || changed == 2) << "at " << kill_at;
    (changed ? news : olds)++;
    if (code == kCompleted) {
      EXPECT_EQ(changed, 2);
      break;
    }
  }
  SetTransactionControlFileName(saved_control);
  EXPECT_GT(olds, 0);
  EXPECT_GT(news, 0);
}

TEST_F(CrashTest, ReadOnlySharedStationTakesItsReaderSlot) {
  Model model;
  {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), path_, kMode, file).ok());
    ASSERT_TRUE(ApplyBatch(*file, MakeBatch(model, 5, 50), model).ok());
  }
  std::unique_ptr<PhysicalFile> reader, other;
  ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), path_, 0x40, reader).ok());
  ASSERT_TRUE(PhysicalFile::Open(PosixFileSystem(), path_, 0x40, other).ok());
  Model seen;
  ASSERT_TRUE(Snapshot(*reader, seen));
  EXPECT_EQ(seen, model);
  // Two readers at once.
  ASSERT_TRUE(reader->RefreshHeader().ok());
  ASSERT_TRUE(other->RefreshHeader().ok());
  ASSERT_TRUE(reader->EndOperation().ok());
  ASSERT_TRUE(other->EndOperation().ok());
}

}  // namespace
}  // namespace tavero::vmr
