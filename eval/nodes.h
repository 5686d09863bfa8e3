// The node classes of a compiled tree and the conversions between value
// classes that they share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "eval/eval.h"

namespace tavero::eval {

// A real asked for as a long: truncated toward zero. Values outside the long
// range (and NaN) give the integer-indefinite value -2147483648, as the
// processor's own conversion does.
std::int32_t RealToLong(double value);
// Truth of a string: not empty after removing trailing blanks.
bool StringTruth(std::string_view text);

NodePointer MakeLongLiteral(std::int32_t value);
NodePointer MakeRealLiteral(double value);
NodePointer MakeStringLiteral(std::string text);
NodePointer MakePictureLiteral(std::string text);

// A variable, optionally subscripted: `subscripts` select the element (one
// per dimension); a further subscript selects one character of the string
// value, and a range `from`:`to` (both given or both null) selects a
// substring. Positions are 1-based; positions outside the value give an
// empty string (or a zero element).
NodePointer MakeVariableNode(const Variable& variable, std::vector<NodePointer> subscripts,
                             NodePointer range_from, NodePointer range_to);

// Binary operators: arithmetic, '&', comparisons, AND, OR, XOR.
NodePointer MakeBinaryNode(int code, NodePointer left, NodePointer right);
NodePointer MakeNotNode(NodePointer operand);
NodePointer MakeNegateNode(NodePointer operand);

NodePointer MakeProcedureNode(BoundProcedure procedure, ValueClass result_class,
                              std::vector<NodePointer> arguments);

// Reads a variable's element `index` (0-based) in the variable's class.
std::int32_t VariableLong(const Variable& variable, std::uint32_t index);
double VariableReal(const Variable& variable, std::uint32_t index);
std::string VariableString(const Variable& variable, std::uint32_t index);

}  // namespace tavero::eval
