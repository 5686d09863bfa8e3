#include "storage/vmr/physical_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "storage/vmr/fault_file_system.h"
#include "storage/vmr/vmr_test_support.h"

namespace tavero::vmr {
namespace {

using testing_support::ApplyBatch;
using testing_support::Describe;
using testing_support::MakeBatch;
using testing_support::Model;
using testing_support::Snapshot;
using testing_support::Valid;

constexpr int kExclusive = 0x12 | kCreateFlag;  // read/write, deny all
constexpr int kShared = 0x42 | kCreateFlag;     // read/write, deny none
const std::string kPath = "CARDS.VMR";

class VmrFile : public ::testing::Test {
 protected:
  std::unique_ptr<PhysicalFile> Open(int mode = kExclusive, PhysicalFile::TransactionLookup lookup = {}) {
    std::unique_ptr<PhysicalFile> file;
    Status s = PhysicalFile::Open(fs_, kPath, mode, file, std::move(lookup));
    EXPECT_TRUE(s.ok()) << Describe(s);
    return file;
  }
  Status OpenStatus(int mode = kExclusive) {
    std::unique_ptr<PhysicalFile> file;
    return PhysicalFile::Open(fs_, kPath, mode, file);
  }
  std::vector<std::uint8_t> Bytes() { return fs_.Contents(kPath); }

