// Literal, variable, operator and procedure nodes, and the evaluation rules:
// arithmetic always in double precision, comparisons as integers, strings
// (collation) or reals (tolerant equality), AND/OR/XOR without short cut.
#include "eval/nodes.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "eval/services.h"

namespace tavero::eval {

std::int32_t RealToLong(double value) {
  const double t = std::trunc(value);
  if (!(t >= -2147483648.0 && t <= 2147483647.0)) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(t);
}

bool StringTruth(std::string_view text) {
  return text.find_last_not_of(' ') != std::string_view::npos;
}

std::string RealToText(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

double TextToReal(std::string_view text) {
  // Hand-rolled so that the locale of the C library never matters and the
  // text need not be terminated.
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string digits;  // mantissa for strtod, in the C form
  bool any = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') digits += text[i++], any = true;
  if (i < text.size() && text[i] == '.') {
    digits += text[i++];
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') digits += text[i++], any = true;
  }
  if (!any) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '-' || text[j] == '+')) exponent += text[j++];
    bool exponent_digits = false;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9' && exponent.size() < 8) {
      exponent += text[j++];
      exponent_digits = true;
    }
    if (exponent_digits) digits += exponent;
  }
  const double v = std::strtod(digits.c_str(), nullptr);
  return negative ? -v : v;
}

bool Node::Truth() const {
  switch (value_class_) {
    case ValueClass::Truth:
    case ValueClass::Long: return Long() != 0;
    case ValueClass::Real: return Real() != 0.0;
    case ValueClass::Picture:
    case ValueClass::String: return StringTruth(String());
  }
  return false;
}

namespace {

// ---- literals --------------------------------------------------------------

class LongLiteral final : public Node {
 public:
  explicit LongLiteral(std::int32_t v) : Node(NodeKind::Literal, 0, ValueClass::Long), v_(v) {}
  std::int32_t Long() const override { return v_; }
  double Real() const override { return v_; }
  std::string String() const override { return std::to_string(v_); }

 private:
  std::int32_t v_;
};

class RealLiteral final : public Node {
 public:
  explicit RealLiteral(double v) : Node(NodeKind::Literal, 0, ValueClass::Real), v_(v) {}
  std::int32_t Long() const override { return RealToLong(v_); }
  double Real() const override { return v_; }
  std::string String() const override { return RealToText(v_); }

 private:
  double v_;
};

class StringLiteral final : public Node {
 public:
  StringLiteral(std::string text, ValueClass c)
      : Node(NodeKind::Literal, 0, c), text_(std::move(text)), number_(TextToReal(text_)) {}
  std::int32_t Long() const override { return RealToLong(number_); }
  double Real() const override { return number_; }
  std::string String() const override { return text_; }
  bool Truth() const override { return truth_; }

 private:
  std::string text_;
  double number_;
  bool truth_ = StringTruth(text_);
};

// ---- variables -------------------------------------------------------------

class VariableNode final : public Node {
 public:
  VariableNode(const Variable& variable, std::vector<NodePointer> subscripts, NodePointer from,
               NodePointer to)
      : Node(NodeKind::Variable, 0,
             SelectsText(variable, subscripts.size(), from != nullptr)
                 ? ValueClass::String
                 : ClassOfFieldType(variable.type)),
        variable_(variable),
        first_(ElementOf(variable_, 0)),
        subscripts_(std::move(subscripts)),
        from_(std::move(from)),
        to_(std::move(to)) {
    assert((from_ == nullptr) == (to_ == nullptr));
    assert(subscripts_.size() == 0 || subscripts_.size() >= variable_.dimensions.size());
  }

