// The VMR driver's per-file state: the table engine over the file's shared
// ordered store, and the stores of its dynamic indexes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "storage/driver/driver.h"
#include "storage/vmr/record_store_file.h"
#include "storage/vmr/table.h"

namespace tavero::vmr {

struct VmrState final : driver::DriverState {
  TableDefinition definition;
  std::optional<Table> table;  // built with the state; open while `store` is set
  std::string os_file;
  std::string table_name;
  std::shared_ptr<PhysicalFileStore> store;
  std::vector<std::shared_ptr<PhysicalFileStore>> index_stores;  // per key; dynamic indexes only
  // The identifier lock of the record this table holds (HOLD), and whether
  // it holds its table's lock (LOCK).
  std::optional<std::array<std::uint8_t, 4>> held_record;
  bool table_locked = false;
};

// The file name of key `key`'s dynamic index beside `os_file`.
std::string dynamic_index_file(const std::string& os_file, const std::string& table, std::size_t key);

// Largest record image and key entry a table may declare: each must fit a
// page of its own.
bool table_fits_pages(const TableDefinition& definition);

}  // namespace tavero::vmr
