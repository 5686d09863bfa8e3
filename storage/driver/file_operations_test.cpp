// Each entry point reaches the object's entry with its own code and
// arguments; a recording entry stands in for a view.
#include "storage/driver/file_operations.h"

#include <gtest/gtest.h>

#include <functional>

#include "runtime/error_state.h"

namespace tavero::driver {
namespace {

using Code = OperationCode;

struct Recorded {
  Code code{};
  OperationArgs args;
};

class RecordingEntry final : public DriverEntry {
 public:
  OperationResult Enter(FileLike&, OperationCode code, const OperationArgs& args) override {
    last = {code, args};
    return {.value = 7, .text = "text"};
  }
  Recorded last;
};

TEST(FileOperations, EachEntryPointSendsItsCodeAndArguments) {
  RecordingEntry entry;
  FileLike view{&entry};
  KeyObject key;
  struct Case {
    std::function<void()> call;
    Code code;
    bool with_key = false;
    std::uint32_t pointer = 0;
    std::int64_t number = 0;
    std::string_view text = {};
    std::string_view filter = {};
  };
  const Case cases[] = {
      {[&] { Open(view, 0x42); }, Code::Open, false, 0, 0x42},
      {[&] { Share(view, 0x22); }, Code::Share, false, 0, 0x22},
      {[&] { Close(view); }, Code::Close},
      {[&] { Create(view); }, Code::Create},
      {[&] { Copy(view, "B"); }, Code::Copy, false, 0, 0, "B"},
      {[&] { Rename(view, "C"); }, Code::Rename, false, 0, 0, "C"},
      {[&] { Remove(view); }, Code::Remove},
      {[&] { Empty(view); }, Code::Empty},
      {[&] { Pack(view); }, Code::Pack},
      {[&] { Build(view); }, Code::BuildAll},
      {[&] { Build(view, key); }, Code::BuildKey, true},
      {[&] { Build(view, key, "+A"); }, Code::BuildDynamicIndex, true, 0, 0, "+A"},
      {[&] { Build(view, key, "+A", "F"); }, Code::BuildFilteredIndex, true, 0, 0, "+A", "F"},
      {[&] { SetRecordOrder(view); }, Code::SetRecordOrder},
      {[&] { SetRecordOrderFromKey(view, key); }, Code::SetRecordOrderFromKey, true},
      {[&] { SetRecordOrderFromPointer(view, 9); }, Code::SetRecordOrderFromPointer, false, 9},
      {[&] { SetKeyOrder(view, key); }, Code::SetKeyOrder, true},
      {[&] { SetKeyOrderFromValue(view, key); }, Code::SetKeyOrderFromValue, true},
      {[&] { SetKeyOrderFromPointer(view, key, 3); }, Code::SetKeyOrderFromPointer, true, 3},
      {[&] { SetKeyOrderFromValueAndPointer(view, key, 4); }, Code::SetKeyOrderFromValueAndPointer, true, 4},
      {[&] { Next(view); }, Code::Next},
      {[&] { Previous(view); }, Code::Previous},
      {[&] { Skip(view, -2); }, Code::Skip, false, 0, -2},
      {[&] { EXPECT_TRUE(Eof(view)); }, Code::Eof},
      {[&] { EXPECT_TRUE(Bof(view)); }, Code::Bof},
      {[&] { EXPECT_EQ(Position(view), "text"); }, Code::Position},
      {[&] { Position(view, key); }, Code::PositionOfKey, true},
      {[&] { Reset(view, "P"); }, Code::Reset, false, 0, 0, "P"},
      {[&] { Reset(view, key, "P"); }, Code::ResetByKey, true, 0, 0, "P"},
      {[&] { Get(view, key); }, Code::GetByKey, true},
      {[&] { Get(view, 5u); }, Code::GetByPointer, false, 5},
      {[&] { Get(view, key, 6); }, Code::GetByKeyAndPointer, true, 6},
      {[&] { GetWithLength(view, 6, 80); }, Code::GetByPointerWithLength, false, 6, 80},
      {[&] { Reget(view, "P"); }, Code::Reget, false, 0, 0, "P"},
      {[&] { Reget(view, key, "P"); }, Code::RegetByKey, true, 0, 0, "P"},
      {[&] { Add(view); }, Code::Add},
      {[&] { AddWithLength(view, 12); }, Code::AddWithLength, false, 0, 12},
      {[&] { Append(view); }, Code::Append},
      {[&] { AppendWithLength(view, 13); }, Code::AppendWithLength, false, 0, 13},
      {[&] { Put(view); }, Code::Put},
      {[&] { PutAtPointer(view, 8); }, Code::PutAtPointer, false, 8},
      {[&] { PutAtPointerWithLength(view, 8, 14); }, Code::PutAtPointerWithLength, false, 8, 14},
      {[&] { Delete(view); }, Code::Delete},
      {[&] { Hold(view); }, Code::Hold},
      {[&] { Hold(view, 2); }, Code::HoldWithLimit, false, 0, 2},
      {[&] { Release(view); }, Code::Release},
      {[&] { Watch(view); }, Code::Watch},
      {[&] { SkipMemos(view); }, Code::SkipMemos},
      {[&] { Lock(view); }, Code::Lock},
      {[&] { Lock(view, 2); }, Code::LockWithLimit, false, 0, 2},
      {[&] { Unlock(view); }, Code::Unlock},
      {[&] { Logout(view); }, Code::Logout},
      {[&] { Commit(view); }, Code::Commit},
      {[&] { Rollback(view); }, Code::Rollback},
      {[&] { Stream(view); }, Code::Stream},
      {[&] { Flush(view); }, Code::Flush},
      {[&] { EXPECT_EQ(Name(view), "text"); }, Code::Name},
      {[&] { EXPECT_EQ(Records(view), 7); }, Code::Records},
      {[&] { Records(view, key); }, Code::RecordsOfKey, true},
      {[&] { EXPECT_EQ(Bytes(view), 7); }, Code::Bytes},
      {[&] { EXPECT_EQ(Pointer(view), 7u); }, Code::Pointer},
      {[&] { Pointer(view, key); }, Code::PointerOfKey, true},
      {[&] { EXPECT_TRUE(Duplicate(view)); }, Code::DuplicateAny},
      {[&] { Duplicate(view, key); }, Code::DuplicateKey, true},
      {[&] { EXPECT_EQ(Send(view, "TCF=X"), "text"); }, Code::Send, false, 0, 0, "TCF=X"},
  };
  for (const Case& c : cases) {
    entry.last = {};
    c.call();
    const std::string what = OperationName(c.code) + " (" + std::to_string(static_cast<int>(c.code)) + ")";
    EXPECT_EQ(entry.last.code, c.code) << what;
    EXPECT_EQ(entry.last.args.key, c.with_key ? &key : nullptr) << what;
    EXPECT_EQ(entry.last.args.pointer, c.pointer) << what;
    EXPECT_EQ(entry.last.args.number, c.number) << what;
    EXPECT_EQ(entry.last.args.text, c.text) << what;
    EXPECT_EQ(entry.last.args.filter, c.filter) << what;
  }
}

TEST(FileOperations, ResultlessOperationsAnswerTheErrorCode) {
  RecordingEntry entry;
  FileLike view{&entry};
  PostError(33);
  EXPECT_EQ(Next(view), 33);  // the entry posted nothing: the earlier code stands
  ClearError();
  EXPECT_EQ(Next(view), 0);
}

}  // namespace
}  // namespace tavero::driver
