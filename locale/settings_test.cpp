#include <string>

#include <gtest/gtest.h>

#include "locale/fresh_locale_test.h"
#include "locale/locale.h"

namespace tavero {
namespace {

using SettingsTest = FreshLocaleTest;

TEST_F(SettingsTest, MonthNamesAreReplacedInOrderAndCut) {
  ApplySetting("TAVMONTH",
               "Januar,Februar,M\xE4rz,April,Mai,Juni,Juli,August,September,Oktober,November,"
               "Dezember,Extra");
  EXPECT_EQ(tables().long_month_names[0], "Januar");
  EXPECT_EQ(tables().long_month_names[2], "M\xE4rz");
  EXPECT_EQ(tables().long_month_names[11], "Dezember");
  ApplySetting("tavmonth", "\"Averyveryverylongname\",\"Second, with comma\"");
  EXPECT_EQ(tables().long_month_names[0], "Averyveryver");  // 12 characters
  EXPECT_EQ(tables().long_month_names[1], "Second, with");
  // An empty item ends the list; what follows it is not applied.
  ApplySetting("TAVMONTH", "One,,Three");
  EXPECT_EQ(tables().long_month_names[0], "One");
  EXPECT_EQ(tables().long_month_names[1], "Second, with");
  EXPECT_EQ(tables().long_month_names[2], "M\xE4rz");

  ApplySetting("TAVMON", "Jnr,Feber,Mrz");
  EXPECT_EQ(tables().short_month_names[0], "Jnr");
  EXPECT_EQ(tables().short_month_names[1], "Feb");
  EXPECT_EQ(tables().short_month_names[2], "Mrz");
  EXPECT_EQ(tables().short_month_names[3], "Apr");
}

TEST_F(SettingsTest, AmPmTextsAreTwoCharactersAndWindowsCopiesTheLocaleTexts) {
  ApplySetting("TAVAMPM", "vorm,nachm,extra");
  EXPECT_EQ(tables().am_pm[0], "vo");
  EXPECT_EQ(tables().am_pm[1], "na");
  MutableLocale().locale_am_pm = {"a", "p"};
  ApplySetting("TAVAMPM", "windows");
  EXPECT_EQ(tables().am_pm[0], "a");
  EXPECT_EQ(tables().am_pm[1], "p");
}

TEST_F(SettingsTest, MessageAndButtonOverrides) {
  EXPECT_FALSE(MessageOverride(35).has_value());
  ApplySetting("TAVMSG35", "Karte nicht gefunden");
  ASSERT_TRUE(MessageOverride(35).has_value());
  EXPECT_EQ(*MessageOverride(35), "Karte nicht gefunden");
  ApplySetting("TavMsg35", "\"Quoted, \"\"really\"\"\"");  // a second override replaces
  EXPECT_EQ(*MessageOverride(35), "Quoted, \"really\"");
  ApplySetting("TAVMSG40", "Commas, stay, in messages");
  EXPECT_EQ(*MessageOverride(40), "Commas, stay, in messages");

  // Names that are no message number change nothing.
  for (const char* name : {"TAVMSG", "TAVMSGx", "TAVMSG-3", "TAVMSG99999999999999999", "TAVMSG3a"}) {
    ApplySetting(name, "ignored");
  }
  EXPECT_EQ(tables().message_overrides.size(), 2u);

  ApplySetting("TAVBUTTON", "&Ja,,&Nein");
  EXPECT_EQ(*MessageOverride(kFirstButtonMessage), "&Ja");
  EXPECT_FALSE(MessageOverride(kFirstButtonMessage + 1).has_value());  // empty item skipped
  EXPECT_EQ(*MessageOverride(kFirstButtonMessage + 2), "&Nein");
}

TEST_F(SettingsTest, CaseListsPairCharactersAbove127Only) {
  ApplySetting("TAVCASE", "\xC4\xD6\xDC" "X,\xE4\xF6\xFC" "y");
  EXPECT_EQ(ToUpper("\xE4\xF6\xFC"), "\xC4\xD6\xDC");
  EXPECT_EQ(ToLower("\xC4\xD6\xDC"), "\xE4\xF6\xFC");
  EXPECT_TRUE(IsUpper('\xC4'));
  EXPECT_TRUE(IsLetter('\xE4'));
  EXPECT_EQ(ToUpper('y'), 'Y');   // the ASCII pairs stay
  EXPECT_EQ(ToLower('X'), 'x');   // and are not re-paired with the list
  EXPECT_EQ(ToUpper('\xE9'), '\xE9');  // unlisted Latin-1 letters have no case

  // Lists of different length take the platform's pairs.
  ApplySetting("TAVCASE", "\xC4,\xE4\xF6");
  EXPECT_EQ(ToUpper('\xE9'), '\xC9');
  EXPECT_EQ(ToUpper('\x9A'), '\x8A');  // s with caron
  EXPECT_EQ(ToLower('\x9F'), '\xFF');  // Y with diaeresis
  EXPECT_EQ(ToUpper('\xDF'), '\xDF');  // sharp s has no capital
  EXPECT_EQ(ToUpper('\xF7'), '\xF7');  // division sign is no letter
  EXPECT_FALSE(IsLetter('\xD7'));

  // An empty value restores the defaults.
  ApplySetting("TAVCASE", "");
  EXPECT_EQ(ToUpper('\xE9'), '\xE9');
  EXPECT_EQ(ToUpper('a'), 'A');
  EXPECT_TRUE(IsAlphanumeric('5'));
}

TEST_F(SettingsTest, WindowsCaseMatchesTheLatin1Letters) {
  ApplySetting("TAVCASE", "WINDOWS");
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c == 0xD7) continue;
    EXPECT_EQ(static_cast<uint8_t>(ToUpper(static_cast<char>(c + 32))), c);
    EXPECT_TRUE(IsUpper(static_cast<char>(c)));
  }
  EXPECT_EQ(CompareCollatedNoCase("\xC9T\xC9", "\xE9t\xE9"), 0);
}

