// zephc007: `BrowseSET:SET_KEY`, the cards of the set in CARDSET's record buffer
// ("BROWSE CARDS IN THIS SET"), called from a browse of card sets.
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
constexpr BrowseProcedure kProcedure =
    BrowseWindow("ZEPHCOL$zephc007", "BROWSESET:SET_KEY$QUICKWINDOW", kPage, kCounted, UpdateSETINFORMATION);

}  // namespace

void BrowseSET_SET_KEY() { RunPageBrowse(kProcedure); }

}  // namespace zephcol
