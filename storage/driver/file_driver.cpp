#include "storage/driver/file_driver.h"

#include <cassert>
#include <chrono>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "runtime/error_codes.h"
#include "runtime/error_state.h"
#include "storage/driver/lock_wait.h"
#include "storage/driver/transaction.h"

// Invariants of a FileObject between calls:
//  (1) No DriverState means FileState None: a file is open only while it has
//      a state.
//  (2) Each KeyObject's descriptor points into the file's state while there
//      is one and is null otherwise.
//  (3) The state's key descriptors are never added to after the state is
//      built, so (2)'s pointers stay valid.
//  (4) A refusal by OperationRules changes neither FileState nor the state's
//      existence.

namespace tavero::driver {
namespace {

constexpr int kOk = 0;

// A refusal that posts nothing and changes nothing.
constexpr int kQuietRefusal = -1;

// Step 4: what OperationRules say of running `rule` on a file in `state`.
int CheckRules(const OperationRule& rule, FileState state) {
  const FileState missing = rule.required & ~state;
  if (Has(missing, FileState::Open)) return error_code::kFileNotOpen;
  if (Has(state, FileState::Open) && missing != FileState::None) {
    if (Has(missing, FileState::HasRecord)) return error_code::kRecordNotAvailable;
    if (Has(missing, FileState::SequenceReady)) return error_code::kRecordNotAvailable;
    if (Has(missing, FileState::Exclusive)) return error_code::kExclusiveAccessRequired;
    if (Has(missing, FileState::Writable)) return error_code::kAccessDenied;
    return kQuietRefusal;
  }
  const FileState present = rule.forbidden & state;
  if (Has(present, FileState::Open)) return error_code::kFileAlreadyOpen;
  if (Has(present, FileState::InTransaction)) return error_code::kLogoutAlreadyActive;
  if (present != FileState::None) return kQuietRefusal;
  return kOk;
}

bool IsFlagQuery(OperationCode code) { return code == OperationCode::Eof || code == OperationCode::Bof; }

// The files an operation is under way on. An operation waiting for a lock
// another station holds may give up the window engine's lock for each pause
// (lock_wait.h); another thread's operation on the same file then waits its
// turn here instead of moving or closing the file under the waiting one.
// Process-wide, like the pause itself; a thread may re-enter its own file.
class BusyFiles {
 public:
  // Marks `file` busy for the calling thread, after waiting (pausing as a
  // lock wait does) while another thread has it.
  void Enter(const FileObject& file) {
    const std::thread::id me = std::this_thread::get_id();
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        Mark* mark = Find(file);
        if (mark == nullptr) {
          marks_.push_back({&file, me, 1});
          return;
        }
        if (mark->thread == me) {
          ++mark->depth;
          return;
        }
      }
      PauseBetweenLockAttempts(kTurnPause);
    }
  }
  void Leave(const FileObject& file) {
    std::lock_guard lock(mutex_);
    Mark* mark = Find(file);
    assert(mark != nullptr && mark->thread == std::this_thread::get_id());
    if (--mark->depth == 0) {
      *mark = marks_.back();
      marks_.pop_back();
    }
  }

 private:
  static constexpr std::chrono::milliseconds kTurnPause{5};
  struct Mark {
    const FileObject* file;
    std::thread::id thread;
    int depth;
  };
  Mark* Find(const FileObject& file) {
    for (Mark& mark : marks_) {
      if (mark.file == &file) return &mark;
    }
    return nullptr;
  }

  std::mutex mutex_;
  std::vector<Mark> marks_;  // a handful at most: one per thread in an operation
};

BusyFiles& Busy() {
  static BusyFiles busy;
  return busy;
}

// The file is busy from the start of an operation to its end.
class BusyMark {
 public:
  explicit BusyMark(const FileObject& file) : file_(file) { Busy().Enter(file_); }
  ~BusyMark() { Busy().Leave(file_); }
  BusyMark(const BusyMark&) = delete;
  BusyMark& operator=(const BusyMark&) = delete;

 private:
  const FileObject& file_;
};

}  // namespace

OperationResult Perform(FileLike& object, OperationCode code, const OperationArgs& args) {
  assert(object.entry != nullptr);
  return object.entry->Enter(object, code, args);
}

FileDriver::FileDriver(DriverRegistration registration)
    : registration_(std::move(registration)), record_(EncodeRegistration(registration_, this)) {}

std::unique_ptr<DriverState> FileDriver::NewState() const { return std::make_unique<DriverState>(); }

int FileDriver::FinishState(FileObject&, DriverState&) { return kOk; }

void ReleaseDriverState(FileObject& file) {
  for (KeyObject* key : file.keys) {
    if (key != nullptr) key->descriptor = nullptr;
  }
  file.driver_state.reset();
  ForgetOpenFile(file);
}

