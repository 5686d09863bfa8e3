// `tavero vmr load`: rows of a CSV file added to a table through the VMR
// driver's ADD, keys checked, in runtime transactions (LOGOUT and COMMIT).
//
// The first row names the columns (fields and memos, as `tavero vmr dump`
// writes them; case ignored); a column the table lacks stops the load
// before anything is written; a field with no column is left blank or zero.
// A row that cannot be stored (a value that does not fit, a duplicate key)
// is refused with its line number and the reason, and the others go in.
// All rows form one transaction, or one per `batch` rows: a failure of the
// file itself (any other error of ADD) rolls back the transaction it
// happened in, leaving the file as it was before that transaction, and
// stops the load. A failed COMMIT stops it too; its transaction is then in
// whole when the failure came after the commit point, and out otherwise:
// the file is opened again to say which.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "storage/driver/driver.h"
#include "tools/vmr_csv.h"
#include "tools/vmr_stored_table.h"

namespace tavero::tool {

struct LoadOptions {
  std::size_t batch = 0;  // rows per transaction; 0: all in one
  // Called after each row with the rows done and the rows in all.
  std::function<void(std::size_t done, std::size_t total)> progress;
};

struct LoadReport {
  std::size_t added = 0;              // rows committed
  std::vector<std::string> refused;   // "line N: reason", one per refused row
  int failure = 0;                    // the error that stopped the load; 0 none
  std::string failure_text;
};

// Loads `rows` (the header row first) into the table `table` of the
// operating-system file `os_file`, opened through `driver` (the VMR
// driver) for the tool alone. Answers 0, or the error that stopped the
// load (also in the report).
int LoadRows(driver::DriverEntry& driver, const std::string& os_file, const StoredTable& table,
             const std::vector<CsvRow>& rows, const LoadOptions& options, LoadReport& report);

}  // namespace tavero::tool
