// zephc014: `UpdateMANUFACTURER`, a card maker inserted, changed or deleted
// ("Update the MANUFACTURER "), with the maker's card sets on its second tab
// and "ADD ANOTHER MANUFACTURER".
#include "app/update_form.h"
#include "app/update_forms_declared.h"

namespace zephcol {
namespace {

constexpr std::string_view kSetColumns[] = {"CAR:SET_NO", "CAR:YEAR", "CAR:TYPE_OF_CARD", "CAR:MANUFACTURER"};
constexpr RangeDeclaration kThisMaker{"CAR:MANUFACTURER", Manufacturer, "MAN:MANUFACTURER"};
constexpr SortOrderDeclaration kSetOrder[] = {
    {.key = "CAR:MANUFACTURERS",
     .range = &kThisMaker,
     .filter = "UPPER(CAR:MANUFACTURER) = UPPER(MAN:MANUFACTURER)",
     .thumb_field = "CAR:YEAR"},
};
constexpr PageBrowseDeclaration kSets{Cardset, kSetColumns, kSetOrder};
constexpr ChildListDeclaration kChild{kSets, 4, 5, 6, 7, UpdateCARDSETForm};

constexpr EntryDeclaration kEntries[] = {
    {.control = 3, .field = "MAN:MANUFACTURER", .tip = "MANUFACTURER"},
};
constexpr DataFile& (*const kCounted[])() = {Manufacturer, Cardset};
constexpr UpdateFormDeclaration kForm{.module = "ZEPHCOL$zephc014",
                                      .procedure = "UPDATEMANUFACTURER$QUICKWINDOW",
                                      .file = Manufacturer,
                                      .counted_files = kCounted,
                                      .insert_caption = "Adding a MANUFACTURER Record",
                                      .change_caption = "Changing a MANUFACTURER Record",
                                      .unique_key = "MAN:MANFACT",
                                      .entries = kEntries,
                                      .ok = 9,
                                      .cancel = 10,
                                      .add_another = 8,
                                      .sheet = 1,
                                      .child = &kChild};

}  // namespace

void UpdateMANUFACTURERForm() { RunUpdateForm(kForm); }

}  // namespace zephcol
