#include "eval/builtins.h"

#include <gtest/gtest.h>

#include <string>

#include "eval/eval.h"
#include "eval/test_support.h"
#include "pictures/picture.h"

namespace tavero::eval {
namespace {

TEST(BuiltinTest, Bits) {
  const Case cases[] = {
      {"BSHIFT(1, 31)", "-2147483648"}, {"BSHIFT(1, 32)", "0"}, {"BSHIFT(-1, -28)", "15"},
      {"BSHIFT(-1, -31)", "1"}, {"BSHIFT(-1, -32)", "0"}, {"BSHIFT(3, 0)", "3"},
      {"BAND(12, 10)", "8"}, {"BOR(12, 10)", "14"}, {"BXOR(12, 10)", "6"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(c.text), c.shown) << c.text;
}

TEST(BuiltinTest, Numbers) {
  const Case cases[] = {
      {"ABS(-2)", "2"}, {"INT(-3.7)", "-3"}, {"INT(3.7)", "3"}, {"INRANGE(5, 1, 10)", "1"},
      {"INRANGE(0, 1, 10)", "0"}, {"INRANGE(10, 1, 10)", "1"}, {"SQRT(16)", "4"},
      {"LOG10(1000)", "3"}, {"LOGE(1)", "0"}, {"COS(0)", "1"}, {"ATAN(0)", "0"},
      {"ROUND(1234.5678, 0.01)", "1234.57"}, {"ROUND(-2.5, 1)", "-3"}, {"ROUND(15, 10)", "20"},
      {"ROUND(2.345, 0.01)", "2.35"}, {"ROUND(1.005, 0.01)", "1.01"}, {"ROUND(7.3, 0.05)", "7.3"},
      {"ROUND(7.25, 0)", "7.25"}, {"ROUND(7.25, -1)", "7.25"}, {"ROUND(0, 1)", "0"},
      {"RANDOM(5, 5)", "5"}, {"MEMORY(0) >= 0", "1"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(c.text), c.shown) << c.text;
}

TEST(BuiltinTest, RandomStaysInItsRange) {
  for (int i = 0; i < 2000; ++i) {
    const std::int32_t r = RandomBetween(1, 6);
    ASSERT_GE(r, 1);
    ASSERT_LE(r, 6);
    const std::int32_t reversed = RandomBetween(10, 1);
    ASSERT_GE(reversed, 1);
    ASSERT_LE(reversed, 10);
    (void)RandomBetween(-2147483647 - 1, 2147483647);  // the full range: no division by zero
    ASSERT_LE(NextRandom(), 32767u);
  }
}

TEST(BuiltinTest, Strings) {
  const Case cases[] = {
      {"LEN('abc  ')", "5"}, {"CLIP('ab  ')", "'ab'"}, {"SUB('ABCDEF', -2, 5)", "'EF'"},
      {"SUB('ABCDEF', 2)", "'BCDEF'"}, {"SUB('ABCDEF', 2, 3)", "'BCD'"},
      {"SUB('ABCDEF', 9, 3)", "''"}, {"INSTRING('CD', 'ABCDEF')", "2"},
      {"INSTRING('CD', 'ABCDEF', 1)", "3"}, {"INSTRING('X', 'ABCDEF', 1)", "0"},
      {"INSTRING('', 'ABCDEF', 1)", "0"}, {"ALL('ab', 5)", "'ababa'"}, {"LEN(ALL('x'))", "255"},
      {"CENTER('ab', 6)", "'  ab  '"}, {"CENTER(' ab ')", "' ab '"}, {"LEFT('  ab', 5)", "'ab   '"},
      {"LEFT('  ab')", "'ab  '"}, {"RIGHT('ab  ')", "'  ab'"}, {"CHR(65)", "'A'"},
      {"VAL('A')", "65"}, {"VAL('')", "0"}, {"NUMERIC('12.5  ')", "1"}, {"NUMERIC('12a')", "0"},
      {"NUMERIC('')", "0"}, {"UPPER('aBc')", "'ABC'"}, {"LOWER('aBc')", "'abc'"},
      {"upper('a') = 'A'", "1"}, {"CENTER('abc', 2)", "'ab'"}, {"LEFT('ab', 1)", "'a'"},
      // Hostile lengths are held to the longest string a record holds.
      {"LEN(ALL('x', 2000000000))", "64000"}, {"LEN(LEFT('a', 2000000000))", "64000"},
      {"LEN(CENTER('a', 99999999))", "64000"}, {"ALL('ab', -5)", "''"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(c.text), c.shown) << c.text;
}

TEST(BuiltinTest, Dates) {
  const Case cases[] = {
      {"DATE(13, 1, 96) = DATE(1, 1, 97)", "1"}, {"DATE(1, 1, 2000)", "72687"},
      {"DATE(0, 1, 96)", "0"}, {"DAY(72687)", "1"}, {"MONTH(DATE(2, 30, 96))", "3"},
      {"YEAR(72687)", "2000"}, {"YEAR(3)", "0"}, {"AGE(DATE(1,1,2000), DATE(1,31,2000))", "'30 DAYS'"},
      {"AGE(DATE(1,1,1990), DATE(1,1,1995))", "'5 YRS'"}, {"TODAY() > 72687", "1"},
      {"LEN(AGE(TODAY() - 30))", "7"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(c.text), c.shown) << c.text;
}

TEST(BuiltinTest, FormatTakesTheEntryOfItsValueClassAndPictureLiterals) {
  const auto quoted = [](const std::string& s) { return "'" + s + "'"; };
  EXPECT_EQ(Show("FORMAT(1234.5, @N10.2)"), quoted(pictures::FORMAT(1234.5, "@N10.2")));
  EXPECT_EQ(Show("FORMAT(72687, @D1)"), quoted(pictures::FORMAT(std::int64_t{72687}, "@D1")));
  EXPECT_EQ(Show("FORMAT('abc', @s5)"), "'abc  '");
  EXPECT_EQ(Show("FORMAT(-5, @n(10.2))"), quoted(pictures::FORMAT(-5.0, "@n(10.2)")));
  EXPECT_EQ(Show("FORMAT(5, @N~a b~10)"), quoted(pictures::FORMAT(5.0, "@N~a b~10")));
  EXPECT_EQ(Show("FORMAT('5551234567', @P(###)###-####P)"),
            quoted(pictures::FORMAT(std::string_view("5551234567"), "@P(###)###-####P")));
  EXPECT_EQ(Show("FORMAT(5, @n-10.2) = FORMAT(5, '@n-10.2')"), "1");
  EXPECT_EQ(Show("DEFORMAT('1,234.50', @N10.2)"), quoted(pictures::DEFORMAT("1,234.50", "@N10.2")));
  EXPECT_EQ(Show("LEN(FORMAT(1, @Q))"), "0");  // an invalid picture gives an empty text
}

TEST(BuiltinTest, ArgumentCounts) {
  // Functions take their brackets; required arguments must be there, optional
  // ones take defaults, and no more than the function's count is accepted.
  const char* bad[] = {"TODAY", "CLOCK(1)", "UPPER()", "SUB('a')", "INSTRING('a')",
                       "DATE(1, 2)", "ABS(1, 2)", "ALL()"};
  for (const char* text : bad) EXPECT_EQ(Show(text), "error 800") << text;
  EXPECT_NE(Show("TODAY()"), "error 800");
  EXPECT_NE(Show("CLOCK()"), "error 800");
}

}  // namespace
}  // namespace tavero::eval
