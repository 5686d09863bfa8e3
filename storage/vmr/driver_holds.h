// Record holds, watched records, table locks and stream mode of the VMR
// driver. Record and table locks are the identifier locks of the file;
// waiting for one is done outside any operation bracket, so the station
// that holds it can finish its own operations meanwhile.
#pragma once

#include "runtime/function_ref.h"
#include "storage/driver/driver.h"

namespace tavero::vmr {

struct VmrState;

// Runs a function inside the operation bracket of the table's files. Every
// read and write passes through these references: they cost no allocation.
using Body = FunctionRef<int()>;
using Bracketed = FunctionRef<int(Body)>;

// Reads that honour HOLD and WATCH (NEXT, PREVIOUS, GET, REGET).
bool reads_record(driver::OperationCode code);
// Writes that must respect another station's hold (PUT, DELETE).
bool writes_held_record(driver::OperationCode code);

// A read under HOLD: the read releases what the file still holds, then
// takes the found record's identifier lock within its bracket; while
// another station holds it the read is repeated until the hold's time
// limit (none: no limit) has passed, then fails with 43.
int held_read(VmrState& state, Bracketed bracketed, Body read);

// PUT or DELETE (inside the bracket): a record that another station holds
// gives 5 (PUT) or 33 (DELETE); otherwise the record is locked for the
// update, and the hold of this station ends with it.
int guarded_write(driver::OperationCode code, VmrState& state, const driver::OperationArgs& args,
                  Body write);

// LOCK, LOCK with seconds, UNLOCK, STREAM and FLUSH of an open table.
int run_lock_operation(driver::OperationCode code, VmrState& state,
                       const driver::OperationArgs& args);

// RELEASE: gives up the record this table holds.
void release_held_record(VmrState& state);

// Gives up the record and table locks of a table (CLOSE).
void release_locks(VmrState& state);

}  // namespace tavero::vmr
