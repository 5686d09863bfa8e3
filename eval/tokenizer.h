// Splitting expression text into tokens.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavero::eval {

enum class TokenType : std::uint8_t {
  End,
  Name,          // text: the name as written
  LongLiteral,   // long_value
  RealLiteral,   // real_value
  StringLiteral, // text: the string, quotes undoubled
  Picture,       // text: the picture, '@' included
  Operator,      // op: operator code (see below)
  OpenParen, CloseParen, OpenBracket, CloseBracket,
  Error,         // unknown character, unterminated string, literal out of range
};

// Operator codes of single characters: '+' 7, '-' 8, '*' 3, '/' 4, '%' 5,
// '^' 2, '&' 9, '=' 10, '<' 12, '>' 13, '~' 16, ',' 20, ':' 21.
inline constexpr int kComma = 20;
inline constexpr int kColon = 21;
inline constexpr int kTilde = 16;

struct Token {
  TokenType type = TokenType::End;
  int op = 0;
  std::int32_t long_value = 0;
  double real_value = 0;
  std::string text;
};

// The tokens of `text`, always ending with End or, at the first fault, with
// Error (nothing after an error is looked at).
std::vector<Token> Tokenize(std::string_view text);

}  // namespace tavero::eval