int FileDriver::BuildState(FileObject& file) {
  if (file.record.size() > kMaxRecordLength || file.keys.size() > kMaxKeys || file.blobs.size() > kMaxBlobs) {
    return error_code::kInvalidRecordDeclaration;
  }
  file.driver_state = NewState();
  DriverState& state = *file.driver_state;
  state.file = &file;
  state.name = file.name;
  state.driver_options = file.driver_options;
  state.third_text = file.third_text;
  state.attributes = file.attributes;
  state.record = file.record;

  FlatLayout flat = FlattenRecordLayout(file.record_layout, static_cast<std::uint32_t>(file.record.size()));
  if (flat.error != kOk) return flat.error;
  for (const FieldDescriptor& field : flat.fields) {
    const StoredAs stored = Stores(field.type);
    if (stored == StoredAs::No || (stored == StoredAs::OverlaidOnly && !field.overlaid)) {
      return error_code::kUnsupportedDataTypeInFile;
    }
  }
  state.fields = std::move(flat.fields);
  state.covered_size = flat.covered_size;

  state.keys.reserve(file.keys.size());  // KeyObjects point into it: no reallocation after
  for (KeyObject* key : file.keys) {
    assert(key != nullptr);
    if (key->components.size() > kMaxKeyComponents) return error_code::kInvalidRecordDeclaration;
    KeyDescriptor& descriptor = state.keys.emplace_back();
    descriptor.number = static_cast<int>(state.keys.size() - 1);
    descriptor.key = key;
    descriptor.name = key->name;
    descriptor.attributes = key->attributes;
    for (std::int32_t component : key->components) {
      const std::int64_t number = component < 0 ? -std::int64_t{component} : component;
      if (number < 1 || number > static_cast<std::int64_t>(state.fields.size())) {
        return error_code::kInvalidFieldTypeDescriptor;
      }
      const auto index = static_cast<std::size_t>(number - 1);
      if (state.fields[index].element_count > 1) return error_code::kInvalidFieldTypeDescriptor;
      descriptor.components.push_back({index, component < 0});
    }
  }
  for (KeyDescriptor& descriptor : state.keys) descriptor.key->descriptor = &descriptor;

  for (BlobObject* blob : file.blobs) {
    assert(blob != nullptr);
    if (blob->size > kMaxBlobSize) return error_code::kInvalidRecordDeclaration;
    BlobDescriptor& descriptor = state.blobs.emplace_back();
    descriptor.number = static_cast<int>(state.blobs.size() - 1);
    descriptor.blob = blob;
    descriptor.size = blob->size;
    descriptor.attributes = blob->attributes;
  }
  return FinishState(file, state);
}

OperationResult FileDriver::Enter(FileLike& object, OperationCode code, const OperationArgs& args) {
  assert(object.entry == this);
  FileObject& file = static_cast<FileObject&>(object);
  OperationResult result;

  // Step 1.
  if (code == OperationCode::NoOperation) return result;
  const BusyMark busy(file);

  // Step 3.
  if (!file.driver_state) {
    int error;
    try {
      error = BuildState(file);
    } catch (const std::bad_alloc&) {
      error = error_code::kInsufficientMemory;
    }
    if (error != kOk) {
      ReleaseDriverState(file);
      PostError(error);
      SetErrorFile(&file);
      if (IsFlagQuery(code)) result.value = 1;
      return result;
    }
  }
  DriverState& state = *file.driver_state;
  assert(file.keys.empty() || file.keys.front()->descriptor == &state.keys.front());  // (2), (3)
  state.call_flags = 0;
  const OperationRule& rule = OperationRuleFor(code);

  // Step 4.
  int error = CheckRules(rule, state.file_state);
  if (error == kQuietRefusal) return result;  // (4)

  // Step 5.
  bool release = false;
  if (error == kOk) {
    if (code == OperationCode::Send && args.text == "REGISTER") {
      const std::size_t length = std::min<std::size_t>(registration_.name.size(), 10);
      result.text.assign(registration_.name.substr(0, length));
      result.value = static_cast<std::int64_t>(
          reinterpret_cast<std::intptr_t>(record_.bytes.data() + record_.name_offset));
      release = !Has(state.file_state, FileState::Open);
    } else {
      if (code == OperationCode::Open || code == OperationCode::Share) {
        state.access_mode = static_cast<std::uint32_t>(args.number);
      }
      try {
        error = Handle(code, file, state, args, result);
      } catch (const std::bad_alloc&) {
        error = error_code::kInsufficientMemory;
      }
      assert(error >= 0 && file.driver_state.get() == &state);
    }

    // Steps 6 and 7.
    if (error == kOk) {
      state.file_state |= rule.set;
      state.file_state &= ~rule.clear;
      if (code == OperationCode::Open || code == OperationCode::Share) {
        state.file_state |= AccessModeState(state.access_mode);
        RememberOpenFile(file, state.access_mode, TransactionSupportOf(registration_));
      }
      state.call_flags |= rule.kind;
      if (rule.kind & operation_kind::kClearsErrorOnSuccess) ClearError();
      if (rule.kind & operation_kind::kSequential) state.last_sequential = code;
      if (rule.kind & operation_kind::kReleasesState) release = true;
    } else if (!((rule.kind & operation_kind::kReleasesState) && error == error_code::kFileAlreadyOpen)) {
      state.file_state &= ~rule.clear_on_fail;
      if (rule.kind & operation_kind::kReleasesState) release = true;
    }
  }
  if (release) ReleaseDriverState(file);  // (1), (2)

  // Step 8.
  if (error != kOk) {
    PostError(error);
    SetErrorFile(&file);
    if (IsFlagQuery(code)) result.value = 1;
  }
  return result;  // step 9
}

}  // namespace tavero::driver
