// The thumb table over numbers and texts, and the incremental locator.
#include <gtest/gtest.h>

#include "app/browse_locator.h"
#include "app/thumb_table.h"

namespace zephcol {
namespace {

struct NumericCase {
  double low, high;
  int entry;
  double value;
};

TEST(ThumbTable, NumbersAreSpreadEvenlyWithBothEndsExact) {
  const NumericCase cases[] = {
      {1, 100, 1, 1},      {1, 100, 100, 100}, {1, 100, 50, 50},  // the middle of a set-number order
      {0, 99, 2, 1},       {7, 7, 1, 7},       {7, 7, 100, 7},    // one record: low equals high
      {1, 32767, 100, 32767},
  };
  for (const NumericCase& c : cases) {
    const ThumbTable table = ThumbTable::Numbers(c.low, c.high);
    EXPECT_DOUBLE_EQ(table.Number(c.entry), c.value) << c.low << ".." << c.high << " entry " << c.entry;
  }
}

TEST(ThumbTable, ANumbersPositionIsTheFirstEntryReachingIt) {
  const ThumbTable table = ThumbTable::Numbers(1, 100);
  EXPECT_EQ(table.PositionOf(1), 0);    // entry 1 gives 0
  EXPECT_EQ(table.PositionOf(0), 0);
  EXPECT_EQ(table.PositionOf(50), 50);
  EXPECT_EQ(table.PositionOf(100), 100);
  EXPECT_EQ(table.PositionOf(5000), 100);  // beyond every entry: the bottom
}

struct TextCase {
  const char* low;
  const char* high;
  std::size_t width;
  int entry;
  const char* text;
};

TEST(ThumbTable, TextsSpreadFourLettersAfterTheCommonPrefix) {
  const TextCase cases[] = {
      // No common prefix: the four leading letters, base 27.
      {"AAAA", "ZZZZ", 4, 1, "AAAA"},
      {"AAAA", "ZZZZ", 4, 100, "ZZZZ"},
      // A common prefix stays as low has it.
      {"Topps 1", "Topps 9", 10, 1, "Topps 1"},
      // A short high is extended with the alphabet's last letter.
      {"BOWMAN", "UPPER DECK", 20, 100, "UPPE"},
      {"A", "B", 5, 100, "BZZZ"},
      // One record, low equals high, field shorter than prefix + 4: missing
      // characters are digit 0 and the step stays 0.
      {"ABC", "ABC", 3, 1, "ABC"},
      {"ABC", "ABC", 3, 50, "ABC    "},
      {"ABC", "ABC", 3, 100, "ABC"},
      // A high below low gives no negative step: every inner entry is low's.
      {"ZZ", "AA", 2, 2, "ZZ  "},
      // Lower case is read upper-cased.
      {"abcd", "abcz", 4, 100, "abcZ"},
  };
  for (const TextCase& c : cases) {
    const ThumbTable table = ThumbTable::Texts(c.low, c.high, c.width);
    EXPECT_EQ(table.Text(c.entry), c.text) << c.low << ".." << c.high << " entry " << c.entry;
  }
}

TEST(ThumbTable, TextEntriesBetweenTheEndsAreLettersAndInOrder) {
  for (const auto& [low, high] : {std::pair{"AARON", "ZYGMUNT"}, std::pair{"BOWMAN", "UPPER DECK"},
                                  std::pair{"FLEER", "FLEERZZ"}}) {
    const ThumbTable table = ThumbTable::Texts(low, high, 20);
    for (int i = 2; i < ThumbTable::kEntries; ++i) {
      EXPECT_LE(table.Text(i - 1), table.Text(i)) << low << " entry " << i;
      for (char c : table.Text(i).substr(table.Text(i).size() - 4)) {
        EXPECT_TRUE(c == ' ' || (c >= 'A' && c <= 'Z')) << low << " entry " << i << ": " << table.Text(i);
      }
    }
  }
}

TEST(ThumbTable, ATextsPositionComparesUpperCased) {
  const ThumbTable table = ThumbTable::Texts("AAAA", "ZZZZ", 4);
  EXPECT_EQ(table.PositionOf("aaaa"), 0);
  EXPECT_EQ(table.PositionOf("ZZZZ"), 100);
  EXPECT_EQ(table.PositionOf("zzzz "), 100);
  const int middle = table.PositionOf("MMMM");
  EXPECT_GT(middle, 40);
  EXPECT_LT(middle, 60);
  // A value no entry reaches puts the thumb at the bottom.
  EXPECT_EQ(ThumbTable::Texts("A", "A", 1).PositionOf("~~~"), 100);
  EXPECT_EQ(ThumbTable{}.PositionOf(std::string_view("X")), 0);  // empty table: all blank
}

TEST(BrowseLocator, ATextLocatorIsBoundedByItsField) {
  BrowseLocator locator = BrowseLocator::ForText(4);
  EXPECT_FALSE(locator.Backspace());  // empty: nothing to take back
  for (char c : std::string("1994")) EXPECT_TRUE(locator.Type(c));
  EXPECT_FALSE(locator.Type('X'));  // full: ignored
  EXPECT_EQ(locator.text(), "1994");
  EXPECT_TRUE(locator.Backspace());
  EXPECT_EQ(locator.text(), "199");
  EXPECT_TRUE(locator.Type(' '));  // a blank is a character like any other
  EXPECT_EQ(locator.text(), "199 ");
  locator.Clear();
  EXPECT_EQ(locator.text(), "");
}

TEST(BrowseLocator, ASetNumberLocatorTakesDigitsUpTo32767) {
  BrowseLocator locator = BrowseLocator::ForNumber(32767);
  EXPECT_FALSE(locator.Type('A'));
  EXPECT_FALSE(locator.Type('-'));
  for (char c : std::string("3276")) EXPECT_TRUE(locator.Type(c));
  EXPECT_FALSE(locator.Type('8'));  // 32768 does not fit
  EXPECT_TRUE(locator.Type('7'));
  EXPECT_EQ(locator.number(), 32767);
  EXPECT_FALSE(locator.Type('0'));  // as wide as the largest value
  EXPECT_TRUE(locator.Backspace());
  EXPECT_EQ(locator.number(), 3276);
}

}  // namespace
}  // namespace zephcol
