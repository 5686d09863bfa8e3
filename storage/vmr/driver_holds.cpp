// HOLD, WATCH, RELEASE at the level of locks, LOCK, UNLOCK, STREAM and FLUSH.
#include "storage/vmr/driver_holds.h"

#include <array>
#include <chrono>
#include <optional>

#include "runtime/error_codes.h"
#include "storage/driver/lock_wait.h"
#include "storage/vmr/driver_state.h"
#include "storage/vmr/physical_file.h"
#include "storage/vmr/vmr.h"

namespace tavero::vmr {

namespace {

using driver::OperationCode;
using Clock = std::chrono::steady_clock;

// Pause between two attempts at a lock another station holds.
constexpr auto kRetryPause = std::chrono::milliseconds(10);

// The identifier as stored: record and table numbers are big-endian.
std::array<std::uint8_t, 4> identifier_of(std::uint32_t number) {
  return {static_cast<std::uint8_t>(number >> 24), static_cast<std::uint8_t>(number >> 16),
          static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number)};
}

PhysicalFile& file_of(VmrState& state) { return state.store->file(); }

int try_lock(VmrState& state, std::uint32_t number, bool& acquired) {
  const auto id = identifier_of(number);
  return ErrorCodeOf(file_of(state).TryLockIdentifier(id, acquired));
}

void unlock(VmrState& state, const std::array<std::uint8_t, 4>& id) {
  (void)ErrorCodeOf(file_of(state).UnlockIdentifier(id));
}

// Time limits count in hundredths of a second from the first attempt.
bool limit_passed(Clock::time_point start, std::optional<std::int64_t> seconds) {
  if (!seconds) return false;
  const auto hundredths = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() / 10;
  return hundredths >= *seconds * 100;
}

void pause_between_attempts() { driver::PauseBetweenLockAttempts(kRetryPause); }

}  // namespace

void release_held_record(VmrState& state) {
  if (state.held_record) unlock(state, *state.held_record);
  state.held_record.reset();
  state.table->read_flags().held = false;
}

bool reads_record(OperationCode code) {
  switch (code) {
    case OperationCode::GetByKey:
    case OperationCode::GetByPointer:
    case OperationCode::GetByKeyAndPointer:
    case OperationCode::Next:
    case OperationCode::Previous:
    case OperationCode::Reget:
    case OperationCode::RegetByKey:
      return true;
    default:
      return false;
  }
}

bool writes_held_record(OperationCode code) {
  return code == OperationCode::Put || code == OperationCode::PutAtPointer || code == OperationCode::Delete;
}

int held_read(VmrState& state, Bracketed bracketed, Body read) {
  Table& table = *state.table;
  release_held_record(state);
  const Table::ReadFlags armed = table.read_flags();
  if (!armed.hold_armed) return bracketed(read);
  std::optional<std::int64_t> limit;
  if (armed.hold_seconds) limit = *armed.hold_seconds;
  const Clock::time_point start = Clock::now();
  // A read that found a held record is repeated on that record, whatever
  // kind of read found it (NEXT has already moved past it).
  RecordNumber found_held = 0;
  for (;;) {
    const int e = bracketed([&] {
      const int read_error = found_held != 0 ? table.get_by_pointer(found_held) : read();
      if (read_error != 0) return read_error;
      bool acquired = false;
      if (int lock_error = try_lock(state, table.pointer(), acquired)) {
        table.abandon_read();
        return lock_error;
      }
      if (!acquired) {
        found_held = table.pointer();
        table.abandon_read();
        return error_code::kRecordIsAlreadyHeld;
      }
      state.held_record = identifier_of(table.pointer());
      table.read_flags().held = true;
      return 0;
    });
    if (e != error_code::kRecordIsAlreadyHeld || limit_passed(start, limit)) return e;
    pause_between_attempts();
    // The armed flags were spent by the failed attempt.
    Table::ReadFlags& flags = table.read_flags();
    flags.skip_memos = armed.skip_memos;
    flags.hold_armed = true;
    flags.watch_armed = armed.watch_armed;
    flags.hold_seconds = armed.hold_seconds;
  }
}

int guarded_write(OperationCode code, VmrState& state, const driver::OperationArgs& args, Body write) {
  Table& table = *state.table;
  const RecordNumber target = code == OperationCode::PutAtPointer ? args.pointer : table.pointer();
  const bool ours = target != 0 && state.held_record == identifier_of(target);
  bool temporary = false;
  if (target != 0 && !ours) {
    if (int e = try_lock(state, target, temporary)) return e;
    if (!temporary) return code == OperationCode::Delete ? error_code::kRecordNotAvailable : error_code::kAccessDenied;
  }
  const int e = write();
  if (temporary) unlock(state, identifier_of(target));
  // PUT and DELETE end the hold of the record they wrote.
  if (ours && e == 0) release_held_record(state);
  return e;
}

int run_lock_operation(OperationCode code, VmrState& state, const driver::OperationArgs& args) {
  switch (code) {
    case OperationCode::Lock:
    case OperationCode::LockWithLimit: {
      if (state.table_locked) return 0;
      std::optional<std::int64_t> limit;
      if (code == OperationCode::LockWithLimit) limit = std::max<std::int64_t>(0, args.number);
      const Clock::time_point start = Clock::now();
      for (;;) {
        bool acquired = false;
        if (int e = try_lock(state, state.table->table_number(), acquired)) return e;
        if (acquired) {
          state.table_locked = true;
          return 0;
        }
        if (limit_passed(start, limit)) return error_code::kFileIsAlreadyLocked;
        pause_between_attempts();
      }
    }
    case OperationCode::Unlock:
      if (state.table_locked) unlock(state, identifier_of(state.table->table_number()));
      state.table_locked = false;
      return 0;
    case OperationCode::Stream:
      file_of(state).set_streaming(true);
      return 0;
    case OperationCode::Flush:
      // Commits what stream mode kept back (not inside a transaction).
      file_of(state).set_streaming(false);
      return ErrorCodeOf(file_of(state).EndOperation());
    default:
      return 80;
  }
}

void release_locks(VmrState& state) {
  if (!state.store) return;
  release_held_record(state);
  if (state.table_locked) unlock(state, identifier_of(state.table->table_number()));
  state.table_locked = false;
}

}  // namespace tavero::vmr
