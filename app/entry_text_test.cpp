// Typed text taken into a card's fields: free-form numbers, the range and
// width checks that keep a value that does not fit out of the record, and
// what the entry shows of the stored value.
#include "app/entry_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zephcol {
namespace {

struct Typed {
  std::string_view field;
  std::int32_t low, high;
  std::string_view text;
  std::optional<std::string_view> shown;  // nothing: refused, the record unchanged
};

// Guards the money entries (positional parsing used to keep 50025.00 of
// "1500.25") and the whole numbers (40000 used to be stored as -25536).
constexpr Typed kTyped[] = {
    {"SET:LOW_VALUE", 0, 0, "1500.25", "1,500.25"},
    {"SET:LOW_VALUE", 0, 0, "1,500.25", "1,500.25"},
    {"SET:LOW_VALUE", 0, 0, " 12 ", "12.00"},
    {"SET:LOW_VALUE", 0, 0, "-3.5", "-3.50"},
    {"SET:LOW_VALUE", 0, 0, "3.5-", "-3.50"},
    {"SET:LOW_VALUE", 0, 0, "99999.99", "99,999.99"},
    {"SET:LOW_VALUE", 0, 0, "-99999.99", "-99,999.99"},
    {"SET:LOW_VALUE", 0, 0, "0.005", "0.01"},
    {"SET:LOW_VALUE", 0, 0, "", "0.00"},
    {"SET:LOW_VALUE", 0, 0, "123456", std::nullopt},
    {"SET:LOW_VALUE", 0, 0, "99999.995", std::nullopt},
    {"SET:LOW_VALUE", 0, 0, "100000", std::nullopt},
    {"SET:LOW_VALUE", 0, 0, "12.3.4", std::nullopt},
    {"SET:LOW_VALUE", 0, 0, "12a", std::nullopt},
    {"SET:LOW_VALUE", 0, 0, "--1", std::nullopt},
    {"SET:LOW_VALUE", 0, 0, "123456789012345678901234567890123", std::nullopt},
    {"SET:QTY", 0, 999, "999", "999"},
    {"SET:QTY", 0, 999, "0", "0"},
    {"SET:QTY", 0, 999, "1000", std::nullopt},
    {"SET:QTY", 0, 999, "70000", std::nullopt},
    {"SET:QTY", 0, 999, "-1", std::nullopt},
    {"SET:QTY", 0, 999, "2.5", "3"},
    {"SET:SET_NO", 0, 32767, "32767", "032767"},
    {"SET:SET_NO", 0, 32767, "40000", std::nullopt},
    {"SET:CARD_NO", 0, 32767, "999999", std::nullopt},
    {"SET:FIRST_NAME", 0, 0, "Mickey", "Mickey"},
    {"SET:FIRST_NAME", 0, 0, "A name much longer than twenty", "A name much longer t"},
};

TEST(EntryText, TypedTextIsStoredAsShownOrRefused) {
  for (const Typed& typed : kTyped) {
    SCOPED_TRACE(std::string(typed.field) + " <- \"" + std::string(typed.text) + "\"");
    const FieldDeclaration& field = *FindField(kSetInformationDeclaration, typed.field);
    DataFile& cards = SetInformation();
    cards.clear();
    cards.set_number("SET:QTY", 7);
    RecordCopy copy = RecordCopy::Take(cards);
    const RecordCopy before = copy;
    const bool taken = TakeEntryText(copy, field, typed.low, typed.high, typed.text);
    ASSERT_EQ(taken, typed.shown.has_value());
    if (!taken) {
      EXPECT_TRUE(copy == before);
      continue;
    }
    const std::string shown = EntryText(copy, field);
    const std::size_t first = shown.find_first_not_of(' ');
    EXPECT_EQ(first == std::string::npos ? "" : shown.substr(first), *typed.shown);
    // What is shown reads back as the same value.
    RecordCopy again = copy;
    ASSERT_TRUE(TakeEntryText(again, field, typed.low, typed.high, shown));
    EXPECT_TRUE(again == copy);
  }
}

TEST(EntryText, RangesAsWarningsNameThem) {
  const FieldDeclaration& money = *FindField(kSetInformationDeclaration, "SET:LOW_VALUE");
  EXPECT_EQ(RangeOf(money, 0, 0).low, "-99999.99");
  EXPECT_EQ(RangeOf(money, 0, 0).high, "99999.99");
  const FieldDeclaration& qty = *FindField(kSetInformationDeclaration, "SET:QTY");
  EXPECT_EQ(RangeOf(qty, 0, 999).low, "0");
  EXPECT_EQ(RangeOf(qty, 0, 999).high, "999");
  EXPECT_EQ(RangeOf(qty, 0, 0).low, "-32768");
}

TEST(EntryText, DatesKeepTheirPicture) {
  const FieldDeclaration& bought = *FindField(kSetInformationDeclaration, "SET:DATE_BOUGHT");
  SetInformation().clear();
  RecordCopy copy = RecordCopy::Take(SetInformation());
  ASSERT_TRUE(TakeEntryText(copy, bought, 0, 0, "7/4/1995"));
  EXPECT_GT(copy.Number(bought), 0);
  const std::string shown = EntryText(copy, bought);
  RecordCopy again = copy;
  ASSERT_TRUE(TakeEntryText(again, bought, 0, 0, shown));
  EXPECT_EQ(again.Number(bought), copy.Number(bought));
  ASSERT_TRUE(TakeEntryText(copy, bought, 0, 0, "  "));
  EXPECT_EQ(copy.Number(bought), 0);
}

}  // namespace
}  // namespace zephcol
