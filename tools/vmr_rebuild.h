// `tavero vmr build`: every key of a table made again from its data
// records, whatever its status says, and the table's record count set to
// the records it holds. Dynamic indexes, kept outside the file, are left.
#pragma once

#include <cstdint>

#include "storage/vmr/record_store.h"
#include "tools/vmr_stored_table.h"

namespace tavero::tool {

// Answers 0 or an error code; `records` receives the table's record count.
int RebuildKeys(vmr::RecordStore& store, const StoredTable& table, std::uint32_t& records);

}  // namespace tavero::tool