  std::int32_t Long() const override {
    if (!Subscripted()) return ElementLong(first_);
    if (value_class() == ValueClass::String) return RealToLong(TextToReal(String()));
    const auto element = SelectedElement();
    return element ? ElementLong(ElementOf(variable_, *element)) : 0;
  }
  double Real() const override {
    if (!Subscripted()) return ElementReal(first_);
    if (value_class() == ValueClass::String) return TextToReal(String());
    const auto element = SelectedElement();
    return element ? ElementReal(ElementOf(variable_, *element)) : 0;
  }
  std::string String() const override {
    if (!Subscripted()) return ElementString(first_);
    const auto element = SelectedElement();
    if (!element) return {};
    std::string text = ElementString(ElementOf(variable_, *element));
    const std::size_t dims = variable_.dimensions.size();
    std::int64_t first = 1, last = static_cast<std::int64_t>(text.size());
    if (from_) {
      first = from_->Long();
      last = to_->Long();
    } else if (subscripts_.size() > dims) {
      first = last = subscripts_[dims]->Long();
    } else {
      return text;
    }
    if (first < 1 || last < first || first > static_cast<std::int64_t>(text.size())) return {};
    last = std::min<std::int64_t>(last, static_cast<std::int64_t>(text.size()));
    return text.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 1));
  }

  std::span<const std::unique_ptr<Node>> Operands() const override { return subscripts_; }
  const Variable* BoundVariable() const override { return &variable_; }
  bool Subscripted() const override { return !subscripts_.empty() || from_ != nullptr; }

 private:
  static bool SelectsText(const Variable& v, std::size_t subscripts, bool range) {
    return range || subscripts > v.dimensions.size();
  }

  // The 0-based element the subscripts select; nothing when one is out of range.
  std::optional<std::uint32_t> SelectedElement() const {
    const std::size_t dims = variable_.dimensions.size();
    if (dims == 0 || subscripts_.empty()) return 0;
    std::uint64_t index = 0;
    for (std::size_t d = 0; d < dims; ++d) {
      const std::int32_t s = subscripts_[d]->Long();
      const std::uint32_t extent = std::max<std::uint32_t>(variable_.dimensions[d], 1);
      if (s < 1 || static_cast<std::uint32_t>(s) > extent) return std::nullopt;
      index = index * extent + static_cast<std::uint32_t>(s - 1);
    }
    if (index >= variable_.ElementCount()) return std::nullopt;
    return static_cast<std::uint32_t>(index);
  }

  Variable variable_;
  Element first_;  // the element an unsubscripted reference reads
  std::vector<NodePointer> subscripts_;
  NodePointer from_, to_;
};

// ---- operators -------------------------------------------------------------

class BinaryNode : public Node {
 public:
  BinaryNode(int code, ValueClass c, NodePointer left, NodePointer right)
      : Node(NodeKind::Operator, code, c) {
    operands_[0] = std::move(left);
    operands_[1] = std::move(right);
  }
  std::span<const std::unique_ptr<Node>> Operands() const override { return operands_; }

 protected:
  const Node& left() const { return *operands_[0]; }
  const Node& right() const { return *operands_[1]; }

 private:
  NodePointer operands_[2];
};

class ArithmeticNode final : public BinaryNode {
 public:
  ArithmeticNode(int code, NodePointer l, NodePointer r)
      : BinaryNode(code, ValueClass::Real, std::move(l), std::move(r)) {}
  double Real() const override {
    const double a = left().Real();
    const double b = right().Real();
    switch (code()) {
      case kPower: return std::pow(a, b);
      case kMultiply: return a * b;
      case kDivide: return a / b;
      case kModulo: return std::fmod(a, b);
      case kAdd: return a + b;
      case kSubtract: return a - b;
    }
    assert(false && "not an arithmetic operator");
    return 0;
  }
  std::int32_t Long() const override { return RealToLong(Real()); }
  std::string String() const override { return RealToText(Real()); }
};

class ConcatenateNode final : public BinaryNode {
 public:
  ConcatenateNode(NodePointer l, NodePointer r)
      : BinaryNode(kConcatenate, ValueClass::String, std::move(l), std::move(r)) {}
  std::string String() const override { return left().String() + right().String(); }
  double Real() const override { return TextToReal(String()); }
  std::int32_t Long() const override { return RealToLong(Real()); }
};

// Equal when the difference is zero or negligible: its binary exponent at
// least 50 below the exponents of both operands.
bool RealsEqual(double a, double b) {
  if (a == b) return true;
  const double difference = a - b;
  if (std::isnan(difference) || std::isinf(difference)) return false;
  int ea = 0, eb = 0, ed = 0;
  std::frexp(a, &ea);
  std::frexp(b, &eb);
  std::frexp(difference, &ed);
  return ed <= ea - 50 && ed <= eb - 50;
}

