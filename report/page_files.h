// Page files: one placeable metafile per page of a preview report, in the
// temporary directory ($TMPDIR, else /tmp), named "TAV", six random
// characters and ".wmf". Each is created exclusively (a name already there is
// never reused or followed) with mode 0600, every write is checked, and the
// owner deletes every file it made when the report closes, after a cancel
// and after printing.
//
// Invariant: files_ lists exactly the files this object created and has not
// deleted yet.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "images/metafile.h"

namespace tavero::report {

// The temporary directory: $TMPDIR when set and not empty, else /tmp.
std::filesystem::path TemporaryDirectory();

// The largest page file read back.
inline constexpr std::uintmax_t kMaxPageFileBytes = std::uintmax_t{64} << 20;

class PageFiles {
 public:
  // Files go to `directory` (empty: TemporaryDirectory()).
  explicit PageFiles(std::filesystem::path directory = {});
  ~PageFiles();  // deletes every file
  PageFiles(const PageFiles&) = delete;
  PageFiles& operator=(const PageFiles&) = delete;

  // Writes a new page file: its path, or the system's words on why it could
  // not be written whole (the partial file is then deleted).
  std::variant<std::filesystem::path, std::string> Write(std::span<const std::uint8_t> bytes);
  const std::vector<std::filesystem::path>& files() const { return files_; }
  void DeleteAll();

 private:
  std::filesystem::path directory_;
  std::vector<std::filesystem::path> files_;
};

// Reads a page file back. The file is untrusted: at most kMaxPageFileBytes
// are read and the metafile reader checks every record.
std::variant<images::Metafile, std::string> ReadPageFile(const std::filesystem::path& path);

}  // namespace tavero::report
