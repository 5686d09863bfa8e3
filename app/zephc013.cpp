// zephc013: `UpdateCARDSET`, a card set inserted, changed or deleted ("CARD
// SETS"): a new set is numbered and added on entry; its manufacturer and
// type are looked up in their files; the set's cards are on the tab "CARDS
// IN THIS SET".
#include <array>
#include <atomic>

#include "app/global_request.h"
#include "app/update_form.h"
#include "app/update_forms_declared.h"

namespace zephcol {
namespace {

// The installed selects, set at the program's start (process-wide, read by
// the forms of every thread).
std::atomic<SelectProcedure> manufacturer_select{nullptr};
std::atomic<SelectProcedure> type_select{nullptr};

void CallSelect(const std::atomic<SelectProcedure>& select) {
  if (const SelectProcedure procedure = select.load()) return procedure();
  ProcedureRequest request;  // no list: taken and answered "cancelled"
}
void SelectManufacturer() { CallSelect(manufacturer_select); }
void SelectType() { CallSelect(type_select); }

constexpr LookupDeclaration kManufacturerLookup{Manufacturer, "MAN:MANFACT", "MAN:MANUFACTURER", SelectManufacturer,
                                                "MANUFACTURER"};
constexpr LookupDeclaration kTypeLookup{Types, "TYP:TYPE", "TYP:TYPE_OF_CARD", SelectType, "TYPES"};

constexpr std::string_view kCardColumns[] = {"SET:CARD_NO",     "SET:FIRST_NAME", "SET:LAST_NAME",
                                             "SET:QTY",         "SET:LOW_VALUE",  "SET:HIGH_VALUE",
                                             "SET:PRICE_PAID",  "SET:PRICE_CARD_SOLD", "SET:SET_NO"};
constexpr RangeDeclaration kThisSet{"SET:SET_NO", Cardset, "CAR:SET_NO"};
constexpr SortOrderDeclaration kCardOrder[] = {
    {.key = "SET:SET_KEY", .range = &kThisSet, .filter = "SET:SET_No = CAR:SET_No", .thumb_field = "SET:SET_NO"},
};
constexpr PageBrowseDeclaration kCards{SetInformation, kCardColumns, kCardOrder};
constexpr ChildListDeclaration kChild{kCards, 10, 11, 12, 13, UpdateSETINFORMATIONForm};

constexpr EntryDeclaration kEntries[] = {
    {.control = 3, .field = "CAR:SET_NO", .tip = "UNIQUE IDENTIFIER FOR SET", .low = 1, .high = 32767},
    {.control = 5, .field = "CAR:MANUFACTURER", .tip = "MANUFACTURER OF CARDS", .lookup = &kManufacturerLookup},
    {.control = 7, .field = "CAR:YEAR", .tip = "SEASON"},
    {.control = 9, .field = "CAR:TYPE_OF_CARD", .tip = "TYPE OF CARD", .lookup = &kTypeLookup},
};
constexpr AutoNumberDeclaration kNumbering{"CAR:SET", "CAR:SET_NO", 32767};
constexpr DataFile& (*const kCounted[])() = {Cardset, Manufacturer, SetInformation, Types};
constexpr UpdateFormDeclaration kForm{.module = "ZEPHCOL$zephc013",
                                      .procedure = "UPDATECARDSET$QUICKWINDOW",
                                      .file = Cardset,
                                      .counted_files = kCounted,
                                      .insert_caption = "Adding a CARDSET Record",
                                      .change_caption = "Changing a CARDSET Record",
                                      .unique_key = "CAR:SET",
                                      .entries = kEntries,
                                      .ok = 14,
                                      .cancel = 15,
                                      .sheet = 1,
                                      .child = &kChild,
                                      .auto_number = &kNumbering};

}  // namespace

void UpdateCARDSETForm() { RunUpdateForm(kForm); }

void InstallLookupSelects(SelectProcedure manufacturers, SelectProcedure types) {
  manufacturer_select.store(manufacturers);
  type_select.store(types);
}

}  // namespace zephcol