class TruthNode : public BinaryNode {
 public:
  using BinaryNode::BinaryNode;
  std::int32_t Long() const override { return Truth() ? 1 : 0; }
  double Real() const override { return Truth() ? 1 : 0; }
  std::string String() const override { return Truth() ? "1" : "0"; }
};

class ComparisonNode final : public TruthNode {
 public:
  ComparisonNode(int code, NodePointer l, NodePointer r)
      : TruthNode(code, ValueClass::Truth, std::move(l), std::move(r)) {
    const auto integral = [](ValueClass c) { return c == ValueClass::Long || c == ValueClass::Truth; };
    const ValueClass a = left().value_class(), b = right().value_class();
    mode_ = integral(a) && integral(b) ? Mode::Integer
            : a == ValueClass::String && b == ValueClass::String ? Mode::Text
                                                                 : Mode::Real;
    // Two plain integer fields ("SET:SET_No = CAR:SET_No"): read directly.
    const Variable* x = left().BoundVariable();
    const Variable* y = right().BoundVariable();
    if (mode_ == Mode::Integer && x && y && !left().Subscripted() && !right().Subscripted()) {
      mode_ = Mode::IntegerFields;
      fields_[0] = ElementOf(*x, 0);
      fields_[1] = ElementOf(*y, 0);
    }
  }
  bool Truth() const override {
    int order = 0;
    switch (mode_) {
      case Mode::IntegerFields: {
        const std::int32_t a = ElementLong(fields_[0]), b = ElementLong(fields_[1]);
        order = a < b ? -1 : a > b ? 1 : 0;
        break;
      }
      case Mode::Integer: {
        const std::int32_t a = left().Long(), b = right().Long();
        order = a < b ? -1 : a > b ? 1 : 0;
        break;
      }
      case Mode::Text: order = services::CompareStrings(left().String(), right().String()); break;
      case Mode::Real: {
        const double a = left().Real(), b = right().Real();
        order = RealsEqual(a, b) ? 0 : a < b ? -1 : 1;
        break;
      }
    }
    switch (code()) {
      case kEqual: return order == 0;
      case kNotEqual: return order != 0;
      case kLess: return order < 0;
      case kGreater: return order > 0;
      case kLessOrEqual: return order <= 0;
      case kGreaterOrEqual: return order >= 0;
    }
    assert(false && "not a comparison");
    return false;
  }

 private:
  enum class Mode { IntegerFields, Integer, Text, Real } mode_;
  Element fields_[2];
};

class LogicalNode final : public TruthNode {
 public:
  LogicalNode(int code, NodePointer l, NodePointer r)
      : TruthNode(code, ValueClass::Truth, std::move(l), std::move(r)) {}
  bool Truth() const override {
    // Both sides are always evaluated: no short cut.
    const bool a = left().Truth();
    const bool b = right().Truth();
    switch (code()) {
      case kAnd: return a && b;
      case kOr: return a || b;
      case kXor: return a != b;
    }
    assert(false && "not a logical operator");
    return false;
  }
};

class UnaryNode : public Node {
 public:
  UnaryNode(int code, ValueClass c, NodePointer operand) : Node(NodeKind::Operator, code, c) {
    operand_[0] = std::move(operand);
  }
  std::span<const std::unique_ptr<Node>> Operands() const override { return operand_; }

 protected:
  const Node& operand() const { return *operand_[0]; }

 private:
  NodePointer operand_[1];
};

class NotNode final : public UnaryNode {
 public:
  explicit NotNode(NodePointer operand) : UnaryNode(kNot, ValueClass::Truth, std::move(operand)) {}
  bool Truth() const override { return !operand().Truth(); }
  std::int32_t Long() const override { return Truth() ? 1 : 0; }
  double Real() const override { return Truth() ? 1 : 0; }
  std::string String() const override { return Truth() ? "1" : "0"; }
};

class NegateNode final : public UnaryNode {
 public:
  explicit NegateNode(NodePointer operand)
      : UnaryNode(kNegate, ValueClass::Real, std::move(operand)) {}
  double Real() const override { return -operand().Real(); }
  std::int32_t Long() const override { return RealToLong(Real()); }
  std::string String() const override { return RealToText(Real()); }
};

// ---- bound procedures ------------------------------------------------------

