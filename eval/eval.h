// The expression evaluator: BIND makes program variables known by name,
// Compile turns the text of an expression ("SET:SET_No = CAR:SET_No") into a
// tree of nodes, and the tree computes its value on demand. EVALUATE compiles
// and evaluates in one step. View filters are compiled once and evaluated for
// every candidate record.
//
// Expressions are text typed by users or read from definitions: any text is
// accepted and either compiles or fails with an error code, never a crash.
// Each thread has its own symbol table: BIND makes a name known to the
// calling thread only, and Compile looks names up in the calling thread's
// table (each engine thread binds its own instances of the data files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavero::eval {

// The class of value a node delivers.
enum class ValueClass : std::uint8_t {
  Truth = 0,    // result of comparisons and logical operators
  Long = 1,     // 32-bit signed integer
  Real = 2,     // double precision
  Picture = 3,  // a picture literal (@n-10.2), only meaningful to FORMAT and DEFORMAT
  String = 4,
};

// The evaluator posts error_code::kInvalidExpressionForEvaluate (800) and
// error_code::kNoBindOnVariable (801), from runtime/error_codes.h.

// A program variable as the record model describes it: where it lives, its
// field type code, its total size in bytes, and for arrays their dimensions.
// The evaluator only reads through `address`; the variable must outlive every
// tree compiled while it was bound.
struct Variable {
  const std::uint8_t* address = nullptr;
  std::uint8_t type = 0;       // field type code (6 INT32, 10 PACKED, 18 FIXSTR ...)
  std::uint32_t size = 0;      // total bytes, all elements
  std::uint8_t places = 0;     // decimal places of PACKED and PACKED2
  std::vector<std::uint32_t> dimensions;  // element counts per dimension; empty for a scalar

  std::uint32_t ElementCount() const;
  std::uint32_t ElementSize() const { return size / ElementCount(); }
};

// The class a variable of the given field type evaluates as: integer types
// (codes below 7) are long, string types (18 and above) are string, all
// others (reals and decimals) real.
ValueClass ClassOfFieldType(std::uint8_t type);

// A computed value together with its class.
struct Value {
  ValueClass value_class = ValueClass::Long;
  std::int32_t long_value = 0;  // Truth and Long
  double real_value = 0;        // Real
  std::string text;             // String and Picture

  static Value OfLong(std::int32_t v) { return {ValueClass::Long, v, 0, {}}; }
  static Value OfReal(double v) { return {ValueClass::Real, 0, v, {}}; }
  static Value OfString(std::string v) { return {ValueClass::String, 0, 0, std::move(v)}; }
};

// A procedure made known to expressions. It receives its arguments already
// evaluated (each in its own class), and answers a value of its bound class.
using BoundProcedure = std::function<Value(std::span<const Value> arguments)>;

// BIND (name, variable): `name` (at most 100 characters count) now refers to
// `variable`; a name bound before refers to the latest variable.
void Bind(std::string_view name, const Variable& variable);

// BIND of a record group: binds every named field of the record `layout`
// (the RecordLayout stream) under its stored name, the fields living in
// `record`; nested groups are bound under their own name and then their
// members. A layout that is not a group is refused with the runtime report
// "Parameter typing error" and binds nothing; returns false then.
bool BindGroup(std::span<const std::uint8_t> layout, std::span<const std::uint8_t> record);

// Binds a procedure of `arity` arguments whose result has `result_class`.
void BindProcedure(std::string_view name, ValueClass result_class, int arity,
                   BoundProcedure procedure);

// Frees the calling thread's whole symbol table; it is rebuilt with the built-in names on next
// use. Trees compiled earlier stay valid (they hold copies of what they use).
void ReleaseBindings();

// What a node is.
enum class NodeKind : std::uint8_t {
  Literal,    // long, real, string or picture constant
  Variable,   // a bound variable, maybe subscripted
  Operator,   // code() is the operator code (see below)
  Function,   // code() is the built-in function code
  Procedure,  // a bound procedure
};

// Operator codes.
enum Operator : int {
  kPower = 2, kMultiply = 3, kDivide = 4, kModulo = 5, kAdd = 7, kSubtract = 8,
  kConcatenate = 9, kEqual = 10, kNotEqual = 11, kLess = 12, kGreater = 13,
  kLessOrEqual = 14, kGreaterOrEqual = 15, kNot = 16, kAnd = 17, kOr = 18, kXor = 19,
  kNegate = 22,  // unary minus
};

// One node of a compiled tree. Every node evaluates as long, real, string or
// truth whatever its own class; the rules convert between classes.
class Node {
 public:
  Node(NodeKind kind, int code, ValueClass value_class)
      : kind_(kind), code_(code), value_class_(value_class) {}
  virtual ~Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  NodeKind kind() const { return kind_; }
  int code() const { return code_; }
  ValueClass value_class() const { return value_class_; }

  virtual std::int32_t Long() const = 0;
  virtual double Real() const = 0;
  virtual std::string String() const = 0;
  virtual bool Truth() const;

  // Operands of operators and arguments of functions, in source order.
  virtual std::span<const std::unique_ptr<Node>> Operands() const { return {}; }
  // For Variable nodes: the variable, and whether it is subscripted.
  virtual const Variable* BoundVariable() const { return nullptr; }
  virtual bool Subscripted() const { return false; }

 private:
  NodeKind kind_;
  int code_;
  ValueClass value_class_;
};

using NodePointer = std::unique_ptr<Node>;

// A compiled expression: owns its tree. Moving is cheap; releasing the
// expression releases the whole tree.
class Expression {
 public:
  explicit Expression(NodePointer root) : root_(std::move(root)) {}

  const Node& root() const { return *root_; }
  ValueClass value_class() const { return root_->value_class(); }
  bool Truth() const { return root_->Truth(); }
  std::int32_t Long() const { return root_->Long(); }
  double Real() const { return root_->Real(); }
  std::string String() const { return root_->String(); }
  // The value in the expression's own class.
  Value Evaluate() const;

 private:
  NodePointer root_;
};

// The outcome of a compilation: an expression, or the error (800 for a
// syntax error, 801 for a name nobody bound).
struct CompileResult {
  std::optional<Expression> expression;
  int error = 0;
};

// Compiles `text`. An unbound name posts 801 "No BIND on variable"; a syntax
// error posts nothing (the caller decides). On failure nothing is kept.
CompileResult Compile(std::string_view text);

// EVALUATE (text): compiles and evaluates. On failure posts 800 "Invalid
// expression for EVALUATE" for a syntax error (801 stays posted for an
// unbound name) and returns nothing.
std::optional<Value> Evaluate(std::string_view text);

// The text of a real as `&` and string conversions produce it ("%.15g").
std::string RealToText(double value);
// The number at the start of `text` (leading blanks, sign, digits, point,
// exponent); 0 when there is none.
double TextToReal(std::string_view text);

}  // namespace tavero::eval
