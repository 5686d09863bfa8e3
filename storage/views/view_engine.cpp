// The view engine: the entry every View starts with, the view state's life,
// position texts, and the operations passed on to the primary file.
//
// Position text (POSITION, RESET, REGET), numbers little-endian:
//   4 bytes   the primary's sequence key number (1-based; 0: record order)
//   then, per component in declaration order:
//   4 bytes   length n of the component's own position text (0: the
//             component had no record in this row)
//   n bytes   that text, from POSITION of the component's key (the sequence
//             key for the primary) or POSITION of the file without one
#include <cassert>

#include "runtime/error_codes.h"
#include "runtime/error_state.h"
#include "storage/driver/read_statement.h"
#include "storage/views/view_fields.h"
#include "storage/views/view_state.h"

namespace tavero::views {
namespace {

using Code = driver::OperationCode;


void PutNumber(std::string& text, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) text += static_cast<char>(value >> (8 * i));
}

// Reads a number at `at`; false when the text is too short.
bool TakeNumber(std::string_view text, std::size_t& at, std::uint32_t& value) {
  if (text.size() < 4 || at > text.size() - 4) return false;
  value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(text[at + static_cast<std::size_t>(i)]);
  at += 4;
  return true;
}

void AddComponents(ViewState& state, const ViewComponent& declaration, int parent) {
  ComponentState c;
  c.declaration = &declaration;
  c.file = declaration.file;
  c.key = declaration.key;
  c.parent = parent;
  state.components.push_back(std::move(c));
  const int self = static_cast<int>(state.components.size()) - 1;
  for (const ViewComponent& child : declaration.children) AddComponents(state, child, self);
}

// The key a component positions and reports by: its join key, or for the
// primary the sequence key.
driver::KeyObject* PositionKey(const ViewState& state, std::size_t c) {
  const ComponentState& cs = state.components[c];
  if (c > 0) return cs.key;
  const driver::DriverState* ds = cs.file->driver_state.get();
  return ds && ds->sequence_key ? ds->sequence_key->key : nullptr;
}

std::string PositionText(View& view) {
  ViewState& s = *view.state;
  if (s.read_state != 1) return {};
  driver::KeyObject* sequence = PositionKey(s, 0);
  std::string text;
  PutNumber(text, sequence && sequence->descriptor ? static_cast<std::uint32_t>(sequence->descriptor->number + 1) : 0);
  for (std::size_t c = 0; c < s.components.size(); ++c) {
    ComponentState& cs = s.components[c];
    std::string part;
    if (cs.has_record) {
      driver::KeyObject* key = PositionKey(s, c);
      const driver::OperationResult r = key ? driver::Perform(*cs.file, Code::PositionOfKey, {.key = key})
                                            : driver::Perform(*cs.file, Code::Position);
      if (ErrorCode() == 0) part = r.text;
    }
    PutNumber(text, static_cast<std::uint32_t>(part.size()));
    text += part;
  }
  return text;
}

// RESET (reget false) or REGET (reget true) of every component from a
// position text. A key number out of range positions nothing.
int Reposition(View& view, std::string_view text, bool reget) {
  ViewState& s = *view.state;
  driver::FileObject& primary = *s.components[0].file;
  std::size_t at = 0;
  std::uint32_t key_number = 0;
  if (!TakeNumber(text, at, key_number)) return error_code::kRecordNotAvailable;
  if (key_number > primary.keys.size()) return 0;
  for (std::size_t c = 0; c < s.components.size(); ++c) {
    ComponentState& cs = s.components[c];
    std::uint32_t length = 0;
    if (!TakeNumber(text, at, length) || length > text.size() - at) return error_code::kRecordNotAvailable;
    const std::string_view part = text.substr(at, length);
    at += length;
    driver::KeyObject* key = c == 0 ? (key_number ? primary.keys[key_number - 1] : nullptr) : cs.key;
    cs.resume = false;
    if (part.empty()) {
      // No record in that row: drop the component's record.
      PushErrorState();
      driver::Perform(*cs.file, Code::GetByPointer, {.pointer = 0});
      PopErrorState();
      if (cs.file->driver_state) ClearRecord(cs.file->driver_state->fields, cs.file->record);
      cs.has_record = false;
      continue;
    }
    const Code code = reget ? (key ? Code::RegetByKey : Code::Reget) : (key ? Code::ResetByKey : Code::Reset);
    driver::Perform(*cs.file, code, {.key = key, .text = part});
    if (const int error = ErrorCode()) return error;
    cs.has_record = reget;
    cs.resume = !reget && c > 0;  // (5)
  }
  s.read_state = reget ? 2 : 0;
  s.resuming = !reget;
  for (ComponentState& cs : s.components) cs.read_state = 0;
  return 0;
}

int Skip(View& view, std::int64_t count) {
  driver::ReadStatement statement;
  const bool forward = count >= 0;
  for (std::int64_t i = 0; i < (forward ? count : -count); ++i) {
    const int error = ReadRow(view, forward);
    if (error == error_code::kRecordNotAvailable) return 0;  // running off the end counts as success
    if (error != 0) return error;
  }
  return 0;
}

class Engine final : public driver::DriverEntry {
 public:
  driver::OperationResult Enter(driver::FileLike& object, Code code, const driver::OperationArgs& args) override {
    View& view = static_cast<View&>(object);
    assert(view.entry == this);
    driver::OperationResult result;
    if (code == Code::NoOperation) return result;
    if (code == Code::Close) {
      view.state.reset();
      ClearError();
      return result;
    }
    // Operations that belong to the primary file go there unchanged.
    switch (code) {
      case Code::Delete:
      case Code::Put:
      case Code::Hold:
      case Code::HoldWithLimit:
      case Code::Release:
      case Code::Watch: return driver::Perform(*view.declaration.file, code, args);
      default: break;
    }
    int error = 0;
    if (!view.state) error = BuildViewState(view);
    if (error == 0) error = Run(view, code, args, result);
    if (error != 0) {
      // An underlying file's error is already posted with its file; the
      // view's own end of data names the view.
      if (error == error_code::kRecordNotAvailable || ErrorCode() != error) {
        PostError(error);
        SetErrorFile(&view);
      }
    } else {
      ClearError();
    }
    return result;
  }

