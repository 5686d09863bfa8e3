// zephc010: `SelectTYPES`, the lookup of a type of card ("Select a TYPE").
#include "app/browse_procedure.h"
#include "app/browse_procedures.h"

namespace zephcol {
namespace {

constexpr std::string_view kColumns[] = {"TYP:TYPE_OF_CARD"};
constexpr SortOrderDeclaration kSortOrders[] = {
    {.key = "TYP:TYPE", .locator_field = "TYP:TYPE_OF_CARD", .thumb_field = "TYP:TYPE_OF_CARD"},
};
constexpr PageBrowseDeclaration kPage{Types, kColumns, kSortOrders};
constexpr DataFile& (*const kCounted[])() = {Types};
constexpr BrowseProcedure kProcedure = SelectWindow("ZEPHCOL$zephc010", "SELECTTYPES$QUICKWINDOW", kPage, kCounted);

}  // namespace

void SelectTYPES() { RunPageBrowse(kProcedure); }

}  // namespace zephcol
