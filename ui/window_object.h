// The engine's side of a window: its controls as built from the definition
// and everything the ACCEPT loop keeps about it.
//
// Invariants (engine lock held for every access):
//  (1) `id` is kNoWindow exactly when the window is not open.
//  (2) An open window is in its thread's window stack, routed in the inbox,
//      and in the engine's table of windows; a closed one in none of them.
//  (3) `body` is set only while an ACCEPT over this window runs.
//  (4) close_state: 0 open, 1 the frame waits for a child to answer
//      EVENT:CloseDown, 2 closing.
//  (5) timer_pending is set while an EVENT:Timer for the window is on its way
//      or queued, and cleared once one has been delivered.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ui/definitions/window_definition.h"
#include "ui/engine.h"
#include "ui/event.h"
#include "ui/list_format.h"
#include "ui/platform.h"

namespace tavero::queues {
class Queue;
}

namespace tavero::ui {

class EngineCore;

// The engine's side of a list box.
//  (1) `queue` is the procedure's queue (not owned); the platform holds the
//      rows of the queue as it stood at `shown_version` when `shown`.
//  (2) Immediate list: 0 <= thumb <= kImmediateThumbRange, moved only by the
//      procedure and by a released thumb. Other lists: thumb is the top row
//      as the platform last reported or the procedure set it.
struct ListState {
  ListFormat format;
  queues::Queue* queue = nullptr;
  bool shown = false;
  std::uint64_t shown_version = 0;
  int shown_count = 0;
  int rows_visible = 0;   // as the platform reports its geometry
  int thumb = 0;
  bool scroll_bar = false;
  int event_row = 0;      // the row of the last EVENT:Expanded or EVENT:Contracted
  std::map<int, std::string> icons;  // icon number to image file
};

struct WindowObject {
  definitions::EntryDefinition definition;
  WindowSpec blueprint;  // the controls as they stand now (texts, state, values)
  // Properties without a fixed effect, kept as set: (control handle + 1, property, index).
  std::map<std::tuple<int, int, int>, std::string> other_properties;
  std::vector<std::pair<ControlHandle, int>> alert_keys;  // (control or kNoControl for all, key code)
  std::map<ControlHandle, ListState> lists;  // every list box of the window

  // Open state.
  WindowId id = kNoWindow;
  int thread = -1;
  bool modal = false;
  WindowObject* owner = nullptr;        // the frame of an MDI child
  std::vector<WindowObject*> children;  // a frame's open MDI children

  // ACCEPT state.
  const LoopBody* body = nullptr;
  bool loop_over = false;
  bool body_running = false;
  std::deque<EventRecord> queue;
  std::optional<EventRecord> current;
  ControlHandle selected = kNoControl;
  int last_selected_number = 0;
  bool accept_all = false;
  std::size_t accept_all_cursor = 0;
  int close_state = 0;
  bool suspended = false;
  int timer_interval = 0;  // hundredths of a second
  bool timer_pending = false;
  int size_state = kSizeNormal;

  bool open() const { return id != kNoWindow; }
  bool immediate() const { return (definition.attributes & definitions::entry_attribute::kImmediate) != 0; }
  ControlHandle FindControl(int number) const;
  ControlSpec* Control(ControlHandle handle);
  const ControlSpec* Control(ControlHandle handle) const;
  int NumberOf(ControlHandle handle) const;
  bool Alerts(ControlHandle handle, int key_code) const;
  ListState* List(ControlHandle handle);
};

// Makes the ListState of every list box of the window from its definition.
void PrepareLists(WindowObject& window);

// A list whose keys and scroll bar become events (the page browses).
inline bool IsImmediateList(const ControlSpec& control) {
  return control.kind == definitions::ControlKind::List &&
         (control.attributes & definitions::control_attribute::kImmediate) != 0;
}

// The platform's description of a window built from its definition: the menu
// bar and the control tree flattened into one table, parents first.
WindowSpec BuildWindowSpec(const definitions::EntryDefinition& definition);

}  // namespace tavero::ui
