// Opening the collection's data files: OpenDataFile, which opens a file,
// creates it when it is missing, offers to rebuild damaged keys and ends the
// program with a warning when the file cannot be used; and the open counts
// by which the procedures of one engine thread share that thread's
// instances of the files.
//
// Open-count protocol (each engine thread has its own count per file, kept
// in its DataFile):
//  (1) A procedure that needs a file counts it on entry with a DataFileUse:
//      when the count is 0 the file is opened (OpenDataFile) and its record
//      and memos are bound for the evaluator; the count then goes up by one.
//  (2) On leaving, the DataFileUse takes its one off again and closes the
//      file when the count reaches 0.
//  (3) So a file stays open exactly while some procedure of the thread that
//      counted it is active.
#pragma once

#include <cstdint>

#include "app/dictionary/dictionary.h"

namespace zephcol {

// Opens `file` (access mode 42h: read/write, deny none, when `shared`, else
// `access_mode`), and returns only when it is open:
//  - open, or already open: done;
//  - missing: created when `create_allowed` (warning 4 and the halt when
//    that fails, warning 5 when the created file does not open), warning 22
//    and the halt when it is not; with `skip_missing` the error stands and
//    the last step decides;
//  - a record declaration that does not match the file (47): warning 1 and
//    the halt;
//  - damaged keys (46): warning 2; Yes rebuilds every key and opens again
//    (warning 3 and the halt when the rebuild fails), No halts;
//  - any other error, or an open that fails again after a rebuild:
//    warning 30, then the halt with "Disk Error".
void OpenDataFile(DataFile& file, bool create_allowed = true, bool skip_missing = false,
                  std::uint32_t access_mode = 0, bool shared = true);

// Binds the file's record fields and memos under their names ("CAR:SET_NO",
// "SET:NOTES") for the evaluator, on the calling thread.
void BindDataFile(DataFile& file);

// One procedure's use of one data file (the protocol above).
class DataFileUse {
 public:
  explicit DataFileUse(DataFile& file);
  ~DataFileUse();
  DataFileUse(const DataFileUse&) = delete;
  DataFileUse& operator=(const DataFileUse&) = delete;

  DataFile& file() { return file_; }

 private:
  DataFile& file_;
};

}  // namespace zephcol
