// The runtime's error state: ErrorCode, ErrorText, ErrorFile and ErrorOsCode,
// left by every file operation and read by the procedures that called it.
//
// The state is one value for the whole process; the window engine swaps it
// with each engine thread's private copy when the running thread changes, so
// every procedure sees the errors of its own thread.
#pragma once

#include <string>
#include <string_view>

namespace tavero {

struct ErrorState {
  int code = 0;              // ErrorCode: 0 for success
  int os_code = 0;           // ErrorOsCode: the system error saved when posting
  std::string text;          // ErrorText: at most 79 significant characters
  const void* file = nullptr;  // ErrorFile: the file or view of the failing call
};

// The state procedures read. The engine may swap its content (see above).
ErrorState& CurrentErrorState();

// Posts `code`: saves the last system error (errno, mapped to the system's
// error numbers) as ErrorOsCode; code 0 posts 300 plus that system error;
// the text comes from the message table with its overrides, leading blanks
// skipped, at most 79 characters. ErrorFile is left to the caller.
void PostError(int code);
// As PostError(code), with the system error given explicitly.
void PostError(int code, int os_code);
// ErrorCode 0, ErrorFile none, ErrorText blank.
void ClearError();

int ErrorCode();
std::string_view ErrorText();
const void* ErrorFile();
int ErrorOsCode();

// The saved-error stack: Push saves the current code, system code and text;
// Pop restores them exactly (a pop of an empty stack changes nothing).
void PushErrorState();
void PopErrorState();

}  // namespace tavero
