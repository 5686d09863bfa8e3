// zephc004: `BrowseMANUFACTURER`, the card makers ("MANUFACTURERS"); "CARDSET" shows
// the highlighted maker's sets.
#include "app/browse_procedure.h"
#include "app/browse_procedures.h"
#include "app/update_forms.h"

namespace zephcol {
namespace {

constexpr std::string_view kColumns[] = {"MAN:MANUFACTURER"};
constexpr SortOrderDeclaration kSortOrders[] = {
    {.key = "MAN:MANFACT", .thumb_field = "MAN:MANUFACTURER"},
};
constexpr PageBrowseDeclaration kPage{Manufacturer, kColumns, kSortOrders};
constexpr DataFile& (*const kCounted[])() = {Manufacturer};
constexpr CallButton kCalls[] = {
    {6, BrowseCAR_MANUFACTURERS, Request::None, true},  // "CARDSET"
};
constexpr BrowseProcedure kProcedure =
    BrowseWindow("ZEPHCOL$zephc004", "BROWSEMANUFACTURER$QUICKWINDOW", kPage, kCounted, UpdateMANUFACTURER, kCalls);

}  // namespace

void BrowseMANUFACTURER() { RunPageBrowse(kProcedure); }

}  // namespace zephcol
