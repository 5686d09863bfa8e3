// The node classes of a compiled tree and the conversions between value
// classes that they share.
#pragma once

#include <cstdint>
#include <cstring>
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

// One element of a variable: where it is, its size, and how to read it.
struct Element {
  const std::uint8_t* address = nullptr;
  std::uint32_t size = 0;
  std::uint8_t type = 0;
  std::uint8_t places = 0;
};
// Element `index` (0-based) of `variable`.
Element ElementOf(const Variable& variable, std::uint32_t index);
// An element's value in each class. Integer fields, the filters' usual
// operands, are read inline.
std::int32_t ElementLongByConversion(const Element& e);
inline std::int32_t ElementLong(const Element& e) {
  switch (e.type) {
    case 2:
      if (e.size >= 2) {
        std::int16_t v;
        std::memcpy(&v, e.address, 2);
        return v;
      }
      break;
    case 6:
      if (e.size >= 4) {
        std::int32_t v;
        std::memcpy(&v, e.address, 4);
        return v;
      }
      break;
  }
  return ElementLongByConversion(e);
}
double ElementReal(const Element& e);
std::string ElementString(const Element& e);

}  // namespace tavero::eval
