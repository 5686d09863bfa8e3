// The ASCII driver's per-file state and the line reading and writing it
// serves. Internal to the driver.
//
// Invariants while the file is open:
//  (1) fd is an open descriptor; size is the size recorded at OPEN, grown by
//      appends and set by line rewrites and EMPTY.
//  (2) When has_line, [line_start, line_start + line_bytes) is the current
//      line with its terminator and next_position == line_start + line_bytes
//      unless a SET or RESET moved it.
//  (3) The read buffer holds the file's bytes [buffer_offset, buffer_offset +
//      buffer_length) as they were when read; every write drops it.
//  (4) lock_nesting counts the writes holding the first-byte write lock; the
//      lock is held while lock_nesting > 0 or explicitly_locked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/driver/driver.h"

namespace tavero::ascii {

struct AsciiState : driver::DriverState {
  ~AsciiState() override;

  int fd = -1;
  std::uint64_t size = 0;

  bool has_line = false;
  std::uint64_t line_start = 0;   // 0-based
  std::uint64_t line_bytes = 0;   // with its terminator
  std::uint64_t next_position = 0;

  // Options.
  bool clip = true;
  int tab = 8;
  std::string end_of_record = "\r\n";
  std::size_t buffer_size = 512;
  bool quick_scan = false;

  bool read_only = false;
  bool shared = true;
  bool explicitly_locked = false;
  int lock_nesting = 0;

  std::vector<char> buffer;
  std::uint64_t buffer_offset = 0;
  std::size_t buffer_length = 0;

  // The byte at `position`, or -1 at the end of the file (or on a read
  // error, which `read_error` then holds as a runtime error code).
  int ByteAt(std::uint64_t position);
  void DropBuffer() { buffer_length = 0; }
  int read_error = 0;
};

// Reads the line at `position` into the first `length` bytes of the record
// buffer; returns 0 or an error (33 at the end of the file).
int ReadLine(AsciiState& state, std::uint64_t position, std::size_t length);
// Appends the first `length` bytes of the record buffer as a line.
int AppendLine(AsciiState& state, std::size_t length);
// Replaces the line that starts at `position` with the first `length` bytes
// of the record buffer; the rest of the file moves so no other line changes.
int ReplaceLine(AsciiState& state, std::uint64_t position, std::size_t length);

// SEND: applies or answers one option command; the reply is the option's
// current value (empty for an unknown command).
std::string ApplyOption(AsciiState& state, std::string_view command);
// Applies every "/" option of a driver option text.
void ApplyOptionText(AsciiState& state, std::string_view options);

}  // namespace tavero::ascii
