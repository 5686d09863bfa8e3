// The tables of a VMR file as the file itself describes them: names from
// the table-name records, declarations from the stored definitions. No
// compiled declaration is needed to read a file this way.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/vmr/record_kinds.h"
#include "storage/vmr/record_store.h"
#include "storage/vmr/table.h"
#include "storage/vmr/table_definition.h"

namespace tavero::tool {

struct StoredTable {
  std::string name;
  vmr::TableNumber number = 0;
  vmr::TableDefinition definition;

  // The index of the key named `name` (case ignored), if any.
  std::optional<std::size_t> FindKey(std::string_view name) const;
};

// A stored table opened through the record layer, its stored definition
// serving as the declaration: the record buffer and one buffer per memo.
class OpenedTable {
 public:
  explicit OpenedTable(const StoredTable& stored);
  OpenedTable(const OpenedTable&) = delete;
  OpenedTable& operator=(const OpenedTable&) = delete;

  int Open(vmr::RecordStore& store) { return table_.open(store, name_); }
  vmr::Table& table() { return table_; }
  std::span<std::uint8_t> record() { return record_; }
  std::string& memo(std::size_t blob) { return memos_[blob]; }
  // Blanks in text fields, zero elsewhere; memos blank, blobs empty.
  void Clear();

 private:
  std::string name_;
  std::vector<std::uint8_t> record_;
  std::vector<std::string> memos_;
  vmr::Table table_;
};

// The names of the tables of a file in name order, found as "PNM=" finds
// them: the first table-name record not below the last name found.
int ListTableNames(vmr::RecordStore& store, std::vector<std::string>& names);

// Reads a table's number and stored definition; 2 when the file has no
// table of that name, 36 when its definition records do not decode.
int ReadStoredTable(vmr::RecordStore& store, std::string_view name, StoredTable& table);

// Reads the named table, or every table of the file when `name` is empty.
int ReadStoredTables(vmr::RecordStore& store, std::string_view name, std::vector<StoredTable>& tables);

}  // namespace tavero::tool
