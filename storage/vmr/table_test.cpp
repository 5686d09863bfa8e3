#include "storage/vmr/table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "runtime/error_codes.h"
#include "storage/vmr/record_store_memory.h"
#include "storage/vmr/table_test_support.h"

namespace tavero::vmr {
namespace {

using test_support::make_field;
using test_support::make_key;

// A record of three unique 2-byte keys and a name, with a memo and a blob.
TableDefinition three_unique_keys() {
  TableDefinition d;
  d.record_length = 16;
  d.fields = {make_field(field_type::int16, 0, 2, "T:A"), make_field(field_type::int16, 2, 2, "T:B"),
              make_field(field_type::int16, 4, 2, "T:C"), make_field(field_type::fixstr, 6, 10, "T:NAME")};
  d.keys = {make_key("T:KA", 0, {{0, false}}), make_key("T:KB", 0, {{1, false}}), make_key("T:KC", 0, {{2, false}}),
            make_key("T:KNAME", 0x4000 | 0x01, {{3, false}}), make_key("T:DYN", 0x4000 | 0x01, {})};
  d.blobs = {{"T:NOTES", std::nullopt, 0, 600}, {"T:DATA", "D", blob_attribute_blob, 1000}};
  return d;
}

class TableTest : public ::testing::Test {
 protected:
  TableTest() : table_(three_unique_keys(), buffer_) {}
  void SetUp() override { ASSERT_EQ(table_.create(store_, "T"), 0); }

  void fill(std::int16_t a, std::int16_t b, std::int16_t c, const char* name = "") {
    std::memcpy(buffer_.data(), &a, 2);
    std::memcpy(buffer_.data() + 2, &b, 2);
    std::memcpy(buffer_.data() + 4, &c, 2);
    std::memset(buffer_.data() + 6, ' ', 10);
    std::memcpy(buffer_.data() + 6, name, std::strlen(name));
  }
  std::int16_t a() const {
    std::int16_t value;
    std::memcpy(&value, buffer_.data(), 2);
    return value;
  }
  std::size_t count_with_prefix(const std::string& prefix) const {
    std::size_t n = 0;
    for (const auto& [key, data] : store_.records()) n += key.compare(0, prefix.size(), prefix) == 0;
    return n;
  }
  std::uint32_t key_records(std::size_t key) {
    std::uint32_t count = 0;
    EXPECT_EQ(table_.records_of_key(key, count), 0);
    return count;
  }

