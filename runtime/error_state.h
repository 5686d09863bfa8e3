// The runtime's error state: ErrorCode, ErrorText, ErrorFile and ErrorOsCode,
// left by every file operation and read by the procedures that called it.
//
// The state is one value for the whole process (the engine lock serialises
// every thread that touches it); the window engine swaps it with each engine
// thread's private copy when the running thread changes
// (CurrentErrorState() is assignable for that), so every procedure sees the
// errors of its own thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavero {

// Significant characters of ErrorText (the text buffer holds 80 with its end).
inline constexpr std::size_t kErrorTextLength = 79;

struct ErrorState {
  int code = 0;                // ErrorCode: 0 for success
  int os_code = 0;             // ErrorOsCode: the system error saved when posting
  std::string text;            // ErrorText: at most 79 characters, Windows-1252
  const void* file = nullptr;  // ErrorFile: the file or view of the failing call
};

// The state procedures read. The engine may swap its content (see above).
ErrorState& CurrentErrorState();

// Posts `code`: saves the calling thread's last system error
// (LastSystemError, system_error.h) as ErrorOsCode; code 0 posts 300 plus
// that system error instead; the text comes from the message table with its
// overrides (the text of 81, " : " and the code when there is none), leading
// blanks skipped, at most 79 characters. ErrorFile is cleared; the
// dispatcher sets it to the failing file.
void PostError(int code);
// As PostError(code), with the system error given explicitly.
void PostError(int code, int os_code);
// ErrorCode 0, ErrorFile none, ErrorText blank (ErrorOsCode is kept).
void ClearError();
// Sets ErrorFile (the file or view whose operation failed).
void SetErrorFile(const void* file);

int ErrorCode();
std::string_view ErrorText();
const void* ErrorFile();
int ErrorOsCode();

// The saved-error stack: Push saves the current code, system code and text;
// Pop restores them exactly (a pop of an empty stack changes nothing).
void PushErrorState();
void PopErrorState();

}  // namespace tavero
