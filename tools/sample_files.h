// Writes a sample collection as the program's four data files, through
// the VMR driver and the collection's own declarations.
#pragma once

#include <string>

#include "tools/sample_collection.h"

namespace zephcol {
class DataFile;
}

namespace tavero::tool {

// Clears SETINFORMATION's record buffer `record` and fills it, and its
// memo, with `card`.
void FillCardRecord(zephcol::DataFile& record, const SampleCard& card);

// Creates CARDSET, MANUFACTURER, TYPES and SETINFORMATION (".VMR") in
// `directory`, replacing files of those names, and fills them. Answers 0
// or the error code of the operation that failed, with `failure` naming it.
int WriteSampleFiles(const std::string& directory, const SampleCollection& collection, std::string& failure);

}  // namespace tavero::tool
