#include "runtime/system_error.h"

#include <cerrno>

namespace tavero {
namespace {

// The calling thread's last failure, as the platform keeps its "last error".
thread_local int last_system_error = 0;

// errno -> system error number. The numbers are those of the runtime's
// message table (300 plus the number gives the text).
struct ErrnoMapping {
  int errno_value;
  int system_error;
};

constexpr ErrnoMapping kErrnoMappings[] = {
    {ENOENT, 2},         // File Not Found
    {ENOTDIR, 3},        // Path Not Found
    {ENAMETOOLONG, 3},   // Path Not Found
    {ELOOP, 3},          // Path Not Found
    {EMFILE, 4},         // Too Many Open Files
    {ENFILE, 4},         // Too Many Open Files
    {EACCES, 5},         // Access Denied
    {EPERM, 5},          // Access Denied
    {EISDIR, 5},         // Access Denied
    {ENOTEMPTY, 5},      // Access Denied
    {EBADF, 6},          // Invalid Handle
    {ENOMEM, 8},         // Insufficient Memory
    {E2BIG, 10},         // Invalid Environment
    {ENOEXEC, 11},       // Invalid Format
    {EXDEV, 17},         // Not Same Device
    {EROFS, 19},         // Write Protect
    {ENXIO, 21},         // Device Not Ready
    {ENOMEDIUM, 21},     // Device Not Ready
    {ESPIPE, 25},        // Seek Location Inaccessible
    {EIO, 31},           // General Failure
    {EBUSY, 32},         // Sharing Violation
    {ETXTBSY, 32},       // Sharing Violation
    {EAGAIN, 33},        // Lock Violation (a byte-range lock held elsewhere)
    {EDEADLK, 33},       // Lock Violation
    {ENOLCK, 36},        // Sharing Buffer Exceeded
    {ENOSPC, 39},        // Handle Disk Full
    {EDQUOT, 39},        // Handle Disk Full
    {EFBIG, 39},         // Handle Disk Full
    {ENOTSUP, 50},       // Not Supported
    {ENOSYS, 50},        // Not Supported
    {EHOSTUNREACH, 53},  // Invalid Network Path
    {ENETUNREACH, 53},   // Invalid Network Path
    {ENODEV, 55},        // Device Does Not Exist
    {ENETDOWN, 59},      // Unexpected Network Error
    {ETIMEDOUT, 59},     // Unexpected Network Error
    {ECONNRESET, 64},    // Network Name Deleted
    {ESTALE, 64},        // Network Name Deleted
    {EEXIST, 80},        // File Already Exists
    {EINVAL, 87},        // Invalid Parameter
};

}  // namespace

int SystemErrorFromErrno(int errno_value) {
  if (errno_value == 0) return 0;
  // EWOULDBLOCK and EOPNOTSUPP equal EAGAIN and ENOTSUP on Linux.
  if (errno_value == EWOULDBLOCK) errno_value = EAGAIN;
  if (errno_value == EOPNOTSUPP) errno_value = ENOTSUP;
  for (const ErrnoMapping& m : kErrnoMappings) {
    if (m.errno_value == errno_value) return m.system_error;
  }
  return 91;  // Unknown Error
}

void NoteSystemError(int errno_value) { last_system_error = SystemErrorFromErrno(errno_value); }

void SetLastSystemError(int system_error) { last_system_error = system_error; }

int LastSystemError() { return last_system_error; }

int ErrorFromErrno(int errno_value) {
  NoteSystemError(errno_value);
  return 300 + last_system_error;
}

}  // namespace tavero
