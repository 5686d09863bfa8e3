// zephc012: `SelectCARDSET`, the lookup of a card set ("Select A Set of Cards") in
// four orders; each tab's locator is the first component of its key.
#include "app/browse_procedure.h"
#include "app/browse_procedures.h"

namespace zephcol {
namespace {

constexpr std::string_view kColumns[] = {"CAR:SET_NO", "CAR:MANUFACTURER", "CAR:YEAR", "CAR:TYPE_OF_CARD"};
constexpr SortOrderDeclaration kSortOrders[] = {
    {.key = "CAR:SET", .locator_field = "CAR:SET_NO", .thumb_field = "CAR:SET_NO"},
    {.key = "CAR:MANUFACTURERS", .locator_field = "CAR:MANUFACTURER", .thumb_field = "CAR:MANUFACTURER"},
    {.key = "CAR:TYPES", .locator_field = "CAR:TYPE_OF_CARD", .thumb_field = "CAR:TYPE_OF_CARD"},
    {.key = "CAR:SEASON", .locator_field = "CAR:YEAR", .thumb_field = "CAR:YEAR"},
};
constexpr PageBrowseDeclaration kPage{Cardset, kColumns, kSortOrders};
constexpr DataFile& (*const kCounted[])() = {Cardset};
constexpr BrowseProcedure kProcedure = SelectWindow("ZEPHCOL$zephc012", "SELECTCARDSET$QUICKWINDOW", kPage, kCounted);

}  // namespace

void SelectCARDSET() { RunPageBrowse(kProcedure); }

}  // namespace zephcol
