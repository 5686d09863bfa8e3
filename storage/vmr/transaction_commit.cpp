#include "storage/vmr/transaction_commit.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <vector>

#include "runtime/error_codes.h"

namespace tavero::vmr {
namespace {

constexpr int kControlFileMode = 0x42 | kCreateFlag;  // read/write, deny none
constexpr int kReadOnlyShared = 0x40;
const std::string_view kMarkerKey("\xFF", 1);
// The control file's record of the last number it issued (invariant (1)).
// Its key part is longer than a number's, so it never reads as one.
const std::string_view kLastNumberKey("\xFF" "LAST", 5);
constexpr std::size_t kNumberKeyLength = 4;

std::string Absolute(std::string name) {
  if (name.empty() || name.front() == '/') return name;
  std::error_code error;
  const std::filesystem::path path = std::filesystem::absolute(name, error);
  return error ? name : path.lexically_normal().string();
}

std::string& ControlFileName() {
  static std::string name = DefaultTransactionControlFileName();
  return name;
}

std::string NumberKey(std::uint32_t number) {
  std::string key(kNumberKeyLength, '\0');
  for (std::size_t i = 0; i < kNumberKeyLength; ++i) key[i] = static_cast<char>(number >> (24 - 8 * i));
  return key;
}

std::uint32_t NumberOf(std::string_view key) {
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < kNumberKeyLength; ++i) number = number << 8 | static_cast<std::uint8_t>(key[i]);
  return number;
}

std::span<const std::uint8_t, 4> LockBytes(const std::string& key) {
  return std::span<const std::uint8_t, 4>(reinterpret_cast<const std::uint8_t*>(key.data()), 4);
}

// Runs one complete operation on the control file.
template <typename Body>
Status ControlFileOperation(PhysicalFile& control, Body body) {
  VMR_TRY(control.BeginWrite());
  VMR_TRY(control.RefreshHeader());
  Status status = body();
  if (!status.ok()) {
    control.DiscardChanges();
    (void)control.EndOperation();
    return status;
  }
  return control.EndOperation();
}

// The data of a number's record: the absolute name of every file of the
// transaction, each followed by a 0 byte. Names too long for one record are
// left out, and such a number is never purged.
std::string FileList(std::span<PhysicalFile* const> files) {
  std::string list;
  for (const PhysicalFile* file : files) list.append(Absolute(file->path())).push_back('\0');
  return list.size() + kNumberKeyLength < kRecordLimit ? list : std::string();
}

// Whether the file may still hold an interrupted commit. Only a header
// read whole with equal lengths, or an empty file, says no.
bool MayHoldInterruptedCommit(FileSystem& fs, const std::string& path) {
  std::unique_ptr<File> file;
  if (fs.Open(path, OpenMode{}, file) != 0) return true;
  std::array<std::uint8_t, kHeaderSize> header;
  std::size_t read = 0;
  if (file->ReadAt(0, header, read) != 0) return true;
  if (read == 0) return false;
  return read != kHeaderSize || Load32(header.data() + 6) != Load32(header.data() + 10);
}

// Invariant (3): erases the numbers whose transactions are over, crashed
// ones included.
Status PurgeFinishedNumbers(PhysicalFile& control, FileSystem& fs) {
  std::vector<std::string> finished;
  std::optional<RecordCopy> record;
  VMR_TRY(control.Find(FindMode::kFirstNotBelow, std::string_view(), record));
  while (record) {
    const std::string key(record->key());
    if (key.size() == kNumberKeyLength && !record->data().empty()) {
      bool idle = false;
      VMR_TRY(control.TryLockIdentifier(LockBytes(key), idle));
      if (idle) VMR_TRY(control.UnlockIdentifier(LockBytes(key)));
      std::string_view names = record->data();
      while (idle && !names.empty()) {
        const std::size_t end = names.find('\0');
        if (end == std::string_view::npos) break;
        idle = !MayHoldInterruptedCommit(fs, std::string(names.substr(0, end)));
        names.remove_prefix(end + 1);
      }
      if (idle && names.empty()) finished.push_back(key);
    }
    VMR_TRY(control.Find(FindMode::kFirstAbove, key, record));
  }
  for (const std::string& key : finished) {
    bool found;
    VMR_TRY(control.Erase(key, found));
  }
  return Status::Ok();
}

// Invariant (1): the time in seconds, moved past the last number issued and
// past every number listed (control files written before the last number
// was kept list numbers without it).
Status IssueNumber(PhysicalFile& control, std::uint32_t& number) {
  std::optional<RecordCopy> last;
  VMR_TRY(control.Find(FindMode::kExact, kLastNumberKey, last));
  number = static_cast<std::uint32_t>(std::time(nullptr));
  if (last && last->data().size() == kNumberKeyLength) number = std::max(number, NumberOf(last->data()) + 1);
  for (std::optional<RecordCopy> listed;; ++number) {
    VMR_TRY(control.Find(FindMode::kExact, NumberKey(number), listed));
    if (!listed) break;
  }
  return last ? control.Replace(kLastNumberKey, NumberKey(number)) : control.Insert(kLastNumberKey, NumberKey(number));
}

// Sets every file back; false when one of them could not be.
bool SetBackAll(std::span<PhysicalFile* const> files) {
  bool all = true;
  for (PhysicalFile* file : files) all = file->SetBack().ok() && all;
  return all;
}

}  // namespace

