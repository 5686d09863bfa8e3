// Pictures: the display formats of every shown value ("@n-10.2", "@N06",
// "@s30", "@D1", "@T3", "@P###-##-####P", "@K##-@@K"), compiled into a
// CompiledPicture that FORMAT (value to text) and DEFORMAT (typed text to a
// plain value text) both walk.
//
// Picture text is untrusted: an invalid picture compiles to width 0, FORMAT
// and DEFORMAT then give an empty text, and no input reads or writes outside
// its buffers. Compilation is cheap and is repeated on every call of the
// forms that take picture text.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "decimal/decimal.h"

namespace tavero::pictures {

enum class PictureType : std::uint8_t {
  Numeric = 0,     // @N
  Scientific = 1,  // @E
  Date = 2,        // @D
  Time = 3,        // @T
  Pattern = 4,     // @P...P
  String = 5,      // @S
  KeyIn = 6,       // @K...K
};

// The class of value a picture formats.
enum class ValueClass : std::uint8_t { String = 0, Long = 1, Real = 2, Decimal = 3 };

// The kind byte of a token. For a digit kind the character byte is its fill,
// printed when the position holds no significant digit; for the other kinds
// it is the character printed. Code 18 is not used.
enum class TokenKind : std::uint8_t {
  Literal = 0,
  GroupSeparator = 1,
  DecimalPoint = 2,
  ZeroDigit = 3,
  BlankDigit = 4,
  Sign = 5,
  Currency = 6,
  MonthDigit = 7,
  DayDigit = 8,
  YearDigit = 9,
  MonthLetter = 10,
  HourDigit = 11,
  MinuteDigit = 12,
  SecondDigit = 13,
  KeyLetter = 14,
  KeyUpper = 15,
  KeyLower = 16,
  KeyAny = 17,
  DateSeparator = 19,
  AmPm = 20,
  ExponentSign = 21,
  ImpliedDecimal = 22,
  KeyBar = 23,
};
inline constexpr int kMaxTokenKind = 23;

struct PictureToken {
  char character = ' ';
  TokenKind kind = TokenKind::Literal;
};

// The compiled form, at most 512 bytes, in the caller's buffer:
//   byte 0  flags: bits 0-2 picture type, bits 3-5 value class, bit 6 always
//           0, bit 7 blank when zero
//   byte 1  width: display positions 1..255; 0 means the picture is invalid
//   then    width pairs (character byte, kind byte), one per display
//           position; @S pictures carry no tokens
// `number` is not part of the compiled bytes: it is the number after the
// type letter of @D and @T pictures, which the month-name case rule and the
// month-and-year date rule look at.
class CompiledPicture {
 public:
  static constexpr int kMaxBytes = 512;

  CompiledPicture() { Clear(); }

  bool valid() const { return bytes_[1] != 0; }
  int width() const { return bytes_[1]; }
  PictureType type() const { return static_cast<PictureType>(bytes_[0] & 0x07); }
  ValueClass value_class() const { return static_cast<ValueClass>((bytes_[0] >> 3) & 0x07); }
  bool blank_when_zero() const { return (bytes_[0] & 0x80) != 0; }
  int number() const { return number_; }
  // Tokens in use: none for @S.
  int token_count() const { return type() == PictureType::String ? 0 : width(); }
  PictureToken token(int i) const {
    return {static_cast<char>(bytes_[2 + 2 * i]), static_cast<TokenKind>(bytes_[3 + 2 * i])};
  }
  // The number of tokens of the same kind as token i, from i on.
  int RunLength(int i) const {
    int n = 1;
    while (i + n < width() && token(i + n).kind == token(i).kind) ++n;
    return n;
  }
  // The compiled bytes: the header and the tokens in use.
  std::span<const std::uint8_t> bytes() const {
    return {bytes_.data(), static_cast<std::size_t>(2 + 2 * token_count())};
  }

  // Building (used by CompilePicture).
  // Zeroes the header; the token area is written before it is read.
  void Clear() {
    bytes_[0] = bytes_[1] = 0;
    number_ = 0;
  }
  void SetHeader(PictureType type, ValueClass value_class, bool blank_when_zero, int width);
  void SetToken(int i, char character, TokenKind kind) {
    bytes_[2 + 2 * i] = static_cast<std::uint8_t>(character);
    bytes_[3 + 2 * i] = static_cast<std::uint8_t>(kind);
  }
  void SetNumber(int number) { number_ = number; }

 private:
  std::array<std::uint8_t, kMaxBytes> bytes_;  // header zeroed by the constructor
  int number_ = 0;
};

// Compiles picture text, with or without its leading '@'. Returns the
// compiled size in bytes (2 + 2 x width, or 2 for @S), or 0 when the text is
// not a valid picture, in which case the header is zeroed.
int CompilePicture(std::string_view text, CompiledPicture& out);

// FORMAT: a text exactly as long as the picture's width, or empty for an
// invalid picture. One entry per kind of value:
// - a string: @S and @K show it as it is; any other picture converts it to a
//   real number first;
std::string FORMAT(std::string_view value, std::string_view picture);
// - a real, taken with 14 significant digits;
std::string FORMAT(double value, std::string_view picture);
// - a long integer (dates, times, integers), exact;
std::string FORMAT(std::int64_t value, std::string_view picture);
inline std::string FORMAT(std::int32_t value, std::string_view picture) {
  return FORMAT(static_cast<std::int64_t>(value), picture);
}
// - a decimal number (money fields), exact.
std::string FORMAT(const decimal::DecimalAccumulator& value, std::string_view picture);

// The same with a picture compiled once (a report field formats every row
// through its own); an invalid picture gives an empty text.
std::string FORMAT(std::string_view value, const CompiledPicture& picture);
std::string FORMAT(double value, const CompiledPicture& picture);
std::string FORMAT(std::int64_t value, const CompiledPicture& picture);
std::string FORMAT(const decimal::DecimalAccumulator& value, const CompiledPicture& picture);

// DEFORMAT: the plain value of typed text. Numeric pictures give a number
// text (optional leading '-', digits, '.', exponent); date pictures the
// decimal day number; time pictures the decimal time value ('-1' for an
// impossible time); key-in pictures the characters typed into the input
// positions; no picture or an @S picture reads a free-form number. An
// invalid picture gives an empty text. At most 255 characters.
std::string DEFORMAT(std::string_view text, std::string_view picture);

}  // namespace tavero::pictures
