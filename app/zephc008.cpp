// zephc008: `BrowseCAR:MANUFACTURERS`, the sets of the manufacturer in
// MANUFACTURER's record buffer ("CARD SETS FOR THIS MANUFACTURER").
#include "app/browse_procedure.h"
#include "app/browse_procedures.h"
#include "app/update_forms.h"

namespace zephcol {
namespace {

constexpr std::string_view kColumns[] = {"CAR:SET_NO", "CAR:YEAR", "CAR:TYPE_OF_CARD", "CAR:MANUFACTURER"};
constexpr RangeDeclaration kChosenManufacturer{"CAR:MANUFACTURER", Manufacturer, "MAN:MANUFACTURER"};
constexpr SortOrderDeclaration kSortOrders[] = {
    {.key = "CAR:MANUFACTURERS", .range = &kChosenManufacturer, .filter = "UPPER(CAR:MANUFACTURER) = UPPER(MAN:MANUFACTURER)", .locator_field = "CAR:YEAR", .thumb_field = "CAR:YEAR"},
};
constexpr PageBrowseDeclaration kPage{Cardset, kColumns, kSortOrders};
constexpr DataFile& (*const kCounted[])() = {Cardset, Manufacturer};
constexpr CallButton kCalls[] = {
    {6, BrowseSET_SET_KEY, Request::None, true},  // "CARDS IN THIS SET"
};
constexpr BrowseProcedure kProcedure =
    BrowseWindow("ZEPHCOL$zephc008", "BROWSECAR:MANUFACTURERS$QUICKWINDOW", kPage, kCounted, UpdateCARDSET, kCalls);

}  // namespace

void BrowseCAR_MANUFACTURERS() { RunPageBrowse(kProcedure); }

}  // namespace zephcol
