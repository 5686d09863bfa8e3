// Operation codes, their arguments and results, and OperationRules: the
// state each operation requires, forbids, sets and clears.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "storage/driver/file_state.h"

namespace tavero::driver {

struct KeyObject;

// One number per file operation, shared by every driver and the view engine.
enum class OperationCode : std::uint8_t {
  Add = 1,
  Bof = 2,
  BuildAll = 3,
  Append = 4,
  BuildDynamicIndex = 5,
  BuildKey = 6,
  Close = 7,
  Commit = 8,
  Copy = 9,
  Create = 10,
  Delete = 11,
  DuplicateAny = 12,
  Empty = 13,
  Eof = 14,
  GetByKey = 15,
  GetByPointer = 16,
  GetByKeyAndPointer = 17,
  Hold = 18,
  HoldWithLimit = 19,
  Lock = 20,
  LockWithLimit = 21,
  Logout = 22,
  Name = 23,
  Next = 24,
  Open = 25,
  Pack = 26,
  Pointer = 27,
  PointerOfKey = 28,
  Flush = 29,
  Put = 30,
  Previous = 31,
  Records = 32,
  RecordsOfKey = 33,
  BuildFilteredIndex = 34,
  Release = 36,
  Remove = 37,
  Rename = 38,
  Rollback = 40,
  SetRecordOrder = 41,
  SetRecordOrderFromKey = 42,
  SetRecordOrderFromPointer = 43,
  SetKeyOrder = 44,
  SetKeyOrderFromValue = 45,
  SetKeyOrderFromPointer = 46,
  SetKeyOrderFromValueAndPointer = 47,
  Share = 48,
  Skip = 49,
  Unlock = 50,
  AddWithLength = 51,
  Bytes = 52,
  GetByPointerWithLength = 53,
  PutAtPointer = 54,
  PutAtPointerWithLength = 55,
  Stream = 56,
  DuplicateKey = 57,
  Watch = 58,
  AppendWithLength = 59,
  Send = 60,
  Position = 61,
  PositionOfKey = 62,
  Reset = 63,
  ResetByKey = 64,
  SkipMemos = 65,
  Reget = 66,
  RegetByKey = 67,
  ViewFilter = 71,
  KeyNumber = 73,
  NoOperation = 74,
  BlobGetBytes = 75,
  BlobPutBytes = 76,
  BlobLength = 77,
  BlobSetProperty = 78,
  BlobGetProperty = 79,
};

// The arguments after the file object. Each operation reads the members its
// row names; the others stay at their defaults.
struct OperationArgs {
  // The key: BUILD of one key or an index, GET by key, SET in key order,
  // POINTER/RECORDS/POSITION/RESET/REGET of a key, DUPLICATE of one key, and
  // the key whose descriptor code 73 asks about.
  KeyObject* key = nullptr;
  // A record pointer (GET, SET and PUT at a pointer).
  std::uint32_t pointer = 0;
  // The one number of the operation: access mode (OPEN, SHARE), seconds
  // (HOLD, LOCK), count (SKIP), length (ADD, APPEND, GET and PUT with
  // length), blob number (75 to 79, 1-based).
  std::int64_t number = 0;
  // Blob byte range (75, 76): first and last offset, inclusive.
  std::int64_t start = 0;
  std::int64_t end = 0;
  // The text argument: position text (RESET, REGET), new name (COPY,
  // RENAME), command (SEND), component list (BUILD 5 and 34), filter (71),
  // property text (78, 79), bytes to store (76).
  std::string_view text;
  // The second text argument: the filter of BUILD 34.
  std::string_view filter;
};

// What an operation hands back besides the error state.
struct OperationResult {
  // RECORDS, POINTER, BYTES, key number, blob length; EOF, BOF and
  // DUPLICATE answer 1 for true.
  std::int64_t value = 0;
  // NAME, POSITION, SEND, blob bytes and properties.
  std::string text;
};

// Kind flags of an operation.
namespace operation_kind {
inline constexpr std::uint8_t kClearsErrorOnSuccess = 0x01;
inline constexpr std::uint8_t kReleasesState = 0x02;
inline constexpr std::uint8_t kSequential = 0x04;
}  // namespace operation_kind

// One row of OperationRules.
struct OperationRule {
  std::uint8_t kind = 0;
  FileState required = FileState::None;
  FileState forbidden = FileState::None;
  FileState set = FileState::None;      // on success
  FileState clear = FileState::None;    // on success
  FileState clear_on_fail = FileState::None;
};

// The row of `code`; codes outside 1 to 79 have an all-zero row.
const OperationRule& OperationRuleFor(OperationCode code);

// The operation's name as the runtime spells it ("NEXT", "SET", ...), or
// the code in decimal for a code without a name.
std::string OperationName(OperationCode code);

}  // namespace tavero::driver
