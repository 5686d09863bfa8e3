// The status counters a transaction keeps back in the file's store: every
// lookup that could reach the status record finds the change made, a
// rollback drops it, and outside a transaction it is written at once.
#include "storage/vmr/record_store_file.h"

#include <gtest/gtest.h>

#include <functional>

#include "storage/vmr/fault_file_system.h"
#include "storage/vmr/record_kinds.h"

namespace tavero::vmr {
namespace {

constexpr TableNumber kTable = 7;

class KeptCounters : public ::testing::Test {
 protected:
  void SetUp() override {
    std::unique_ptr<PhysicalFile> file;
    ASSERT_TRUE(PhysicalFile::Open(fs_, "T.VMR", 0x12 | kCreateFlag, file).ok());
    store_ = std::make_unique<PhysicalFileStore>(std::move(file));
    ASSERT_EQ(store_->begin_operation(true), 0);
    // A data record before the table's status record and a segment after.
    ASSERT_EQ(store_->insert(data_key(kTable, 9), "image"), 0);
    ASSERT_EQ(store_->insert(status(), encode_status({1, 0})), 0);
    ASSERT_EQ(store_->insert(segment_key(kTable, 9, 0, 0), "note"), 0);
  }
  void TearDown() override { (void)store_->end_operation(); }

  static std::string status() { return status_key(kTable, record_kind::data); }
  // The counters the store holds for the table, read past anything kept.
  StatusCounters stored() {
    std::optional<StoredRecord> found;
    EXPECT_EQ(store_->find(status(), found), 0);
    return found ? decode_status(found->data).value_or(StatusCounters{}) : StatusCounters{};
  }

  FaultFileSystem fs_;
  std::unique_ptr<PhysicalFileStore> store_;
};

TEST_F(KeptCounters, EveryLookupThatCouldReachTheStatusRecordFindsTheChangeMade) {
  using Lookup = std::function<int(PhysicalFileStore&, std::optional<StoredRecord>&)>;
  const struct {
    const char* name;
    Lookup lookup;
  } cases[] = {
      {"find", [](auto& s, auto& found) { return s.find(status(), found); }},
      {"first not below the kind", [](auto& s, auto& found) {
         return s.first_not_below(kind_prefix(kTable, record_kind::status), found);
       }},
      {"first above the last data record", [](auto& s, auto& found) {
         return s.first_above(data_key(kTable, 9), found);
       }},
      {"last below the segments", [](auto& s, auto& found) {
         return s.last_below(segment_key(kTable, 9, 0, 0), found);
       }},
      {"in place", [](auto& s, auto& found) {
         std::optional<RecordView> view;
         const int e = s.seek(Seek::first_above, data_key(kTable, 9), view);
         if (view) found = StoredRecord{std::string(view->key), std::string(view->data)};
         return e;
       }},
  };
  std::uint32_t expected = 1;
  store_->file().set_in_transaction(true);
  for (const auto& c : cases) {
    ASSERT_EQ(store_->change_counters(status(), 2, std::nullopt), 0);
    ASSERT_EQ(store_->change_counters(status(), 1, 40), 0);
    ASSERT_EQ(store_->change_counters(status(), 0, 30), 0);
    expected += 3;
    std::optional<StoredRecord> found;
    ASSERT_EQ(c.lookup(*store_, found), 0) << c.name;
    ASSERT_TRUE(found) << c.name;
    EXPECT_EQ(found->key, status()) << c.name;
    EXPECT_EQ(decode_status(found->data), (StatusCounters{expected, 30})) << c.name;
  }
  // A lookup that cannot reach it leaves the change kept back.
  ASSERT_EQ(store_->change_counters(status(), 5, std::nullopt), 0);
  std::optional<StoredRecord> found;
  ASSERT_EQ(store_->find(data_key(kTable, 9), found), 0);
  store_->drop_counters();  // the transaction rolled back
  EXPECT_EQ(stored().count, expected);
  // Kept back, then written by the commit's flush.
  ASSERT_EQ(store_->change_counters(status(), -1, std::nullopt), 0);
  ASSERT_EQ(store_->flush_counters(), 0);
  store_->file().set_in_transaction(false);
  EXPECT_EQ(stored().count, expected - 1);
  // Outside a transaction a change is written at once.
  ASSERT_EQ(store_->change_counters(status(), 1, std::nullopt), 0);
  store_->drop_counters();
  EXPECT_EQ(stored().count, expected);
}

}  // namespace
}  // namespace tavero::vmr
