// Compiling expression text into a tree, and EVALUATE.
//
// Grammar, lowest precedence first; every binary level is a left-associative
// loop:
//
//   expression    -> conjunction { (OR | XOR) conjunction }
//   conjunction   -> negation { AND negation }
//   negation      -> { NOT | '~' } comparison          odd count negates
//   comparison    -> concatenation { compare concatenation }
//   compare       -> '=' | '<' '>' | '~' '=' | NOT '=' | '<' | '>'
//                  | '<' '=' | '=' '<' | '>' '=' | '=' '>'
//   concatenation -> sum { '&' sum }
//   sum           -> product { ('+' | '-') product }
//   product       -> power { ('*' | '/' | '%') power }
//   power         -> unary { '^' unary }
//   unary         -> { '+' | '-' } primary             '-' toggles negation
//   primary       -> literal | '(' expression ')'
//                  | variable [ '[' subscripts ']' ]
//                  | function '(' [ expression { ',' expression } ] ')'
//   subscripts    -> expression { ',' expression } [ ':' expression ]
//
// A whole text must end after its expression. Nesting (brackets, arguments,
// subscripts) and the height of the tree are bounded, so hostile text gives
// a syntax error instead of exhausting the stack.
#include <cassert>

#include "eval/builtins.h"
#include "eval/nodes.h"
#include "eval/services.h"
#include "eval/symbol_table.h"
#include "eval/tokenizer.h"
#include "runtime/error_codes.h"

namespace tavero::eval {
namespace {

// Precedence levels, lowest first, and the binary operators of each.
enum : int {
  kOrLevel, kAndLevel, kNotLevel, kCompareLevel, kConcatenateLevel, kSumLevel, kProductLevel,
  kPowerLevel, kUnaryLevel,
};
constexpr int kBinaryOperators[kUnaryLevel][3] = {
    {kOr, kXor},                   // expression
    {kAnd},                        // conjunction
    {},                            // negation: NOT and '~' prefixes
    {},                            // comparison: combined tokens, see ComparisonOperator
    {kConcatenate},                // concatenation
    {kAdd, kSubtract},             // sum
    {kMultiply, kDivide, kModulo}, // product
    {kPower},                      // power
};

// Deepest nesting of brackets, arguments and subscripts.
constexpr int kMaxNesting = 64;
// Highest tree; evaluation and release recurse once per level.
constexpr int kMaxHeight = 512;

// A subtree under construction with its height.
struct Parsed {
  NodePointer node;
  int height = 0;
  explicit operator bool() const { return node != nullptr; }
};

// Why a compilation stopped.
struct Failure {
  int error;
};

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  // The tree of the whole text, or the error.
  CompileResult Run() {
    Parsed p = ExpressionLevel();
    if (p && Current().type != TokenType::End) Fail(error_code::kInvalidExpressionForEvaluate);
    if (error_ != 0) return CompileResult{std::nullopt, error_};
    return CompileResult{Expression(std::move(p.node)), 0};
  }

 private:
  // ---- tokens ------------------------------------------------------------

  const Token& Current() const { return tokens_[index_]; }
  const Token& Ahead() const {
    return index_ + 1 < tokens_.size() ? tokens_[index_ + 1] : tokens_.back();
  }
  void Advance() {
    if (index_ + 1 < tokens_.size()) ++index_;
  }
  bool IsOperator(const Token& t, int op) const { return t.type == TokenType::Operator && t.op == op; }
  // The keyword operator code of a name token (NOT, AND, OR, XOR), else 0.
  int KeywordOf(const Token& t) const {
    if (t.type != TokenType::Name) return 0;
    const Symbol* s = LookUpSymbol(t.text);
    return s && s->kind == SymbolKind::Keyword ? s->operator_or_arity : 0;
  }

  // Enters the error state: everything after is ignored.
  Parsed Fail(int error) {
    if (error_ == 0) error_ = error;
    return {};
  }

  Parsed Combine(int code, Parsed left, Parsed right) {
    const int height = std::max(left.height, right.height) + 1;
    if (height > kMaxHeight) return Fail(error_code::kInvalidExpressionForEvaluate);
    return {MakeBinaryNode(code, std::move(left.node), std::move(right.node)), height};
  }
  Parsed Wrap(NodePointer node, int height) {
    if (height > kMaxHeight) return Fail(error_code::kInvalidExpressionForEvaluate);
    return {std::move(node), height};
  }

  // ---- grammar -------------------------------------------------------------

