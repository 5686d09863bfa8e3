// tavero decimal EXPR [--store B,P]: evaluates EXPR on the decimal stack.
//
//   expr    -> term { ('+' | '-') term }
//   term    -> unary { ('*' | '/') unary }
//   unary   -> '-' unary | primary
//   primary -> number | '(' expr ')'
//   number  -> digits [ '.' digits ]
// Blanks may stand between tokens. Nesting is bounded so that deep input
// gives an error, not a stack overflow, and the pending operands stay well
// inside the stack's 256 entries.
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "decimal/decimal.h"
#include "tools/commands.h"

namespace tavero::tool {
namespace {

constexpr int kMaxNesting = 100;

constexpr char kHelp[] =
    "usage: tavero decimal EXPR [--store B,P]\n"
    "\n"
    "Evaluates EXPR exactly on the runtime's decimal stack and prints the result.\n"
    "EXPR holds numbers (digits with an optional '.' and fraction digits), unary\n"
    "'-', binary + - * / with the usual precedence, left associative, and\n"
    "parentheses. Products keep 32 fraction digits (truncated); quotients are\n"
    "rounded to 31 places; division by zero gives 0.\n"
    "\n"
    "The result prints as '-' when negative, the integer digits ('0' when none),\n"
    "then '.' and the fraction digits without trailing zeros when any is non-zero.\n"
    "\n"
    "  --store B,P  pop the result into a DECIMAL field of B bytes (1..16) with P\n"
    "               places (0..2B-1), read it back, and print it with exactly P\n"
    "               fraction digits. Storing rounds half away from zero and keeps\n"
    "               only the low-order integer digits that fit.\n"
    "\n"
    "A malformed EXPR prints an error on standard error and exits 2.\n";

class Evaluator {
 public:
  Evaluator(std::string_view text, decimal::DecimalStack& stack) : text_(text), stack_(stack) {}

  // Leaves the value on the stack; false with error() set when malformed.
  bool Run() {
    if (!Expr(0)) return false;
    SkipBlanks();
    if (pos_ < text_.size()) return Fail("unexpected '" + std::string(1, text_[pos_]) + "'");
    return true;
  }
  const std::string& error() const { return error_; }

 private:
  bool Expr(int depth) {
    if (!Term(depth)) return false;
    for (;;) {
      const char op = Peek();
      if (op != '+' && op != '-') return true;
      ++pos_;
      if (!Term(depth)) return false;
      op == '+' ? stack_.Add() : stack_.Subtract();
    }
  }
  bool Term(int depth) {
    if (!Unary(depth)) return false;
    for (;;) {
      const char op = Peek();
      if (op != '*' && op != '/') return true;
      ++pos_;
      if (!Unary(depth)) return false;
      op == '*' ? stack_.Multiply() : stack_.Divide();
    }
  }
  bool Unary(int depth) {
    if (depth >= kMaxNesting) return Fail("expression nested too deeply");
    if (Peek() == '-') {
      ++pos_;
      if (!Unary(depth + 1)) return false;
      stack_.Negate();
      return true;
    }
    return Primary(depth);
  }
  bool Primary(int depth) {
    const char c = Peek();
    if (c == '(') {
      ++pos_;
      if (!Expr(depth + 1)) return false;
      if (Peek() != ')') return Fail("missing ')'");
      ++pos_;
      return true;
    }
    if (c < '0' || c > '9') {
      return Fail(pos_ < text_.size() ? "unexpected '" + std::string(1, c) + "'" : "unexpected end of expression");
    }
    const std::size_t begin = pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      if (pos_ >= text_.size() || !IsDigit(text_[pos_])) return Fail("a '.' needs fraction digits");
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    }
    stack_.PushText(text_.substr(begin, pos_ - begin));
    return true;
  }

  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  char Peek() {
    SkipBlanks();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message) + " at position " + std::to_string(pos_ + 1);
    return false;
  }

  std::string_view text_;
  decimal::DecimalStack& stack_;
  std::size_t pos_ = 0;
  std::string error_;
};

bool ParseInt(std::string_view text, int& value) {
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// "B,P" of --store.
bool ParseStore(std::string_view text, int& bytes, int& places) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return false;
  if (!ParseInt(text.substr(0, comma), bytes) || !ParseInt(text.substr(comma + 1), places)) return false;
  return bytes >= 1 && bytes <= 16 && places >= 0 && places <= 2 * bytes - 1;
}

}  // namespace

int RunDecimal(std::span<const std::string_view> args) {
  std::string_view expr;
  bool have_expr = false;
  int bytes = 0, places = 0;
  bool store = false, options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (options_done) {
      if (have_expr) return UsageError("decimal", "one expression only");
      expr = args[i];
      have_expr = true;
      continue;
    }
    if (args[i] == "--") {
      options_done = true;
      continue;
    }
    if (args[i] == "--help" || args[i] == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (args[i] == "--store" || args[i].starts_with("--store=")) {
      std::string_view value;
      if (args[i] == "--store") {
        if (i + 1 >= args.size()) return UsageError("decimal", "--store needs B,P");
        value = args[++i];
      } else {
        value = args[i].substr(8);
      }
      if (!ParseStore(value, bytes, places)) {
        return UsageError("decimal", "--store wants B,P with B 1..16 and P 0..2B-1");
      }
      store = true;
    } else if (!have_expr) {
      expr = args[i];
      have_expr = true;
    } else {
      return UsageError("decimal", "one expression only");
    }
  }
  if (!have_expr) return UsageError("decimal", "missing EXPR");

  decimal::DecimalStack& stack = decimal::ProcessDecimalStack();
  const std::uint8_t depth = stack.depth();
  Evaluator evaluator(expr, stack);
  if (!evaluator.Run()) {
    while (stack.depth() != depth) stack.Pop();
    std::fprintf(stderr, "tavero decimal: %s\n", evaluator.error().c_str());
    return 2;
  }
  if (!store) {
    std::printf("%s\n", stack.Pop().ToText().c_str());
    return 0;
  }
  std::vector<std::uint8_t> field(static_cast<std::size_t>(bytes));
  stack.PopDecimal(field, places);
  const decimal::DecimalAccumulator stored = decimal::ReadPacked(decimal::PackedForm::kDecimal, field, places);
  std::printf("%s\n", stored.ToFixedText(places).c_str());
  return 0;
}

}  // namespace tavero::tool
