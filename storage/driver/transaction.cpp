#include "storage/driver/transaction.h"

#include <algorithm>

#include "runtime/error_codes.h"
#include "runtime/error_state.h"
#include "storage/driver/driver_registration.h"
#include "storage/driver/file_operations.h"

namespace tavero::driver {
namespace {


// The process-wide transaction state.
struct TransactionState {
  std::vector<OpenFileEntry> files;
  bool active = false;
};

TransactionState& State() {
  static TransactionState state;
  return state;
}

OpenFileEntry* EntryOf(const FileObject& file) {
  auto& files = State().files;
  auto it = std::find_if(files.begin(), files.end(), [&](const OpenFileEntry& e) { return e.file == &file; });
  return it == files.end() ? nullptr : &*it;
}

bool Supports(const OpenFileEntry& entry, TransactionSupport what) {
  return (entry.support & static_cast<std::uint8_t>(what)) != 0;
}

// UNLOCK without disturbing the error state the caller is about to report.
void QuietUnlock(FileObject& file, const OpenFileEntry& entry) {
  if (!Supports(entry, TransactionSupport::Unlock)) return;
  PushErrorState();
  Unlock(file);
  PopErrorState();
}

// Ends the transaction with each driver's COMMIT or ROLLBACK.
int EndTransaction(bool commit) {
  TransactionState& state = State();
  state.active = false;
  int first_error = 0;
  // The entries are looked up again after each driver call: a call may
  // change the list.
  std::vector<FileObject*> members;
  for (const OpenFileEntry& entry : state.files) {
    if (entry.in_transaction) members.push_back(entry.file);
  }
  for (FileObject* member : members) {
    OpenFileEntry* entry = EntryOf(*member);
    if (entry == nullptr) continue;
    entry->in_transaction = false;
    FileObject& file = *member;
    const TransactionSupport needed = commit ? TransactionSupport::Commit : TransactionSupport::Rollback;
    if (Supports(*entry, needed)) {
      const int error = commit ? driver::Commit(file) : driver::Rollback(file);
      if (first_error == 0) first_error = error;
      // A failed COMMIT leaves the file marked InTransaction, and such a
      // file can never be closed: its driver has dropped the changes, and
      // its ROLLBACK takes it out of the transaction.
      if (commit && error != 0 && Supports(*entry, TransactionSupport::Rollback)) {
        PushErrorState();
        driver::Rollback(file);
        PopErrorState();
      }
    }
    if (OpenFileEntry* still = EntryOf(*member)) QuietUnlock(file, *still);
  }
  if (first_error != 0) PostError(first_error);
  return first_error;
}

}  // namespace

std::uint8_t TransactionSupportOf(const DriverRegistration& registration) {
  std::uint8_t support = 0;
  for (std::uint8_t code : registration.operations) {
    switch (static_cast<OperationCode>(code)) {
      case OperationCode::Logout: support |= static_cast<std::uint8_t>(TransactionSupport::Logout); break;
      case OperationCode::Rollback: support |= static_cast<std::uint8_t>(TransactionSupport::Rollback); break;
      case OperationCode::Commit: support |= static_cast<std::uint8_t>(TransactionSupport::Commit); break;
      case OperationCode::LockWithLimit:
        support |= static_cast<std::uint8_t>(TransactionSupport::LockWithLimit);
        break;
      case OperationCode::Unlock: support |= static_cast<std::uint8_t>(TransactionSupport::Unlock); break;
      default: break;
    }
  }
  return support;
}

void RememberOpenFile(FileObject& file, std::uint32_t access_mode, std::uint8_t support) {
  if (OpenFileEntry* entry = EntryOf(file)) {
    entry->access_mode = access_mode;
    entry->support = support;
    return;
  }
  State().files.push_back({.file = &file, .access_mode = access_mode, .in_transaction = false, .support = support});
}

void ForgetOpenFile(const FileObject& file) {
  auto& files = State().files;
  std::erase_if(files, [&](const OpenFileEntry& e) { return e.file == &file; });
}

std::vector<OpenFileEntry> OpenFiles() { return State().files; }

bool TransactionActive() { return State().active; }

int Logout(std::int64_t seconds, std::span<FileObject* const> files) {
  TransactionState& state = State();
  if (state.active) {
    PostError(error_code::kLogoutAlreadyActive);
    return error_code::kLogoutAlreadyActive;
  }
  // Active from the start: while LOGOUT waits for a file's lock other
  // threads run (the lock-wait pause), and a LOGOUT of theirs gets 56
  // instead of mixing its files into this transaction.
  state.active = true;
  bool failed = false;
  for (FileObject* file : files) {
    if (file == nullptr || !file->driver_state) continue;  // never used: nothing to log
    OpenFileEntry* entry = EntryOf(*file);
    if (entry == nullptr) {
      failed = true;
      break;
    }
    if (Supports(*entry, TransactionSupport::LockWithLimit)) {
      const int error = Lock(*file, seconds);
      if (error != 0 && error != error_code::kUnsupportedFileDriverFunction) {
        failed = true;
        break;
      }
    }
    if (!Supports(*entry, TransactionSupport::Logout) || driver::Logout(*file) != 0) {
      if (OpenFileEntry* still = EntryOf(*file)) QuietUnlock(*file, *still);
      failed = true;
      break;
    }
    if (OpenFileEntry* still = EntryOf(*file)) still->in_transaction = true;
  }
  if (failed) {
    EndTransaction(false);
    PostError(error_code::kUnableToLogTransaction);
    return error_code::kUnableToLogTransaction;
  }
  ClearError();
  return 0;
}

int Commit() { return EndTransaction(true); }
int Rollback() { return EndTransaction(false); }

}  // namespace tavero::driver
