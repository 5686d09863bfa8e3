// zephc006: `BrowseSETINFORMATION`, the cards of one set ("CARD SETS"): the set in
// CARDSET's record buffer, none while it is clear, until one is chosen with
// "Select CARDSET".
#include "app/browse_procedure.h"
#include "app/browse_procedures.h"
#include "app/update_forms.h"

namespace zephcol {
namespace {

constexpr std::string_view kColumns[] = {"SET:SET_NO", "SET:CARD_NO", "SET:FIRST_NAME", "SET:LAST_NAME", "SET:QTY", "SET:LOW_VALUE", "SET:HIGH_VALUE", "SET:PRICE_PAID", "SET:PRICE_CARD_SOLD"};
constexpr RangeDeclaration kChosenSet{"SET:SET_NO", Cardset, "CAR:SET_NO"};
constexpr SortOrderDeclaration kSortOrders[] = {
    {.key = "SET:SET_KEY", .range = &kChosenSet, .filter = "SET:SET_No = CAR:SET_No", .thumb_field = "SET:SET_NO"},
};
constexpr PageBrowseDeclaration kPage{SetInformation, kColumns, kSortOrders};
constexpr DataFile& (*const kCounted[])() = {Cardset, SetInformation};
constexpr CallButton kCalls[] = {
    {6, SelectCARDSET, Request::Select},  // "Select CARDSET": the chosen set becomes the range
};
constexpr BrowseProcedure kProcedure =
    BrowseWindow("ZEPHCOL$zephc006", "BROWSESETINFORMATION$QUICKWINDOW", kPage, kCounted, UpdateSETINFORMATION, kCalls);

}  // namespace

void BrowseSETINFORMATION() { RunPageBrowse(kProcedure); }

}  // namespace zephcol
