// zephc002: `BrowseCARDSET`, the card sets ("CARD SET INFORMATION") in four
// orders: by set number, by manufacturer (the one chosen with
// "MANUFACTURER") and year, by type of card (the one chosen with "TYPES")
// and maker, and by season.
#include "app/browse_procedure.h"
#include "app/browse_procedures.h"
#include "app/update_forms.h"

namespace zephcol {
namespace {

constexpr std::string_view kColumns[] = {"CAR:SET_NO", "CAR:MANUFACTURER", "CAR:YEAR", "CAR:TYPE_OF_CARD"};
constexpr RangeDeclaration kChosenManufacturer{"CAR:MANUFACTURER", Manufacturer, "MAN:MANUFACTURER"};
constexpr RangeDeclaration kChosenType{"CAR:TYPE_OF_CARD", Types, "TYP:TYPE_OF_CARD"};
// By tab: "CARD SET", "CARD MANUFACTURER", "TYPE OF CARD", "SEASON".
constexpr SortOrderDeclaration kSortOrders[] = {
    {.key = "CAR:SET", .thumb_field = "CAR:SET_NO"},
    {.key = "CAR:MANUFACTURERS",
     .range = &kChosenManufacturer,
     .filter = "UPPER(CAR:MANUFACTURER) = UPPER(MAN:MANUFACTURER)",
     .locator_field = "CAR:YEAR",
     .thumb_field = "CAR:YEAR"},
    {.key = "CAR:TYPES",
     .range = &kChosenType,
     .filter = "UPPER(CAR:TYPE_OF_CARD) = UPPER(TYP:TYPE_OF_CARD)",
     .locator_field = "CAR:MANUFACTURER",
     .thumb_field = "CAR:MANUFACTURER"},
    {.key = "CAR:SEASON", .thumb_field = "CAR:YEAR"},
};
constexpr PageBrowseDeclaration kPage{Cardset, kColumns, kSortOrders};
constexpr DataFile& (*const kCounted[])() = {Cardset, Manufacturer, Types};
constexpr CallButton kCalls[] = {
    {6, SelectMANUFACTURER, Request::Select},  // "MANUFACTURER"
    {7, SelectTYPES, Request::Select},         // "TYPES"
    {8, BrowseSET_SET_KEY, Request::None, true},  // "SET CARDS"
};
constexpr BrowseProcedure kProcedure =
    BrowseWindow("ZEPHCOL$zephc002", "BROWSECARDSET$QUICKWINDOW", kPage, kCounted, UpdateCARDSET, kCalls, 9);

}  // namespace

void BrowseCARDSET() { RunPageBrowse(kProcedure); }

}  // namespace zephcol
