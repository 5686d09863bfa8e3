// The tokens of expressions:
//
//   name      letter, '_' or '?'; then letters, digits, '_' and ':'; may end
//             with one '#', '$' or '"'
//   long      digits without '.'; a value beyond the long range is an error
//   real      digits with '.' (or starting with '.'), optional exponent 'E'
//             with optional sign: all digits are accumulated as an integer and
//             divided by ten to the fraction length less the exponent
//   string    between single quotes, two quotes standing for one
//   picture   '@' and a picture, up to the first blank, ',' or ')' outside
//             parentheses and outside the '~' currency text; a pattern (P) or
//             key-in (K) picture ends at its closing letter, then an optional
//             'B'
//   operators + - * / % ^ & = < > ~ , :   brackets ( ) [ ]
// Blanks and tabs between tokens are skipped.
#include "eval/tokenizer.h"

#include <cmath>

#include "eval/services.h"

namespace tavero::eval {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '?' ||
         (u >= 128 && services::IsLetter(u));
}

bool IsNamePart(char c) { return IsNameStart(c) || IsDigit(c) || c == ':'; }

int OperatorCode(char c) {
  switch (c) {
    case '+': return 7;
    case '-': return 8;
    case '*': return 3;
    case '/': return 4;
    case '%': return 5;
    case '^': return 2;
    case '&': return 9;
    case '=': return 10;
    case '<': return 12;
    case '>': return 13;
    case '~': return kTilde;
    case ',': return kComma;
    case ':': return kColon;
  }
  return 0;
}

// Exponents beyond this are saturated; the value then overflows or vanishes.
constexpr int kExponentLimit = 9999;

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    for (;;) {
      Token t = Next();
      const TokenType type = t.type;
      tokens.push_back(std::move(t));
      if (type == TokenType::End || type == TokenType::Error) return tokens;
    }
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }

  static Token Error() { return Token{TokenType::Error, 0, 0, 0, {}}; }

  Token Next() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t')) ++pos_;
    if (AtEnd()) return Token{};
    const char c = Peek();
    if (IsNameStart(c)) return Name();
    if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) return Number();
    if (c == '\'') return String();
    if (c == '@') return PictureLiteral();
    ++pos_;
    switch (c) {
      case '(': return Token{TokenType::OpenParen, 0, 0, 0, {}};
      case ')': return Token{TokenType::CloseParen, 0, 0, 0, {}};
      case '[': return Token{TokenType::OpenBracket, 0, 0, 0, {}};
      case ']': return Token{TokenType::CloseBracket, 0, 0, 0, {}};
    }
    if (const int op = OperatorCode(c)) return Token{TokenType::Operator, op, 0, 0, {}};
    return Error();
  }

  Token Name() {
    const std::size_t start = pos_++;
    while (!AtEnd() && IsNamePart(Peek())) ++pos_;
    if (!AtEnd() && (Peek() == '#' || Peek() == '$' || Peek() == '"')) ++pos_;
    return Token{TokenType::Name, 0, 0, 0, std::string(text_.substr(start, pos_ - start))};
  }

  Token Number() {
    double mantissa = 0;
    std::int64_t whole = 0;
    bool too_long = false;
    const auto digit = [&](char d) {
      mantissa = mantissa * 10 + (d - '0');
      if (whole <= 2147483647) whole = whole * 10 + (d - '0');
      if (whole > 2147483647) too_long = true;
    };
    while (IsDigit(Peek())) digit(text_[pos_++]);
    if (Peek() != '.') {
      if (too_long) return Error();
      return Token{TokenType::LongLiteral, 0, static_cast<std::int32_t>(whole), 0, {}};
    }
    ++pos_;
    int fraction_length = 0;
    while (IsDigit(Peek())) {
      digit(text_[pos_++]);
      if (fraction_length < kExponentLimit) ++fraction_length;
    }
    int exponent = 0;
    if ((Peek() == 'E' || Peek() == 'e') &&
        (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
      ++pos_;
      bool negative = false;
      if (Peek() == '+' || Peek() == '-') negative = text_[pos_++] == '-';
      while (IsDigit(Peek())) {
        exponent = std::min(exponent * 10 + (text_[pos_++] - '0'), kExponentLimit);
      }
      if (negative) exponent = -exponent;
    }
    const int scale = fraction_length - exponent;
    const double value =
        scale >= 0 ? mantissa / std::pow(10.0, scale) : mantissa * std::pow(10.0, -scale);
    if (!std::isfinite(value)) return Error();
    return Token{TokenType::RealLiteral, 0, 0, value, {}};
  }

  Token String() {
    ++pos_;  // opening quote
    std::string s;
    for (;;) {
      if (AtEnd()) return Error();  // unterminated
      const char c = text_[pos_++];
      if (c == '\'') {
        if (Peek() != '\'') break;
        ++pos_;
      }
      s += c;
    }
    return Token{TokenType::StringLiteral, 0, 0, 0, std::move(s)};
  }

  Token PictureLiteral() {
    const std::size_t start = pos_++;
    const char kind = static_cast<char>(Peek() & ~0x20);  // upper case of an ASCII letter
    if (kind == 'P' || kind == 'K') {
      ++pos_;
      while (!AtEnd() && (Peek() & ~0x20) != kind) ++pos_;
      if (!AtEnd()) ++pos_;  // the closing letter
      if (Peek() == 'B' || Peek() == 'b') ++pos_;
    } else {
      const bool numeric = kind == 'N';
      bool in_currency = false;
      int depth = 0;
      while (!AtEnd()) {
        const char c = Peek();
        if (numeric && c == '~') in_currency = !in_currency;
        if (!in_currency) {
          if (c == '(') ++depth;
          if (c == ')') {
            if (depth == 0) break;
            --depth;
          }
          if (depth == 0 && (c == ' ' || c == ',')) break;
        }
        ++pos_;
      }
    }
    if (pos_ == start + 1) return Error();  // '@' and no picture
    return Token{TokenType::Picture, 0, 0, 0, std::string(text_.substr(start, pos_ - start))};
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view text) { return Tokenizer(text).Run(); }

}  // namespace tavero::eval
