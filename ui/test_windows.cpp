#include "ui/test_windows.h"

#include "ui/event.h"

namespace tavero::ui::testing {

using definitions::ControlDefinition;
using definitions::ControlKind;
using definitions::EntryDefinition;

namespace {
ControlDefinition Make(ControlKind kind, int number, std::string text) {
  ControlDefinition control;
  control.kind = kind;
  control.number = number;
  control.text = std::move(text);
  control.position = {10, 10 * (number > 0 ? number : 1), 50, 12};
  return control;
}

EntryDefinition Window(definitions::WindowType type, std::string title, std::vector<ControlDefinition> controls) {
  EntryDefinition entry;
  entry.type = type;
  entry.title = std::move(title);
  entry.label = entry.title;
  entry.position = {definitions::kDefaultCoordinate, definitions::kDefaultCoordinate, 200, 120};
  entry.attributes = definitions::entry_attribute::kImmediate | 0x10;
  entry.controls = std::move(controls);
  return entry;
}
}  // namespace

ControlDefinition Button(int number, std::string text) { return Make(ControlKind::Button, number, std::move(text)); }

ControlDefinition Entry(int number, std::string text, bool required) {
  ControlDefinition entry = Make(ControlKind::Entry, number, std::move(text));
  if (required) entry.attributes |= definitions::control_attribute::kRequired;
  return entry;
}

ControlDefinition Check(int number, std::string text) { return Make(ControlKind::Check, number, std::move(text)); }
ControlDefinition List(int number) { return Make(ControlKind::List, number, {}); }

ControlDefinition Sheet(int number, std::vector<std::string> tabs) {
  ControlDefinition sheet = Make(ControlKind::Sheet, number, {});
  for (std::string& tab : tabs) sheet.children.push_back(Make(ControlKind::Tab, 0, std::move(tab)));
  return sheet;
}

ControlDefinition Progress(int number, int low, int high) {
  ControlDefinition progress = Make(ControlKind::Progress, number, {});
  progress.low = low;
  progress.high = high;
  return progress;
}

ControlDefinition Item(int number, std::string text, definitions::StandardAction standard) {
  ControlDefinition item = Make(ControlKind::Item, number, std::move(text));
  item.standard = standard;
  return item;
}

ControlDefinition Menu(std::string text, std::vector<ControlDefinition> items) {
  ControlDefinition menu = Make(ControlKind::Menu, 0, std::move(text));
  menu.children = std::move(items);
  return menu;
}

EntryDefinition PlainWindow(std::string title, std::vector<ControlDefinition> controls) {
  return Window(definitions::WindowType::Plain, std::move(title), std::move(controls));
}

EntryDefinition MdiWindow(std::string title, std::vector<ControlDefinition> controls) {
  return Window(definitions::WindowType::MdiChild, std::move(title), std::move(controls));
}

EntryDefinition Frame(std::string title) {
  EntryDefinition frame = Window(definitions::WindowType::Application, std::move(title), {});
  ControlDefinition bar;
  bar.kind = ControlKind::MenuBar;
  bar.children.push_back(Menu("&File", {Item(-2, "E&xit", definitions::StandardAction::Close)}));
  bar.children.push_back(Menu("&Browse", {Item(-6, "&One")}));
  frame.menu_bar = std::move(bar);
  frame.status_zones = 1;
  return frame;
}

void EventLog::Add(std::string line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(std::move(line));
}

void EventLog::AddCurrent(std::string_view prefix) {
  std::string line(prefix);
  line += EventName(InternalCode(EVENT()));
  if (FIELD() != 0) line += " " + std::to_string(FIELD());
  Add(std::move(line));
}

std::vector<std::string> EventLog::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::vector<std::string> EventLog::Matching(std::string_view prefix) const {
  std::vector<std::string> matching;
  for (const std::string& line : Lines()) {
    if (line.starts_with(prefix)) matching.push_back(line);
  }
  return matching;
}

void EventLog::Clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

LoopBody Logging(EventLog& log, std::string_view prefix) {
  return [&log, prefix = std::string(prefix)] {
    log.AddCurrent(prefix);
    return LoopResult::Continue;
  };
}

}  // namespace tavero::ui::testing
