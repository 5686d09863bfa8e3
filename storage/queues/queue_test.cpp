#include "storage/queues/queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "runtime/error_state.h"

namespace tavero::queues {
namespace {

using driver::FieldType;

// The queue record of the tests:
//   1 Q:NAME   FIXSTR 12 at 0
//   2 Q:NUM    INT32     at 12
//   3 Q:PRICE  PACKED 4 bytes, 2 places at 16
//   4 Q:SEQ    INT16     at 20
struct Row {
  char name[12];
  std::int32_t num;
  std::uint8_t price[4];
  std::int16_t seq;
};
static_assert(sizeof(Row) == 24 && offsetof(Row, seq) == 20);

class QueueTest : public ::testing::Test {
 protected:
  QueueTest()
      : layout_(driver::RecordLayoutWriter()
                    .String("Q:NAME", 0, 12)
                    .Field("Q:NUM", 12, FieldType::INT32)
                    .Packed("Q:PRICE", 16, 4, 2)
                    .Field("Q:SEQ", 20, FieldType::INT16)
                    .Finish()),
        queue_(std::span(reinterpret_cast<std::uint8_t*>(&row_), sizeof row_), layout_) {}

  // Fills the record buffer.
  void Set(std::string_view name, std::int32_t num = 0, std::int16_t seq = 0, std::int32_t cents = 0) {
    std::memset(row_.name, ' ', sizeof row_.name);
    std::memcpy(row_.name, name.data(), std::min(name.size(), sizeof row_.name));
    row_.num = num;
    row_.seq = seq;
    // PACKED: sign half byte, then 7 digits.
    const std::uint32_t magnitude = static_cast<std::uint32_t>(cents < 0 ? -cents : cents);
    std::uint32_t digits[7];
    std::uint32_t m = magnitude;
    for (int i = 6; i >= 0; --i) digits[i] = m % 10, m /= 10;
    row_.price[0] = static_cast<std::uint8_t>((cents < 0 ? 0xF0 : 0x00) | digits[0]);
    for (int i = 0; i < 3; ++i) row_.price[i + 1] = static_cast<std::uint8_t>(digits[1 + 2 * i] << 4 | digits[2 + 2 * i]);
  }
  std::int32_t Cents() const {
    std::int32_t v = row_.price[0] & 0x0F;
    for (int i = 1; i < 4; ++i) v = v * 100 + (row_.price[i] >> 4) * 10 + (row_.price[i] & 0x0F);
    return (row_.price[0] >> 4) ? -v : v;
  }
  std::string Name() const {
    std::string s(row_.name, sizeof row_.name);
    return s.substr(0, s.find_last_not_of(' ') + 1);
  }

