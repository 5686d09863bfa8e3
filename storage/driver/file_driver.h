// DriverEntry and FileDriver: how an operation reaches a driver.
//
// Every dispatchable object (FileObject, and the view engine's views) starts
// with `entry`, a DriverEntry. Perform() hands the operation to that entry.
// File drivers (VMR, ASCII) derive from FileDriver, whose Enter() runs the
// dispatch sequence all drivers share:
//
//   1. code 74 returns 0 at once;
//   2. (text arguments arrive in OperationArgs, nothing to take off a stack);
//   3. the DriverState is built on first use: NewState(), then the common
//      part (texts, record buffer, flattened RecordLayout, key and blob
//      descriptors, field types the driver stores), then FinishState();
//      a failure (47, 75, 79, 8) releases the half-built state;
//   4. OperationRules decide what may run: 37, 33, 63, 5, 52, 56, or a
//      quiet refusal with no error and no effect;
//   5. the driver's Handle() runs and returns 0 or an error code (80 for a
//      code it has no handler for); SEND "REGISTER" is answered here;
//   6. FileState follows the rule row (set/clear on success, clear-on-fail
//      on failure);
//   7. success of a kind 0x01 operation clears the error state; kind 0x04
//      records the last sequential operation; kind 0x02 releases the state;
//   8. an error is posted and the file becomes ErrorFile; EOF and BOF then
//      answer true;
//   9. the result goes back to the caller.
//
// A driver supplies its DriverRegistration, says which field types it
// stores (Stores), may derive its own state from DriverState (NewState) and
// complete it (FinishState), and implements Handle. Handle finds its own
// state type with static_cast: the state was made by its NewState.
#pragma once

#include <memory>

#include "storage/driver/driver_registration.h"
#include "storage/driver/field_type.h"
#include "storage/driver/file_object.h"
#include "storage/driver/operation.h"

namespace tavero::driver {

class DriverEntry {
 public:
  DriverEntry() = default;
  DriverEntry(const DriverEntry&) = delete;
  DriverEntry& operator=(const DriverEntry&) = delete;

  // Performs `code` on `object`, an object whose entry is this one. Leaves
  // the error state set as the operation says.
  virtual OperationResult Enter(FileLike& object, OperationCode code, const OperationArgs& args) = 0;

 protected:
  ~DriverEntry() = default;
};

// Calls `object`'s driver.
OperationResult Perform(FileLike& object, OperationCode code, const OperationArgs& args = {});

class FileDriver : public DriverEntry {
 public:
  explicit FileDriver(DriverRegistration registration);

  // The dispatch sequence above; `object` must be a FileObject.
  OperationResult Enter(FileLike& object, OperationCode code, const OperationArgs& args) final;

  const DriverRegistration& Registration() const { return registration_; }
  // The registration record; SEND "REGISTER" answers the address of its
  // name field.
  const RegistrationRecord& RegistrationRecordBytes() const { return record_; }

 protected:
  ~FileDriver() = default;

  // Whether the driver stores fields of `type` (step 3 rejects the others
  // with 79).
  virtual StoredAs Stores(FieldType type) const = 0;
  // A new, empty state object of the driver's own state type.
  virtual std::unique_ptr<DriverState> NewState() const;
  // Completes a state whose common part is built; returns 0 or an error.
  virtual int FinishState(FileObject& file, DriverState& state);
  // Runs an operation that OperationRules allowed. Returns 0 or an error
  // code; 80 for a code the driver does not implement. FileState bits and
  // the state's release are the dispatcher's: a handler leaves them alone
  // except for bits its operation's rule row does not cover.
  virtual int Handle(OperationCode code, FileObject& file, DriverState& state, const OperationArgs& args,
                     OperationResult& result) = 0;

 private:
  int BuildState(FileObject& file);

  DriverRegistration registration_;
  RegistrationRecord record_;
};

// Releases the file's DriverState and forgets the key descriptors that
// pointed into it.
void ReleaseDriverState(FileObject& file);

}  // namespace tavero::driver
