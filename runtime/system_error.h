// System errors. The runtime numbers operating-system failures the way its
// message table expects (2 file not found, 3 path not found, 5 access denied,
// 33 lock violation, 39 disk full, ...); posting error 0 reports 300 plus the
// last system error, so "Lock Violation" reads as 333.
//
// On Linux the failing call leaves errno; the code that made the call records
// it with NoteSystemError(errno) before it returns its runtime error code,
// or returns ErrorFromErrno(errno) when the system error is the error.
// Like the platform's own "last error", the value belongs to the calling
// thread and stays until the next failure overwrites it.
#pragma once

namespace tavero {

// The system error number for a POSIX errno value: 0 for 0, 91 ("Unknown
// Error" in the 300 range) for values with no counterpart.
int SystemErrorFromErrno(int errno_value);

// Records `errno_value` (mapped) as the calling thread's last system error.
void NoteSystemError(int errno_value);
// Records a system error number directly (already in the runtime's numbering).
void SetLastSystemError(int system_error);
// The calling thread's last system error (0 when none was recorded).
int LastSystemError();

// For a handler whose POSIX call failed: records `errno_value` (mapped) as
// the last system error and returns the error code that reports it, 300
// plus the mapped number ("File Not Found" is 302).
int ErrorFromErrno(int errno_value);

}  // namespace tavero
