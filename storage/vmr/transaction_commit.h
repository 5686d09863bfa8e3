// Transactions over several VMR files: the transaction control file, the
// transaction markers and the commit point.
//
// A commit over two or more changed files:
//  1. a fresh transaction number goes into the control file (committed
//     there), its record naming the changed files; the committing station
//     holds the number's identifier lock in the control file until the
//     commit is over;
//  2. each file gets a transaction marker naming that number, the control
//     file and the change counter its commit will give it, and runs commit
//     phase one;
//  3. the number's record leaves the control file (committed): the commit
//     point;
//  4. each file runs commit phase two.
// A file found interrupted between its phases is rolled back when its
// marker belongs to the interrupted commit (same change counter) and the
// marker's transaction is still listed (the crash came before step 3), and
// rolled forward otherwise.
//
// Invariants:
//  (1) numbers never repeat for a control file: each is above the last one
//      issued (kept in the control file) and not below the time in seconds;
//  (2) the number is erased (step 3, or after a failure) only once every
//      file that may hold a pending commit under it is durably set back or
//      has passed phase one; a file that cannot be set back keeps the
//      number listed, so that recovery rolls it back;
//  (3) a listed number is purged only when its identifier lock is free (no
//      station is committing it) and none of the files its record names
//      still holds an interrupted commit.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "storage/vmr/commit_probe.h"
#include "storage/vmr/file_io.h"
#include "storage/vmr/physical_file.h"
#include "storage/vmr/status.h"

namespace tavero::vmr {

// The process-wide name of the transaction control file ("TCF=" changes
// it), always absolute: a relative name is resolved against the working
// directory when it is set. The default, shared by every process of the
// user, is $HOME/.velmoran.tcf, or /tmp/velmoran-<uid>.tcf without a home.
std::string TransactionControlFileName();
void SetTransactionControlFileName(std::string name);
// The control file this user's processes use unless told otherwise.
std::string DefaultTransactionControlFileName();

// Marker data: the transaction number (4 bytes, big-endian), the control
// file's name and a 0 byte, then the change counter (4 bytes, big-endian)
// that the commit gives the file. Markers written before the counter was
// added end at the 0 byte.
std::string TransactionMarker(std::uint32_t number, std::string_view control_file, std::uint32_t change_counter);
struct ParsedMarker {
  std::uint32_t number = 0;
  std::string control_file;
  std::optional<std::uint32_t> change_counter;  // absent in older markers
};
// False when the bytes are not a marker.
bool ParseTransactionMarker(std::string_view marker_data, ParsedMarker& marker);

// Whether the control file named in `marker_data` still lists its
// transaction. A control file that does not exist lists nothing, but only
// when it is the one this user's processes use; any other failure to read
// it (a foreign control file missing, permission denied, an I/O error, a
// damaged file) is returned, and the recovery that asked refuses to go on.
Status TransactionListed(FileSystem& fs, std::string_view marker_data, bool& listed);

// Commits every changed file of a transaction, all or none. When phase one
// fails for a file, that file and the files prepared before it are set
// back, every file drops its uncommitted changes, and the error is
// returned. `probe`, when set, hears each step of a commit over two or more
// changed files.
Status CommitTransaction(FileSystem& fs, std::span<PhysicalFile* const> files, const CommitProbe& probe = {});
// Drops the uncommitted changes of every file.
void RollbackTransaction(std::span<PhysicalFile* const> files);

}  // namespace tavero::vmr
