// Reading a row of a view. The components form an odometer: component c is
// read; when it yields a record the engine moves to c + 1, when it is
// exhausted it moves back to c - 1 so that the one before reads its next
// record. A complete row is there when c reaches the component count.
//
//  - A joined component not yet started for its parent row stores the link
//    values into the leading fields of its key, the lowest (forward) or
//    highest (backward) values into the rest, and searches the key (SET from
//    the key value); then reads on while the linked fields still match.
//  - A joined component with no matching record at all delivers the row
//    once with its record cleared; the next read moves on.
//  - After RESET the first read delivers the row named: the primary reads
//    on from its reset position, and each joined component from its own
//    instead of searching by its links (view_state.h (5)).
//  - Any read error but 33, of the primary or of a joined component, ends
//    the read with that error: a joined file that cannot be read is not a
//    parent without a match.
//  - The primary's end of file ends the view (33). With a filter that bounds
//    the leading components of the order, a primary record past the end of
//    the range ends the view at once, and one before the range makes the
//    view search the key from the range's start instead of reading on.
//  - After each component delivers, the filter terms that need no deeper
//    component are asked; a rejected record is followed by the next one at
//    the same level.
//  - A row's reads are one read statement (driver::ReadStatement).
#include <cmath>
#include <optional>
#include <utility>

#include "locale/locale.h"
#include "runtime/error_codes.h"
#include "runtime/error_state.h"
#include "storage/driver/read_statement.h"
#include "storage/views/view_fields.h"
#include "storage/views/view_state.h"

