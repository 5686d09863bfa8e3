// The environment file and start-up locale loading.
//
// Environment file format (text, read in blocks of 2048 bytes):
//   file    = { line-end | setting | other-line } [ Ctrl-Z ... ]
//   setting = name '=' value line-end
//   name    : any characters up to '=' or a control character; blanks in
//             it are ignored; the first 31 count
//   value   : the rest of the line; the first 255 characters count, then
//             trailing blanks and tabs are removed
//   A line whose name ends at a control character other than '=' (no '=')
//   is skipped to its end. Ctrl-Z or the end of the data ends the file; a
//   last line without a line end still counts.
// Names and values are cut, never grown, so nothing a file holds can make
// the reader keep more than one name and one value.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "locale/locale.h"
#include "locale/locale_internal.h"
#include "runtime/error_codes.h"

namespace tavero {
namespace {

constexpr std::size_t kMaxNameLength = 31;
constexpr std::size_t kMaxValueLength = 255;
constexpr std::size_t kBlockSize = 2048;
// An environment file is a few dozen lines; more than this is not one.
constexpr std::size_t kMaxEnvironmentBytes = 1 << 20;
constexpr char kEndOfFile = 0x1A;  // Ctrl-Z

class EnvironmentReader {
 public:
  // Feeds the next block; false once the file has ended (Ctrl-Z).
  bool Feed(std::string_view block) {
    for (char c : block) {
      if (c == kEndOfFile) {
        Finish();
        return false;
      }
      Take(c);
    }
    return true;
  }

  // The end of the data: a value still open is applied.
  void Finish() {
    if (state_ == State::Value) ApplyValue();
    state_ = State::LineStart;
  }

 private:
  enum class State { LineStart, Name, Value, SkipLine };

  static bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
  static bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20; }

  void Take(char c) {
    switch (state_) {
      case State::LineStart:
        if (IsLineEnd(c)) return;
        name_.clear();
        state_ = State::Name;
        [[fallthrough]];
      case State::Name:
        if (c == '=') {
          value_.clear();
          state_ = State::Value;
        } else if (IsControl(c)) {
          state_ = IsLineEnd(c) ? State::LineStart : State::SkipLine;
        } else if (c != ' ' && name_.size() < kMaxNameLength) {
          name_ += c;
        }
        return;
      case State::Value:
        if (IsLineEnd(c)) {
          ApplyValue();
          state_ = State::LineStart;
        } else if (value_.size() < kMaxValueLength) {
          value_ += c;
        }
        return;
      case State::SkipLine:
        if (IsLineEnd(c)) state_ = State::LineStart;
        return;
    }
  }

  void ApplyValue() {
    while (!value_.empty() && (value_.back() == ' ' || value_.back() == '\t')) value_.pop_back();
    if (!name_.empty()) ApplySetting(name_, value_);
  }

  State state_ = State::LineStart;
  std::string name_;
  std::string value_;
};

// Applies a whole file's text, restoring the character set flag afterwards.
template <typename ReadBlock>
void ReadEnvironment(ReadBlock read_block) {
  const CharacterSet saved = Locale().environment_charset;
  EnvironmentReader reader;
  std::string_view block;
  bool more = true;
  while (more && read_block(block)) more = reader.Feed(block);
  if (more) reader.Finish();
  MutableLocale().environment_charset = saved;
}

std::string ProgramPath() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(length));
  return path;
}

}  // namespace

void ApplyEnvironmentText(std::string_view text) {
  ReadEnvironment([&text](std::string_view& block) {
    if (text.empty()) return false;
    block = text.substr(0, kBlockSize);
    text.remove_prefix(block.size());
    return true;
  });
}

int LoadEnvironmentFile(std::string_view file_name) {
  if (file_name.empty()) return 0;
  if (EqualsNoCase(file_name, "WINDOWS")) {
    for (const char* name : {"TAVCOLSEQ", "TAVCASE", "TAVAMPM"}) ApplySetting(name, "WINDOWS");
    return 0;
  }
  if (file_name.find('\0') != std::string_view::npos) return error_code::kFileNotFound;
  // Opened without blocking so that a FIFO or a device named like the file
  // neither hangs the start nor feeds it without end: only a regular file is
  // read, and at most kMaxEnvironmentBytes of it.
  const int fd = ::open(std::string(file_name).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return error_code::kFileNotFound;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(fd, "rb"), &std::fclose);
  if (!file) {
    ::close(fd);
    return error_code::kFileNotFound;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return error_code::kFileNotFound;
  char buffer[kBlockSize];
  std::size_t total = 0;
  ReadEnvironment([&](std::string_view& block) {
    if (total >= kMaxEnvironmentBytes) return false;
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    total += got;
    block = std::string_view(buffer, got);
    return got > 0;
  });
  return 0;
}

std::string EnvironmentFilePath(std::string_view program_path) {
  const std::size_t slash = program_path.rfind('/');
  const std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = program_path.rfind('.');
  // A leading dot names a hidden file; it is no extension.
  const bool has_extension = dot != std::string_view::npos && dot > base;
  return std::string(program_path.substr(0, has_extension ? dot : program_path.size())) + ".ENV";
}

int LoadLocale(const IntlSettings& intl, std::string_view program_path) {
  if (!MarkLocaleLoaded()) return 0;
  LocaleTables& tables = MutableLocale();
  ApplyIntl(tables, intl);
  tables.collation_oem = tables.collation_ansi;
  if (program_path.empty()) return error_code::kFileNotFound;
  const std::string path = EnvironmentFilePath(program_path);
  int result = LoadEnvironmentFile(path);
  if (result != 0) {
    // This platform's file names are case-sensitive: also try ".env".
    result = LoadEnvironmentFile(path.substr(0, path.size() - 4) + ".env");
  }
  return result;
}

int LoadLocale() {
  return LoadLocale(IntlFromPosixLocale(), ProgramPath());
}

}  // namespace tavero
