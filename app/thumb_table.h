// The thumb table of a page browse: 100 values of the browse's thumb field
// spread evenly between the first and the last record of the current order,
// so that a position of the scroll bar thumb (1 to 100) names a value to
// locate to, and a record's value names the thumb's position (0 to 100).
//
// Numbers: entry i is low + (high - low) / 99 x (i - 1); entry 1 is low and
// entry 100 is high exactly.
//
// Texts of width w: the alphabet is "A" to "Z" (N = 26 letters). High, when
// shorter than w, is extended with "Z". The characters low and high share at
// their start (compared upper-cased) are the prefix; the next four of each,
// upper-cased, read as a four-digit number in base N + 1 (a letter's digit is
// its place in the alphabet, 1 to 26, anything else 0, and a character past
// the end of the text or of the field is 0). The step is (high - low) / 99 as
// a whole number, never below 0. Entry 1 is the prefix and low's four
// characters, entry 100 the prefix and high's four, entry i between them the
// prefix and low + step x (i - 1) written back as letters (digit 0 as a
// blank). Every written-back digit is one of the alphabet's.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <variant>

namespace zephcol {

class ThumbTable {
 public:
  static constexpr int kEntries = 100;

  // An empty table: every position is 0 and every entry blank.
  ThumbTable() = default;
  static ThumbTable Numbers(double low, double high);
  static ThumbTable Texts(std::string_view low, std::string_view high, std::size_t width);

  bool numeric() const { return numeric_; }
  // Entry i (1 to 100); 0 or an empty text outside that range.
  double Number(int i) const;
  const std::string& Text(int i) const;

  // The thumb position of a record whose thumb field holds `value`: the
  // smallest i whose entry is not less than the value (texts compared
  // upper-cased, trailing blanks ignored); i = 1 gives 0, and a value no
  // entry reaches gives 100.
  int PositionOf(double value) const;
  int PositionOf(std::string_view value) const;

 private:
  bool empty_ = true;  // built from no records: every position is 0
  bool numeric_ = true;
  std::array<double, kEntries> numbers_{};
  std::array<std::string, kEntries> texts_{};
};

}  // namespace zephcol
