// The integrity routines: the one way a form writes a changed record back
// or deletes one. Each runs as a transaction on the record's file alone,
// with 2 seconds to obtain the file's lock, and reports a failure with the
// standard warnings.
//
// A form takes a LoadedRecord when it loads the record it edits: the
// record's position in its file and a copy of the record and its memos as
// read. Inside the transaction the routine reads the stored record again by
// that position and compares it with the copy: a record that another
// station, or another thread of this program, changed or deleted since the
// form read it is never overwritten (error 89 "Record Changed By Another
// Station", or the read's own error), and a deletion removes the record the
// form showed, wherever the keys place it.
//
// Every path ends the transaction it started before any box is shown, so
// that no other station waits on a person and no other thread's writes
// join the transaction; the box then reports the error that ended it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/dictionary/dictionary.h"

namespace zephcol {

// A record as a form loaded it.
class LoadedRecord {
 public:
  LoadedRecord() = default;
  // Takes the position and a copy of `file`'s current record (just read)
  // and of its memos.
  static LoadedRecord Take(DataFile& file);

  bool empty() const { return position_.empty(); }
  const std::string& position() const { return position_; }
  // True when the record and memos in `file`'s buffers equal the copy.
  bool Matches(DataFile& file) const;

 private:
  std::string position_;
  std::vector<std::uint8_t> record_;
  std::vector<std::vector<std::uint8_t>> memos_;
};

// The seconds a routine waits for the file's lock.
inline constexpr int kIntegrityLockSeconds = 2;

// Writes the record in `file`'s buffer (the form's edited copy of
// `loaded`) over the stored record. Returns 0 on success, and `loaded`
// then describes the record as written; 1 on failure, after warning 34
// (the transaction could not be framed) or 15 (the record changed or went,
// or the rewrite or its commit failed: nothing is written). The buffer
// keeps the form's copy either way.
int RIUpdate(DataFile& file, LoadedRecord& loaded);

// Deletes the stored record `loaded` describes. Returns 0 on success; 1 on
// failure after warning 34 or 17 (the record changed or went, or the
// delete or its commit failed: nothing is deleted).
int RIDelete(DataFile& file, const LoadedRecord& loaded);

}  // namespace zephcol