 private:
  static int Run(View& view, Code code, const driver::OperationArgs& args, driver::OperationResult& result) {
    ViewState& s = *view.state;
    switch (code) {
      case Code::Open: return 0;
      case Code::GetByPointer:  // 16 on a view: restart
        s.read_state = 2;
        return 0;
      case Code::Next: return ReadRow(view, true);
      case Code::Previous: return ReadRow(view, false);
      case Code::Skip: return Skip(view, args.number);
      case Code::Position: result.text = PositionText(view); return 0;
      case Code::Reset: return Reposition(view, args.text, false);
      case Code::Reget: return Reposition(view, args.text, true);
      case Code::ViewFilter: return SetFilter(view, args.filter);
      default: return error_code::kUnsupportedFileDriverFunction;
    }
  }
};

}  // namespace

View::View(ViewComponent d) : declaration(std::move(d)) { entry = &ViewEngine(); }
View::~View() = default;

driver::DriverEntry& ViewEngine() {
  static Engine engine;
  return engine;
}

int BuildViewState(View& view) {
  auto state = std::make_unique<ViewState>();
  AddComponents(*state, view.declaration, -1);
  for (ComponentState& c : state->components) {
    if (c.file == nullptr || !driver::Has(driver::FileStateOf(*c.file), driver::FileState::Open)) {
      return error_code::kFileNotOpen;
    }
    for (const std::string& link : c.declaration->links) {
      eval::CompileResult compiled = eval::Compile(link);
      if (!compiled.expression) return compiled.error;
      c.links.push_back(std::move(*compiled.expression));
    }
  }
  view.state = std::move(state);
  if (!view.filter_text.empty()) return SetFilter(view, view.filter_text);
  return 0;
}

int SetFilter(View& view, std::string_view text) {
  ViewState& s = *view.state;
  // `text` may be the view's own filter text: copy before replacing it.
  std::string filter(text);
  view.filter_text = std::move(filter);
  s.conjuncts.clear();
  s.filter.reset();
  if (view.filter_text.find_first_not_of(' ') == std::string::npos) return 0;  // no filter
  eval::CompileResult compiled = eval::Compile(view.filter_text);
  if (!compiled.expression) return compiled.error;
  s.filter = std::move(compiled.expression);
  AnalyseFilter(s);
  return 0;
}

}  // namespace tavero::views