std::int32_t ValueAsLong(const Value& v) {
  switch (v.value_class) {
    case ValueClass::Truth:
    case ValueClass::Long: return v.long_value;
    case ValueClass::Real: return RealToLong(v.real_value);
    default: return RealToLong(TextToReal(v.text));
  }
}
double ValueAsReal(const Value& v) {
  switch (v.value_class) {
    case ValueClass::Truth:
    case ValueClass::Long: return v.long_value;
    case ValueClass::Real: return v.real_value;
    default: return TextToReal(v.text);
  }
}
std::string ValueAsString(const Value& v) {
  switch (v.value_class) {
    case ValueClass::Truth:
    case ValueClass::Long: return std::to_string(v.long_value);
    case ValueClass::Real: return RealToText(v.real_value);
    default: return v.text;
  }
}

Value EvaluateInOwnClass(const Node& n) {
  switch (n.value_class()) {
    case ValueClass::Truth:
    case ValueClass::Long: return {n.value_class(), n.Long(), 0, {}};
    case ValueClass::Real: return Value::OfReal(n.Real());
    default: return {n.value_class(), 0, 0, n.String()};
  }
}

class ProcedureNode final : public Node {
 public:
  ProcedureNode(BoundProcedure procedure, ValueClass c, std::vector<NodePointer> arguments)
      : Node(NodeKind::Procedure, 0, c),
        procedure_(std::move(procedure)),
        arguments_(std::move(arguments)) {}
  std::int32_t Long() const override { return ValueAsLong(Call()); }
  double Real() const override { return ValueAsReal(Call()); }
  std::string String() const override { return ValueAsString(Call()); }
  std::span<const std::unique_ptr<Node>> Operands() const override { return arguments_; }

 private:
  Value Call() const {
    std::vector<Value> values(arguments_.size());
    // Arguments are evaluated last first.
    for (std::size_t i = arguments_.size(); i-- > 0;) values[i] = EvaluateInOwnClass(*arguments_[i]);
    return procedure_(values);
  }

  BoundProcedure procedure_;
  std::vector<NodePointer> arguments_;
};

}  // namespace

Value Expression::Evaluate() const { return EvaluateInOwnClass(root()); }

NodePointer MakeLongLiteral(std::int32_t value) { return std::make_unique<LongLiteral>(value); }
NodePointer MakeRealLiteral(double value) { return std::make_unique<RealLiteral>(value); }
NodePointer MakeStringLiteral(std::string text) {
  return std::make_unique<StringLiteral>(std::move(text), ValueClass::String);
}
NodePointer MakePictureLiteral(std::string text) {
  return std::make_unique<StringLiteral>(std::move(text), ValueClass::Picture);
}

NodePointer MakeVariableNode(const Variable& variable, std::vector<NodePointer> subscripts,
                             NodePointer range_from, NodePointer range_to) {
  return std::make_unique<VariableNode>(variable, std::move(subscripts), std::move(range_from),
                                        std::move(range_to));
}

NodePointer MakeBinaryNode(int code, NodePointer left, NodePointer right) {
  switch (code) {
    case kPower:
    case kMultiply:
    case kDivide:
    case kModulo:
    case kAdd:
    case kSubtract: return std::make_unique<ArithmeticNode>(code, std::move(left), std::move(right));
    case kConcatenate: return std::make_unique<ConcatenateNode>(std::move(left), std::move(right));
    case kEqual:
    case kNotEqual:
    case kLess:
    case kGreater:
    case kLessOrEqual:
    case kGreaterOrEqual:
      return std::make_unique<ComparisonNode>(code, std::move(left), std::move(right));
    case kAnd:
    case kOr:
    case kXor: return std::make_unique<LogicalNode>(code, std::move(left), std::move(right));
  }
  assert(false && "not a binary operator");
  return nullptr;
}

NodePointer MakeNotNode(NodePointer operand) { return std::make_unique<NotNode>(std::move(operand)); }
NodePointer MakeNegateNode(NodePointer operand) {
  return std::make_unique<NegateNode>(std::move(operand));
}

NodePointer MakeProcedureNode(BoundProcedure procedure, ValueClass result_class,
                              std::vector<NodePointer> arguments) {
  return std::make_unique<ProcedureNode>(std::move(procedure), result_class, std::move(arguments));
}

}  // namespace tavero::eval