namespace tavero::views {
namespace {

using Code = driver::OperationCode;


// The range the filter allows one order component.
struct Interval {
  std::optional<double> low_number, high_number;
  std::optional<std::string> low_text, high_text;
  bool text = false;
  bool Pinned() const {
    return text ? (low_text && high_text && CompareCollated(*low_text, *high_text) == 0)
                : (low_number && high_number && *low_number == *high_number);
  }
  bool Any() const { return low_number || high_number || low_text || high_text; }
};

std::string_view Clip(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

std::string TextOf(const eval::Node& n, bool fold) {
  std::string s(Clip(n.String()));
  return fold ? ToUpper(s) : s;
}

Interval IntervalOf(const OrderEntry& e) {
  Interval iv;
  for (const Bound& b : e.bounds) {
    const bool low = b.op == eval::kEqual || b.op == eval::kGreater || b.op == eval::kGreaterOrEqual;
    const bool high = b.op == eval::kEqual || b.op == eval::kLess || b.op == eval::kLessOrEqual;
    if (b.text) {
      iv.text = true;
      const std::string v = TextOf(*b.value, e.case_insensitive_text);
      if (low && (!iv.low_text || CompareCollated(v, *iv.low_text) > 0)) iv.low_text = v;
      if (high && (!iv.high_text || CompareCollated(v, *iv.high_text) < 0)) iv.high_text = v;
    } else {
      const double v = b.value->Real();
      if (std::isnan(v)) continue;
      if (low && (!iv.low_number || v > *iv.low_number)) iv.low_number = v;
      if (high && (!iv.high_number || v < *iv.high_number)) iv.high_number = v;
    }
  }
  return iv;
}

// Where a value lies against an interval: -1 before it, 0 inside, 1 after.
// Numbers get a sliver of tolerance, as the filter's own equality does.
int Place(const Interval& iv, const eval::Node& field, bool fold) {
  if (iv.text) {
    const std::string v = TextOf(field, fold);
    if (iv.low_text && CompareCollated(v, *iv.low_text) < 0) return -1;
    if (iv.high_text && CompareCollated(v, *iv.high_text) > 0) return 1;
    return 0;
  }
  const double v = field.Real();
  const auto slack = [](double bound) { return std::fabs(bound) * 0x1p-40; };
  if (iv.low_number && v < *iv.low_number - slack(*iv.low_number)) return -1;
  if (iv.high_number && v > *iv.high_number + slack(*iv.high_number)) return 1;
  return 0;
}

// The first field node of an entry's bounds (every bound reads the field).
const eval::Node& FieldNode(const OrderEntry& e) { return *e.bounds.front().field; }

class RowReader {
 public:
  RowReader(View& view, bool forward)
      : s_(*view.state), forward_(forward), read_(forward ? Code::Next : Code::Previous) {}

  int Run() {
    PlanRange();
    const int count = static_cast<int>(s_.components.size());
    int c = 0;
    if (s_.read_state == 2) {
      if (const int error = Restart()) return error;
    } else if (s_.read_state == 1) {
      c = count - 1;
    } else {
      ResetComponents();
    }
    for (;;) {
      if (c == count) {
        s_.read_state = 1;
        return 0;
      }
      if (c == 0) {
        const int step = ReadPrimary();
        if (step > 0) return step;  // an error, or the end of the view
        if (step == 0) c = 1;
        continue;  // step < 0: read the primary again
      }
      c += JoinedStep(c);
      if (error_ != 0) return error_;
    }
  }

 private:
  // ---- the primary ---------------------------------------------------------

  // 0: a primary record is accepted; -1: read again; > 0: the error that
  // ends the read (33 at the end of the view).
  int ReadPrimary() {
    ComponentState& p = s_.components[0];
    // Only the first record read after RESET is the row it named.
    p.on_reset_row = std::exchange(s_.resuming, false);
    const int error = ReadFile(p);
    if (error != 0) {
      p.has_record = false;
      s_.read_state = 0;
      return error;
    }
    p.has_record = true;
    const bool jumped = s_.just_jumped;
    s_.just_jumped = false;
    for (std::size_t k = 0; k < active_; ++k) {
      const OrderEntry& e = order_[k];
      const int place = Place(intervals_[k], FieldNode(e), e.case_insensitive_text);
      if (place == 0) continue;
      const bool value_forward = forward_ != e.descending;
      const bool past_end = value_forward ? place > 0 : place < 0;
      if (past_end) {
        s_.read_state = 0;
        return error_code::kRecordNotAvailable;
      }
      if (jumped) return -1;  // a bound the field cannot hold exactly: read on
      if (const int jump_error = JumpTo(k, value_forward)) return jump_error;
      return -1;
    }
    if (!Accepted(0)) return -1;
    ResetComponents();
    return 0;
  }

  // Searches the primary's key from the start of component k's range.
  int JumpTo(std::size_t k, bool value_forward) {
    ComponentState& p = s_.components[0];
    const auto& fields = p.file->driver_state->fields;
    const Interval& iv = intervals_[k];
    const driver::FieldDescriptor& field = fields[order_[k].field];
    if (iv.text) {
      StoreText(field, p.file->record, value_forward ? *iv.low_text : *iv.high_text);
    } else {
      StoreNumber(field, p.file->record, value_forward ? *iv.low_number : *iv.high_number, value_forward);
    }
    for (std::size_t j = k + 1; j < order_.size(); ++j) {
      StoreExtreme(fields[order_[j].field], p.file->record, forward_ == order_[j].descending);
    }
    s_.just_jumped = true;
    return SearchPrimaryKey();
  }

  int SearchPrimaryKey() {
    driver::KeyObject* key = p_key();
    driver::Perform(*s_.components[0].file, Code::SetKeyOrderFromValue, {.key = key});
    return ErrorCode();
  }

  driver::KeyObject* p_key() const {
    const driver::FileObject& f = *s_.components[0].file;
    return f.driver_state && f.driver_state->sequence_key ? f.driver_state->sequence_key->key : nullptr;
  }

  // Back to the beginning (or end) of the order.
  int Restart() {
    ComponentState& p = s_.components[0];
    ResetComponents();
    s_.just_jumped = false;
    if (!p.file->driver_state) return error_code::kFileNotOpen;
    if (p_key() == nullptr) {
      driver::Perform(*p.file, Code::SetRecordOrder);
      return ErrorCode();
    }
    const auto& fields = p.file->driver_state->fields;
    for (const driver::KeyComponent& k : p.file->driver_state->sequence_key->components) {
      StoreExtreme(fields[k.field], p.file->record, forward_ == k.descending);
    }
    return SearchPrimaryKey();
  }

  // ---- joined components ---------------------------------------------------

  // One step at joined component c: +1 to go deeper, 0 to stay, -1 back.
  int JoinedStep(int c) {
    ComponentState& j = s_.components[static_cast<std::size_t>(c)];
    if (j.read_state == 4) {
      j.read_state = 0;
      return -1;
    }
    // (5) After RESET the component reads on from its record of the row
    // named, while its parent holds that row's record.
    bool resumed = false;
    if (j.read_state == 0) {
      resumed = std::exchange(j.resume, false) && s_.components[static_cast<std::size_t>(j.parent)].on_reset_row;
      if (const int error = Position(j, /*search=*/!resumed)) {
        error_ = error;
        s_.read_state = 0;
        return 0;
      }
      // Resumed, the parent row has had its matches up to the one named: a
      // record that no longer matches ends its children.
      j.read_state = resumed ? 3 : 1;
    }
    const int read = ReadFile(j);
    j.on_reset_row = resumed && read == 0;
    if (read != 0 && read != error_code::kRecordNotAvailable) {  // a read error ends the read, as the primary's does
      error_ = read;
      s_.read_state = 0;
      return 0;
    }
    if (read == 0 && LinksMatch(j)) {
      j.read_state = 3;
      j.has_record = true;
      return Accepted(c) ? 1 : 0;
    }
    // The children of this parent row are over.
    ClearRecord(j.file->driver_state->fields, j.file->record);
    j.has_record = false;
    if (j.read_state == 3) {
      j.read_state = 0;
      return -1;
    }
    j.read_state = 4;  // no match at all: the row goes once with this component cleared
    return Accepted(c) ? 1 : 0;
  }

  // Stores the parent's link values into the component's key fields (the
  // values a matching record carries) and, with `search`, SETs the key from
  // them.
  int Position(ComponentState& j, bool search) {
    driver::FileObject& f = *j.file;
    if (!f.driver_state || j.key == nullptr || j.key->descriptor == nullptr) return error_code::kFileNotOpen;
    const auto& fields = f.driver_state->fields;
    const auto& components = j.key->descriptor->components;
    j.link_values.resize(j.links.size());
    for (std::size_t i = 0; i < components.size(); ++i) {
      const driver::FieldDescriptor& field = fields[components[i].field];
      if (i < j.links.size()) {
        const eval::Node& value = j.links[i].root();
        if (IsTextField(field)) {
          StoreText(field, f.record, value.String());
        } else {
          StoreNumber(field, f.record, value.Real(), false);
        }
        j.link_values[i] = std::string(FieldBytes(field, f.record));
      } else {
        StoreExtreme(field, f.record, forward_ == components[i].descending);
      }
    }
    if (!search) return 0;
    driver::Perform(f, Code::SetKeyOrderFromValue, {.key = j.key});
    return ErrorCode();
  }

  bool LinksMatch(const ComponentState& j) const {
    const auto& fields = j.file->driver_state->fields;
    const auto& components = j.key->descriptor->components;
    const bool fold = (j.declaration->join_flags & join_flag::kCaseInsensitive) != 0;
    for (std::size_t i = 0; i < j.link_values.size() && i < components.size(); ++i) {
      if (!FieldMatches(fields[components[i].field], j.file->record, j.link_values[i], fold)) return false;
    }
    return true;
  }

  // ---- shared ----------------------------------------------------------------

  int ReadFile(const ComponentState& cs) {
    driver::FileObject& f = *cs.file;
    if (!cs.declaration->memos && !f.blobs.empty()) driver::Perform(f, Code::SkipMemos);
    driver::Perform(f, read_);
    return ErrorCode();
  }

  // Whether the filter terms asked at component c let the row built so far
  // through.
  bool Accepted(int c) const {
    for (const Conjunct& term : s_.conjuncts) {
      if (term.level == c && !term.node->Truth()) return false;
    }
    return true;
  }

  void ResetComponents() {
    for (std::size_t c = 1; c < s_.components.size(); ++c) s_.components[c].read_state = 0;
  }

  // The leading order components the filter bounds: each one after the
  // first only when every one before it is pinned to a single value.
  void PlanRange() {
    active_ = 0;
    if (!s_.filter) return;
    order_ = OrderTable(s_);
    intervals_.clear();
    for (const OrderEntry& e : order_) {
      if (e.bounds.empty()) break;
      intervals_.push_back(IntervalOf(e));
      if (!intervals_.back().Any()) break;
      ++active_;
      if (!intervals_.back().Pinned()) break;
    }
  }

  ViewState& s_;
  bool forward_;
  Code read_;
  std::vector<OrderEntry> order_;
  std::vector<Interval> intervals_;
  std::size_t active_ = 0;
  int error_ = 0;
};

}  // namespace

int ReadRow(View& view, bool forward) {
  // The reads of one row (the primary, its joined records, the records a
  // filter passes over) are one statement: the row comes from one committed
  // state of each file. A caller filling a page opens a statement around
  // the page, and this one joins it.
  driver::ReadStatement statement;
  return RowReader(view, forward).Run();
}

}  // namespace tavero::views
