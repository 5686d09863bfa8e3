// The view engine's state of one view, and the pieces of the engine that
// share it. Internal to the view engine.
//
// Invariants:
//  (1) components[0] is the primary; every other component's parent comes
//      before it (depth-first declaration order).
//  (2) read_state: 0 positioned (by OPEN or RESET) so that the next read
//      starts with the primary's next record; 1 a complete row has been
//      delivered and the next read continues from the deepest component;
//      2 the next read starts over from the beginning (or end) of the order.
//  (3) Component read state: 0 not started for the current parent row; 1
//      positioned, no matching record delivered yet; 3 at least one matching
//      record delivered for this parent row; 4 no matching record existed,
//      the parent row was delivered once with this component cleared.
//  (4) The compiled filter and the links belong to the state and are
//      released with it.
//  (5) A component's `resume` is used only while every component above it
//      holds its record of the row RESET named (its parent's on_reset_row),
//      so that RESET then NEXT delivers that very row, joined records
//      included; any other start of the component searches by its links.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "storage/driver/driver.h"
#include "storage/views/view.h"

namespace tavero::views {

struct ComponentState {
  const ViewComponent* declaration = nullptr;
  driver::FileObject* file = nullptr;
  driver::KeyObject* key = nullptr;  // joined components
  int parent = -1;
  std::vector<eval::Expression> links;
  // The bytes each linked key field held after the link values were
  // stored: the values a matching record must carry.
  std::vector<std::string> link_values;
  int read_state = 0;
  bool has_record = false;
  // (5) RESET left this joined component at its record of the row named:
  // its first start reads on from there instead of searching by the links.
  bool resume = false;
  // The record in the buffer is the one of the row RESET named (the primary:
  // the first record read after RESET).
  bool on_reset_row = false;
};

// One comparison of the filter that bounds an order component: the
// component's field on one side, a value the view does not change on the
// other.
struct Bound {
  int op = 0;                      // comparison code, as if the field were on the left
  const eval::Node* field = nullptr;
  const eval::Node* value = nullptr;
  bool text = false;               // compared as text (else as numbers)
};

// One entry of the order table: a component of the primary's sequence key.
struct OrderEntry {
  std::size_t field = 0;  // index into the primary's fields
  bool descending = false;
  bool case_insensitive_text = false;
  std::vector<Bound> bounds;
};

// A top-level AND term of the filter and the deepest component it reads.
struct Conjunct {
  const eval::Node* node = nullptr;
  int level = 0;
};

struct ViewState {
  std::vector<ComponentState> components;
  std::optional<eval::Expression> filter;
  std::vector<Conjunct> conjuncts;
  int read_state = 0;
  // RESET positioned the view and no primary record has been read since.
  bool resuming = false;
  // After a jump over a key range: the next primary record is not checked
  // against the range again (a value that cannot be stored exactly must not
  // make the view jump forever).
  bool just_jumped = false;
};

// Builds the state of `view` from its declaration (links compiled, filter
// compiled when a text is set). Returns 0 or an error code.
int BuildViewState(View& view);
// Replaces the filter: the old tree is released, the new text compiled and
// analysed. Returns 0 or the compilation's error (the view then has no
// filter).
int SetFilter(View& view, std::string_view text);
// The filter's terms and the level each is asked at.
void AnalyseFilter(ViewState& state);
// The order table of the primary's current sequence key with the bounds
// the filter puts on each component.
std::vector<OrderEntry> OrderTable(const ViewState& state);

// Reads the next (forward) or previous row. Returns 0 or an error code
// (33 at the end of the view).
int ReadRow(View& view, bool forward);

}  // namespace tavero::views