  Parsed ExpressionLevel() {
    if (++nesting_ > kMaxNesting) return Fail(error_code::kInvalidExpressionForEvaluate);
    Parsed p = Level(kOrLevel);
    --nesting_;
    return p;
  }

  // One precedence level: negation and unary have their own rules; every
  // other level is a left-associative loop over the next level up.
  Parsed Level(int level) {
    if (level == kNotLevel) return Negation();
    if (level == kUnaryLevel) return Unary();
    Parsed left = Level(level + 1);
    while (left) {
      const int code = OperatorAt(level);
      if (code == 0) break;
      Parsed right = Level(level + 1);
      if (!right) return {};
      left = Combine(code, std::move(left), std::move(right));
    }
    return left;
  }

  // The binary operator of `level` at the current token (consumed), else 0.
  int OperatorAt(int level) {
    if (level == kCompareLevel) return ComparisonOperator();
    const Token& t = Current();
    for (const int op : kBinaryOperators[level]) {
      if (op != 0 && (IsOperator(t, op) || KeywordOf(t) == op)) {
        Advance();
        return op;
      }
    }
    return 0;
  }

  Parsed Negation() {
    bool negate = false;
    while (KeywordOf(Current()) == kNot || IsOperator(Current(), kTilde)) {
      negate = !negate;
      Advance();
    }
    Parsed p = Level(kCompareLevel);
    if (!p || !negate) return p;
    return Wrap(MakeNotNode(std::move(p.node)), p.height + 1);
  }

  // The comparison operator at the current token (consuming it), else 0.
  int ComparisonOperator() {
    const Token& t = Current();
    const Token& next = Ahead();
    int code = 0;
    int length = 1;
    if (IsOperator(t, kEqual)) {
      code = kEqual;
      if (IsOperator(next, kLess)) code = kLessOrEqual, length = 2;
      else if (IsOperator(next, kGreater)) code = kGreaterOrEqual, length = 2;
    } else if (IsOperator(t, kLess)) {
      code = kLess;
      if (IsOperator(next, kGreater)) code = kNotEqual, length = 2;
      else if (IsOperator(next, kEqual)) code = kLessOrEqual, length = 2;
    } else if (IsOperator(t, kGreater)) {
      code = kGreater;
      if (IsOperator(next, kEqual)) code = kGreaterOrEqual, length = 2;
    } else if ((IsOperator(t, kTilde) || KeywordOf(t) == kNot) && IsOperator(next, kEqual)) {
      code = kNotEqual, length = 2;
    }
    for (int i = 0; code != 0 && i < length; ++i) Advance();
    return code;
  }

  Parsed Unary() {
    bool negate = false;
    while (IsOperator(Current(), kAdd) || IsOperator(Current(), kSubtract)) {
      if (Current().op == kSubtract) negate = !negate;
      Advance();
    }
    Parsed p = Primary();
    if (!p || !negate) return p;
    return Wrap(MakeNegateNode(std::move(p.node)), p.height + 1);
  }

  Parsed Primary() {
    const Token& t = Current();
    switch (t.type) {
      case TokenType::LongLiteral: {
        NodePointer n = MakeLongLiteral(t.long_value);
        Advance();
        return {std::move(n), 1};
      }
      case TokenType::RealLiteral: {
        NodePointer n = MakeRealLiteral(t.real_value);
        Advance();
        return {std::move(n), 1};
      }
      case TokenType::StringLiteral: {
        NodePointer n = MakeStringLiteral(t.text);
        Advance();
        return {std::move(n), 1};
      }
      case TokenType::Picture: {
        NodePointer n = MakePictureLiteral(t.text);
        Advance();
        return {std::move(n), 1};
      }
      case TokenType::OpenParen: {
        Advance();
        Parsed inner = ExpressionLevel();
        if (!inner) return {};
        if (Current().type != TokenType::CloseParen) return Fail(error_code::kInvalidExpressionForEvaluate);
        Advance();
        return inner;
      }
      case TokenType::Name: return Named();
      default: return Fail(error_code::kInvalidExpressionForEvaluate);
    }
  }

  Parsed Named() {
    const Symbol* s = LookUpSymbol(Current().text);
    if (s == nullptr) {
      services::PostError(error_code::kNoBindOnVariable);
      return Fail(error_code::kNoBindOnVariable);
    }
    switch (s->kind) {
      case SymbolKind::Function: {
        const BuiltinFunction* f = BuiltinByCode(s->function_code);
        assert(f != nullptr);
        Advance();
        return Call(*f);
      }
      case SymbolKind::Variable:
        Advance();
        if (s->procedure) return CallProcedure(*s);
        return VariableReference(s->variable);
      default:  // a keyword where an operand belongs
        return Fail(error_code::kInvalidExpressionForEvaluate);
    }
  }