  std::array<std::uint8_t, 16> buffer_{};
  MemoryRecordStore store_;
  Table table_;
};

TEST_F(TableTest, DuplicateOnALaterKeyUndoesTheEarlierKeys) {
  fill(1, 1, 1);
  ASSERT_EQ(table_.add(), 0);
  fill(2, 2, 1);
  ASSERT_EQ(table_.add(), error_code::kCreatesDuplicateKey);  // the third key repeats
  fill(2, 1, 2);
  const auto before = store_.records();
  ASSERT_EQ(table_.add(), error_code::kCreatesDuplicateKey);  // the second key repeats
  EXPECT_EQ(store_.records(), before);
  EXPECT_EQ(key_records(0), 1u);

  // PUT that would repeat the second key changes nothing either.
  fill(5, 5, 5);
  ASSERT_EQ(table_.add(), 0);
  fill(6, 1, 6);
  const auto before_put = store_.records();
  EXPECT_EQ(table_.put(), error_code::kCreatesDuplicateKey);
  EXPECT_EQ(store_.records(), before_put);
  fill(6, 6, 6);
  EXPECT_EQ(table_.put(), 0);
  fill(6, 0, 0);
  EXPECT_EQ(table_.get_by_key(0), 0);
  EXPECT_EQ(a(), 6);
  fill(5, 0, 0);
  EXPECT_EQ(table_.get_by_key(0), error_code::kRecordNotFound);
}

TEST_F(TableTest, ReadsWithNothingThere) {
  EXPECT_EQ(table_.get_by_pointer(0), error_code::kRecordNotFound);
  EXPECT_FALSE(table_.has_current());
  EXPECT_EQ(table_.next(), error_code::kRecordNotAvailable);  // no SET yet
  int error = 0;
  EXPECT_TRUE(table_.at_end(true, error));
  EXPECT_EQ(table_.put(), error_code::kRecordNotAvailable);
  EXPECT_EQ(table_.erase(), error_code::kRecordNotAvailable);
}

TEST_F(TableTest, SetFromAPointerBeyondTheEndReadsTheLastRecord) {
  for (std::int16_t i = 1; i <= 3; ++i) {
    fill(i, i, i);
    ASSERT_EQ(table_.add(), 0);
  }
  ASSERT_EQ(table_.set(SequenceStart::record_order_from_pointer, std::nullopt, 1000), 0);
  ASSERT_EQ(table_.next(), 0);
  EXPECT_EQ(a(), 3);
  EXPECT_EQ(table_.next(), error_code::kRecordNotAvailable);
  // The buffer keeps the last record read after a failed read.
  EXPECT_EQ(a(), 3);
  EXPECT_FALSE(table_.has_current());
}

TEST_F(TableTest, EntriesWhoseRecordVanishedAreSkippedBothWays) {
  for (std::int16_t i = 1; i <= 3; ++i) {
    fill(i, i, i);
    ASSERT_EQ(table_.add(), 0);
  }
  const RecordNumber last = table_.pointer();
  store_.erase(data_key(table_.table_number(), last - 1));  // the second record's data only
  for (const bool forward : {true, false}) {
    ASSERT_EQ(table_.set(SequenceStart::key_order_from_start, 0), 0);
    std::vector<std::int16_t> seen;
    while ((forward ? table_.next() : table_.previous()) == 0) seen.push_back(a());
    EXPECT_EQ(seen, (forward ? std::vector<std::int16_t>{1, 3} : std::vector<std::int16_t>{3, 1}));
  }
}

TEST_F(TableTest, MemoSegmentsAreRewrittenOnlyWhereTheyChanged) {
  std::string memo(600, ' ');
  table_.set_memo_buffer(0, std::span(reinterpret_cast<std::uint8_t*>(memo.data()), memo.size()));
  std::fill_n(memo.begin(), 300, 'x');
  fill(1, 1, 1);
  ASSERT_EQ(table_.add(), 0);
  const std::string segments = segment_prefix(table_.table_number(), table_.pointer());
  EXPECT_EQ(count_with_prefix(segments), 2u);
  EXPECT_EQ(store_.records().at(segment_key(table_.table_number(), table_.pointer(), 0, 1)).size(), 44u);

  std::fill(memo.begin(), memo.end(), 'y');
  ASSERT_EQ(table_.put(), 0);
  EXPECT_EQ(count_with_prefix(segments), 3u);
  memo.back() = 'z';
  const std::size_t changes = store_.changes();
  ASSERT_EQ(table_.put(), 0);
  EXPECT_EQ(store_.changes(), changes + 1);  // the third segment alone

  // An unchanged record and memo write nothing at all.
  ASSERT_EQ(table_.put(), 0);
  EXPECT_EQ(store_.changes(), changes + 1);

  // Read back: the memo is loaded unless SKIPMEMOS is armed.
  const RecordNumber record = table_.pointer();
  std::fill(memo.begin(), memo.end(), '-');
  table_.arm_skip_memos();
  ASSERT_EQ(table_.get_by_pointer(record), 0);
  EXPECT_EQ(memo, std::string(600, '-'));
  ASSERT_EQ(table_.get_by_pointer(record), 0);
  EXPECT_EQ(memo, std::string(599, 'y') + "z");

  // All blanks: no segments, read back as blanks.
  std::fill(memo.begin(), memo.end(), ' ');
  ASSERT_EQ(table_.put(), 0);
  EXPECT_EQ(count_with_prefix(segments), 0u);
}

TEST_F(TableTest, BlobsKeepTheirLength) {
  fill(1, 1, 1);
  table_.blob_content(1) = std::string(256, '\x07');
  ASSERT_EQ(table_.add(), 0);
  const RecordNumber record = table_.pointer();
  EXPECT_EQ(store_.records().at(segment_key(table_.table_number(), record, 1, 0)).size(), 260u);
  table_.blob_content(1) += "!";
  ASSERT_EQ(table_.put(), 0);
  EXPECT_EQ(store_.records().at(segment_key(table_.table_number(), record, 1, 1)), "!");
  table_.blob_content(1).clear();
  ASSERT_EQ(table_.get_by_pointer(record), 0);
  EXPECT_EQ(table_.blob_content(1), std::string(256, '\x07') + "!");
  ASSERT_EQ(table_.erase(), 0);
  EXPECT_EQ(count_with_prefix(segment_prefix(table_.table_number(), record)), 0u);
}

TEST_F(TableTest, IndexesAndAppendWaitForBuild) {
  fill(1, 1, 1, "zed");
  ASSERT_EQ(table_.add(), 0);
  fill(2, 2, 2, "amy");
  ASSERT_EQ(table_.append(), 0);
  EXPECT_EQ(key_records(0), 1u);  // deferred
  EXPECT_EQ(key_records(3), 0u);  // an index is never kept by ADD
  ASSERT_EQ(table_.build_all(), 0);
  EXPECT_EQ(key_records(0), 2u);
  EXPECT_EQ(key_records(3), 0u);
  ASSERT_EQ(table_.build_key(3), 0);
  EXPECT_EQ(key_records(3), 2u);
  ASSERT_EQ(table_.set(SequenceStart::key_order_from_start, 3), 0);
  ASSERT_EQ(table_.next(), 0);
  EXPECT_EQ(a(), 2);  // "amy" first
}

TEST_F(TableTest, DynamicIndexFromAComponentText) {
  MemoryRecordStore index_file;
  table_.set_index_store(4, &index_file);
  fill(1, 9, 1, "bob");
  ASSERT_EQ(table_.add(), 0);
  fill(2, 8, 2, "amy");
  ASSERT_EQ(table_.add(), 0);
  fill(3, 7, 3, "cat");
  ASSERT_EQ(table_.add(), 0);
  EXPECT_EQ(table_.build_dynamic(4, "+T:B,-T:NOPE"), error_code::kInvalidIndexString);
  EXPECT_EQ(table_.build_dynamic(4, ""), error_code::kInvalidIndexString);
  EXPECT_EQ(table_.build_dynamic(4, "T:B,"), error_code::kInvalidIndexString);
  ASSERT_EQ(table_.build_dynamic(4, " +t:b , -T:NAME"), 0);
  EXPECT_EQ(key_records(4), 3u);
  EXPECT_FALSE(index_file.records().empty());
  ASSERT_EQ(table_.set(SequenceStart::key_order_from_start, 4), 0);
  std::vector<std::int16_t> order;
  while (table_.next() == 0) order.push_back(a());
  EXPECT_EQ(order, (std::vector<std::int16_t>{3, 2, 1}));  // B ascending, then NAME descending
}

TEST(TableOpen, StructureAndNames) {
  MemoryRecordStore store;
  std::array<std::uint8_t, 16> buffer{};
  {
    Table table(three_unique_keys(), buffer);
    EXPECT_EQ(table.open(store, "T"), error_code::kFileNotFound);
    EXPECT_EQ(table.create(store, ""), error_code::kInvalidFilename);
    ASSERT_EQ(table.create(store, "T"), 0);
    std::memset(buffer.data(), 1, buffer.size());
    ASSERT_EQ(table.add(), 0);
  }
  TableDefinition renamed = three_unique_keys();
  renamed.fields[3].name = "OTHER";
  renamed.keys[0].name = "K";
  Table same(renamed, buffer);
  ASSERT_EQ(same.open(store, "T"), 0);
  std::uint32_t count = 0;
  ASSERT_EQ(same.records(count), 0);
  EXPECT_EQ(count, 1u);

  TableDefinition moved = three_unique_keys();
  moved.keys[1].attributes |= key_attribute::duplicates;
  Table other(moved, buffer);
  EXPECT_EQ(other.open(store, "T"), error_code::kInvalidRecordDeclaration);

  // Creating again replaces the earlier table of that name.
  Table again(three_unique_keys(), buffer);
  ASSERT_EQ(again.create(store, "T"), 0);
  ASSERT_EQ(again.records(count), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_NE(again.table_number(), same.table_number());
  std::size_t old_records = 0;
  for (const auto& [key, data] : store.records()) old_records += key.compare(0, 4, table_prefix(same.table_number())) == 0;
  EXPECT_EQ(old_records, 0u);
}

TEST(TableOpen, DamagedDefinitionIsAnInvalidFile) {
  MemoryRecordStore store;
  std::array<std::uint8_t, 16> buffer{};
  Table table(three_unique_keys(), buffer);
  ASSERT_EQ(table.create(store, "T"), 0);
  const std::string chunk = definition_key(table.table_number(), 0);
  std::string damaged = store.records().at(chunk);
  damaged.resize(damaged.size() / 2);
  store.replace(chunk, damaged);
  Table reader(three_unique_keys(), buffer);
  EXPECT_EQ(reader.open(store, "T"), error_code::kInvalidDataFile);
}

TEST(TableOem, TextIsStoredInTheOemSetAndReadBackAsAnsi) {
  MemoryRecordStore store;
  std::array<std::uint8_t, 16> buffer{};
  Table table(three_unique_keys(), buffer, {true});
  ASSERT_EQ(table.create(store, "T"), 0);
  std::memset(buffer.data(), 0, 6);
  std::memcpy(buffer.data() + 6, "caf\xE9      ", 10);  // e acute in Windows-1252
  ASSERT_EQ(table.add(), 0);
  const std::string stored = store.records().at(data_key(table.table_number(), table.pointer()));
  EXPECT_EQ(stored.substr(6, 4), "caf\x82");  // code page 437
  std::memset(buffer.data() + 6, ' ', 10);
  ASSERT_EQ(table.get_by_pointer(table.pointer()), 0);
  EXPECT_EQ(std::string(buffer.begin() + 6, buffer.begin() + 10), "caf\xE9");
  ASSERT_EQ(table.put(), 0);  // the same image: nothing to write
}

TEST_F(TableTest, EmptyKeepsTheTable) {
  for (std::int16_t i = 1; i <= 3; ++i) {
    fill(i, i, i);
    ASSERT_EQ(table_.add(), 0);
  }
  ASSERT_EQ(table_.empty(), 0);
  std::uint32_t count = 9;
  ASSERT_EQ(table_.records(count), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(key_records(0), 0u);
  ASSERT_EQ(table_.set(SequenceStart::record_order_from_start), 0);
  EXPECT_EQ(table_.next(), error_code::kRecordNotAvailable);
  fill(1, 1, 1);
  EXPECT_EQ(table_.add(), 0);
}

}  // namespace
}  // namespace tavero::vmr

namespace tavero::vmr {
namespace {

// Records damaged in any way (data cut or lengthened, key parts changed)
// give errors from reads, never a read outside a buffer (run under the
// sanitizers).
TEST(TableDamage, DamagedRecordsAreReadSafely) {
  std::mt19937 random(5);
  for (int round = 0; round < 60; ++round) {
    MemoryRecordStore original;
    std::array<std::uint8_t, 16> buffer{};
    {
      Table table(three_unique_keys(), buffer);
      ASSERT_EQ(table.create(original, "T"), 0);
      for (std::int16_t i = 1; i <= 12; ++i) {
        std::memcpy(buffer.data(), &i, 2);
        std::memcpy(buffer.data() + 2, &i, 2);
        std::memcpy(buffer.data() + 4, &i, 2);
        table.blob_content(1) = std::string(static_cast<std::size_t>(i) * 40, 'q');
        ASSERT_EQ(table.add(), 0);
      }
    }
    // Copy the records, damaging some of them.
    MemoryRecordStore damaged;
    for (const auto& [key, data] : original.records()) {
      std::string k = key, d = data;
      switch (random() % 8) {
        case 0: d.resize(random() % (d.size() + 1)); break;
        case 1: d += std::string(random() % 8, '\xFF'); break;
        case 2: if (!d.empty()) d[random() % d.size()] = static_cast<char>(random()); break;
        case 3: if (k.size() > 5) k.resize(5 + random() % (k.size() - 5)); break;
        default: break;
      }
      std::optional<StoredRecord> existing;
      damaged.find(k, existing);
      if (!existing) damaged.insert(k, d);
    }
    Table table(three_unique_keys(), buffer);
    if (table.open(damaged, "T") != 0) continue;
    for (int step = 0; step < 60; ++step) {
      switch (random() % 7) {
        case 0: table.set(SequenceStart::record_order_from_start); break;
        case 1: table.set(SequenceStart::key_order_from_start, random() % 3); break;
        case 2: table.next(); break;
        case 3: table.previous(); break;
        case 4: table.get_by_pointer(random() % 40); break;
        case 5: table.put(); break;
        default: table.erase(); break;
      }
    }
    std::uint32_t count = 0;
    table.records(count);
    table.build_key(3);
  }
}

}  // namespace
}  // namespace tavero::vmr
