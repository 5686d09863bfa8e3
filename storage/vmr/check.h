// The structural check of a whole VMR file, as `tavero vmr check` and the
// tests' teardown run it.
//
// The check reads the file's bytes and trusts none of them. It looks at, in
// order:
//   1. the header: own offset, header size, magic, lengths against the file
//      size, the identifier counter and the zone table;
//   2. an interrupted commit (committed and written lengths differ): it is
//      noted (not a problem: the next open finishes it), its pending copies
//      are checked to lie on pages of the new tree, and they are applied in
//      memory as a reader would, so that the rest of the check sees the file
//      as it will be;
//   3. every page reachable from the root: its place in a zone, its header,
//      its padding, its body, its level, the order of its records, its
//      separators against its children, the split limits; then that every
//      page slot of every zone belongs to the tree;
//   4. the records: table names, definitions (decoded without a compiled
//      declaration), status counts against the records present, memo and
//      blob segments against their records and definitions, and that every
//      key holds exactly the entries its table's data records make.
// Each problem found is one line of text. Damage in one place never stops
// the check of the places that do not depend on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "storage/vmr/file_io.h"

namespace tavero::vmr {

struct CheckResult {
  std::vector<std::string> problems;
  std::size_t tables = 0;
  std::size_t pages = 0;
  std::size_t records = 0;
  // Committed and written lengths differ: the next open finishes the commit
  // (or rolls it back when its transaction never reached its commit point).
  bool interrupted_commit = false;

  bool sound() const { return problems.empty(); }
};

// Checks the bytes of a VMR file. An empty file is a sound new file.
CheckResult CheckImage(std::span<const std::uint8_t> image);

// Reads the file at `path` (through `fs`) and checks it; a file that cannot
// be read gives one problem naming the system error. The file is read as it
// is on disk: run it when no station is writing to it.
CheckResult CheckFile(const std::string& path, FileSystem& fs = PosixFileSystem());

}  // namespace tavero::vmr
