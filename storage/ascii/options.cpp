// The ASCII driver's options, set by SEND commands and by the "/" options of
// a file's driver option text. A command starts with its keyword; without
// "=" it only answers the current value.
//
//   CLIP=ON|OFF         on: trailing blanks of a record are not written
//   TAB=n               n > 0: a tab expands with blanks to the next multiple
//                       of n; 0: tabs are dropped; -100: tabs stay; other -n:
//                       a tab becomes n blanks
//   ENDOFRECORD=c,b...  the c bytes (decimal) that end a line; 1 to 8 of them
//   FILEBUFFERS=n       the read buffer becomes n x 512 bytes (1 to 256)
//   QUICKSCAN=ON|OFF    on: lines are read through a read-ahead buffer
#include <cctype>
#include <charconv>
#include <string>
#include <vector>

#include "storage/ascii/ascii_state.h"

namespace tavero::ascii {
namespace {

constexpr int kMaxTerminatorBytes = 8;
constexpr int kMaxFileBuffers = 256;
constexpr int kTabLimit = 1000000;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool StartsWithKeyword(std::string_view command, std::string_view keyword) {
  if (command.size() < keyword.size()) return false;
  for (std::size_t i = 0; i < keyword.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(command[i])) != keyword[i]) return false;
  }
  return true;
}

bool ParseInt(std::string_view text, long& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// "ON" or "OFF", any case; anything else leaves `flag` alone.
void SetSwitch(std::string_view value, bool& flag) {
  value = Trim(value);
  if (StartsWithKeyword(value, "ON") && value.size() == 2) flag = true;
  if (StartsWithKeyword(value, "OFF") && value.size() == 3) flag = false;
}

void SetTerminator(std::string_view value, std::string& terminator) {
  std::vector<long> numbers;
  while (true) {
    const std::size_t comma = value.find(',');
    long n = 0;
    if (!ParseInt(value.substr(0, comma), n)) return;
    numbers.push_back(n);
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  const long count = numbers[0];
  if (count < 1 || count > kMaxTerminatorBytes || static_cast<long>(numbers.size()) != count + 1) return;
  std::string bytes;
  for (long i = 1; i <= count; ++i) {
    if (numbers[static_cast<std::size_t>(i)] < 0 || numbers[static_cast<std::size_t>(i)] > 255) return;
    bytes += static_cast<char>(numbers[static_cast<std::size_t>(i)]);
  }
  terminator = bytes;
}

std::string OnOff(bool flag) { return flag ? "ON" : "OFF"; }

}  // namespace

std::string ApplyOption(AsciiState& s, std::string_view command) {
  command = Trim(command);
  const std::size_t equals = command.find('=');
  const bool set = equals != std::string_view::npos;
  const std::string_view value = set ? command.substr(equals + 1) : std::string_view{};
  long n = 0;
  if (StartsWithKeyword(command, "CLIP")) {
    if (set) SetSwitch(value, s.clip);
    return OnOff(s.clip);
  }
  if (StartsWithKeyword(command, "TAB")) {
    if (set && ParseInt(value, n) && n >= -kTabLimit && n <= kTabLimit) s.tab = static_cast<int>(n);
    return std::to_string(s.tab);
  }
  if (StartsWithKeyword(command, "ENDOFRECORD")) {
    if (set) SetTerminator(value, s.end_of_record);
    std::string reply = std::to_string(s.end_of_record.size());
    for (char c : s.end_of_record) reply += "," + std::to_string(static_cast<unsigned char>(c));
    return reply;
  }
  if (StartsWithKeyword(command, "FILEBUFFERS")) {
    if (set && ParseInt(value, n) && n >= 1 && n <= kMaxFileBuffers) {
      s.buffer_size = static_cast<std::size_t>(n) * 512;
      s.DropBuffer();
    }
    return std::to_string(s.buffer_size / 512);
  }
  if (StartsWithKeyword(command, "QUICKSCAN")) {
    if (set) SetSwitch(value, s.quick_scan);
    return OnOff(s.quick_scan);
  }
  return {};
}

void ApplyOptionText(AsciiState& s, std::string_view options) {
  std::size_t slash = options.find('/');
  while (slash != std::string_view::npos) {
    const std::size_t next = options.find('/', slash + 1);
    ApplyOption(s, options.substr(slash + 1, next == std::string_view::npos ? next : next - slash - 1));
    slash = next;
  }
}

}  // namespace tavero::ascii
