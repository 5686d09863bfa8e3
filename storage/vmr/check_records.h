// The record half of `tavero vmr check` (see vmr_check.h): what the records
// of a structurally sound tree mean, table by table.
#pragma once

#include <cstddef>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/vmr/page_codec.h"

namespace tavero::vmr {

// Collects problem lines. Problems of one kind in one place (the missing
// entries of one key, say) are listed up to a limit and then counted, so
// that a badly damaged file gives a readable report.
class ProblemList {
 public:
  static constexpr std::size_t kLinesPerGroup = 20;

  explicit ProblemList(std::vector<std::string>& lines) : lines_(lines) {}
  ProblemList(const ProblemList&) = delete;
  ProblemList& operator=(const ProblemList&) = delete;

  void Add(std::string line) { lines_.push_back(std::move(line)); }
  // A problem of `group`; past the limit only counted.
  void Add(const std::string& group, std::string line);
  // Appends one "... and N more" line per group that went past its limit;
  // call once when the check is done.
  void Finish();
  bool empty() const { return lines_.empty(); }

 private:
  std::vector<std::string>& lines_;
  struct Group {
    std::size_t shown = 0;
    std::size_t hidden = 0;
  };
  std::map<std::string, Group> groups_;
};

// Checks the leaf records of a file, all of them in key order. Returns the
// number of tables the file names.
std::size_t CheckTableRecords(std::span<const Record> records, ProblemList& problems);

// Text of a key part for a problem line: printable bytes as they are, the
// others as \xNN.
std::string Printable(std::string_view bytes);

}  // namespace tavero::vmr
