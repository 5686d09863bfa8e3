#include "tools/sample_collection.h"

#include <gtest/gtest.h>

#include <set>

#include "decimal/decimal.h"

namespace tavero::tool {
namespace {

TEST(SampleCollection, DayNumbersCountFromTheEndOf1800) {
  EXPECT_EQ(DayNumber(1801, 1, 1), 4);
  EXPECT_EQ(DayNumber(1800, 12, 28), 0);
  EXPECT_EQ(DayNumber(2000, 3, 1) - DayNumber(2000, 2, 28), 2);  // 2000 is a leap year
}

TEST(SampleCollection, SameSeedSameCollection) {
  const SampleCollection a = MakeSampleCollection({5, 7, 42});
  const SampleCollection b = MakeSampleCollection({5, 7, 42});
  const SampleCollection other = MakeSampleCollection({5, 7, 43});
  ASSERT_EQ(a.cards.size(), 35u);
  EXPECT_TRUE(std::equal(a.cards.begin(), a.cards.end(), b.cards.begin()));
  EXPECT_FALSE(std::equal(a.cards.begin(), a.cards.end(), other.cards.begin()));
}

TEST(SampleCollection, FitsTheFilesItIsMeantFor) {
  const SampleCollection c = MakeSampleCollection({60, 40, 7});
  const std::set<std::string> manufacturers(c.manufacturers.begin(), c.manufacturers.end());
  const std::set<std::string> types(c.types.begin(), c.types.end());
  std::set<int> numbers;
  for (const SampleSet& set : c.sets) {
    EXPECT_TRUE(numbers.insert(set.number).second);
    EXPECT_TRUE(manufacturers.count(set.manufacturer)) << set.manufacturer;
    EXPECT_TRUE(types.count(set.type)) << set.type;
    EXPECT_LE(set.year.size(), 10u);
  }
  for (const std::string& m : c.manufacturers) EXPECT_LE(m.size(), 20u);
  std::size_t notes = 0, sold = 0;
  for (const SampleCard& card : c.cards) {
    EXPECT_TRUE(numbers.count(card.set));
    EXPECT_LE(card.first_name.size(), 20u);
    EXPECT_LE(card.last_name.size(), 20u);
    EXPECT_LE(card.notes.size(), 500u);
    for (const std::string* money : {&card.low_value, &card.high_value, &card.price_paid, &card.price_sold}) {
      const auto value = decimal::DecimalAccumulator::FromText(*money);
      EXPECT_TRUE(decimal::FitsDecimalField(value, 4, 2)) << *money;
    }
    EXPECT_LE(decimal::Compare(decimal::DecimalAccumulator::FromText(card.low_value),
                               decimal::DecimalAccumulator::FromText(card.high_value)),
              0);
    if (card.date_sold != 0) {
      EXPECT_GE(card.date_sold, card.date_bought);
      ++sold;
    }
    notes += !card.notes.empty();
  }
  EXPECT_GT(notes, 0u);
  EXPECT_GT(sold, 0u);
}

}  // namespace
}  // namespace tavero::tool
