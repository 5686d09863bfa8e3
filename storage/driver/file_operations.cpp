#include "storage/driver/file_operations.h"

#include "runtime/error_state.h"

namespace tavero::driver {
namespace {

using Code = OperationCode;

int Run(FileLike& file, Code code, const OperationArgs& args = {}) {
  Perform(file, code, args);
  return ErrorCode();
}

std::int64_t Value(FileLike& file, Code code, const OperationArgs& args = {}) {
  return Perform(file, code, args).value;
}

std::string Text(FileLike& file, Code code, const OperationArgs& args = {}) {
  return Perform(file, code, args).text;
}

}  // namespace

int Open(FileLike& f, std::uint32_t mode) { return Run(f, Code::Open, {.number = mode}); }
int Share(FileLike& f, std::uint32_t mode) { return Run(f, Code::Share, {.number = mode}); }
int Close(FileLike& f) { return Run(f, Code::Close); }
int Create(FileLike& f) { return Run(f, Code::Create); }
int Copy(FileLike& f, std::string_view new_name) { return Run(f, Code::Copy, {.text = new_name}); }
int Rename(FileLike& f, std::string_view new_name) { return Run(f, Code::Rename, {.text = new_name}); }
int Remove(FileLike& f) { return Run(f, Code::Remove); }
int Empty(FileLike& f) { return Run(f, Code::Empty); }
int Pack(FileLike& f) { return Run(f, Code::Pack); }
int Build(FileLike& f) { return Run(f, Code::BuildAll); }
int Build(FileLike& f, KeyObject& key) { return Run(f, Code::BuildKey, {.key = &key}); }
int Build(FileLike& f, KeyObject& index, std::string_view components) {
  return Run(f, Code::BuildDynamicIndex, {.key = &index, .text = components});
}
int Build(FileLike& f, KeyObject& index, std::string_view components, std::string_view filter) {
  return Run(f, Code::BuildFilteredIndex, {.key = &index, .text = components, .filter = filter});
}

int SetRecordOrder(FileLike& f) { return Run(f, Code::SetRecordOrder); }
int SetRecordOrderFromKey(FileLike& f, KeyObject& key) {
  return Run(f, Code::SetRecordOrderFromKey, {.key = &key});
}
int SetRecordOrderFromPointer(FileLike& f, std::uint32_t pointer) {
  return Run(f, Code::SetRecordOrderFromPointer, {.pointer = pointer});
}
int SetKeyOrder(FileLike& f, KeyObject& key) { return Run(f, Code::SetKeyOrder, {.key = &key}); }
int SetKeyOrderFromValue(FileLike& f, KeyObject& key) {
  return Run(f, Code::SetKeyOrderFromValue, {.key = &key});
}
int SetKeyOrderFromPointer(FileLike& f, KeyObject& key, std::uint32_t pointer) {
  return Run(f, Code::SetKeyOrderFromPointer, {.key = &key, .pointer = pointer});
}
int SetKeyOrderFromValueAndPointer(FileLike& f, KeyObject& key, std::uint32_t pointer) {
  return Run(f, Code::SetKeyOrderFromValueAndPointer, {.key = &key, .pointer = pointer});
}
int Next(FileLike& f) { return Run(f, Code::Next); }
int Previous(FileLike& f) { return Run(f, Code::Previous); }
int Skip(FileLike& f, std::int64_t count) { return Run(f, Code::Skip, {.number = count}); }
bool Eof(FileLike& f) { return Value(f, Code::Eof) != 0; }
bool Bof(FileLike& f) { return Value(f, Code::Bof) != 0; }
std::string Position(FileLike& f) { return Text(f, Code::Position); }
std::string Position(FileLike& f, KeyObject& key) { return Text(f, Code::PositionOfKey, {.key = &key}); }
int Reset(FileLike& f, std::string_view position) { return Run(f, Code::Reset, {.text = position}); }
int Reset(FileLike& f, KeyObject& key, std::string_view position) {
  return Run(f, Code::ResetByKey, {.key = &key, .text = position});
}

int Get(FileLike& f, KeyObject& key) { return Run(f, Code::GetByKey, {.key = &key}); }
int Get(FileLike& f, std::uint32_t pointer) { return Run(f, Code::GetByPointer, {.pointer = pointer}); }
int Get(FileLike& f, KeyObject& key, std::uint32_t pointer) {
  return Run(f, Code::GetByKeyAndPointer, {.key = &key, .pointer = pointer});
}
int GetWithLength(FileLike& f, std::uint32_t pointer, std::int64_t length) {
  return Run(f, Code::GetByPointerWithLength, {.pointer = pointer, .number = length});
}
int Reget(FileLike& f, std::string_view position) { return Run(f, Code::Reget, {.text = position}); }
int Reget(FileLike& f, KeyObject& key, std::string_view position) {
  return Run(f, Code::RegetByKey, {.key = &key, .text = position});
}

int Add(FileLike& f) { return Run(f, Code::Add); }
int AddWithLength(FileLike& f, std::int64_t length) { return Run(f, Code::AddWithLength, {.number = length}); }
int Append(FileLike& f) { return Run(f, Code::Append); }
int AppendWithLength(FileLike& f, std::int64_t length) {
  return Run(f, Code::AppendWithLength, {.number = length});
}
int Put(FileLike& f) { return Run(f, Code::Put); }
int PutAtPointer(FileLike& f, std::uint32_t pointer) { return Run(f, Code::PutAtPointer, {.pointer = pointer}); }
int PutAtPointerWithLength(FileLike& f, std::uint32_t pointer, std::int64_t length) {
  return Run(f, Code::PutAtPointerWithLength, {.pointer = pointer, .number = length});
}
int Delete(FileLike& f) { return Run(f, Code::Delete); }

int Hold(FileLike& f) { return Run(f, Code::Hold); }
int Hold(FileLike& f, std::int64_t seconds) { return Run(f, Code::HoldWithLimit, {.number = seconds}); }
int Release(FileLike& f) { return Run(f, Code::Release); }
int Watch(FileLike& f) { return Run(f, Code::Watch); }
int SkipMemos(FileLike& f) { return Run(f, Code::SkipMemos); }
int Lock(FileLike& f) { return Run(f, Code::Lock); }
int Lock(FileLike& f, std::int64_t seconds) { return Run(f, Code::LockWithLimit, {.number = seconds}); }
int Unlock(FileLike& f) { return Run(f, Code::Unlock); }
int Logout(FileLike& f) { return Run(f, Code::Logout); }
int Commit(FileLike& f) { return Run(f, Code::Commit); }
int Rollback(FileLike& f) { return Run(f, Code::Rollback); }
int Stream(FileLike& f) { return Run(f, Code::Stream); }
int Flush(FileLike& f) { return Run(f, Code::Flush); }

std::string Name(FileLike& f) { return Text(f, Code::Name); }
std::int64_t Records(FileLike& f) { return Value(f, Code::Records); }
std::int64_t Records(FileLike& f, KeyObject& key) { return Value(f, Code::RecordsOfKey, {.key = &key}); }
std::int64_t Bytes(FileLike& f) { return Value(f, Code::Bytes); }
std::uint32_t Pointer(FileLike& f) { return static_cast<std::uint32_t>(Value(f, Code::Pointer)); }
std::uint32_t Pointer(FileLike& f, KeyObject& key) {
  return static_cast<std::uint32_t>(Value(f, Code::PointerOfKey, {.key = &key}));
}
bool Duplicate(FileLike& f) { return Value(f, Code::DuplicateAny) != 0; }
bool Duplicate(FileLike& f, KeyObject& key) { return Value(f, Code::DuplicateKey, {.key = &key}) != 0; }
std::string Send(FileLike& f, std::string_view command) { return Text(f, Code::Send, {.text = command}); }

}  // namespace tavero::driver
