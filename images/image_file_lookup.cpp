// Finding the picture files the program names: in the working directory,
// then beside the program, in any case, and by an old short name.
#include <algorithm>
#include <cctype>
#include <string>
#include <system_error>
#include <vector>

#include "images/image.h"

namespace tavero::images {

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// A short name "BASE~N.EXT": BASE 1 to 6 characters, N 1 to 9.
struct ShortName {
  std::string base;  // upper case
  int ordinal = 0;
  std::string extension;  // upper case, without the dot
};

std::optional<ShortName> ParseShortName(std::string_view name) {
  const std::size_t tilde = name.find('~');
  if (tilde == std::string_view::npos || tilde == 0 || tilde > 6) return std::nullopt;
  const std::size_t dot = name.find('.', tilde);
  const std::string_view number = name.substr(tilde + 1, dot == std::string_view::npos ? std::string_view::npos : dot - tilde - 1);
  if (number.size() != 1 || number[0] < '1' || number[0] > '9') return std::nullopt;
  ShortName s;
  s.base = Upper(name.substr(0, tilde));
  s.ordinal = number[0] - '0';
  if (dot != std::string_view::npos) s.extension = Upper(name.substr(dot + 1));
  return s;
}

// The base and extension a long name's short name is made from: upper
// case, without blanks and dots (but the last dot, which starts the
// extension), the base cut to six characters, the extension to three.
std::pair<std::string, std::string> ShortNameParts(std::string_view long_name) {
  const std::size_t dot = long_name.rfind('.');
  const std::string_view stem = dot == std::string_view::npos ? long_name : long_name.substr(0, dot);
  const std::string_view extension = dot == std::string_view::npos ? std::string_view() : long_name.substr(dot + 1);
  std::string base;
  for (const char c : stem) {
    if (c != ' ' && c != '.') base.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  std::string ext;
  for (const char c : extension) {
    if (c != ' ') ext.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return {base.substr(0, 6), ext.substr(0, 3)};
}

std::optional<std::filesystem::path> FindIn(const std::filesystem::path& directory, std::string_view name) {
  std::error_code error;
  const std::filesystem::path exact = directory / std::string(name);
  if (std::filesystem::is_regular_file(exact, error)) return exact;

  std::vector<std::string> files;
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error)) files.push_back(it->path().filename().string());
  }
  std::sort(files.begin(), files.end());
  const std::string wanted = Upper(name);
  for (const std::string& file : files) {
    if (Upper(file) == wanted) return directory / file;
  }
  // The N-th long name (in name order) that the short name can stand for.
  if (const auto short_name = ParseShortName(name)) {
    int seen = 0;
    for (const std::string& file : files) {
      const auto [base, extension] = ShortNameParts(file);
      if (base == short_name->base && extension == short_name->extension && ++seen == short_name->ordinal) {
        return directory / file;
      }
    }
  }
  return std::nullopt;
}

std::filesystem::path ProgramDirectory() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

}  // namespace

std::optional<std::filesystem::path> FindImageFile(std::string_view name, const std::filesystem::path& program_directory) {
  if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..") return std::nullopt;
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  if (!error) {
    if (auto found = FindIn(here, name)) return found;
  }
  if (!program_directory.empty()) return FindIn(program_directory, name);
  return std::nullopt;
}

std::optional<std::filesystem::path> FindImageFile(std::string_view name) {
  return FindImageFile(name, ProgramDirectory());
}

}  // namespace tavero::images