std::string DefaultTransactionControlFileName() {
  if (const char* home = std::getenv("HOME"); home && *home) return Absolute(std::string(home) + "/.velmoran.tcf");
  return "/tmp/velmoran-" + std::to_string(getuid()) + ".tcf";
}

std::string TransactionControlFileName() { return ControlFileName(); }
void SetTransactionControlFileName(std::string name) { ControlFileName() = Absolute(std::move(name)); }

std::string TransactionMarker(std::uint32_t number, std::string_view control_file, std::uint32_t change_counter) {
  std::string data = NumberKey(number);
  data.append(control_file);
  data.push_back('\0');
  data.append(NumberKey(change_counter));
  return data;
}

bool ParseTransactionMarker(std::string_view data, ParsedMarker& marker) {
  if (data.size() < kNumberKeyLength + 2) return false;
  const std::size_t end = data.find('\0', kNumberKeyLength);
  if (end == std::string_view::npos || end == kNumberKeyLength) return false;
  const std::size_t rest = data.size() - end - 1;
  if (rest != 0 && rest != kNumberKeyLength) return false;
  marker.number = NumberOf(data);
  marker.control_file.assign(data.substr(kNumberKeyLength, end - kNumberKeyLength));
  marker.change_counter.reset();
  if (rest != 0) marker.change_counter = NumberOf(data.substr(end + 1));
  return true;
}

Status TransactionListed(FileSystem& fs, std::string_view marker_data, bool& listed) {
  listed = false;
  ParsedMarker marker;
  if (!ParseTransactionMarker(marker_data, marker)) return Status::Error(error_code::kInvalidDataFile);
  std::unique_ptr<PhysicalFile> control;
  const Status opened = PhysicalFile::Open(fs, marker.control_file, kReadOnlyShared, control);
  if (opened.kind() == Status::Kind::kSystem && opened.value() == ENOENT) {
    // No control file lists nothing, but only where this user's processes
    // keep theirs: any other name may be another user's file, or a relative
    // name read from another directory.
    const bool ours = marker.control_file == TransactionControlFileName() ||
                      marker.control_file == DefaultTransactionControlFileName();
    return ours ? Status::Ok() : opened;
  }
  VMR_TRY(opened);
  std::optional<RecordCopy> record;
  Status status = control->RefreshHeader();
  if (status.ok()) status = control->Find(FindMode::kExact, NumberKey(marker.number), record);
  const Status ended = control->EndOperation();
  VMR_TRY(status);
  VMR_TRY(ended);
  listed = record.has_value();
  return Status::Ok();
}

