#include <gtest/gtest.h>

#include "locale/fresh_locale_test.h"
#include "locale/locale.h"

namespace tavero {
namespace {

using CollationTest = FreshLocaleTest;

TEST_F(CollationTest, DefaultCaseTablesPairOnlyAsciiLetters) {
  EXPECT_EQ(ToUpper("abc xyz 09 \xE9"), "ABC XYZ 09 \xE9");
  EXPECT_EQ(ToLower("ABC XYZ 09 \xC9"), "abc xyz 09 \xC9");
  EXPECT_TRUE(IsUpper('Q'));
  EXPECT_FALSE(IsUpper('q'));
  EXPECT_TRUE(IsAlphanumeric('7'));
  EXPECT_FALSE(IsAlphanumeric('-'));
  EXPECT_TRUE(IsLetter('q'));
  EXPECT_FALSE(IsLetter('7'));
}

TEST_F(CollationTest, DefaultOrderIsByteOrderAndShorterSortsFirst) {
  EXPECT_LT(CompareCollated("ABC", "ABD"), 0);
  EXPECT_GT(CompareCollated("b", "a"), 0);
  EXPECT_EQ(CompareCollated("same", "same"), 0);
  EXPECT_LT(CompareCollated("AB", "ABC"), 0);
  EXPECT_GT(CompareCollated("AB ", "AB"), 0);  // the end sorts before even a blank
  EXPECT_LT(CompareCollated("", "\x01"), 0);
  EXPECT_LT(CompareCollated("Z", "a"), 0);
  EXPECT_GT(CompareCollated("\xE9", "z"), 0);  // weights are unsigned
  EXPECT_EQ(CompareCollatedNoCase("Topps", "TOPPS"), 0);
  EXPECT_LT(CompareCollatedNoCase("apple", "BANANA"), 0);
  EXPECT_EQ(CompareNoCase("JANUARY", "jan", 3), 0);
  EXPECT_LT(CompareNoCase("ja", "jan", 3), 0);
}

TEST_F(CollationTest, DigraphsSortAsTheirTwoCharacters) {
  MutableLocale().digraphs = {{'\xDF', 's', 's'}};  // sharp s sorts as "ss"
  EXPECT_EQ(CompareCollated("Stra\xDF" "e", "Strasse"), 0);
  EXPECT_LT(CompareCollated("Stra\xDF" "e", "Strast"), 0);
  EXPECT_GT(CompareCollated("Stra\xDF", "Stras"), 0);
  EXPECT_EQ(SortKeyAnsi("\xDF"), "ss");
  // Case-insensitively the expansion is upper-cased as well.
  EXPECT_EQ(CompareCollatedNoCase("STRA\xDF" "E", "strasse"), 0);
}

TEST_F(CollationTest, SortKeysMapThroughTheTables) {
  LocaleTables& tables = MutableLocale();
  tables.collation_ansi['a'] = 'b';
  tables.collation_ansi['b'] = 'a';
  EXPECT_EQ(SortKeyAnsi("abc"), "bac");
  EXPECT_GT(CompareCollated("a", "b"), 0);
  // The OEM key converts to code page 437 first: e-acute is 0x82 there.
  tables.collation_oem[0x82] = 0x10;
  EXPECT_EQ(SortKeyOem("\xE9" "a"), "\x10" "a");
}

// A key component's weights written in place agree with the sort key of the
// padded (and upper-cased) text cut to the component's size, with and
// without digraphs, in both character sets.
TEST_F(CollationTest, SortKeyInPlaceMatchesTheSortKeyOfThePaddedText) {
  LocaleTables& tables = MutableLocale();
  tables.collation_ansi['a'] = 'b';
  tables.collation_ansi['\0'] = 0x05;
  tables.collation_oem[0x82] = 0x10;
  const std::string texts[] = {"", "abc", "Stra\xDF" "e", "\xDF\xDF\xDF", "\xE9t\xE9", "toolongtext"};
  for (bool digraphs : {false, true}) {
    tables.digraphs.clear();
    if (digraphs) tables.digraphs = {{'\xDF', 's', 's'}, {'S', 'Z', 'z'}};
    for (const std::string& text : texts) {
      for (std::size_t size : {0u, 1u, 3u, 7u}) {
        for (bool upper : {false, true}) {
          for (bool oem : {false, true}) {
            std::string padded = text.substr(0, size);
            padded.resize(size, '\0');
            if (upper) padded = ToUpper(padded);
            std::string expected = oem ? SortKeyOem(padded) : SortKeyAnsi(padded);
            expected.resize(size, '\0');
            std::string out(size, '?');
            SortKeyInto(out, text, upper, oem);
            EXPECT_EQ(out, expected) << text << " " << size << upper << oem << digraphs;
          }
        }
      }
    }
  }
}

TEST_F(CollationTest, CharactersOfEqualWeightCompareEqualAndTheWalkGoesOn) {
  MutableLocale().collation_ansi['b'] = 'a';
  MutableLocale().collation_ansi['B'] = 'A';
  EXPECT_EQ(CompareCollated("ab", "ba"), 0);
  EXPECT_GT(CompareCollated("bz", "ay"), 0);
  EXPECT_LT(CompareCollatedNoCase("BY", "az"), 0);
}

}  // namespace
}  // namespace tavero
