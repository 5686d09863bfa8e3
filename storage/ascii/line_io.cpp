// Reading and writing lines of an ASCII file.
//
// A line is the bytes up to the terminator (ENDOFRECORD, by default 13 10),
// which it consumes; a byte 26 (the old end-of-file mark) or the end of the
// file also end it, without being consumed. Reading a line into a record of
// L bytes:
//   1. clear the record; nothing at the position, or a first byte 26: 33;
//   2. fast path: the terminator starts within the first L bytes with no tab
//      and no 26 before it: copy the bytes before it;
//   3. otherwise copy byte by byte until L bytes are in the record, the
//      terminator matches, or a 26 is met; tabs follow TAB, counting columns
//      from the start of the record and never writing past L;
//   4. a line longer than the record is skipped to its end; those bytes count
//      as occupied;
//   5. with the OEM attribute the record is converted from OEM.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "locale/locale.h"
#include "runtime/error_codes.h"
#include "runtime/system_error.h"
#include "storage/ascii/ascii_state.h"

namespace tavero::ascii {
namespace {

constexpr char kEndOfFileMark = 26;
constexpr char kTab = 9;
// Bytes moved at a time when a rewritten line shifts the rest of the file.
constexpr std::size_t kShiftChunk = 64 * 1024;

bool OemText(const AsciiState& s) { return (s.attributes & driver::file_attribute::kOemText) != 0; }

// The bytes [position, position + n) as far as the file has them, read into
// the buffer when it does not hold them already.
std::string_view Window(AsciiState& s, std::uint64_t position, std::size_t n) {
  if (position < s.buffer_offset || position + n > s.buffer_offset + s.buffer_length) {
    s.buffer.resize(std::max(s.buffer_size, n));
    const ssize_t got = pread(s.fd, s.buffer.data(), s.buffer.size(), static_cast<off_t>(position));
    if (got < 0) {
      s.read_error = ErrorFromErrno(errno);
      s.buffer_length = 0;
      return {};
    }
    s.buffer_offset = position;
    s.buffer_length = static_cast<std::size_t>(got);
  }
  const std::size_t from = static_cast<std::size_t>(position - s.buffer_offset);
  return std::string_view(s.buffer.data() + from, std::min(n, s.buffer_length - from));
}

bool TerminatorAt(AsciiState& s, std::uint64_t position) {
  for (std::size_t k = 0; k < s.end_of_record.size(); ++k) {
    if (s.ByteAt(position + k) != static_cast<unsigned char>(s.end_of_record[k])) return false;
  }
  return true;
}

// Takes the first-byte write lock on a shared file; nested writes count.
bool LockForWrite(AsciiState& s) {
  if (!s.shared || s.explicitly_locked || s.lock_nesting++ > 0) return true;
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 1;
  if (fcntl(s.fd, F_OFD_SETLK, &lock) == 0) return true;
  NoteSystemError(errno);
  s.lock_nesting = 0;
  return false;
}

void UnlockAfterWrite(AsciiState& s) {
  if (!s.shared || s.explicitly_locked || --s.lock_nesting > 0) return;
  struct flock lock {};
  lock.l_type = F_UNLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 1;
  fcntl(s.fd, F_OFD_SETLK, &lock);
  s.lock_nesting = 0;
}

// The bytes written for the first `length` bytes of the record: converted
// to OEM when the file says so, clipped when CLIP is on, and terminated.
std::string LineImage(const AsciiState& s, std::size_t length) {
  std::string line(reinterpret_cast<const char*>(s.record.data()), std::min(length, s.record.size()));
  if (OemText(s)) line = AnsiToOem(line);
  if (s.clip) line.erase(line.find_last_not_of(' ') + 1);
  return line + s.end_of_record;
}

bool WriteAll(int fd, std::string_view bytes, std::uint64_t position) {
  while (!bytes.empty()) {
    const ssize_t put = pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(position));
    if (put <= 0) {
      if (put < 0) NoteSystemError(errno);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
    position += static_cast<std::uint64_t>(put);
  }
  return true;
}

std::uint64_t FileSize(int fd) {
  const off_t end = lseek(fd, 0, SEEK_END);
  return end < 0 ? 0 : static_cast<std::uint64_t>(end);
}

// Moves the bytes [from, end) of the file by `delta` (either way), a chunk at
// a time, so a line can grow or shrink in place without touching the lines
// after it.
bool ShiftTail(int fd, std::uint64_t from, std::uint64_t end, std::int64_t delta) {
  std::vector<char> chunk(kShiftChunk);
  const auto move = [&](std::uint64_t at, std::size_t n) {
    const ssize_t got = pread(fd, chunk.data(), n, static_cast<off_t>(at));
    if (got != static_cast<ssize_t>(n)) {
      if (got < 0) NoteSystemError(errno);
      return false;
    }
    return WriteAll(fd, {chunk.data(), n}, static_cast<std::uint64_t>(static_cast<std::int64_t>(at) + delta));
  };
  if (delta > 0) {  // growing: from the end backwards
    for (std::uint64_t stop = end; stop > from;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kShiftChunk, stop - from));
      if (!move(stop - n, n)) return false;
      stop -= n;
    }
  } else {  // shrinking: from the start forwards
    for (std::uint64_t at = from; at < end;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kShiftChunk, end - at));
      if (!move(at, n)) return false;
      at += n;
    }
  }
  return true;
}

