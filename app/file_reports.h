// The eight reports of one file each (modules "ZEPHCOL$zephc018" to
// "ZEPHCOL$zephc025"): CARDSET by its three name keys, TYPES by its key and
// SETINFORMATION by its four keys. Each has a page header with its title
// and the page number, and the file's fields by their pictures as the
// detail. They run on the report procedure the master report runs on; no
// menu item opens them.
#pragma once

#include <span>

namespace zephcol {

struct ReportDeclaration;

std::span<const ReportDeclaration> FileReports();

}  // namespace zephcol
