#include "runtime/system_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "runtime/message_table.h"

namespace tavero {
namespace {

TEST(SystemError, CommonErrnoValuesReadRightInTheMessageTable) {
  struct Case {
    int errno_value;
    std::string_view text;  // the text of 300 plus the mapped number
  };
  const Case cases[] = {
      {ENOENT, "File Not Found"},      {ENOTDIR, "Path Not Found"},
      {EMFILE, "Too Many Open Files"}, {EACCES, "Access Denied"},
      {EPERM, "Access Denied"},        {ENOSPC, "Handle Disk Full"},
      {EAGAIN, "Lock Violation"},      {EWOULDBLOCK, "Lock Violation"},
      {EEXIST, "File Already Exists"}, {EINVAL, "Invalid Parameter"},
      {EBADF, "Invalid Handle"},       {ENOMEM, "Insufficient Memory"},
      {EROFS, "Write Protect"},        {EHOSTDOWN, "Unknown Error"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageTableText(300 + SystemErrorFromErrno(c.errno_value)), c.text)
        << "errno " << c.errno_value;
  }
  EXPECT_EQ(SystemErrorFromErrno(0), 0);
}

TEST(SystemError, LastErrorBelongsToTheThreadThatNotedIt) {
  NoteSystemError(ENOENT);
  EXPECT_EQ(LastSystemError(), 2);
  int other = -1;
  std::thread([&] { other = LastSystemError(); }).join();
  EXPECT_EQ(other, 0);
  SetLastSystemError(0);
}

TEST(SystemError, ErrorFromErrnoGivesThe300Code) {
  EXPECT_EQ(ErrorFromErrno(EACCES), 305);
  EXPECT_EQ(LastSystemError(), 5);
  EXPECT_EQ(ErrorFromErrno(ENOSPC), 339);
  SetLastSystemError(0);
}

}  // namespace
}  // namespace tavero