void MakeCurrent(AsciiState& s, std::uint64_t start, std::uint64_t bytes) {
  s.has_line = true;
  s.line_start = start;
  s.line_bytes = bytes;
  s.next_position = start + bytes;
}

}  // namespace

AsciiState::~AsciiState() {
  if (fd >= 0) close(fd);
}

int AsciiState::ByteAt(std::uint64_t position) {
  const std::string_view w = Window(*this, position, 1);
  return w.empty() ? -1 : static_cast<unsigned char>(w[0]);
}

int ReadLine(AsciiState& s, std::uint64_t position, std::size_t length) {
  const std::size_t L = std::min(length, s.record.size());
  char* record = reinterpret_cast<char*>(s.record.data());
  const std::string& eor = s.end_of_record;
  if (!s.quick_scan) s.DropBuffer();  // without read-ahead every line is read afresh
  s.read_error = 0;

  std::memset(record, ' ', L);
  const std::string_view head = Window(s, position, L + eor.size());
  if (s.read_error) return s.read_error;
  if (head.empty() || head[0] == kEndOfFileMark) return error_code::kRecordNotAvailable;

  // Fast path.
  const std::size_t stop = std::min(L, head.size());
  const std::size_t first = head.substr(0, stop).find(eor[0]);
  if (first != std::string_view::npos && head.substr(first, eor.size()) == eor &&
      head.substr(0, first).find_first_of(std::string_view("\x09\x1a", 2)) == std::string_view::npos) {
    std::memcpy(record, head.data(), first);
    MakeCurrent(s, position, first + eor.size());
  } else {
    std::size_t out = 0;
    std::uint64_t at = position;
    bool ended = false;
    while (out < L) {
      const int c = s.ByteAt(at);
      if (c < 0 || c == kEndOfFileMark) {
        ended = true;
        break;
      }
      if (TerminatorAt(s, at)) {
        at += eor.size();
        ended = true;
        break;
      }
      ++at;
      if (c != kTab) {
        record[out++] = static_cast<char>(c);
      } else if (s.tab > 0) {
        const std::size_t next_stop = (out / static_cast<std::size_t>(s.tab) + 1) * static_cast<std::size_t>(s.tab);
        while (out < next_stop && out < L) record[out++] = ' ';
      } else if (s.tab == -100) {
        record[out++] = kTab;
      } else if (s.tab < 0) {
        for (int k = 0; k < -s.tab && out < L; ++k) record[out++] = ' ';
      }  // TAB 0: dropped
    }
    // A line longer than the record: skip to its end.
    while (!ended) {
      const int c = s.ByteAt(at);
      if (c < 0 || c == kEndOfFileMark) break;
      if (TerminatorAt(s, at)) {
        at += eor.size();
        break;
      }
      ++at;
    }
    if (s.read_error) return s.read_error;
    MakeCurrent(s, position, at - position);
  }
  if (OemText(s)) {
    for (std::size_t i = 0; i < L; ++i) record[i] = OemToAnsi(record[i]);
  }
  return 0;
}

int AppendLine(AsciiState& s, std::size_t length) {
  if (s.read_only) return error_code::kAccessDenied;
  if (!LockForWrite(s)) return error_code::kAccessDenied;
  const std::string line = LineImage(s, length);
  const std::uint64_t end = FileSize(s.fd);
  const bool written = WriteAll(s.fd, line, end);
  s.DropBuffer();
  if (written) {
    s.size = end + line.size();
    MakeCurrent(s, end, line.size());
  }
  UnlockAfterWrite(s);
  return written ? 0 : error_code::kAccessDenied;
}

int ReplaceLine(AsciiState& s, std::uint64_t position, std::size_t length) {
  if (s.read_only) return error_code::kAccessDenied;
  if (!LockForWrite(s)) return error_code::kAccessDenied;
  s.DropBuffer();
  s.read_error = 0;
  const std::uint64_t end = FileSize(s.fd);
  if (position >= end) {
    UnlockAfterWrite(s);
    return error_code::kRecordNotAvailable;
  }
  // The old line's extent: through its terminator, or up to a 26 or the end.
  std::uint64_t old_end = position;
  for (;;) {
    const int c = s.ByteAt(old_end);
    if (c < 0 || c == kEndOfFileMark) break;
    if (TerminatorAt(s, old_end)) {
      old_end += s.end_of_record.size();
      break;
    }
    ++old_end;
  }
  const std::string line = LineImage(s, length);
  const std::int64_t delta = static_cast<std::int64_t>(line.size()) - static_cast<std::int64_t>(old_end - position);
  bool written = s.read_error == 0;
  if (written && delta != 0) written = ShiftTail(s.fd, old_end, end, delta);
  if (written) written = WriteAll(s.fd, line, position);
  if (written && delta < 0) {
    written = ftruncate(s.fd, static_cast<off_t>(static_cast<std::int64_t>(end) + delta)) == 0;
    if (!written) NoteSystemError(errno);
  }
  s.DropBuffer();
  if (written) {
    s.size = static_cast<std::uint64_t>(static_cast<std::int64_t>(end) + delta);
    MakeCurrent(s, position, line.size());
  }
  UnlockAfterWrite(s);
  return written ? 0 : error_code::kAccessDenied;
}

}  // namespace tavero::ascii
