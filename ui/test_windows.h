// Test helpers: window definitions built in memory, and a log the loop
// bodies of test procedures write to.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ui/definitions/window_definition.h"
#include "ui/engine.h"

namespace tavero::ui::testing {

definitions::ControlDefinition Button(int number, std::string text);
definitions::ControlDefinition Entry(int number, std::string text = {}, bool required = false);
definitions::ControlDefinition Check(int number, std::string text);
definitions::ControlDefinition List(int number);
definitions::ControlDefinition Sheet(int number, std::vector<std::string> tabs);
definitions::ControlDefinition Progress(int number, int low, int high);
definitions::ControlDefinition Item(int number, std::string text,
                                    definitions::StandardAction standard = definitions::StandardAction::None);
definitions::ControlDefinition Menu(std::string text, std::vector<definitions::ControlDefinition> items);

definitions::EntryDefinition PlainWindow(std::string title, std::vector<definitions::ControlDefinition> controls = {});
definitions::EntryDefinition MdiWindow(std::string title, std::vector<definitions::ControlDefinition> controls = {});
// An APPLICATION frame with "&File" holding "E&xit" (-2, closes the frame)
// and "&Browse" holding "&One" (-6).
definitions::EntryDefinition Frame(std::string title = "Frame");

// What test procedures saw, in order, readable once the driver has settled.
class EventLog {
 public:
  void Add(std::string line);
  // "EVENT:Accepted 3": the current event's name and FIELD() when not 0.
  void AddCurrent(std::string_view prefix = {});
  std::vector<std::string> Lines() const;
  // The lines that start with `prefix`.
  std::vector<std::string> Matching(std::string_view prefix) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// A body that logs every event and carries on.
LoopBody Logging(EventLog& log, std::string_view prefix = {});

}  // namespace tavero::ui::testing