  FaultFileSystem fs_;
};

std::string Key(int table, std::uint8_t kind, int n) {
  std::string key(4, '\0');
  key[2] = static_cast<char>(table >> 8);
  key[3] = static_cast<char>(table);
  key += static_cast<char>(kind);
  for (int shift = 24; shift >= 0; shift -= 8) key += static_cast<char>(n >> shift);
  return key;
}

TEST_F(VmrFile, NewEmptyFileOpensAndFirstCommitWritesTheHeader) {
  auto file = Open();
  ASSERT_TRUE(file);
  EXPECT_TRUE(Bytes().empty());
  Model model;
  ASSERT_TRUE(Snapshot(*file, model));
  EXPECT_TRUE(model.empty());

  ASSERT_TRUE(ApplyBatch(*file, {{Key(1, 0xF3, 1), "row"}}, model).ok());
  auto bytes = Bytes();
  ASSERT_GE(bytes.size(), kHeaderSize);
  EXPECT_EQ(Load16(&bytes[4]), kHeaderSize);
  EXPECT_EQ(std::string(bytes.begin() + 14, bytes.begin() + 18), "vElM");
  EXPECT_EQ(Load32(&bytes[6]), Load32(&bytes[10]));
  // One leaf page of one block, zone 1 at block 0.
  EXPECT_EQ(Load32(&bytes[6]), kHeaderSize + kBlockSize);
  EXPECT_EQ(Load32(&bytes[32 + 4]), 0u);
  EXPECT_EQ(Load32(&bytes[272 + 4]), 1u);
  file.reset();
  file = Open();
  ASSERT_TRUE(Snapshot(*file, model));
  EXPECT_EQ(model.size(), 1u);
}

TEST_F(VmrFile, SplitRules) {
  struct Case {
    int count;
    std::size_t record_length;
    int height;
  } cases[] = {
      {20, 200, 1},  // 20 x 205 = 4100 bytes, but only 20 records
      {21, 200, 2},  // over 4096 with more than 20 records
      {20, 700, 1},  // 14100: 20 records of 700 stay on one page
      {19, 780, 1},  // 14915
      {20, 780, 2},  // 15700 exceeds 15094
      {1, kMaxRecordLength, 1},  // a page of a single record never splits
  };
  for (const Case& c : cases) {
    fs_.Remove(kPath);
    auto file = Open();
    Model batch, model;
    for (int i = 0; i < c.count; ++i) {
      std::string key = Key(1, 0xF3, i);
      batch[key] = std::string(c.record_length - key.size(), static_cast<char>('a' + i % 26));
    }
    ASSERT_TRUE(ApplyBatch(*file, batch, model).ok());
    TreeStatistics statistics;
    ASSERT_TRUE(file->Validate(statistics).ok());
    EXPECT_EQ(statistics.height, c.height) << c.count << " x " << c.record_length;
    EXPECT_EQ(statistics.records, static_cast<std::uint64_t>(c.count));
  }
}

TEST_F(VmrFile, PagesFilledInOrderStayFull) {
  // 2000 records of 100 bytes: a page takes 39 of them before it splits
  // (40 x 105 > 4096). Records that arrive in order, before a run of
  // others (a table's status records after its rows), fill their pages
  // (cut in the middle, the same rows took 96 pages); other orders
  // still split in the middle.
  enum class Order { kAscending, kDescending, kRandom };
  struct Case {
    Order order;
    std::uint64_t most_pages;
  } cases[] = {
      {Order::kAscending, 2000 / 35 + 1},       // 35 rows or more a leaf, beside the records after them
      {Order::kDescending, 2000 / 19 + 1 + 3},  // no worse than half full
      {Order::kRandom, 2000 / 19 + 1 + 3},
  };
  for (const Case& c : cases) {
    fs_.Remove(kPath);
    auto file = Open();
    std::vector<int> numbers(2000);
    for (int i = 0; i < 2000; ++i) numbers[i] = i;
    if (c.order == Order::kDescending) std::reverse(numbers.begin(), numbers.end());
    if (c.order == Order::kRandom) std::shuffle(numbers.begin(), numbers.end(), std::mt19937(5));
    ASSERT_TRUE(file->BeginWrite().ok());
    ASSERT_TRUE(file->RefreshHeader().ok());
    for (int k = 0; k < 5; ++k) ASSERT_TRUE(file->Insert(Key(1, 0xF6, k), std::string(8, 's')).ok());
    for (int n : numbers) {
      const std::string key = Key(1, 0xF3, n);
      ASSERT_TRUE(file->Insert(key, std::string(100 - key.size(), static_cast<char>('a' + n % 26))).ok());
    }
    ASSERT_TRUE(file->EndOperation().ok());
    TreeStatistics statistics;
    ASSERT_TRUE(file->Validate(statistics).ok());
    EXPECT_EQ(statistics.records, 2005u);
    EXPECT_LE(statistics.pages, c.most_pages) << static_cast<int>(c.order);
  }
}

TEST_F(VmrFile, ATrimmedCacheKeepsThreeQuartersOfItsPages) {
  // 2000 rows of 100 bytes fill some 57 leaves; the cache holds 20. Rows
  // read at random overflow it again and again; each trim frees a quarter,
  // so the cache never starts again from nothing.
  auto file = Open();
  Model model;
  Model rows;
  for (int n = 0; n < 2000; ++n) rows[Key(1, 0xF3, n)] = std::string(91, static_cast<char>('a' + n % 26));
  ASSERT_TRUE(ApplyBatch(*file, rows, model).ok());
  file->set_cache_limit(20);
  std::mt19937 random(11);
  std::size_t fewest = ~std::size_t{0};
  for (int i = 0; i < 2000; ++i) {
    ASSERT_TRUE(file->RefreshHeader().ok());
    const Record* found = nullptr;
    const std::string key = Key(1, 0xF3, static_cast<int>(random() % 2000));
    ASSERT_TRUE(file->Find(FindMode::kExact, key, found).ok());
    ASSERT_NE(found, nullptr);
    ASSERT_TRUE(file->EndOperation().ok());
    if (i >= 100) fewest = std::min(fewest, file->cached_pages());
  }
  EXPECT_GE(fewest, 15u);
  EXPECT_LE(fewest, 21u);
}

TEST_F(VmrFile, SeparatorsFollowTheFirstRecordOfEachChild) {
  // Inserting below the first separator and erasing first records keeps
  // every separator equal to its child's first key (checked by Validate).
  auto file = Open();
  Model model;
  for (int round = 0; round < 30; ++round) {
    Model batch;
    for (int i = 0; i < 40; ++i) batch[Key(1, 0xF3, 100000 - round * 100 - i)] = std::string(150, 'x');
    ASSERT_TRUE(ApplyBatch(*file, batch, model).ok());
    ASSERT_TRUE(Valid(*file, model.size()));
  }
  for (int round = 0; round < 20; ++round) {
    Model batch;
    auto it = model.begin();
    for (int i = 0; i < 37 && it != model.end(); ++i, ++it) batch[it->first] = "";
    ASSERT_TRUE(ApplyBatch(*file, batch, model).ok());
    ASSERT_TRUE(Valid(*file, model.size()));
  }
}

TEST_F(VmrFile, FindModes) {
  auto file = Open();
  Model model;
  ASSERT_TRUE(ApplyBatch(*file, {{"b", "1"}, {"d", "2"}, {"f", "3"}, {std::string(1, '\xFF'), "m"}}, model).ok());
  ASSERT_TRUE(file->RefreshHeader().ok());
  struct Case {
    FindMode mode;
    std::string key;
    std::optional<std::string> found;
  } cases[] = {
      {FindMode::kExact, "d", "d"},       {FindMode::kExact, "c", std::nullopt},
      {FindMode::kFirstNotBelow, "c", "d"}, {FindMode::kFirstNotBelow, "d", "d"},
      {FindMode::kFirstAbove, "d", "f"},   {FindMode::kFirstAbove, "\xFF", std::nullopt},
      {FindMode::kLastBelow, "d", "b"},    {FindMode::kLastBelow, "b", std::nullopt},
      {FindMode::kLastBelow, "a", std::nullopt}, {FindMode::kFirstNotBelow, "", "b"},
  };
  for (const Case& c : cases) {
    std::optional<RecordCopy> r;
    ASSERT_TRUE(file->Find(c.mode, c.key, r).ok());
    EXPECT_EQ(r ? std::optional<std::string>(std::string(r->key())) : std::nullopt, c.found) << c.key;
  }
  std::optional<RecordCopy> r;
  ASSERT_TRUE(file->LastWithPrefix("\xFF", r).ok());
  ASSERT_TRUE(r);
  EXPECT_EQ(r->data(), "m");
  ASSERT_TRUE(file->FirstWithPrefix("e", r).ok());
  EXPECT_FALSE(r);
  ASSERT_TRUE(file->LastWithPrefix("c", r).ok());
  EXPECT_FALSE(r);
  ASSERT_TRUE(file->EndOperation().ok());
}

TEST_F(VmrFile, UpdateRewritesTheDataItFindsAndOnlyWhenAsked) {
  auto file = Open();
  Model model;
  ASSERT_TRUE(ApplyBatch(*file, {{"count", "1"}, {"other", std::string(3000, 'x')}}, model).ok());
  ASSERT_TRUE(file->BeginWrite().ok());
  ASSERT_TRUE(file->RefreshHeader().ok());
  bool found = false;
  const auto keep = [](std::string&) { return false; };
  ASSERT_TRUE(file->Update("count", keep, found).ok());
  EXPECT_TRUE(found);
  EXPECT_FALSE(file->header_changed());  // nothing to commit
  ASSERT_TRUE(file->Update("missing", keep, found).ok());
  EXPECT_FALSE(found);
  const auto grow = [](std::string& data) {
    data += std::string(3500, '2');
    return true;
  };
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(file->Update("count", grow, found).ok());  // splits as it grows
  ASSERT_TRUE(file->EndOperation().ok());
  model["count"] = "1" + std::string(14000, '2');
  Model seen;
  ASSERT_TRUE(Snapshot(*file, seen));
  EXPECT_EQ(seen, model);
  ASSERT_TRUE(Valid(*file, 2));
}

TEST_F(VmrFile, IdentifiersComeFromTheBigEndianCounter) {
  auto file = Open();
  ASSERT_TRUE(file->BeginWrite().ok());
  ASSERT_TRUE(file->RefreshHeader().ok());
  std::array<std::uint8_t, 4> id;
  for (int i = 1; i <= 300; ++i) ASSERT_TRUE(file->IssueIdentifier(id).ok());
  EXPECT_EQ(id, (std::array<std::uint8_t, 4>{0, 0, 1, 44}));
  ASSERT_TRUE(file->EndOperation().ok());
  EXPECT_EQ(Bytes()[22], 1);
  EXPECT_EQ(Bytes()[23], 44);
  // Issuing in the read phase is an internal error.
  ASSERT_TRUE(file->RefreshHeader().ok());
  EXPECT_TRUE(file->IssueIdentifier(id).is_internal());
  ASSERT_TRUE(file->EndOperation().ok());
  file.reset();

  // The first byte may not reach 0xFE.
  auto bytes = Bytes();
  bytes[20] = 0xFD;
  bytes[21] = bytes[22] = bytes[23] = 0xFF;
  fs_.SetContents(kPath, bytes);
  file = Open();
  ASSERT_TRUE(file->BeginWrite().ok());
  ASSERT_TRUE(file->RefreshHeader().ok());
  EXPECT_TRUE(file->IssueIdentifier(id).is_internal());
}

TEST_F(VmrFile, DamagedHeadersAreInvalidDataFiles) {
  {
    auto file = Open();
    Model model;
    ASSERT_TRUE(ApplyBatch(*file, {{"k", "v"}}, model).ok());
  }
  const auto good = Bytes();
  auto damage = [&](auto change) {
    auto bytes = good;
    change(bytes);
    fs_.SetContents(kPath, bytes);
    return OpenStatus();
  };
  EXPECT_TRUE(damage([](auto& b) { b[15] = 'e'; }).is_error(36));                  // magic
  EXPECT_TRUE(damage([](auto& b) { Store16(&b[4], 256); }).is_error(36));          // header size
  EXPECT_TRUE(damage([](auto& b) { b.resize(100); }).is_error(36));                // short file
  EXPECT_TRUE(damage([](auto& b) { Store32(&b[10], 0x70000000); }).is_error(36));  // beyond the file
  EXPECT_TRUE(damage([](auto& b) { Store32(&b[32 + 8], 5); }).is_error(36));       // zone 2 empty but misplaced
  EXPECT_TRUE(damage([](auto& b) { Store32(&b[272 + 4], 7); }).is_error(36));      // zone beyond the lengths
  EXPECT_TRUE(damage([](auto& b) { Store32(&b[28], 9); }).is_error(36));           // root outside every zone
  EXPECT_TRUE(damage([](auto&) {}).ok());
}

TEST_F(VmrFile, DamagedPagesGiveInternalErrors) {
  {
    auto file = Open();
    Model model, batch;
    for (int i = 0; i < 400; ++i) batch[Key(1, 0xF3, i)] = std::string(60, 'p');
    ASSERT_TRUE(ApplyBatch(*file, batch, model).ok());
  }
  const auto good = Bytes();
  std::mt19937 random(1);
  int internal = 0;
  for (int i = 0; i < 300; ++i) {
    auto bytes = good;
    bytes[kHeaderSize + random() % (bytes.size() - kHeaderSize)] ^= static_cast<std::uint8_t>(1 + random() % 255);
    fs_.SetContents(kPath, bytes);
    std::unique_ptr<PhysicalFile> file;
    if (!PhysicalFile::Open(fs_, kPath, kExclusive, file).ok()) continue;
    Model model;
    if (!Snapshot(*file, model)) ++internal;
  }
  EXPECT_GT(internal, 0);
}

TEST_F(VmrFile, SharedStationsSeeEachOthersCommits) {
  auto a = Open(kShared);
  auto b = Open(kShared);
  Model model;
  ASSERT_TRUE(ApplyBatch(*a, {{"x", "1"}}, model).ok());
  Model seen;
  ASSERT_TRUE(Snapshot(*b, seen));
  EXPECT_EQ(seen, model);
  ASSERT_TRUE(ApplyBatch(*b, {{"x", "2"}, {"y", "3"}}, model).ok());
  ASSERT_TRUE(Snapshot(*a, seen));
  EXPECT_EQ(seen, model);

  // While one station writes, the other cannot read (it would wait).
  ASSERT_TRUE(a->BeginWrite().ok());
  ASSERT_TRUE(a->RefreshHeader().ok());
  Status blocked = b->RefreshHeader();
  EXPECT_EQ(blocked.kind(), Status::Kind::kSystem);
  ASSERT_TRUE(a->EndOperation().ok());
  ASSERT_TRUE(b->RefreshHeader().ok());
  ASSERT_TRUE(b->EndOperation().ok());
  // Two readers do not exclude each other.
  ASSERT_TRUE(a->RefreshHeader().ok());
  ASSERT_TRUE(b->RefreshHeader().ok());
  ASSERT_TRUE(a->EndOperation().ok());
  ASSERT_TRUE(b->EndOperation().ok());
}

TEST_F(VmrFile, AHeldLockSparesTheHeaderReadButAFailedReadIsNotTrusted) {
  auto a = Open(kShared);
  auto b = Open(kShared);
  Model model;
  ASSERT_TRUE(ApplyBatch(*a, {{"a", "1"}}, model).ok());
  // In a transaction station a keeps the writer range between operations:
  // nobody else can commit, so the header is not read again.
  a->set_in_transaction(true);
  ASSERT_TRUE(a->BeginWrite().ok());
  ASSERT_TRUE(a->RefreshHeader().ok());
  ASSERT_TRUE(a->Insert("b", "2").ok());
  ASSERT_TRUE(a->EndOperation().ok());
  const std::uint64_t calls = fs_.calls();
  ASSERT_TRUE(a->RefreshHeader().ok());
  EXPECT_EQ(fs_.calls(), calls);
  EXPECT_EQ(b->RefreshHeader().kind(), Status::Kind::kSystem);  // b waits for the range
  ASSERT_TRUE(a->EndOperation().ok());
  ASSERT_TRUE(a->Commit().ok());
  a->set_in_transaction(false);
  ASSERT_TRUE(a->EndOperation().ok());
  model["b"] = "2";

  // Station b commits while a is between operations; a's next refresh
  // takes the lock but its header read fails. The lock stays held (a is in
  // a transaction), yet the header a holds is not the one on disk.
  ASSERT_TRUE(ApplyBatch(*b, {{"c", "3"}}, model).ok());
  a->set_in_transaction(true);
  ASSERT_TRUE(a->BeginWrite().ok());
  fs_.FailCall(1);
  EXPECT_EQ(a->RefreshHeader().kind(), Status::Kind::kSystem);
  fs_.FailCall(0);
  ASSERT_TRUE(a->RefreshHeader().ok());
  std::optional<RecordCopy> r;
  ASSERT_TRUE(a->Find(FindMode::kExact, "c", r).ok());
  EXPECT_TRUE(r);
  a->set_in_transaction(false);
  ASSERT_TRUE(a->EndOperation().ok());
  Model seen;
  ASSERT_TRUE(Snapshot(*a, seen));
  EXPECT_EQ(seen, model);
}

// Counts the flushes of the files it opens, over the in-memory files.
class FlushCountingFileSystem final : public FileSystem {
 public:
  explicit FlushCountingFileSystem(FileSystem& inner) : inner_(inner) {}
  int Open(const std::string& path, OpenMode mode, std::unique_ptr<File>& file) override {
    std::unique_ptr<File> real;
    if (int rc = inner_.Open(path, mode, real)) return rc;
    file = std::make_unique<Counting>(std::move(real), flushes);
    return 0;
  }
  int Remove(const std::string& path) override { return inner_.Remove(path); }
  int flushes = 0;