void RollbackTransaction(std::span<PhysicalFile* const> files) {
  for (PhysicalFile* file : files) file->DiscardChanges();
}

Status CommitTransaction(FileSystem& fs, std::span<PhysicalFile* const> files, const CommitProbe& probe) {
  const auto reached = [&probe](CommitStep step) {
    if (probe) probe(step);
  };
  std::vector<PhysicalFile*> changed;
  for (PhysicalFile* file : files) {
    if (file->header_changed()) changed.push_back(file);
  }
  if (changed.empty()) return Status::Ok();
  if (changed.size() == 1) return changed.front()->Commit();

  const std::string control_name = TransactionControlFileName();
  std::unique_ptr<PhysicalFile> control;
  Status status = PhysicalFile::Open(fs, control_name, kControlFileMode, control);
  if (!status.ok()) {
    RollbackTransaction(files);
    return status;
  }
  // The number is locked before its record can be seen, and stays locked
  // until `control` closes: no other station purges it meanwhile.
  std::string key;
  status = ControlFileOperation(*control, [&] {
    VMR_TRY(PurgeFinishedNumbers(*control, fs));
    std::uint32_t number = 0;
    VMR_TRY(IssueNumber(*control, number));
    key = NumberKey(number);
    bool locked;
    VMR_TRY(control->TryLockIdentifier(LockBytes(key), locked));
    if (!locked) return Status::System(EAGAIN);
    return control->Insert(key, FileList(changed));
  });
  if (!status.ok()) {
    RollbackTransaction(files);
    return status;
  }
  const auto erase_number = [&] {
    return ControlFileOperation(*control, [&] {
      bool found;
      return control->Erase(key, found);
    });
  };

  Status failure;
  std::size_t touched = 0;  // files whose phase one began
  for (PhysicalFile* file : changed) {
    ++touched;
    // The marker carries the change counter this commit gives the file, so
    // that a later commit's recovery knows it for an old one.
    const std::string marker = TransactionMarker(NumberOf(key), control_name, file->header().change_counter + 1);
    std::optional<RecordCopy> old_marker;
    Status s = file->Find(FindMode::kExact, kMarkerKey, old_marker);
    if (s.ok()) s = old_marker ? file->Replace(kMarkerKey, marker) : file->Insert(kMarkerKey, marker);
    if (s.ok()) s = file->CommitPhaseOne();
    if (!s.ok()) {
      failure = s;
      break;
    }
    reached(CommitStep::FilePrepared);
  }
  if (!failure.ok()) {
    // Invariant (2): the failing file may have its marked header on disk
    // too. The number goes only when every file is durably set back; else
    // it stays listed and recovery rolls the rest back.
    if (SetBackAll(std::span(changed).first(touched))) (void)erase_number();
    RollbackTransaction(files);
    return failure;
  }
  // The commit point: the transaction leaves the control file.
  reached(CommitStep::BeforeCommitPoint);
  status = erase_number();
  if (!status.ok()) {
    // The erase may have reached the disk or not. Files set back are old
    // either way; a file that cannot be set back needs the number listed.
    if (!SetBackAll(changed)) {
      (void)ControlFileOperation(*control, [&] {
        std::optional<RecordCopy> listed;
        VMR_TRY(control->Find(FindMode::kExact, key, listed));
        return listed ? Status::Ok() : control->Insert(key, FileList(changed));
      });
    }
    RollbackTransaction(files);
    return status;
  }
  control.reset();
  reached(CommitStep::AfterCommitPoint);
  // Past the commit point the transaction stands: a file whose phase two
  // fails follows the disk, and its next refresh finishes its commit.
  for (PhysicalFile* file : changed) {
    if (file->CommitPhaseTwo().ok()) reached(CommitStep::FileCommitted);
  }
  return Status::Ok();
}

}  // namespace tavero::vmr
