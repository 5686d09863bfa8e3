// The built-in functions: their table (name, arguments, code, result) and
// the nodes that compute them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "eval/eval.h"

namespace tavero::eval {

struct BuiltinFunction {
  std::string_view name;
  int arity;         // most arguments
  int required;      // fewest arguments; the rest take their defaults
  int code;
  ValueClass result;
};

// Every built-in function, in code order (MEMORY 1 ... AGE 41).
std::span<const BuiltinFunction> BuiltinFunctions();
const BuiltinFunction* BuiltinByCode(int code);

// A node calling built-in `code` with `arguments` (already completed with the
// defaults of omitted trailing arguments).
NodePointer MakeFunctionNode(const BuiltinFunction& function, std::vector<NodePointer> arguments);
// The default value of argument `index` (0-based) of built-in `code` when it
// is omitted; null when that argument is required.
NodePointer DefaultArgument(int code, int index);

// The runtime's pseudo-random generator: the next value 0..32767.
std::uint32_t NextRandom();
// RANDOM (low, high).
std::int32_t RandomBetween(std::int32_t low, std::int32_t high);
// ROUND (value, step).
double RoundToStep(double value, double step);
// BSHIFT (value, count).
std::int32_t ShiftBits(std::int32_t value, std::int32_t count);

}  // namespace tavero::eval
