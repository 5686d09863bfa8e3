// Filter analysis: which component each term of the filter needs, and which
// leading components of the order the filter bounds.
//
// The filter's top-level AND terms are asked one by one: a term is asked as
// soon as the deepest component whose fields it reads has delivered a
// record, so a primary record that fails a primary-only term is rejected
// before any joined file is read. A term of the form `field op value`, with
// `field` a field of the primary's sequence key and `value` free of the
// view's own fields, bounds that key component; the read loop uses the
// bounds of the leading components to end the view early and to jump over
// key ranges that cannot match.
#include <vector>

#include "storage/views/view_fields.h"
#include "storage/views/view_state.h"

namespace tavero::views {
namespace {

constexpr int kRandomFunction = 22;

// The component whose record holds `address`, or -1.
int ComponentOf(const ViewState& state, const std::uint8_t* address) {
  for (std::size_t c = 0; c < state.components.size(); ++c) {
    const std::span<std::uint8_t> record = state.components[c].file->record;
    if (address >= record.data() && address < record.data() + record.size()) return static_cast<int>(c);
  }
  return -1;
}

// The deepest component `node` reads (-1 for none), and whether its value
// can change while the view reads (random numbers, bound procedures).
struct Reach {
  int deepest = -1;
  bool volatile_value = false;
};

Reach ReachOf(const ViewState& state, const eval::Node& root) {
  Reach reach;
  std::vector<const eval::Node*> pending{&root};
  while (!pending.empty()) {
    const eval::Node* n = pending.back();
    pending.pop_back();
    if (const eval::Variable* v = n->BoundVariable()) {
      reach.deepest = std::max(reach.deepest, ComponentOf(state, v->address));
    }
    if (n->kind() == eval::NodeKind::Procedure ||
        (n->kind() == eval::NodeKind::Function && n->code() == kRandomFunction)) {
      reach.volatile_value = true;
    }
    for (const auto& operand : n->Operands()) pending.push_back(operand.get());
  }
  return reach;
}

// The primary field a plain (unsubscripted) variable node names, or -1.
long PrimaryField(const ViewState& state, const eval::Node& node) {
  const eval::Variable* v = node.BoundVariable();
  if (v == nullptr || node.Subscripted() || ComponentOf(state, v->address) != 0) return -1;
  const driver::FileObject& primary = *state.components[0].file;
  const std::size_t offset = static_cast<std::size_t>(v->address - primary.record.data());
  const auto& fields = primary.driver_state->fields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].offset == offset && fields[i].size == v->size && fields[i].type != driver::FieldType::GROUP) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

int Mirrored(int op) {
  switch (op) {
    case eval::kLess: return eval::kGreater;
    case eval::kGreater: return eval::kLess;
    case eval::kLessOrEqual: return eval::kGreaterOrEqual;
    case eval::kGreaterOrEqual: return eval::kLessOrEqual;
    default: return op;
  }
}

bool Bounding(int op) {
  return op == eval::kEqual || op == eval::kLess || op == eval::kGreater || op == eval::kLessOrEqual ||
         op == eval::kGreaterOrEqual;
}

bool Numeric(eval::ValueClass c) {
  return c == eval::ValueClass::Long || c == eval::ValueClass::Real || c == eval::ValueClass::Truth;
}

}  // namespace

void AnalyseFilter(ViewState& state) {
  state.conjuncts.clear();
  if (!state.filter) return;
  std::vector<const eval::Node*> pending{&state.filter->root()};
  while (!pending.empty()) {
    const eval::Node* n = pending.back();
    pending.pop_back();
    if (n->kind() == eval::NodeKind::Operator && n->code() == eval::kAnd) {
      // Left-deep chains: push the right side first so terms keep their order.
      pending.push_back(n->Operands()[1].get());
      pending.push_back(n->Operands()[0].get());
      continue;
    }
    state.conjuncts.push_back({n, std::max(ReachOf(state, *n).deepest, 0)});
  }
}

std::vector<OrderEntry> OrderTable(const ViewState& state) {
  std::vector<OrderEntry> table;
  const driver::FileObject& primary = *state.components[0].file;
  if (!primary.driver_state || primary.driver_state->sequence_key == nullptr) return table;
  const driver::KeyDescriptor& key = *primary.driver_state->sequence_key;
  const auto& fields = primary.driver_state->fields;
  for (const driver::KeyComponent& k : key.components) {
    OrderEntry e;
    e.field = k.field;
    e.descending = k.descending;
    e.case_insensitive_text =
        (key.attributes & driver::key_attribute::kCaseInsensitive) != 0 && IsTextField(fields[k.field]);
    table.push_back(e);
  }
  if (table.empty()) return table;
  for (const Conjunct& c : state.conjuncts) {
    const eval::Node& n = *c.node;
    if (n.kind() != eval::NodeKind::Operator || !Bounding(n.code())) continue;
    const eval::Node& left = *n.Operands()[0];
    const eval::Node& right = *n.Operands()[1];
    Bound bound;
    long field = PrimaryField(state, left);
    if (field >= 0) {
      bound = {n.code(), &left, &right, false};
    } else if ((field = PrimaryField(state, right)) >= 0) {
      bound = {Mirrored(n.code()), &right, &left, false};
    } else {
      continue;
    }
    const Reach reach = ReachOf(state, *bound.value);
    if (reach.deepest >= 0 || reach.volatile_value) continue;
    const eval::ValueClass fc = bound.field->value_class(), vc = bound.value->value_class();
    if (fc == eval::ValueClass::String && vc == eval::ValueClass::String) {
      bound.text = true;
    } else if (!(Numeric(fc) && Numeric(vc))) {
      continue;
    }
    if (bound.text != IsTextField(fields[static_cast<std::size_t>(field)])) continue;
    for (OrderEntry& e : table) {
      if (e.field == static_cast<std::size_t>(field)) e.bounds.push_back(bound);
    }
  }
  return table;
}

}  // namespace tavero::views