  // '(' [ expression { ',' expression } ] ')' with at most `most` arguments.
  bool Arguments(int most, std::vector<NodePointer>& arguments, int& height) {
    if (Current().type != TokenType::OpenParen) {
      Fail(error_code::kInvalidExpressionForEvaluate);
      return false;
    }
    Advance();
    if (Current().type == TokenType::CloseParen) {
      Advance();
      return true;
    }
    for (;;) {
      if (static_cast<int>(arguments.size()) == most) {
      Fail(error_code::kInvalidExpressionForEvaluate);
      return false;
    }
      Parsed a = ExpressionLevel();
      if (!a) return false;
      height = std::max(height, a.height);
      arguments.push_back(std::move(a.node));
      if (IsOperator(Current(), kComma)) {
        Advance();
        continue;
      }
      if (Current().type != TokenType::CloseParen) {
      Fail(error_code::kInvalidExpressionForEvaluate);
      return false;
    }
      Advance();
      return true;
    }
  }

  Parsed Call(const BuiltinFunction& f) {
    std::vector<NodePointer> arguments;
    int height = 0;
    if (!Arguments(f.arity, arguments, height)) return {};
    if (static_cast<int>(arguments.size()) < f.required) return Fail(error_code::kInvalidExpressionForEvaluate);
    while (static_cast<int>(arguments.size()) < f.arity) {
      arguments.push_back(DefaultArgument(f.code, static_cast<int>(arguments.size())));
      assert(arguments.back() != nullptr);
      height = std::max(height, 1);
    }
    return Wrap(MakeFunctionNode(f, std::move(arguments)), height + 1);
  }

  Parsed CallProcedure(const Symbol& s) {
    std::vector<NodePointer> arguments;
    int height = 0;
    if (!Arguments(s.operator_or_arity, arguments, height)) return {};
    return Wrap(MakeProcedureNode(s.procedure, s.value_class, std::move(arguments)), height + 1);
  }

  Parsed VariableReference(const Variable& variable) {
    if (Current().type != TokenType::OpenBracket) {
      return {MakeVariableNode(variable, {}, nullptr, nullptr), 1};
    }
    Advance();
    if (++nesting_ > kMaxNesting) return Fail(error_code::kInvalidExpressionForEvaluate);
    std::vector<NodePointer> subscripts;
    NodePointer from, to;
    int height = 0;
    for (;;) {
      Parsed a = ExpressionLevel();
      if (!a) return {};
      height = std::max(height, a.height);
      if (IsOperator(Current(), kColon)) {
        Advance();
        Parsed b = ExpressionLevel();
        if (!b) return {};
        height = std::max(height, b.height);
        from = std::move(a.node);
        to = std::move(b.node);
        if (Current().type != TokenType::CloseBracket) return Fail(error_code::kInvalidExpressionForEvaluate);
        break;
      }
      subscripts.push_back(std::move(a.node));
      if (IsOperator(Current(), kComma)) {
        Advance();
        continue;
      }
      if (Current().type != TokenType::CloseBracket) return Fail(error_code::kInvalidExpressionForEvaluate);
      break;
    }
    Advance();
    --nesting_;
    // Subscripts name every dimension (or none, for a substring of the
    // first element); one more selects a character.
    const std::size_t dims = variable.dimensions.size();
    const std::size_t n = subscripts.size();
    const bool valid = (n == 0 && from) || n == dims || (n == dims + 1 && !from);
    if (!valid) return Fail(error_code::kInvalidExpressionForEvaluate);
    return Wrap(MakeVariableNode(variable, std::move(subscripts), std::move(from), std::move(to)),
                height + 1);
  }

  std::vector<Token> tokens_;
  std::size_t index_ = 0;
  int nesting_ = 0;
  int error_ = 0;
};

}  // namespace

CompileResult Compile(std::string_view text) {
  // A tokenizing fault ends the token list with an Error token, which the
  // parser meets in its left-to-right reading like any misplaced token.
  std::vector<Token> tokens = Tokenize(text);
  return Parser(std::move(tokens)).Run();
}

std::optional<Value> Evaluate(std::string_view text) {
  CompileResult compiled = Compile(text);
  if (!compiled.expression) {
    if (compiled.error == error_code::kInvalidExpressionForEvaluate) services::PostError(error_code::kInvalidExpressionForEvaluate);
    return std::nullopt;
  }
  return compiled.expression->Evaluate();
}

}  // namespace tavero::eval
