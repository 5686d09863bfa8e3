// The runtime open-file list and the runtime's transaction routines LOGOUT,
// COMMIT and ROLLBACK, which work through each file's driver.
//
// The list holds every open file, whatever its driver: the file, its access
// mode, whether it is in the current transaction, and which of the
// transaction operations its driver supports (from the driver's
// registration). FileDriver keeps it: a successful OPEN or SHARE adds the
// file, the release of its DriverState removes it. One list per process.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "storage/driver/file_object.h"

namespace tavero::driver {

struct DriverRegistration;

enum class TransactionSupport : std::uint8_t {
  None = 0,
  Logout = 0x01,
  Rollback = 0x02,
  Commit = 0x04,
  LockWithLimit = 0x08,
  Unlock = 0x10,
};

// The transaction operations `registration` lists.
std::uint8_t TransactionSupportOf(const DriverRegistration& registration);

struct OpenFileEntry {
  FileObject* file = nullptr;
  std::uint32_t access_mode = 0;
  bool in_transaction = false;
  std::uint8_t support = 0;  // TransactionSupport bits
};

// Adds (or refreshes) `file`'s entry; removes it.
void RememberOpenFile(FileObject& file, std::uint32_t access_mode, std::uint8_t support);
void ForgetOpenFile(const FileObject& file);
// A copy of the list, for questions and tests.
std::vector<OpenFileEntry> OpenFiles();

// Starts a transaction over `files`: each file that has been used is locked
// for `seconds` (when its driver can) and logged out to its driver. A file
// without an entry in the open-file list, or whose driver cannot take part,
// gives 48 and the files already enlisted are rolled back; 56 while a
// transaction is active. Returns the error posted, or 0.
int Logout(std::int64_t seconds, std::span<FileObject* const> files);
// End the transaction: each file in it gets its driver's COMMIT (or
// ROLLBACK), then UNLOCK. Return the first error the drivers gave, or 0.
int Commit();
int Rollback();
bool TransactionActive();

}  // namespace tavero::driver
