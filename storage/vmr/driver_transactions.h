// The VMR driver's transactions (LOGOUT 22, COMMIT 8, ROLLBACK 40) and its
// SEND commands.
#pragma once

#include <string>
#include <string_view>

#include "storage/vmr/driver_state.h"

namespace tavero::vmr {

class VmrDriver;

// Enlists the table's file in the process's transaction and switches it to
// the write phase: it keeps the writer range and commits nothing until the
// transaction ends.
int logout_table(VmrState& state);
// Commits (or drops) the changes of every enlisted file, all or none, and
// empties the list; later calls in the same transaction find nothing to do.
int commit_enlisted(VmrDriver& driver);
int rollback_enlisted();

// SEND: "TCF=<name>", "PNM=<table>", anything else. Never an error.
std::string send_command(VmrState& state, std::string_view command);

}  // namespace tavero::vmr
