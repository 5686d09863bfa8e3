// The VMR driver's work on whole tables and files: opening, creating,
// closing, EMPTY, REMOVE, COPY and RENAME, dynamic index files, and the
// blob operations 75 to 79.
#pragma once

#include <memory>
#include <string_view>

#include "storage/driver/driver.h"
#include "storage/vmr/driver_state.h"

namespace tavero::vmr {

class VmrDriver;

// Opens the table for OPEN and SHARE (46 when a declared key lags behind
// its records and `keys_must_be_built`) and for the BUILD of a closed table.
int open_table(VmrDriver& driver, VmrState& state, int access_mode, bool keys_must_be_built);
void close_table(VmrState& state);
int create_table(VmrDriver& driver, driver::FileObject& file, VmrState& state);
int remove_table(VmrDriver& driver, VmrState& state);
int copy_table(VmrDriver& driver, driver::FileObject& file, VmrState& state, std::string_view new_name, bool move);
int empty_table(VmrDriver& driver, VmrState& state);
// A new, empty file for dynamic index `key` (the old one is dropped).
int fresh_index_store(VmrDriver& driver, VmrState& state, std::size_t key, std::shared_ptr<PhysicalFileStore>& store);

int run_blob_operation(driver::OperationCode code, VmrState& state, const driver::OperationArgs& args,
                       driver::OperationResult& result);

}  // namespace tavero::vmr
