// A small keyed driver that keeps its tables in memory, for the view
// engine's tests and benchmarks: it implements what views issue (SET in key
// order from a key value, NEXT, PREVIOUS, GET by pointer, POSITION, RESET,
// REGET, SKIPMEMOS) plus OPEN, CLOSE, ADD, PUT, DELETE, HOLD, RELEASE and
// SET in record order or from the start of a key, and counts every
// operation it handles. Reads of a file can be made to fail (read_errors).
//
// Records are numbered from 1 in the order they were added; a key orders by
// its components (text by collation, upper-cased when the key is
// case-insensitive; numbers by value) and then by record number. Position
// texts are the record number, 4 bytes little-endian.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "storage/driver/driver.h"

namespace tavero::views::testing {

class MemoryDriver final : public driver::FileDriver {
 public:
  MemoryDriver();
  ~MemoryDriver();

  // Operations handled so far, by code.
  std::map<driver::OperationCode, long> calls;
  long Reads() const;  // NEXT, PREVIOUS, GET, REGET
  // Files whose NEXT and PREVIOUS fail, by name, with the error they answer.
  std::map<std::string, int> read_errors;
  void ResetCounts() { calls.clear(); }

  struct Table;  // one file's records

 protected:
  driver::StoredAs Stores(driver::FieldType) const override { return driver::StoredAs::Yes; }
  std::unique_ptr<driver::DriverState> NewState() const override;
  int Handle(driver::OperationCode code, driver::FileObject& file, driver::DriverState& state,
             const driver::OperationArgs& args, driver::OperationResult& result) override;

 private:
  Table& TableOf(const std::string& name);
  std::map<std::string, std::unique_ptr<Table>> tables_;  // by file name; outlive CLOSE
};

}  // namespace tavero::views::testing
