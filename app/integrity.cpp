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

enum class Change { Update, Delete };

// The one protocol of both routines: frame the transaction on the file
// alone, read the record again at the loaded position and check it is the
// one the form loaded, rewrite or delete it, commit; on any failure end the
// transaction first, then warn. The buffers keep the form's copy.
int WriteInTransaction(DataFile& file, const LoadedRecord& loaded, Change change) {
  const std::string_view name = file.declaration().label;
  const bool update = change == Change::Update;
  if (FrameTransaction(file) != 0) {
    ShowWarning(34, update ? "Update" : "Delete", name);
    return 1;
  }
  const Buffers form(file);
  int error = RereadUnchanged(file, loaded);
  form.Restore(file);
  if (error == 0) error = update ? driver::Put(file.file()) : driver::Delete(file.file());
  if (error != 0) RollBackKeepingError();
  // A failed COMMIT has already dropped the changes.
  if (error == 0) error = driver::Commit();
  if (error == 0) return 0;
  if (update) {
    ShowWarning(15, error == kRecordChangedByAnotherStation ? kRecordChangedCause : name);
  } else {
    ShowWarning(17, name);
  }
  return 1;
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
  if (WriteInTransaction(file, loaded, Change::Update) != 0) return 1;
  loaded = LoadedRecord::Take(file);
  return 0;
}

int RIDelete(DataFile& file, const LoadedRecord& loaded) { return WriteInTransaction(file, loaded, Change::Delete); }

}  // namespace zephcol
