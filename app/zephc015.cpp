// zephc015: `UpdateTYPES`, a type of card inserted, changed or deleted
// ("Update the TYPES File"), with the card sets of that type on its second
// tab and "ADD MORE TYPES".
#include "app/update_form.h"
#include "app/update_forms_declared.h"

namespace zephcol {
namespace {

constexpr std::string_view kSetColumns[] = {"CAR:SET_NO", "CAR:MANUFACTURER", "CAR:YEAR", "CAR:TYPE_OF_CARD"};
constexpr RangeDeclaration kThisType{"CAR:TYPE_OF_CARD", Types, "TYP:TYPE_OF_CARD"};
constexpr SortOrderDeclaration kSetOrder[] = {
    {.key = "CAR:TYPES",
     .range = &kThisType,
     .filter = "UPPER(CAR:TYPE_OF_CARD) = UPPER(TYP:TYPE_OF_CARD)",
     .thumb_field = "CAR:MANUFACTURER"},
};
constexpr PageBrowseDeclaration kSets{Cardset, kSetColumns, kSetOrder};
constexpr ChildListDeclaration kChild{kSets, 4, 5, 6, 7, UpdateCARDSETForm};

constexpr EntryDeclaration kEntries[] = {
    {.control = 3, .field = "TYP:TYPE_OF_CARD", .tip = "TYPE OF CARD"},
};
constexpr DataFile& (*const kCounted[])() = {Cardset, Types};
constexpr UpdateFormDeclaration kForm{.module = "ZEPHCOL$zephc015",
                                      .procedure = "UPDATETYPES$QUICKWINDOW",
                                      .file = Types,
                                      .counted_files = kCounted,
                                      .insert_caption = "Adding a TYPES Record",
                                      .change_caption = "Changing a TYPES Record",
                                      .unique_key = "TYP:TYPE",
                                      .entries = kEntries,
                                      .ok = 9,
                                      .cancel = 10,
                                      .add_another = 8,
                                      .sheet = 1,
                                      .child = &kChild};

}  // namespace

void UpdateTYPESForm() { RunUpdateForm(kForm); }

}  // namespace zephcol
