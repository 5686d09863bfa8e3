#include "decimal/strings.h"

#include <gtest/gtest.h>

#include "locale/locale.h"

namespace tavero::strings {
namespace {

TEST(StringAssignment, FixedTruncatesOrPadsAndFillsForAMissingSource) {
  char four[4];
  AssignFixed(four, "ABCDEF");
  EXPECT_EQ(std::string_view(four, 4), "ABCD");
  AssignFixed(four, "AB");
  EXPECT_EQ(std::string_view(four, 4), "AB  ");
  AssignFixed(four, nullptr, 1);
  EXPECT_EQ(std::string_view(four, 4), "\xFF\xFF\xFF\xFF");
  AssignFixed(four, nullptr, -1);
  EXPECT_EQ(std::string(four, 4), std::string(4, '\0'));
  AssignFixed(four, nullptr, 0);
  EXPECT_EQ(std::string_view(four, 4), "    ");
}

TEST(StringAssignment, NullTerminatedAndLengthPrefixedKeepRoomForTheirMarks) {
  char z[4];
  AssignNullTerminated(z, "ABCDEF", 6);
  EXPECT_EQ(std::string(z, 4), std::string("ABC\0", 4));
  AssignNullTerminated(z, nullptr, 5);
  EXPECT_EQ(std::string(z, 4), std::string("\xFF\xFF\xFF\0", 4));
  AssignNullTerminated(z, "A", -3);
  EXPECT_EQ(z[0], '\0');
  char p[4];
  AssignLengthPrefixed(p, "ABCDEF");
  EXPECT_EQ(std::string(p, 4), std::string("\3ABC", 4));
  AssignLengthPrefixed(p, "A");
  EXPECT_EQ(p[0], 1);
  EXPECT_EQ(p[1], 'A');
}

TEST(StringComparison, TrailingBlanksNeverMatter) {
  EXPECT_EQ(CompareFixed("ABC", "ABC   "), 0);
  EXPECT_EQ(CompareFixed("ABC   ", "ABC"), 0);
  EXPECT_LT(CompareFixed("ABC", "ABD"), 0);
  EXPECT_GT(CompareFixed("ABCD", "ABC "), 0);
  EXPECT_LT(CompareFixed("AB", "AB!"), 0);  // '!' sorts after the blank
  EXPECT_LT(CompareFixed("AB\x01", "AB"), 0);
}

TEST(StringComparison, FollowsTheCollationTable) {
  ResetLocale();
  ApplySetting("TAVCOLSEQ", "BA");  // B sorts before A
  EXPECT_LT(CompareFixed("B", "A"), 0);
  EXPECT_GT(CompareFixed("AZ", "BZ"), 0);
  ResetLocale();
  EXPECT_LT(CompareFixed("A", "B"), 0);
}

TEST(StringOperations, ClipSubAndJustification) {
  EXPECT_EQ(CLIP("AB  "), "AB");
  EXPECT_EQ(CLIP("   "), "");
  EXPECT_EQ(SUB("ABCDEF", -2, 5), "EF");
  EXPECT_EQ(SUB("ABCDEF", 2, 3), "BCD");
  EXPECT_EQ(SUB("ABCDEF", 5, 10), "EF");
  EXPECT_EQ(SUB("ABCDEF", 7, 1), "");
  EXPECT_EQ(SUB("ABCDEF", -10, 2), "AB");
  EXPECT_EQ(SUB("ABCDEF", 1, -1), "");
  EXPECT_EQ(LEFT("  AB  "), "AB    ");
  EXPECT_EQ(RIGHT("  AB  "), "    AB");
  EXPECT_EQ(CENTER("AB    "), "  AB  ");
  EXPECT_EQ(CENTER("AB   "), " AB  ");
  EXPECT_EQ(CENTER("   "), "   ");
  EXPECT_EQ(ALL("AB", 5), "ABABA");
  EXPECT_EQ(ALL("*").size(), 255u);
  EXPECT_EQ(UPPER("abc1"), "ABC1");
  EXPECT_EQ(LOWER("ABC1"), "abc1");
  EXPECT_EQ(LEN("AB  "), 4);
  EXPECT_TRUE(IsTrue(" x "));
  EXPECT_FALSE(IsTrue("    "));
}

TEST(StringOperations, InstringCountsBlocksOfTheStep) {
  EXPECT_EQ(INSTRING("CD", "ABCDEF"), 2);
  EXPECT_EQ(INSTRING("CD", "ABCDEF", 1), 3);
  EXPECT_EQ(INSTRING("BC", "ABCDEF"), 0);  // not on a two-character block
  EXPECT_EQ(INSTRING("CD", "ABCDEF", 1, 4), 0);
  EXPECT_EQ(INSTRING("", "ABCDEF", 1), 0);
  EXPECT_EQ(INSTRING("A", "ABA", -1, 3), 3);
  EXPECT_EQ(INSTRING("ABCDEFG", "ABC", 1), 0);
}

TEST(StringOperations, NumericWantsTheWholeClippedText) {
  EXPECT_EQ(NUMERIC("12.5   "), 1);
  EXPECT_EQ(NUMERIC(" -1e5"), 1);
  EXPECT_EQ(NUMERIC("12a"), 0);
  EXPECT_EQ(NUMERIC(""), 0);
  EXPECT_EQ(NUMERIC("0x1A"), 0);
  EXPECT_EQ(NUMERIC("inf"), 0);
  EXPECT_EQ(NUMERIC(std::string(41, '1')), 0);
}

TEST(TextArgumentStack, HoldsAtMost32Entries) {
  TextArgumentStack stack;
  for (int i = 0; i < 40; ++i) stack.Push(std::to_string(i));
  EXPECT_EQ(stack.size(), 32);
  EXPECT_EQ(stack.Top(), "31");
  EXPECT_EQ(stack.Pop(), "31");
  while (stack.size() > 0) stack.Pop();
  EXPECT_EQ(stack.Pop(), "");
}

}  // namespace
}  // namespace tavero::strings
