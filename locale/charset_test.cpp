#include <string>

#include <gtest/gtest.h>

#include "locale/locale.h"

namespace tavero {
namespace {

TEST(CharsetTest, AnsiAndOemConvertLettersBothWays) {
  // Letters both sets have travel exactly.
  const std::string ansi = "Caf\xE9 M\xFCller \xC4\xD6\xDC\xE4\xF6\xFC\xDF \xC7\xE7\xF1\xD1 ABC 123";
  const std::string oem = AnsiToOem(ansi);
  EXPECT_EQ(oem, "Caf\x82 M\x81ller \x8E\x99\x9A\x84\x94\x81\xE1 \x80\x87\xA4\xA5 ABC 123");
  EXPECT_EQ(OemToAnsi(oem), ansi);
  // Letters code page 437 lacks become their base letter.
  EXPECT_EQ(AnsiToOem("\xC0\xC3\xD5\x8A\x9E"), "AAOSz");
  // Box drawing has no Windows-1252 form.
  EXPECT_EQ(OemToAnsi("\xB0\xDB"), "??");
  EXPECT_EQ(OemToAnsi('\xC4'), '-');  // a horizontal line
}

TEST(CharsetTest, Utf8AtThePlatformBoundary) {
  const std::string ansi = "\x80 \xE9t\xE9 \x93quoted\x94 \xFF";
  const std::string utf8 = AnsiToUtf8(ansi);
  EXPECT_EQ(utf8, "\xE2\x82\xAC \xC3\xA9t\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D \xC3\xBF");
  EXPECT_EQ(Utf8ToAnsi(utf8), ansi);
  EXPECT_EQ(AnsiToUnicode('\x81'), U'\xFFFD');
  // What Windows-1252 lacks, and malformed input, become '?'.
  EXPECT_EQ(Utf8ToAnsi("\xE6\x97\xA5"), "?");            // a CJK character
  EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80x"), "?x");      // outside the BMP
  EXPECT_EQ(Utf8ToAnsi("a\xC3"), "a?");                  // cut short at the end
  EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), "?");                // overlong
  EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "?");            // a surrogate
  EXPECT_EQ(Utf8ToAnsi("\xC3z"), "?z");                  // continuation missing
  EXPECT_EQ(Utf8ToAnsi("\x80\xBF"), "??");               // stray continuations
}

}  // namespace
}  // namespace tavero
