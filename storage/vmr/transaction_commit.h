// Transactions over several VMR files: the transaction control file, the
// transaction markers and the commit point.
//
// A commit over two or more changed files:
//  1. a record for a fresh transaction number goes into the control file
//     (committed there);
//  2. each file gets a transaction marker naming that number and the control
//     file, and runs commit phase one;
//  3. the number's record leaves the control file (committed): the commit
//     point;
//  4. each file runs commit phase two.
// A file found interrupted between its phases is rolled back when its
// marker's transaction is still listed (the crash came before step 3) and
// rolled forward otherwise.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "storage/vmr/commit_probe.h"
#include "storage/vmr/file_io.h"
#include "storage/vmr/physical_file.h"
#include "storage/vmr/status.h"

namespace tavero::vmr {

// The process-wide name of the transaction control file ("TCF=" changes
// it). The default, shared by every process of the user, is
// $HOME/.velmoran.tcf, or /tmp/velmoran-<uid>.tcf without a home.
std::string TransactionControlFileName();
void SetTransactionControlFileName(std::string name);

// Marker data: the transaction number (4 bytes, big-endian), then the
// control file's name and a 0 byte.
std::string TransactionMarker(std::uint32_t number, std::string_view control_file);

// Whether the control file named in `marker_data` still lists its
// transaction. A damaged marker or a missing control file lists nothing.
bool TransactionStillListed(FileSystem& fs, std::string_view marker_data);

// Commits every changed file of a transaction, all or none. When phase one
// fails for a file, the files prepared before it are set back, every file
// drops its uncommitted changes, and the error is returned. `probe`, when
// set, hears each step of a commit over two or more changed files.
Status CommitTransaction(FileSystem& fs, std::span<PhysicalFile* const> files, const CommitProbe& probe = {});
// Drops the uncommitted changes of every file.
void RollbackTransaction(std::span<PhysicalFile* const> files);

}  // namespace tavero::vmr
