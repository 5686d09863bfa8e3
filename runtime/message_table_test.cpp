#include "runtime/message_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

#include "locale/locale.h"
#include "runtime/error_codes.h"

namespace tavero {
namespace {

TEST(MessageTable, TextsKeepTheirTrailingBlanks) {
  EXPECT_EQ(MessageTableText(78), "Invalid Number Of Parameters ");
  EXPECT_EQ(MessageTableText(350), "Not Supported ");
  EXPECT_EQ(MessageTableText(403), "Termination caused by signal.  (User break or Floating point)");
}

TEST(MessageTable, EveryRangeIsReachable) {
  struct Case {
    int code;
    std::string_view text;
  };
  const Case cases[] = {
      {2, "File Not Found"},
      {89, "Record Changed By Another Station"},
      {301, "Invalid Function"},
      {391, "Unknown Error"},
      {410, "Pure Virtual Function Called"},
      {501, "Internal error 01"},
      {515, "Internal error 15"},
      {544, "Too Many VBX Hooks"},
      {605, "DDE transaction timed out"},
      {801, "No BIND on variable"},
  };
  for (const Case& c : cases) EXPECT_EQ(MessageTableText(c.code), c.text) << c.code;
}

TEST(MessageTable, GapsHaveNoText) {
  for (int code : {0, 1, 6, 31, 314, 340, 373, 389, 392, 411, 516, 519, 545, 600, 606, 802, -5}) {
    EXPECT_FALSE(MessageTableText(code).has_value()) << code;
  }
}

TEST(MessageTable, PostedTextOfAnUnknownCodeNamesTheCode) {
  EXPECT_EQ(PostedMessageText(35), "Record Not Found");
  EXPECT_EQ(PostedMessageText(1234), "Unknown Error Posted : 1234");
  EXPECT_EQ(PostedMessageText(300), "Unknown Error Posted : 300");
}

TEST(MessageTable, EnvironmentOverridesReplaceTheText) {
  ApplySetting("TAVMSG35", "Nothing there");
  ApplySetting("TAVMSG1234", "A message of our own");
  EXPECT_EQ(GetMessageText(35), "Nothing there");
  EXPECT_EQ(PostedMessageText(1234), "A message of our own");
  EXPECT_EQ(MessageTableText(35), "Record Not Found");
  ResetLocale();
  EXPECT_EQ(GetMessageText(35), "Record Not Found");
}

}  // namespace
}  // namespace tavero

// Each name in error_codes.h is its code's text with the blanks taken out
// ("Unable To ROLLBACK Transaction" is UnableToRollbackTransaction), so a
// name that drifts from the table, or a code the table lacks, fails here.
TEST(MessageTable, EveryNamedErrorCodeMatchesItsText) {
  struct Named {
    std::string_view name;
    int code;
  };
#define TAVERO_NAMED(name, code) Named{#name, code},
  const Named named[] = {TAVERO_ERROR_CODES(TAVERO_NAMED)};
#undef TAVERO_NAMED
  const auto squeezed = [](std::string_view text) {
    std::string out;
    for (const char c : text) {
      if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
    }
    return out;
  };
  for (const Named& n : named) {
    const auto text = tavero::MessageTableText(n.code);
    ASSERT_TRUE(text.has_value()) << n.name << " = " << n.code;
    EXPECT_EQ(squeezed(*text), squeezed(n.name)) << n.code;
  }
}
