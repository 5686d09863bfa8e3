// The file operations as application code calls them: one small entry
// point per operation code, each handing the code, the object and its
// arguments to the object's DriverEntry (files and views alike).
//
// Operations without a result return ErrorCode as the call leaves it (a
// quiet refusal leaves the earlier value); the others return their result
// and leave ErrorCode to be read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "storage/driver/file_driver.h"

namespace tavero::driver {

// Opening and closing.
int Open(FileLike& file, std::uint32_t access_mode);
int Share(FileLike& file, std::uint32_t access_mode);
int Close(FileLike& file);
int Create(FileLike& file);
int Copy(FileLike& file, std::string_view new_name);
int Rename(FileLike& file, std::string_view new_name);
int Remove(FileLike& file);
int Empty(FileLike& file);
int Pack(FileLike& file);
int Build(FileLike& file);                  // every key
int Build(FileLike& file, KeyObject& key);  // one key
int Build(FileLike& file, KeyObject& index, std::string_view components);
int Build(FileLike& file, KeyObject& index, std::string_view components, std::string_view filter);

// Sequential processing.
int SetRecordOrder(FileLike& file);
int SetRecordOrderFromKey(FileLike& file, KeyObject& key);
int SetRecordOrderFromPointer(FileLike& file, std::uint32_t pointer);
int SetKeyOrder(FileLike& file, KeyObject& key);
int SetKeyOrderFromValue(FileLike& file, KeyObject& key);
int SetKeyOrderFromPointer(FileLike& file, KeyObject& key, std::uint32_t pointer);
int SetKeyOrderFromValueAndPointer(FileLike& file, KeyObject& key, std::uint32_t pointer);
int Next(FileLike& file);
int Previous(FileLike& file);
int Skip(FileLike& file, std::int64_t count);
bool Eof(FileLike& file);
bool Bof(FileLike& file);
std::string Position(FileLike& file);
std::string Position(FileLike& file, KeyObject& key);
int Reset(FileLike& file, std::string_view position);
int Reset(FileLike& file, KeyObject& key, std::string_view position);

// Direct reads.
int Get(FileLike& file, KeyObject& key);
int Get(FileLike& file, std::uint32_t pointer);
int Get(FileLike& file, KeyObject& key, std::uint32_t pointer);
int GetWithLength(FileLike& file, std::uint32_t pointer, std::int64_t length);
int Reget(FileLike& file, std::string_view position);
int Reget(FileLike& file, KeyObject& key, std::string_view position);

// Writing.
int Add(FileLike& file);
int AddWithLength(FileLike& file, std::int64_t length);
int Append(FileLike& file);
int AppendWithLength(FileLike& file, std::int64_t length);
int Put(FileLike& file);
int PutAtPointer(FileLike& file, std::uint32_t pointer);
int PutAtPointerWithLength(FileLike& file, std::uint32_t pointer, std::int64_t length);
int Delete(FileLike& file);

// Holding, locking and transactions.
int Hold(FileLike& file);
int Hold(FileLike& file, std::int64_t seconds);
int Release(FileLike& file);
int Watch(FileLike& file);
int SkipMemos(FileLike& file);
int Lock(FileLike& file);
int Lock(FileLike& file, std::int64_t seconds);
int Unlock(FileLike& file);
int Logout(FileLike& file);
int Commit(FileLike& file);
int Rollback(FileLike& file);
int Stream(FileLike& file);
int Flush(FileLike& file);

// Questions.
std::string Name(FileLike& file);
std::int64_t Records(FileLike& file);
std::int64_t Records(FileLike& file, KeyObject& key);
std::int64_t Bytes(FileLike& file);
std::uint32_t Pointer(FileLike& file);
std::uint32_t Pointer(FileLike& file, KeyObject& key);
bool Duplicate(FileLike& file);
bool Duplicate(FileLike& file, KeyObject& key);
std::string Send(FileLike& file, std::string_view command);

}  // namespace tavero::driver
