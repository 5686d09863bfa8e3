// zephc011: `SelectMANUFACTURER`, the lookup of a card maker ("MANUFACTURER").
#include "app/browse_procedure.h"
#include "app/browse_procedures.h"

namespace zephcol {
namespace {

constexpr std::string_view kColumns[] = {"MAN:MANUFACTURER"};
constexpr SortOrderDeclaration kSortOrders[] = {
    {.key = "MAN:MANFACT", .locator_field = "MAN:MANUFACTURER", .thumb_field = "MAN:MANUFACTURER"},
};
constexpr PageBrowseDeclaration kPage{Manufacturer, kColumns, kSortOrders};
constexpr DataFile& (*const kCounted[])() = {Manufacturer};
constexpr BrowseProcedure kProcedure = SelectWindow("ZEPHCOL$zephc011", "SELECTMANUFACTURER$QUICKWINDOW", kPage, kCounted);

}  // namespace

void SelectMANUFACTURER() { RunPageBrowse(kProcedure); }

}  // namespace zephcol