TEST_F(SettingsTest, ShortCollationListReordersAmongItsOwnCodes) {
  // Sort 'c' first, then 'a', then 'b': they share the codes of a, b, c.
  ApplySetting("TAVCOLSEQ", "cabca");
  EXPECT_EQ(CollationWeight('c'), 'a');
  EXPECT_EQ(CollationWeight('a'), 'b');
  EXPECT_EQ(CollationWeight('b'), 'c');
  EXPECT_EQ(CollationWeight('d'), 'd');
  EXPECT_LT(CompareCollated("cz", "az"), 0);
  // Commas do not separate items here.
  ApplySetting("TAVCOLSEQ", "b,a");
  EXPECT_EQ(CollationWeight('b'), ',');
  EXPECT_EQ(CollationWeight(','), 'a');
  EXPECT_EQ(CollationWeight('a'), 'b');
  ApplySetting("TAVCOLSEQ", "");
  EXPECT_EQ(CollationWeight('b'), 'b');
  EXPECT_EQ(tables().collation_oem[','], ',');
}

TEST_F(SettingsTest, FullCollationListOrdersThePrintableRange) {
  // All 222 characters of 32..126 and 128..254, lower-case letters first.
  std::string list;
  for (int c = 'a'; c <= 'z'; ++c) list += static_cast<char>(c);
  for (int c = 32; c <= 126; ++c) {
    if (c < 'a' || c > 'z') list += static_cast<char>(c);
  }
  for (int c = 128; c <= 254; ++c) list += static_cast<char>(c);
  ASSERT_EQ(list.size(), 222u);
  ApplySetting("TAVCOLSEQ", list);
  EXPECT_EQ(CollationWeight('a'), 32);
  EXPECT_EQ(CollationWeight('z'), 57);
  EXPECT_EQ(CollationWeight(' '), 58);
  EXPECT_EQ(CollationWeight('\x80'), 128);
  EXPECT_EQ(CollationWeight('\xFE'), 254);
  EXPECT_EQ(CollationWeight('\xFF'), 255);  // unlisted: its own code
  EXPECT_LT(CompareCollated("zebra", "ANT"), 0);
  // The OEM table is built from the same list in code page 437.
  EXPECT_EQ(tables().collation_oem['a'], 32);
}

TEST_F(SettingsTest, CollationListInOemIsConvertedForTheAnsiTable) {
  ApplySetting("TAVCHARSET", "OEM");
  // 0x82 is e-acute in code page 437, 0xE9 in Windows-1252.
  ApplySetting("TAVCOLSEQ", "\x82" "e");
  EXPECT_EQ(tables().collation_oem[0x82], 'e');
  EXPECT_EQ(tables().collation_oem['e'], 0x82);
  EXPECT_EQ(CollationWeight('\xE9'), 'e');
  EXPECT_EQ(CollationWeight('e'), 0xE9);
  // Other values are read as OEM and converted: TAVMONTH gets e-acute.
  ApplySetting("TAVMONTH", "F\x82vrier");
  EXPECT_EQ(tables().long_month_names[0], "F\xE9vrier");
  ApplySetting("TAVCHARSET", "ANSI");
  EXPECT_EQ(tables().environment_charset, CharacterSet::Ansi);
}

TEST_F(SettingsTest, WindowsCollationIsAPermutationOfTheCharacters) {
  ApplySetting("TAVCOLSEQ", "WINDOWS");
  std::array<bool, 256> used{};
  for (int c = 1; c <= 254; ++c) {
    const uint8_t weight = tables().collation_ansi[c];
    EXPECT_GE(weight, 1);
    EXPECT_LE(weight, 254);
    EXPECT_FALSE(used[weight]) << c;
    used[weight] = true;
  }
  EXPECT_EQ(tables().collation_ansi[0], 0);
  EXPECT_EQ(tables().collation_ansi[255], 255);
  EXPECT_LT(CompareCollated("A", "B"), 0);
  EXPECT_LT(CompareCollated("a", "b"), 0);
  EXPECT_LT(CompareCollated("1", "2"), 0);
}

TEST_F(SettingsTest, DigraphGroupsAreLimitedToSixteen) {
  ApplySetting("TAVDIGRAPH", "\xDFss,\xC6" "AE\xE6" "ae,xy");  // "xy" is no whole group
  ASSERT_EQ(tables().digraphs.size(), 3u);
  EXPECT_EQ(tables().digraphs[1].character, '\xC6');
  EXPECT_EQ(tables().digraphs[2].second, 'e');
  EXPECT_EQ(SortKeyAnsi("\xC6gir"), "AEgir");
  std::string many;
  for (int k = 0; k < 20; ++k) many += std::string{static_cast<char>('A' + k), 'x', 'y'};
  ApplySetting("TAVDIGRAPH", many);
  EXPECT_EQ(tables().digraphs.size(), static_cast<std::size_t>(kMaxDigraphs));
  ApplySetting("TAVDIGRAPH", "");
  EXPECT_TRUE(tables().digraphs.empty());
}

TEST_F(SettingsTest, UnknownNamesChangeNothing) {
  ApplySetting("TAVNOTHING", "x");
  ApplySetting("", "x");
  EXPECT_EQ(tables().long_month_names, LocaleTables::Defaults().long_month_names);
  EXPECT_TRUE(tables().message_overrides.empty());
}

}  // namespace
}  // namespace tavero
