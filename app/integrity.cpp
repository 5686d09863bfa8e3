#include "app/integrity.h"

#include <algorithm>
#include <span>

#include "app/warnings.h"
#include "runtime/error_codes.h"
#include "runtime/error_state.h"
#include "storage/driver/transaction.h"

namespace zephcol {
namespace {

namespace driver = tavero::driver;

using tavero::error_code::kRecordChangedByAnotherStation;
constexpr std::string_view kRecordChangedCause = "Record Changed by Another Station";

// A copy of a file's record buffer and memo buffers.
struct Buffers {
  explicit Buffers(DataFile& file) : record(file.record().begin(), file.record().end()) {
    for (std::size_t i = 0; i < file.memo_count(); ++i) memos.emplace_back(file.memo(i).begin(), file.memo(i).end());
  }
  void Restore(DataFile& file) const {
    std::ranges::copy(record, file.record().begin());
    for (std::size_t i = 0; i < memos.size(); ++i) std::ranges::copy(memos[i], file.memo(i).begin());
  }

  std::vector<std::uint8_t> record;
  std::vector<std::vector<std::uint8_t>> memos;
};

// Starts the transaction on `file` alone; 0 or the error LOGOUT posted. A
// failed LOGOUT leaves no transaction of ours behind.
int FrameTransaction(DataFile& file) {
  driver::FileObject* const files[] = {&file.file()};
  return driver::Logout(kIntegrityLockSeconds, files);
}

// Ends the transaction without its changes, keeping the error that ended
// it for the warning that follows.
void RollBackKeepingError() {
  tavero::PushErrorState();
  driver::Rollback();
  tavero::PopErrorState();
}

// Inside the transaction: reads the stored record at the loaded position
// and checks that it is still the record the form loaded. The buffers are
// overwritten by the read.
int RereadUnchanged(DataFile& file, const LoadedRecord& loaded) {
  if (int error = driver::Reget(file.file(), loaded.position())) return error;
  if (loaded.Matches(file)) return 0;
  tavero::PostError(kRecordChangedByAnotherStation);
  tavero::SetErrorFile(&file.file());
  return kRecordChangedByAnotherStation;
}

}  // namespace

LoadedRecord LoadedRecord::Take(DataFile& file) {
  LoadedRecord loaded;
  loaded.position_ = driver::Position(file.file());
  const Buffers copy(file);
  loaded.record_ = copy.record;
  loaded.memos_ = copy.memos;
  return loaded;
}

bool LoadedRecord::Matches(DataFile& file) const {
  if (!std::ranges::equal(record_, file.record())) return false;
  if (memos_.size() != file.memo_count()) return false;
  for (std::size_t i = 0; i < memos_.size(); ++i) {
    if (!std::ranges::equal(memos_[i], file.memo(i))) return false;
  }
  return true;
}

int RIUpdate(DataFile& file, LoadedRecord& loaded) {
  const std::string_view name = file.declaration().label;
  if (FrameTransaction(file) != 0) {
    ShowWarning(34, "Update", name);
    return 1;
  }
  const Buffers edited(file);
  int error = RereadUnchanged(file, loaded);
  edited.Restore(file);
  if (error == 0) error = driver::Put(file.file());
  if (error != 0) {
    RollBackKeepingError();
    ShowWarning(15, error == kRecordChangedByAnotherStation ? kRecordChangedCause : name);
    return 1;
  }
  // A failed COMMIT has already dropped the changes.
  if (driver::Commit() != 0) {
    ShowWarning(15, name);
    return 1;
  }
  loaded = LoadedRecord::Take(file);
  return 0;
}

int RIDelete(DataFile& file, const LoadedRecord& loaded) {
  const std::string_view name = file.declaration().label;
  if (FrameTransaction(file) != 0) {
    ShowWarning(34, "Delete", name);
    return 1;
  }
  const Buffers shown(file);
  int error = RereadUnchanged(file, loaded);
  if (error == 0) error = driver::Delete(file.file());
  if (error != 0) {
    RollBackKeepingError();
    shown.Restore(file);
    ShowWarning(17, name);
    return 1;
  }
  if (driver::Commit() != 0) {
    shown.Restore(file);
    ShowWarning(17, name);
    return 1;
  }
  return 0;
}

}  // namespace zephcol
