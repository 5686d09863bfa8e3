// The symbol table of each thread (invariants in symbol_table.h) and BIND.
#include "eval/symbol_table.h"

#include <cassert>
#include <utility>

#include "eval/builtins.h"
#include "eval/services.h"

namespace tavero::eval {
namespace {

// Releases a subtree without deep recursion: a long chain of names bound in
// sorted order would otherwise overflow the stack on destruction.
void ReleaseTree(std::unique_ptr<Symbol> root) {
  std::vector<std::unique_ptr<Symbol>> pending;
  if (root) pending.push_back(std::move(root));
  while (!pending.empty()) {
    std::unique_ptr<Symbol> s = std::move(pending.back());
    pending.pop_back();
    if (s->left) pending.push_back(std::move(s->left));
    if (s->right) pending.push_back(std::move(s->right));
  }
}

// One table of names per thread: each engine thread binds its own
// instances of the data files' records, so a filter compiled on one thread
// reads that thread's records and never another's.
struct ThreadTable {
  ~ThreadTable() { ReleaseTree(std::move(root)); }
  std::unique_ptr<Symbol> root;
};

std::unique_ptr<Symbol>& Root() {
  thread_local ThreadTable table;
  return table.root;
}

// Inserts below `root` without creating the table (used while filling it).
void InsertInto(std::unique_ptr<Symbol>& root, Symbol symbol) {
  std::unique_ptr<Symbol>* slot = &root;
  while (*slot) {
    const int order = services::CompareNoCase(symbol.name, (*slot)->name);
    if (order == 0) {
      // A rebind replaces the entry's contents; its place in the tree stays.
      Symbol& existing = **slot;
      symbol.left = std::move(existing.left);
      symbol.right = std::move(existing.right);
      existing = std::move(symbol);
      return;
    }
    slot = order < 0 ? &(*slot)->left : &(*slot)->right;
  }
  *slot = std::make_unique<Symbol>(std::move(symbol));
}

std::unique_ptr<Symbol>& Table() {
  std::unique_ptr<Symbol>& root = Root();
  if (root) return root;
  Symbol middle;
  middle.name = "MMMMMMM";
  InsertInto(root, std::move(middle));
  constexpr std::pair<std::string_view, int> kKeywords[] = {
      {"NOT", kNot}, {"AND", kAnd}, {"OR", kOr}, {"XOR", kXor}};
  for (const auto& [name, code] : kKeywords) {
    Symbol s;
    s.kind = SymbolKind::Keyword;
    s.name = name;
    s.value_class = ValueClass::Truth;
    s.operator_or_arity = code;
    InsertInto(root, std::move(s));
  }
  for (const BuiltinFunction& f : BuiltinFunctions()) {
    Symbol s;
    s.kind = SymbolKind::Function;
    s.name = f.name;
    s.value_class = f.result;
    s.operator_or_arity = f.arity;
    s.function_code = f.code;
    InsertInto(root, std::move(s));
  }
  return root;
}

}  // namespace

const Symbol* LookUpSymbol(std::string_view name) {
  const Symbol* s = Table().get();
  while (s) {
    const int order = services::CompareNoCase(name, s->name);
    if (order == 0) return s->kind == SymbolKind::None ? nullptr : s;
    s = order < 0 ? s->left.get() : s->right.get();
  }
  return nullptr;
}

void InsertSymbol(Symbol symbol) {
  if (symbol.name.size() > kMaxNameLength) symbol.name.resize(kMaxNameLength);
  InsertInto(Table(), std::move(symbol));
}

void Bind(std::string_view name, const Variable& variable) {
  assert(variable.address != nullptr);
  Symbol s;
  s.kind = SymbolKind::Variable;
  s.name = std::string(name);
  s.value_class = ClassOfFieldType(variable.type);
  s.variable = variable;
  InsertSymbol(std::move(s));
}

void BindProcedure(std::string_view name, ValueClass result_class, int arity,
                   BoundProcedure procedure) {
  assert(procedure && arity >= 0);
  Symbol s;
  s.kind = SymbolKind::Variable;
  s.name = std::string(name);
  s.value_class = result_class;
  s.operator_or_arity = arity;
  s.procedure = std::move(procedure);
  InsertSymbol(std::move(s));
}

void ReleaseBindings() { ReleaseTree(std::move(Root())); }

}  // namespace tavero::eval
