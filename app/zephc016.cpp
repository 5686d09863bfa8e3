// zephc016: `UpdateSETINFORMATION`, one card inserted, changed or deleted
// ("UPDATE CARD  INFORMATION"), its notes on the tab "NOTES", and "ADD MORE
// CARDS". A new card starts from the caller's values with QTY 1.
#include "app/update_form.h"
#include "app/update_forms_declared.h"

namespace zephcol {
namespace {

constexpr EntryDeclaration kEntries[] = {
    {.control = 3, .field = "SET:SET_NO", .tip = "UNIQUE SET IDENTIFIER", .low = 0, .high = 32767},
    {.control = 5, .field = "SET:CARD_NO", .tip = "CARD NUMBER IN THIS SET", .low = 0, .high = 32767},
    {.control = 7, .field = "SET:FIRST_NAME", .tip = "PLAYERS FIRST NAME"},
    {.control = 9, .field = "SET:LAST_NAME", .tip = "PLAYERS LAST NAME"},
    {.control = 11, .field = "SET:QTY", .tip = "QUANTITY OF THIS CARD HELD", .low = 0, .high = 999},
    {.control = 13, .field = "SET:LOW_VALUE", .tip = "LOWEST RECORDED VALUE"},
    {.control = 15, .field = "SET:HIGH_VALUE", .tip = "HIGHEST VALUE RECORDED"},
    {.control = 17, .field = "SET:PRICE_PAID", .tip = "PRICE PAID FOR THIS CARD"},
    {.control = 19, .field = "SET:PRICE_CARD_SOLD", .tip = "LAST PRICE SOLD FOR"},
    {.control = 21, .field = "SET:DATE_BOUGHT", .tip = "DATE THIS CARD BOUGHT"},
    {.control = 23, .field = "SET:DATE_SOLD", .tip = "DATE CARD SOLD"},
};
constexpr MemoEntryDeclaration kNotes{.control = 25, .memo = 0, .limit = 500};
constexpr DataFile& (*const kCounted[])() = {SetInformation};
constexpr UpdateFormDeclaration kForm{.module = "ZEPHCOL$zephc016",
                                      .procedure = "UPDATESETINFORMATION$QUICKWINDOW",
                                      .file = SetInformation,
                                      .counted_files = kCounted,
                                      .insert_caption = "Adding a SETINFORMATION Record",
                                      .change_caption = "Changing a SETINFORMATION Record",
                                      .entries = kEntries,
                                      .memo_entry = &kNotes,
                                      .ok = 27,
                                      .cancel = 28,
                                      .add_another = 26,
                                      .sheet = 1,
                                      .primed_field = "SET:QTY",
                                      .primed_value = 1};

}  // namespace

void UpdateSETINFORMATIONForm() { RunUpdateForm(kForm); }

}  // namespace zephcol
