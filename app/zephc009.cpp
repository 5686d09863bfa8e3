// zephc009: `BrowseCAR:TYPES`, the sets of the type of card in TYPES' record buffer
// ("CARD SETS BY TYPE").
#include "app/browse_procedure.h"
#include "app/browse_procedures.h"
#include "app/update_forms.h"

namespace zephcol {
namespace {

constexpr std::string_view kColumns[] = {"CAR:SET_NO", "CAR:MANUFACTURER", "CAR:YEAR", "CAR:TYPE_OF_CARD"};
constexpr RangeDeclaration kChosenType{"CAR:TYPE_OF_CARD", Types, "TYP:TYPE_OF_CARD"};
constexpr SortOrderDeclaration kSortOrders[] = {
    {.key = "CAR:TYPES", .range = &kChosenType, .filter = "UPPER(CAR:TYPE_OF_CARD) = UPPER(TYP:TYPE_OF_CARD)", .locator_field = "CAR:MANUFACTURER", .thumb_field = "CAR:MANUFACTURER"},
};
constexpr PageBrowseDeclaration kPage{Cardset, kColumns, kSortOrders};
constexpr DataFile& (*const kCounted[])() = {Cardset, Types};
constexpr CallButton kCalls[] = {
    {6, BrowseSET_SET_KEY, Request::None, true},  // "CARDS IN THIS SET"
};
constexpr BrowseProcedure kProcedure =
    BrowseWindow("ZEPHCOL$zephc009", "BROWSECAR:TYPES$QUICKWINDOW", kPage, kCounted, UpdateCARDSET, kCalls);

}  // namespace

void BrowseCAR_TYPES() { RunPageBrowse(kProcedure); }

}  // namespace zephcol