  std::vector<std::uint8_t> layout_;
  Row row_{};
  Queue queue_;
};

TEST_F(QueueTest, EqualKeysKeepTheOrderTheyWereAddedIn) {
  const std::int32_t by_name[] = {1, 0};
  for (std::int16_t seq = 1; seq <= 3; ++seq) {
    Set("SAME", 0, seq);
    queue_.AddByKey(by_name);
    EXPECT_EQ(queue_.Pointer(), seq);
  }
  Set("AAA");
  queue_.AddByKey(by_name);
  EXPECT_EQ(queue_.Pointer(), 1);
  Set("ZZZ");
  queue_.AddByKey(by_name);
  EXPECT_EQ(queue_.Pointer(), 5);
  for (std::int16_t seq = 1; seq <= 3; ++seq) {
    queue_.Get(seq + 1);
    EXPECT_EQ(row_.seq, seq);
  }
  // GET by key finds the first of the equal entries.
  Set("SAME", 0, 99);
  queue_.GetByKey(by_name);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(queue_.Pointer(), 2);
  EXPECT_EQ(row_.seq, 1);
}

TEST_F(QueueTest, SortsBySeveralFieldsNumbersByValueAndDescending) {
  // Name ascending, then price descending: the packed sign and digits count.
  const std::int32_t key[] = {1, -3, 0};
  const struct {
    const char* name;
    std::int32_t cents;
  } rows[] = {{"b", 500}, {"a", -1250}, {"b", -1}, {"a", 1250}, {"b", 100000}, {"a", 0}};
  for (const auto& r : rows) {
    Set(r.name, 0, 0, r.cents);
    queue_.AddByKey(key);
  }
  const struct {
    const char* name;
    std::int32_t cents;
  } expected[] = {{"a", 1250}, {"a", 0}, {"a", -1250}, {"b", 100000}, {"b", 500}, {"b", -1}};
  ASSERT_EQ(queue_.Records(), 6);
  for (std::int32_t i = 1; i <= 6; ++i) {
    queue_.Get(i);
    EXPECT_EQ(Name(), expected[i - 1].name);
    EXPECT_EQ(Cents(), expected[i - 1].cents);
  }
  // Read the prices back through GET by key on (name, price): each exists.
  for (const auto& r : rows) {
    Set(r.name, 0, 0, r.cents);
    queue_.GetByKey(key);
    EXPECT_EQ(ErrorCode(), 0) << r.name << " " << r.cents;
  }
  Set("a", 0, 0, 1250);
  queue_.GetByKey(key);
  EXPECT_EQ(queue_.Pointer(), 1);
  Set("b", 0, 0, -1);
  queue_.GetByKey(key);
  EXPECT_EQ(queue_.Pointer(), 6);
}

TEST_F(QueueTest, PositionsOutsideTheQueuePost30AndChangeNothing) {
  for (int i = 1; i <= 3; ++i) {
    Set("row", i);
    queue_.Add();
  }
  Set("buffer", 77);
  queue_.Get(0);
  EXPECT_EQ(ErrorCode(), 30);
  EXPECT_EQ(row_.num, 77);
  queue_.Get(4);
  EXPECT_EQ(ErrorCode(), 30);
  queue_.Get(-1);
  EXPECT_EQ(ErrorCode(), 30);
  EXPECT_EQ(row_.num, 77);
  // Without a match GET by key posts 30 and leaves the buffer alone.
  const std::int32_t by_num[] = {2, 0};
  Set("buffer", 99);
  queue_.GetByKey(by_num);
  EXPECT_EQ(ErrorCode(), 30);
  EXPECT_EQ(row_.num, 99);
  // A fresh queue has no pointer: PUT and DELETE find no entry.
  Queue fresh(std::span(reinterpret_cast<std::uint8_t*>(&row_), sizeof row_), layout_);
  fresh.Put();
  EXPECT_EQ(ErrorCode(), 30);
  fresh.Delete();
  EXPECT_EQ(ErrorCode(), 30);
  // The next operation clears the pending error.
  EXPECT_EQ(queue_.Records(), 3);
  EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(QueueTest, AddAtPositionInsertsOrAppends) {
  for (int i = 1; i <= 3; ++i) {
    Set("row", i);
    queue_.Add();
  }
  Set("zero", 10);
  queue_.Add(0);
  EXPECT_EQ(queue_.Pointer(), 4);
  Set("beyond", 11);
  queue_.Add(queue_.Records() + 5);
  EXPECT_EQ(queue_.Pointer(), 5);
  Set("first", 12);
  queue_.Add(1);
  EXPECT_EQ(queue_.Pointer(), 1);
  Set("middle", 13);
  queue_.Add(3);
  std::vector<std::int32_t> nums;
  for (std::int32_t i = 1; i <= queue_.Records(); ++i) {
    queue_.Get(i);
    nums.push_back(row_.num);
  }
  EXPECT_EQ(nums, (std::vector<std::int32_t>{12, 1, 13, 2, 3, 10, 11}));
}

TEST_F(QueueTest, DeleteAndPutActAtThePointerAndChangeTheStamp) {
  for (int i = 1; i <= 6; ++i) {
    Set("row", i);
    queue_.Add();
  }
  queue_.Get(5);
  const std::uint32_t before = queue_.Changes();
  queue_.Delete();
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(queue_.Records(), 5);
  EXPECT_NE(queue_.Changes(), before);
  queue_.Get(5);
  EXPECT_EQ(row_.num, 6);
  row_.num = 60;
  const std::uint32_t before_put = queue_.Changes();
  queue_.Put();
  EXPECT_NE(queue_.Changes(), before_put);
  queue_.Get(4);
  queue_.Get(5);
  EXPECT_EQ(row_.num, 60);
  // GET leaves the stamp alone.
  const std::uint32_t after = queue_.Changes();
  queue_.Get(1);
  EXPECT_EQ(queue_.Changes(), after);
  queue_.Free();
  EXPECT_EQ(queue_.Records(), 0);
  EXPECT_EQ(queue_.Pointer(), 0);
}

TEST_F(QueueTest, BadKeyFieldsPost75AndDoNothing) {
  Set("row", 1);
  queue_.Add();
  const std::int32_t zero[] = {0};
  const std::int32_t beyond[] = {1, 5, 0};
  const std::int32_t beyond_descending[] = {-5, 0};
  for (KeyFields key : {KeyFields(zero), KeyFields(beyond), KeyFields(beyond_descending)}) {
    queue_.AddByKey(key);
    EXPECT_EQ(ErrorCode(), 75);
    EXPECT_EQ(queue_.Records(), 1);
    queue_.GetByKey(key);
    EXPECT_EQ(ErrorCode(), 75);
  }
}

TEST_F(QueueTest, StringKeysCompareByCollationIgnoringTrailingBlanks) {
  const std::int32_t by_name[] = {1, 0};
  for (const char* n : {"b", "B", "a ", "A", "ab"}) {
    Set(n);
    queue_.AddByKey(by_name);
  }
  std::vector<std::string> names;
  for (std::int32_t i = 1; i <= queue_.Records(); ++i) {
    queue_.Get(i);
    names.push_back(Name());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "a", "ab", "b"}));
  Set("a");
  queue_.GetByKey(by_name);
  EXPECT_EQ(queue_.Pointer(), 3);
}

TEST_F(QueueTest, KeyedAddsMatchAStableSortOfTheSameRows) {
  std::mt19937 random(7);
  const std::int32_t key[] = {2, -4, 0};  // num ascending, seq descending
  std::vector<std::pair<std::int32_t, std::int16_t>> model;  // in insertion order
  for (std::int16_t i = 0; i < 2000; ++i) {
    const std::int32_t num = static_cast<std::int32_t>(random() % 50) - 25;
    const std::int16_t seq = static_cast<std::int16_t>(random() % 5);
    Set(std::to_string(i), num, seq);
    queue_.AddByKey(key);
    ASSERT_EQ(ErrorCode(), 0);
    model.emplace_back(num, seq);
  }
  // Names carry the insertion number; a stable sort of the model gives the
  // expected order.
  std::vector<std::size_t> expected(model.size());
  for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = i;
  std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
    if (model[a].first != model[b].first) return model[a].first < model[b].first;
    return model[a].second > model[b].second;
  });
  for (std::size_t i = 0; i < expected.size(); ++i) {
    queue_.Get(static_cast<std::int32_t>(i + 1));
    ASSERT_EQ(Name(), std::to_string(expected[i])) << "position " << i + 1;
  }
}

TEST_F(QueueTest, HoldsAtMostAMillionEntries) {
  Set("x");
  for (std::size_t i = 0; i < kMaxEntries; ++i) queue_.Add();
  EXPECT_EQ(queue_.Records(), 1000000);
  const std::uint32_t stamp = queue_.Changes();
  queue_.Add();
  EXPECT_EQ(ErrorCode(), 8);
  EXPECT_EQ(queue_.Records(), 1000000);
  EXPECT_EQ(queue_.Changes(), stamp);
  queue_.Get(1000000);
  queue_.Delete();
  queue_.Add(1);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(queue_.Pointer(), 1);
}

}  // namespace
}  // namespace tavero::queues
