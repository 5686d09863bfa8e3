// Filters of dynamic indexes: BUILD with a filter text keeps in the index only
// the records for which the expression is true. The storage driver asks for a
// filter through a hook; the application fills it with the expression
// evaluator at start.
#pragma once

#include "storage/vmr/vmr.h"

namespace zephcol {

// The filter reads the fields the program has bound (BIND); each record is
// put in the file's record buffer while it is asked, and the buffer is given
// back as it was when the build ends. A filter that does not compile keeps no
// record, so a mistyped filter gives an empty index rather than a full one.
void InstallIndexFilters(tavero::vmr::VmrDriver& driver);

}  // namespace zephcol
