// zephc005: `BrowseTYPES`, the types of card ("Browse the TYPES File"); "CARDSET"
// shows the highlighted type's sets.
#include "app/browse_procedure.h"
#include "app/browse_procedures.h"
#include "app/update_forms.h"

namespace zephcol {
namespace {

constexpr std::string_view kColumns[] = {"TYP:TYPE_OF_CARD"};
constexpr SortOrderDeclaration kSortOrders[] = {
    {.key = "TYP:TYPE", .thumb_field = "TYP:TYPE_OF_CARD"},
};
constexpr PageBrowseDeclaration kPage{Types, kColumns, kSortOrders};
constexpr DataFile& (*const kCounted[])() = {Types};
constexpr CallButton kCalls[] = {
    {6, BrowseCAR_TYPES, Request::None, true},  // "CARDSET"
};
constexpr BrowseProcedure kProcedure =
    BrowseWindow("ZEPHCOL$zephc005", "BROWSETYPES$QUICKWINDOW", kPage, kCounted, UpdateTYPES, kCalls);

}  // namespace

void BrowseTYPES() { RunPageBrowse(kProcedure); }

}  // namespace zephcol