 private:
  class Counting final : public testing_support::ForwardingFile {
   public:
    Counting(std::unique_ptr<File> file, int& flushes) : ForwardingFile(std::move(file)), flushes_(flushes) {}
    int Sync() override {
      ++flushes_;
      return ForwardingFile::Sync();
    }

   private:
    int& flushes_;
  };
  FileSystem& inner_;
};

TEST_F(VmrFile, ACommitFlushesBeforeAndAfterItsCommitPoint) {
  FlushCountingFileSystem counting(fs_);
  std::unique_ptr<PhysicalFile> file;
  ASSERT_TRUE(PhysicalFile::Open(counting, kPath, kExclusive, file).ok());
  // Only new pages beyond the committed data: pages and new header, the
  // commit point, the header with equal lengths.
  Model model;
  ASSERT_TRUE(ApplyBatch(*file, {{Key(1, 0xF3, 1), "row"}}, model).ok());
  EXPECT_EQ(counting.flushes, 3);
  // A committed page changes: its pending copy is written into place and
  // flushed before the header says the commit is complete.
  counting.flushes = 0;
  ASSERT_TRUE(ApplyBatch(*file, {{Key(1, 0xF3, 1), "row, changed"}}, model).ok());
  EXPECT_EQ(counting.flushes, 4);
  file.reset();
  file = Open();
  Model seen;
  ASSERT_TRUE(Snapshot(*file, seen));
  EXPECT_EQ(seen, model);
}

TEST_F(VmrFile, IdentifierLocksExcludeOtherStations) {
  auto a = Open(kShared);
  auto b = Open(kShared);
  const std::array<std::uint8_t, 4> record = {0, 0, 0, 9};
  bool acquired;
  ASSERT_TRUE(a->TryLockIdentifier(record, acquired).ok());
  EXPECT_TRUE(acquired);
  ASSERT_TRUE(b->TryLockIdentifier(record, acquired).ok());
  EXPECT_FALSE(acquired);
  ASSERT_TRUE(a->UnlockIdentifier(record).ok());
  ASSERT_TRUE(b->TryLockIdentifier(record, acquired).ok());
  EXPECT_TRUE(acquired);
}

TEST_F(VmrFile, TruncateCutsTheFileAtItsUsedLength) {
  auto file = Open();
  Model model, batch;
  for (int i = 0; i < 2000; ++i) batch[Key(1, 0xF3, i)] = std::string(100, 'q');
  ASSERT_TRUE(ApplyBatch(*file, batch, model).ok());
  for (auto& [key, value] : batch) value.clear();
  batch.erase(batch.begin());
  ASSERT_TRUE(ApplyBatch(*file, batch, model).ok());
  const std::size_t before = Bytes().size();
  ASSERT_TRUE(file->BeginWrite().ok());
  ASSERT_TRUE(file->RefreshHeader().ok());
  ASSERT_TRUE(file->Truncate().ok());
  ASSERT_TRUE(file->EndOperation().ok());
  EXPECT_LT(Bytes().size(), before);
  EXPECT_EQ(Bytes().size(), file->header().UsedLength());
  // Pages are never merged: the root and one leaf remain.
  EXPECT_EQ(Bytes().size(), kHeaderSize + 2 * kBlockSize);
  Model seen;
  ASSERT_TRUE(Snapshot(*file, seen));
  EXPECT_EQ(seen, model);
}

TEST_F(VmrFile, InterruptedCommitIsCompletedOrRolledBackByItsMarker) {
  Model model;
  {
    auto file = Open();
    ASSERT_TRUE(ApplyBatch(*file, MakeBatch(model, 1, 300), model).ok());
  }
  const auto base = Bytes();
  const Model old_model = model;
  Model changes = MakeBatch(model, 2, 300);
  changes[std::string(1, '\xFF')] = std::string("\0\0\0\x05TCF", 8);
  Model new_model = model;
  for (const auto& [key, value] : changes) {
    if (value.empty()) new_model.erase(key);
    else new_model[key] = value;
  }
  for (bool still_listed : {false, true}) {
    fs_.SetContents(kPath, base);
    {
      auto file = Open();
      ASSERT_TRUE(file->BeginWrite().ok());
      ASSERT_TRUE(file->RefreshHeader().ok());
      for (const auto& [key, value] : changes) {
        bool found;
        std::optional<RecordCopy> r;
        ASSERT_TRUE(file->Find(FindMode::kExact, key, r).ok());
        if (value.empty()) ASSERT_TRUE(file->Erase(key, found).ok());
        else if (r) ASSERT_TRUE(file->Replace(key, value).ok());
        else ASSERT_TRUE(file->Insert(key, value).ok());
      }
      ASSERT_TRUE(file->CommitPhaseOne().ok());
      // Killed between the phases.
    }
    fs_.Crash(FaultFileSystem::CrashMode::kKeepUnsynced);
    auto bytes = Bytes();
    ASSERT_NE(Load32(&bytes[6]), Load32(&bytes[10]));
    std::string marker;
    auto file = Open(kExclusive, [&](std::string_view data, bool& listed) {
      marker.assign(data);
      listed = still_listed;
      return Status::Ok();
    });
    EXPECT_EQ(marker, changes[std::string(1, '\xFF')]);
    bytes = Bytes();
    EXPECT_EQ(Load32(&bytes[6]), Load32(&bytes[10]));
    Model seen;
    ASSERT_TRUE(Snapshot(*file, seen));
    EXPECT_EQ(seen, still_listed ? old_model : new_model);
    ASSERT_TRUE(Valid(*file, seen.size()));
  }
}

// A damaged pending area must not make recovery write where no page of the
// new tree is: over the lock region, far past the end, past the new tree.
TEST_F(VmrFile, RecoveryWritesPendingCopiesOnlyOntoPagesOfTheNewTree) {
  Model model;
  {
    auto file = Open();
    ASSERT_TRUE(ApplyBatch(*file, MakeBatch(model, 1, 300), model).ok());
    // Rewrites committed pages, so that their copies are pending.
    ASSERT_TRUE(file->BeginWrite().ok());
    ASSERT_TRUE(file->RefreshHeader().ok());
    for (const auto& [key, value] : model) ASSERT_TRUE(file->Replace(key, value + "!").ok());
    ASSERT_TRUE(file->CommitPhaseOne().ok());
  }
  const auto interrupted = Bytes();
  // The first pending page copy, and the new header's used length.
  std::size_t first_copy = 0;
  std::uint32_t new_used = 0;
  for (std::size_t at = Load32(&interrupted[6]); at < Load32(&interrupted[10]);) {
    const std::uint32_t target = Load32(&interrupted[at]);
    const std::uint32_t stored = Load16(&interrupted[at + 4]);
    if (target == 0) {
      new_used = FileHeader::ReadFields(std::span(interrupted).subspan(at).first<kHeaderSize>()).UsedLength();
    } else if (first_copy == 0) {
      first_copy = at;
    }
    at += BlocksFor(stored) * kBlockSize;
  }
  ASSERT_NE(first_copy, 0u);
  ASSERT_NE(new_used, 0u);
  const std::uint32_t targets[] = {
      new_used,                                            // just past the new tree
      static_cast<std::uint32_t>(kLockBase),               // the lock region
      static_cast<std::uint32_t>(0xFFFFFF00u),             // 4 GiB on
      static_cast<std::uint32_t>(Load32(&interrupted[first_copy]) + 1),  // not a block boundary
  };
  for (const std::uint32_t target : targets) {
    auto bytes = interrupted;
    Store32(&bytes[first_copy], target);
    fs_.SetContents(kPath, bytes);
    EXPECT_TRUE(OpenStatus().is_error(36)) << target;
    EXPECT_EQ(Bytes(), bytes) << target;
  }
}

TEST_F(VmrFile, ACreatedFileSurvivesAPowerLossOnceItsFirstCommitReturns) {
  {
    auto file = Open();
    Model model;
    ASSERT_TRUE(ApplyBatch(*file, {{"k", "v"}}, model).ok());
  }
  fs_.Crash(FaultFileSystem::CrashMode::kLoseUnsynced);
  auto file = Open();
  Model seen;
  ASSERT_TRUE(Snapshot(*file, seen));
  EXPECT_EQ(seen, (Model{{"k", "v"}}));
}

TEST_F(VmrFile, AFailedDirectoryFlushFailsTheCreation) {
  fs_.FailCall(1);  // the flush of the new directory entry
  EXPECT_FALSE(OpenStatus().ok());
  fs_.Crash(FaultFileSystem::CrashMode::kKeepUnsynced);
  EXPECT_FALSE(fs_.Exists(kPath));
}

TEST_F(VmrFile, ReadOnlyStationUsesThePendingPagesWithoutWriting) {
  Model model;
  {
    auto file = Open();
    ASSERT_TRUE(ApplyBatch(*file, MakeBatch(model, 3, 200), model).ok());
    ASSERT_TRUE(file->BeginWrite().ok());
    ASSERT_TRUE(file->RefreshHeader().ok());
    ASSERT_TRUE(file->Insert("new", "row").ok());
    ASSERT_TRUE(file->CommitPhaseOne().ok());
  }
  const auto interrupted = Bytes();
  auto reader = Open(0x40);  // read only, deny none
  Model seen;
  ASSERT_TRUE(Snapshot(*reader, seen));
  model["new"] = "row";
  EXPECT_EQ(seen, model);
  EXPECT_EQ(Bytes(), interrupted);
}

// Random inserts, replacements and erasures of varied sizes against a map;
// after every commit the whole tree and the zone table are checked.
TEST_F(VmrFile, RandomOperationsMatchAModel) {
  const char* env = std::getenv("TAVERO_VMR_RANDOM_OPS");
  const long operations = env ? std::atol(env) : 300000;
  std::mt19937 random(20261207);
  auto file = Open();
  Model model;
  std::vector<std::string> keys;
  auto random_key = [&] {
    // Several tables and kinds, so that prefixes are shared as in real files.
    std::string key = Key(static_cast<int>(random() % 4), static_cast<std::uint8_t>(0xF0 + random() % 4),
                          static_cast<int>(random() % 60000));
    if (random() % 8 == 0) key += std::string(random() % 40, static_cast<char>(random()));
    return key;
  };
  auto random_data = [&] {
    std::uint32_t kind = random() % 100;
    std::size_t length = kind < 75 ? random() % 80 : kind < 99 ? random() % 800 : random() % 15000;
    std::string data(length, ' ');
    for (std::size_t i = 0; i < length; i += 1 + random() % 16) data[i] = static_cast<char>(random());
    return data;
  };
  long done = 0;
  int commits = 0;
  while (done < operations) {
    ASSERT_TRUE(file->BeginWrite().ok());
    ASSERT_TRUE(file->RefreshHeader().ok());
    const long batch = 1 + random() % 3000;
    for (long i = 0; i < batch && done < operations; ++i, ++done) {
      const std::uint32_t op = random() % 100;
      // Grow while small, then hold the size steady.
      const bool grow = model.size() < 8000 ? op < 60 : op < 45;
      if (grow || model.empty()) {
        std::string key = random_key();
        std::string data = random_data();
        if (key.size() + data.size() > kMaxRecordLength) data.resize(kMaxRecordLength - key.size());
        if (model.contains(key)) {
          ASSERT_TRUE(file->Replace(key, data).ok());
        } else {
          ASSERT_TRUE(file->Insert(key, data).ok());
          keys.push_back(key);
        }
        model[key] = data;
        continue;
      }
      const std::size_t pick = random() % keys.size();
      std::string key = keys[pick];
      if (op < 80) {
        bool found;
        ASSERT_TRUE(file->Erase(key, found).ok());
        ASSERT_EQ(found, model.erase(key) == 1);
        keys[pick] = keys.back();
        keys.pop_back();
      } else if (op < 90) {
        std::string data = random_data().substr(0, 2000);
        ASSERT_TRUE(file->Replace(key, data).ok());
        model[key] = data;
      } else {
        std::optional<RecordCopy> r;
        FindMode mode = static_cast<FindMode>(random() % 4);
        ASSERT_TRUE(file->Find(mode, key, r).ok());
        auto it = model.lower_bound(key);
        if (mode == FindMode::kFirstAbove && it != model.end() && it->first == key) ++it;
        if (mode == FindMode::kLastBelow) it = it == model.begin() ? model.end() : std::prev(it);
        if (mode == FindMode::kExact && it != model.end() && it->first != key) it = model.end();
        ASSERT_EQ(r.has_value(), it != model.end());
        if (r) {
          ASSERT_EQ(r->key(), it->first);
          ASSERT_EQ(r->data(), it->second);
        }
      }
    }
    ASSERT_TRUE(file->EndOperation().ok());
    ++commits;
    ASSERT_TRUE(Valid(*file, model.size())) << "after commit " << commits;
    if (commits % 25 == 0) {
      file.reset();
      file = Open();
      Model seen;
      ASSERT_TRUE(Snapshot(*file, seen));
      ASSERT_TRUE(seen == model) << "after commit " << commits;
    }
  }
  file.reset();
  file = Open();
  Model seen;
  ASSERT_TRUE(Snapshot(*file, seen));
  EXPECT_TRUE(seen == model);
  ASSERT_TRUE(Valid(*file, model.size()));
}

// I/O errors and power loss at every call of a commit: the file shows the
// old or the new state, whole.
TEST_F(VmrFile, EveryCommitIsAllOrNothing) {
  Model base_model;
  {
    auto file = Open();
    for (unsigned s = 1; s <= 3; ++s) ASSERT_TRUE(ApplyBatch(*file, MakeBatch(base_model, s, 400), base_model).ok());
  }
  const auto base = Bytes();
  const Model changes = MakeBatch(base_model, 9, 400);
  Model new_model = base_model;
  for (const auto& [key, value] : changes) {
    if (value.empty()) new_model.erase(key);
    else new_model[key] = value;
  }
  int completed_by_recovery = 0;
  for (std::uint64_t n = 1;; ++n) {
    bool finished = false;
    for (auto mode : {FaultFileSystem::CrashMode::kLoseUnsynced, FaultFileSystem::CrashMode::kKeepUnsynced,
                      FaultFileSystem::CrashMode::kRandom}) {
      for (bool persistent : {true, false}) {
        fs_.SetContents(kPath, base);
        {
          auto file = Open();
          fs_.FailCall(n, persistent);
          Model model = base_model;
          Status s = ApplyBatch(*file, changes, model);
          if (!fs_.failure_happened()) {
            ASSERT_TRUE(s.ok()) << Describe(s);
            finished = true;
          }
          fs_.FailCall(0);
          if (!persistent && !finished) {
            // The station goes on after a transient error: its view must
            // follow the disk, old or new.
            Model seen;
            ASSERT_TRUE(Snapshot(*file, seen));
            ASSERT_TRUE(seen == base_model || seen == new_model) << "call " << n;
          }
        }
        fs_.Crash(mode, static_cast<std::uint32_t>(n));
        auto bytes = Bytes();
        const bool interrupted = Load32(&bytes[6]) != Load32(&bytes[10]);
        auto file = Open();
        ASSERT_TRUE(file);
        Model seen;
        ASSERT_TRUE(Snapshot(*file, seen)) << "call " << n;
        ASSERT_TRUE(seen == base_model || seen == new_model) << "call " << n;
        if (interrupted) {
          ++completed_by_recovery;
          ASSERT_TRUE(seen == new_model) << "call " << n;
        }
        if (finished) {
          ASSERT_TRUE(seen == new_model);
        }
        ASSERT_TRUE(Valid(*file, seen.size())) << "call " << n;
      }
    }
    if (finished) break;
  }
  EXPECT_GT(completed_by_recovery, 0);
}

TEST(FileNames, TableNamesAndExtensions) {
  struct Case {
    std::string name, os_file, table;
  } cases[] = {
      {"CARDSET", "CARDSET.VMR", "UNNAMED"},
      {"data\\ZEPHCOL.VMR\\!CARDSET", "data\\ZEPHCOL.VMR", "CARDSET"},
      {"ZEPHCOL\\!TYPES", "ZEPHCOL.VMR", "TYPES"},
      {"dir.d/cards", "dir.d/cards.VMR", "UNNAMED"},
      {"cards.dat", "cards.dat", "UNNAMED"},
  };
  for (const Case& c : cases) {
    FileName n = SplitFileName(c.name);
    EXPECT_EQ(n.os_file, c.os_file) << c.name;
    EXPECT_EQ(n.table, c.table) << c.name;
  }
}

}  // namespace
}  // namespace tavero::vmr
