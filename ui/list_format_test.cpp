#include "ui/list_format.h"

#include <gtest/gtest.h>

namespace tavero::ui {
namespace {

TEST(ListFormat, OneColumnOfTheBrowse) {
  const ListFormat f = ParseListFormat("36L|M~SET No~@N06@");
  ASSERT_EQ(f.columns.size(), 1u);
  const ListColumn& c = f.columns[0];
  EXPECT_EQ(c.width, 36);
  EXPECT_EQ(c.justification(), Justification::Left);
  EXPECT_TRUE(c.has(list_flag::kRightBorder));
  EXPECT_TRUE(c.has(list_flag::kResizable));
  EXPECT_EQ(c.heading, "SET No");
  EXPECT_EQ(c.picture, "@N06");
  EXPECT_EQ(c.field, 1);
  EXPECT_TRUE(f.complete);
  EXPECT_EQ(f.accepted, 18u);
}

TEST(ListFormat, FourColumnsTakeFieldsInOrder) {
  const std::string text = "36L|M~SET No~@N06@127L|M~MANUFACTURER~@s30@47L|M~YEAR~@s10@80L|M~TYPE OF CARD~@s20@";
  const ListFormat f = ParseListFormat(text);
  ASSERT_EQ(f.columns.size(), 4u);
  EXPECT_EQ(f.columns[1].heading, "MANUFACTURER");
  EXPECT_EQ(f.columns[3].picture, "@s20");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f.columns[i].field, i + 1);
  EXPECT_EQ(f.accepted, text.size());
  // Written back in the writer's order: the picture before the modifiers.
  EXPECT_EQ(WriteListFormat(f),
            "36L@N06@|M~SET No~127L@s30@|M~MANUFACTURER~47L@s10@|M~YEAR~80L@s20@|M~TYPE OF CARD~");
}

TEST(ListFormat, AColumnWithoutPictureShowsWithS30) {
  const ListFormat f = ParseListFormat("40L~Name~");
  ASSERT_EQ(f.columns.size(), 1u);
  EXPECT_EQ(f.columns[0].picture, "");
  EXPECT_EQ(f.columns[0].display_picture(), "@S30");
}

TEST(ListFormat, TheTreeColumnUsesItsColourIconAndLevelFields) {
  const ListFormat f = ParseListFormat("800L*IT@s200@20L~Next~");
  ASSERT_EQ(f.columns.size(), 2u);
  const ListColumn& tree = f.columns[0];
  EXPECT_EQ(tree.field, 1);
  EXPECT_EQ(tree.colour_field(), 2);
  EXPECT_EQ(tree.icon_field(), 6);
  EXPECT_EQ(tree.tree_field(), 7);
  EXPECT_EQ(f.columns[1].field, 8);
}

// Texts that end the parse early: the columns before the fault stand.
struct Early {
  const char* text;
  std::size_t columns;
  std::size_t accepted;
};

TEST(ListFormat, AnErrorEndsTheParseAtTheColumnBeforeIt) {
  const Early cases[] = {
      {"20L~A~30|~B~", 1, 6},           // "|" where the justification belongs
      {"20L~A~Lx", 1, 7},                // "L" heading justification, then a column without width
      {"20L~A~~B", 0, 0},                // unterminated heading
      {"20L@N06", 0, 0},                 // unterminated picture
      {"20L(3", 0, 0},                   // bad parenthesis
      {"20L#3", 0, 0},                   // field number without its closing "#"
      {"20L#0#", 0, 0},                  // no field 0
      {"20l", 0, 0},                     // justification in lower case
      {"20LS(x)", 0, 0},
      {"20LT(Q)", 0, 0},
      {"20L]", 1, 3},                    // a "]" without "["
      {"20L[10L", 2, 7},                 // a group never closed
      {"99999L", 0, 0},                  // width beyond the bound
      {"20L#4294967297#", 0, 0},         // field beyond the bound: no wrap to 1
      {"20L(99999999999999999999)", 0, 0},
      {"20L[]30L", 1, 5},                // the empty group ends the text
  };
  for (const Early& c : cases) {
    const ListFormat f = ParseListFormat(c.text);
    EXPECT_EQ(f.columns.size(), c.columns) << c.text;
    EXPECT_EQ(f.accepted, c.accepted) << c.text;
  }
  EXPECT_TRUE(ParseListFormat("20L[]30L").complete);
  EXPECT_FALSE(ParseListFormat("20L]").complete);
}

TEST(ListFormat, GroupsNestSixteenDeepAndNoDeeper) {
  const std::string sixteen = std::string(16, '[') + "10L" + std::string(16, ']');
  const ListFormat ok = ParseListFormat(sixteen);
  EXPECT_TRUE(ok.complete);
  ASSERT_EQ(ok.groups.size(), 16u);
  EXPECT_EQ(ok.columns[0].group, 15);
  EXPECT_EQ(ok.groups[15].parent, 14);
  EXPECT_EQ(WriteListFormat(ok), sixteen);

  const ListFormat deep = ParseListFormat(std::string(17, '[') + "10L" + std::string(17, ']'));
  EXPECT_FALSE(deep.complete);
  EXPECT_TRUE(deep.columns.empty());
  // Far deeper input is an error too, never a deep recursion.
  const ListFormat far = ParseListFormat(std::string(100000, '[') + "10L");
  EXPECT_FALSE(far.complete);
}

TEST(ListFormat, GroupsTakeAWidthAndModifiers) {
  const ListFormat f = ParseListFormat("[20L~A~30R~B~](50)|~Both~C10L");
  ASSERT_TRUE(f.complete);
  ASSERT_EQ(f.groups.size(), 1u);
  EXPECT_EQ(f.groups[0].width, 50);
  EXPECT_EQ(f.groups[0].heading, "Both");
  EXPECT_EQ(f.groups[0].heading_justification(), Justification::Centre);
  EXPECT_EQ(f.groups[0].first_column, 0);
  EXPECT_EQ(f.groups[0].column_count, 2);
  EXPECT_EQ(f.columns[2].group, -1);
  EXPECT_EQ(f.columns[2].field, 3);
}

// Written back, every text re-parses to the same columns; texts already in
// the written order come back unchanged.
TEST(ListFormat, WritingBackReparsesToTheSameColumns) {
  const char* texts[] = {
      "36L|M~SET No~@N06@",
      "20R(2)#3#@n-10.2@/?|_FM*IT(LBI)~Price~C(4)S(120)H(3)",
      "20L#5#30L#2#40L",          // explicit fields that break the sequence
      "20L30L#2#",                // one that merely restates it
      "0L~Hidden~10D~Amount~",
      "[10L[20C~In~]H]~Out~R(-2)30L",
      "20L(-3)~H~",               // the heading indent follows the column's
      "20L(3)~H~(0)",             // unless it is written
      "20L~~R",                   // an empty heading with its own justification
      "20Lt(b)s",                 // modifiers in lower case
      "800L*IT@s200@",
  };
  for (const char* text : texts) {
    const ListFormat first = ParseListFormat(text);
    ASSERT_TRUE(first.complete) << text;
    const std::string written = WriteListFormat(first);
    const ListFormat again = ParseListFormat(written);
    EXPECT_EQ(again.columns, first.columns) << text << " -> " << written;
    EXPECT_EQ(again.groups, first.groups) << text << " -> " << written;
  }
  EXPECT_EQ(WriteListFormat(ParseListFormat("20L30L#2#")), "20L30L");
  EXPECT_EQ(WriteListFormat(ParseListFormat("20L#5#30L#2#40L")), "20L#5#30L#2#40L");
  EXPECT_EQ(WriteListFormat(ParseListFormat("800L*IT@s200@")), "800L@s200@*IT");
}

}  // namespace
}  // namespace tavero::ui
