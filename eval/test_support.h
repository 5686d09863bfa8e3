// Helpers shared by the evaluator's tests.
#pragma once

#include <string>
#include <string_view>

#include "eval/eval.h"
#include "runtime/error_state.h"

namespace tavero::eval {

// The value of `text` as `tavero eval` prints it (strings in quotes), or
// "error N" when it does not compile.
inline std::string Show(std::string_view text) {
  const std::optional<Value> v = Evaluate(text);
  if (!v) return "error " + std::to_string(ErrorCode());
  switch (v->value_class) {
    case ValueClass::Truth:
    case ValueClass::Long: return std::to_string(v->long_value);
    case ValueClass::Real: return RealToText(v->real_value);
    default: return "'" + v->text + "'";
  }
}

// One row of a table of expressions and what they show.
struct Case {
  const char* text;
  const char* shown;
};

}  // namespace tavero::eval
