// `tavero vmr dump`: the records of tables with their memos, decoded by the
// stored definitions, as CSV or JSON.
//
// CSV (RFC 4180, CRLF line ends): one table; a header row of the column
// names (fields, then memos), then one row per record.
// JSON: {"tables":[{"name":...,"records":[{"recno":N,"fields":{...},
// "memos":{...}}]}]}, one record a line.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "storage/vmr/record_store.h"
#include "tools/vmr_stored_table.h"

namespace tavero::tool {

enum class DumpFormat { kCsv, kJson };

struct DumpOptions {
  DumpFormat format = DumpFormat::kJson;
  // Records in the order of this key (by name); record order without one.
  std::optional<std::string> key;
};

// Writes the dump; answers 0 or an error code, with `message` saying what
// went wrong when the code alone does not (an unknown key, say).
int DumpTables(vmr::RecordStore& store, std::span<const StoredTable> tables, const DumpOptions& options,
               std::ostream& out, std::string& message);

// One RFC 4180 field: quoted when it holds a comma, a quote or a line end.
std::string CsvField(std::string_view text);
// A JSON string literal.
std::string JsonString(std::string_view utf8);

// Visits every data record of `table` in record order, or in the order of
// key `key`, with its record number and image.
using RecordVisit = std::function<int(vmr::RecordNumber record, std::string_view image)>;
int ForEachDataRecord(vmr::RecordStore& store, const StoredTable& table, std::optional<std::size_t> key,
                      const RecordVisit& visit);

}  // namespace tavero::tool
