#include "pictures/picture.h"

#include <gtest/gtest.h>

#include "locale/locale.h"

#include <string>
#include <vector>

namespace tavero::pictures {
namespace {

constexpr std::int64_t kJan5_1996 = 71230;
constexpr std::int64_t k13_05_09 = 4710901;

struct Case {
  const char* picture;
  const char* expected;
};

TEST(CompilePicture, SizesAndHeader) {
  CompiledPicture pic;
  EXPECT_EQ(CompilePicture("@s20", pic), 2);
  EXPECT_EQ(pic.type(), PictureType::String);
  EXPECT_EQ(pic.width(), 20);
  EXPECT_EQ(CompilePicture("n-10.2", pic), 22);  // the '@' is optional
  EXPECT_EQ(pic.type(), PictureType::Numeric);
  EXPECT_EQ(pic.value_class(), ValueClass::Decimal);
  EXPECT_EQ(CompilePicture("@N10.2B", pic), 22);
  EXPECT_TRUE(pic.blank_when_zero());
  EXPECT_EQ(pic.bytes()[0], 0x80 | 3 << 3);
  EXPECT_EQ(CompilePicture("@D1", pic), 18);
  EXPECT_EQ(pic.value_class(), ValueClass::Long);
  EXPECT_EQ(CompilePicture("@E12.1", pic), 26);
  EXPECT_EQ(pic.value_class(), ValueClass::Real);
  EXPECT_EQ(CompilePicture("@K##-@@K", pic), 12);
  EXPECT_EQ(pic.value_class(), ValueClass::String);
}

TEST(CompilePicture, RejectsInvalidText) {
  const std::vector<std::string> invalid = {
      "", "@", "@X5", "@S0", "@S256", "@S10x", "@N", "@N0", "@N(5", "@N-5-", "@N~USD5",
      "@N3.4", "@E6", "@D0", "@D19", "@T9", "@D1x", "@P##", "@K##k", "@B", "@NB",
      std::string(256, 'S'),
  };
  for (const std::string& text : invalid) {
    CompiledPicture pic;
    EXPECT_EQ(CompilePicture(text, pic), 0) << text;
    EXPECT_FALSE(pic.valid()) << text;
    EXPECT_EQ(pic.bytes()[0], 0) << text;
    EXPECT_EQ(FORMAT(std::int64_t{1}, text), "") << text;
  }
}

// The layout of a numeric picture written as one character per position:
// '#' blank digit, '0'/'*' zero digit, ',' '.' ' ' separators as printed.
std::string Layout(const char* picture) {
  CompiledPicture pic;
  CompilePicture(picture, pic);
  std::string out;
  for (int i = 0; i < pic.width(); ++i) {
    const PictureToken t = pic.token(i);
    out += t.kind == TokenKind::BlankDigit ? '#' : t.character;
  }
  return out;
}

TEST(CompilePicture, NumericLayouts) {
  EXPECT_EQ(Layout("@N6"), "##,##0");
  EXPECT_EQ(Layout("@N_3"), "##0");
  EXPECT_EQ(Layout("@N06"), "000000");
  EXPECT_EQ(Layout("@n-10.2"), "-##,##0.00");
  EXPECT_EQ(Layout("@N*8.2"), "****0.00");
  EXPECT_EQ(Layout("@N12`.2"), "#,###,##0.00");
  EXPECT_EQ(Layout("@N12.`2"), "#.###.##0,00");
  EXPECT_EQ(Layout("@N(10.2)"), "(#,##0.00)");
  EXPECT_EQ(Layout("@N$9.2"), "$#,##0.00");
  EXPECT_EQ(Layout("@N9.2~ kr~"), "##0.00 kr");
  EXPECT_EQ(Layout("@N7V2"), "#,##000");
  EXPECT_EQ(Layout("@E12.1"), "-0.0000E+000");
}

TEST(Format, NumericExamples) {
  const struct {
    const char* picture;
    std::int64_t value;
    const char* expected;
  } cases[] = {
      {"@N3", 5, "  5"},           {"@N_3", 5, "  5"},         {"@N06", 42, "000042"},
      {"@N6", 12345, "12,345"},    {"@N6", 123456, "123456"},  {"@N6", 1234567, "######"},
      {"@n-10.2", 0, "      0.00"}, {"@N10.2B", 0, "          "}, {"@N6", -5, "     5"},
      {"@N9", 100000, "  100,000"}, {"@N(8)", -1234, " (1,234)"}, {"@N(8)", 1234, "  1,234 "},
      {"@N8-", -1234, "  1,234-"}, {"@N$9.2", 12, "   $12.00"}, {"@N*8.2", 12, "***12.00"},
      {"@N_8", 0, "       0"},   {"@N-10.2", -123, "   -123.00"}, {"@N-08.2", -3, "-0003.00"},
  };
  for (const auto& c : cases) EXPECT_EQ(FORMAT(c.value, c.picture), c.expected) << c.picture << " " << c.value;
}

TEST(Format, RealsRoundHalfAwayFromZero) {
  const struct {
    const char* picture;
    double value;
    const char* expected;
  } cases[] = {
      {"@n-10.2", -1234.5, " -1,234.50"}, {"@N4.2", 0.125, "0.13"},     {"@N4.2", 0.5, "0.50"},
      {"@n-10.2", -0.004, "      0.00"}, {"@N10.4", 0.00012, "    0.0001"}, {"@N-6.2", -0.005, " -0.01"},
      {"@E12.1", 1234.5, " 1.2345E+003"}, {"@E12.1", -0.000125, "-1.2500E-004"},
      {"@E9.1", 9.99999, " 1.0E+001"}, {"@E9.1", 0, " 0.0E+000"},
  };
  for (const auto& c : cases) EXPECT_EQ(FORMAT(c.value, c.picture), c.expected) << c.picture << " " << c.value;
}

TEST(Format, DecimalCarryAddsAnIntegerDigitOrOverflows) {
  const auto v = decimal::DecimalAccumulator::FromText("9.995");
  EXPECT_EQ(FORMAT(v, "@N5.2"), "10.00");
  EXPECT_EQ(FORMAT(v, "@N4.2"), "#.##");
  EXPECT_EQ(FORMAT(decimal::DecimalAccumulator::FromText("-1234.5"), "@n-10.2"), " -1,234.50");
}

TEST(Format, PatternAndKeyIn) {
  EXPECT_EQ(FORMAT(std::int64_t{123456789}, "@P###-##-####P"), "123-45-6789");
  EXPECT_EQ(FORMAT(std::int64_t{12345}, "@P###-##-####P"), "000-01-2345");
  EXPECT_EQ(FORMAT(std::int64_t{1205}, "@P<#/<#P"), "12/ 5");
  EXPECT_EQ(FORMAT(std::int64_t{5}, "@P<<<P"), "  5");
  EXPECT_EQ(FORMAT(std::int64_t{5}, "@PAB-CDP"), "     ");  // no digit positions
  EXPECT_EQ(FORMAT(std::int64_t{1234}, "@P##P"), "##");
  EXPECT_EQ(FORMAT("abcd", "@K^_-??K"), "Ab-cd");
  EXPECT_EQ(FORMAT("ab", "@K\\#@@K"), "#ab");
  EXPECT_EQ(FORMAT("ABCDEF", "@s4"), "ABCD");
  EXPECT_EQ(FORMAT("AB", "@S4"), "AB  ");
  EXPECT_EQ(FORMAT(std::int64_t{42}, "@S4"), "42  ");
  EXPECT_EQ(FORMAT(2.5, "@S5"), "2.5  ");
  EXPECT_EQ(FORMAT("12.5", "@N6.1"), "  12.5");  // text becomes a real first
}

TEST(Format, DateExamples) {
  const Case cases[] = {
      {"@D1", " 1/05/96"},         {"@D2", " 1/05/1996"}, {"@D3", "JAN  5,1996"},
      {"@D4", "January  5, 1996     "}, {"@D5", " 5/01/96"}, {"@D6", " 5/01/1996"},
      {"@D7", " 5 JAN 96"},        {"@D8", " 5 JAN 1996"}, {"@D9", "96/01/05"},
      {"@D10", "1996/01/05"},      {"@D11", "960105"},     {"@D12", "19960105"},
      {"@D13", "01/96"},           {"@D14", "01/1996"},    {"@D15", "96/01"},
      {"@D16", "1996/01"},         {"@D17", "01/05/96"},   {"@D18", "January 05, 1996  "},
      {"@D3-", "JAN  5-1996"},     {"@D7-", " 5-JAN-96"},  {"@D1.", " 1.05.96"},
      {"@D01", "01/05/96"},        {"@D*1", "*1/*5/96"},   {"D1", " 1/05/96"},
  };
  for (const Case& c : cases) EXPECT_EQ(FORMAT(kJan5_1996, c.picture), c.expected) << c.picture;
  EXPECT_EQ(FORMAT(std::int64_t{0}, "@D1"), "  /  /  ");
  EXPECT_EQ(FORMAT(std::int64_t{0}, "@D1B"), "        ");
  EXPECT_EQ(FORMAT(std::int64_t{109212}, "@D2"), "  /  /    ");
  EXPECT_EQ(FORMAT(std::int64_t{72687}, "@D1"), " 1/01/00");
}

TEST(Format, TimeExamples) {
  const Case cases[] = {
      {"@T1", "13:05"},    {"@T2", "1305"},         {"@T3", " 1:05PM"}, {"@T4", "13:05:09"},
      {"@T5", "130509"},   {"@T6", " 1:05:09PM"},   {"@T7", "01:05 PM"}, {"@T8", "01:05:09 PM"},
      {"@T01", "13:05"},   {"@T4.", "13.05.09"},
  };
  for (const Case& c : cases) EXPECT_EQ(FORMAT(k13_05_09, c.picture), c.expected) << c.picture;
  EXPECT_EQ(FORMAT(std::int64_t{180001}, "@T3"), "12:30AM");   // 00:30
  EXPECT_EQ(FORMAT(std::int64_t{4320001}, "@T3"), "12:00PM");  // 12:00
  EXPECT_EQ(FORMAT(std::int64_t{0}, "@T4"), " 0:00:00");
  EXPECT_EQ(FORMAT(std::int64_t{1}, "@T4B"), "        ");
}

TEST(Deformat, Numbers) {
  EXPECT_EQ(DEFORMAT(" -1,234.50", "@n-10.2"), "-1234.50");
  EXPECT_EQ(DEFORMAT("12,345", "@N6"), "12345");
  EXPECT_EQ(DEFORMAT("  5", "@N3"), "005");
  EXPECT_EQ(DEFORMAT(" (1,234)", "@N(8)"), "-1234");
  EXPECT_EQ(DEFORMAT("$12.00", "@N$6.2"), "12.00");
  EXPECT_EQ(DEFORMAT(" 1.2345E+003", "@E12.1"), "1.2345e+003");
  EXPECT_EQ(DEFORMAT("123-45-6789", "@P###-##-####P"), "123456789");
  EXPECT_EQ(DEFORMAT(" 1234", "@N5V2"), "012.34");
  EXPECT_EQ(DEFORMAT("abc", "@Z9"), "");
}

TEST(Deformat, FreeFormNumbers) {
  EXPECT_EQ(DEFORMAT("-12.5", ""), "-12.5");
  EXPECT_EQ(DEFORMAT("$1,234.50", ""), "1234.50");
  EXPECT_EQ(DEFORMAT("1.5e-3x", "@S10"), "1.5e-3");
  EXPECT_EQ(DEFORMAT("1e+5e", ""), "1e+5");
  EXPECT_EQ(DEFORMAT("5-3", ""), "53");
}

TEST(Deformat, DatesAndTimes) {
  const std::string jan5 = std::to_string(kJan5_1996);
  EXPECT_EQ(DEFORMAT("1/5/96", "@D1"), jan5);
  EXPECT_EQ(DEFORMAT(" 1/05/96", "@D1"), jan5);
  EXPECT_EQ(DEFORMAT("01/05/1996", "@D2"), jan5);
  EXPECT_EQ(DEFORMAT("jan  5,1996", "@D3"), jan5);
  EXPECT_EQ(DEFORMAT("January  5, 1996", "@D4"), jan5);
  EXPECT_EQ(DEFORMAT(" 5 JAN 96", "@D7"), jan5);
  EXPECT_EQ(DEFORMAT("960105", "@D11"), jan5);
  EXPECT_EQ(DEFORMAT("XYZ  5,1996", "@D3"), "0");  // unknown month name
  EXPECT_EQ(DEFORMAT("  /  /  ", "@D1"), "0");
  EXPECT_EQ(DEFORMAT("01/96", "@D13"), std::to_string(kJan5_1996 - 4));
  EXPECT_EQ(DEFORMAT("13:05:09", "@T4"), std::to_string(k13_05_09));
  EXPECT_EQ(DEFORMAT(" 1:05:09PM", "@T6"), std::to_string(k13_05_09));
  EXPECT_EQ(DEFORMAT("12:30AM", "@T3"), "180001");
  EXPECT_EQ(DEFORMAT("12:00AM", "@T3"), "1");
  EXPECT_EQ(DEFORMAT("12:00PM", "@T3"), "4320001");
  EXPECT_EQ(DEFORMAT("00:00", "@T1"), "0");
  EXPECT_EQ(DEFORMAT("25:00", "@T1"), "-1");
  EXPECT_EQ(DEFORMAT("10:60", "@T1"), "-1");
}

TEST(Deformat, KeyInTakesTheTypedPositions) {
  EXPECT_EQ(DEFORMAT("Ab-cd", "@K^_-??K"), "Abcd");
  EXPECT_EQ(DEFORMAT("AB", "@K?" "?-?" "?K"), "AB");
}

// Pictures read month names, AM/PM texts and layouts from the locale tables
// as they are at the call.
class LocalePictures : public ::testing::Test {
 protected:
  void TearDown() override { ResetLocale(); }
};

TEST_F(LocalePictures, MonthNamesAndLayoutsComeFromTheTables) {
  ApplySetting("TAVMONTH", "Januar,Februar,M\xE4rz");
  ApplySetting("TAVMON", "Jan,Feb,M\xE4r");
  EXPECT_EQ(FORMAT(kJan5_1996, "@D4"), "Januar  5, 1996      ");
  EXPECT_EQ(FORMAT(kJan5_1996, "@D3"), "JAN  5,1996");
  EXPECT_EQ(DEFORMAT("Januar  5, 1996", "@D4"), std::to_string(kJan5_1996));
  MutableLocale().short_date = BuildShortDateLayout("dd.MM.yyyy");
  EXPECT_EQ(FORMAT(kJan5_1996, "@D17"), "05.01.1996");
  EXPECT_EQ(DEFORMAT("05.01.1996", "@D17"), std::to_string(kJan5_1996));
  MutableLocale().short_date = BuildShortDateLayout("yy/MM/dd");
  EXPECT_EQ(FORMAT(kJan5_1996, "@D17"), "96/01/05");
}

TEST_F(LocalePictures, LocaleTimesUseTheLocaleAmPmTexts) {
  MutableLocale().locale_am_pm = {"vm", "nm"};
  EXPECT_EQ(FORMAT(k13_05_09, "@T7"), "01:05 nm");
  EXPECT_EQ(FORMAT(k13_05_09, "@T3"), " 1:05PM");  // the runtime's own texts
  EXPECT_EQ(DEFORMAT("01:05 nm", "@T7"), "4710001");
  IntlSettings intl;
  intl.time_format = 1;  // 24-hour clock: no AM/PM token
  MutableLocale().short_time = BuildTimeLayout(intl, false);
  EXPECT_EQ(FORMAT(k13_05_09, "@T7"), "13:05");
}

}  // namespace
}  // namespace tavero::pictures
