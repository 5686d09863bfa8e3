// The symbol table, one per thread: one binary search tree of names ordered
// by the case-insensitive collating comparison, so names in an expression
// match bound and built-in names regardless of case. A name bound on one
// thread is unknown to the others.
//
// Invariants:
//  (1) The tree exists from its first use until ReleaseBindings; it always has
//      the root "MMMMMMM" (a name in the middle of the alphabet that keeps the
//      tree of built-in names balanced) and every built-in name.
//  (2) In-order traversal is strictly increasing under CompareNoCase: a name
//      occurs once; inserting it again replaces the entry's contents.
//  (3) The root entry has kind None and never matches a lookup.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "eval/eval.h"

namespace tavero::eval {

enum class SymbolKind : std::uint8_t {
  None = 0,      // the "MMMMMMM" root
  Variable = 1,  // bound variable or bound procedure
  Keyword = 4,   // NOT AND OR XOR
  Function = 6,  // built-in function
};

struct Symbol {
  SymbolKind kind = SymbolKind::None;
  std::string name;
  ValueClass value_class = ValueClass::Long;
  int operator_or_arity = 0;  // keyword: operator code; function/procedure: arity
  int function_code = 0;      // built-in function code
  Variable variable;          // bound variables
  BoundProcedure procedure;   // bound procedures (kind Variable with code)
  std::unique_ptr<Symbol> left, right;
};

// The longest name BIND keeps.
inline constexpr std::size_t kMaxNameLength = 100;

// Finds `name`; null when it is not in the table (or is the root entry).
const Symbol* LookUpSymbol(std::string_view name);
// Inserts or replaces the entry of `symbol.name` (cut to kMaxNameLength).
void InsertSymbol(Symbol symbol);

}  // namespace tavero::eval
