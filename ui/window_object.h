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
#include "ui/platform.h"

namespace tavero::ui {

class EngineCore;

struct WindowObject {
  definitions::EntryDefinition definition;
  WindowSpec blueprint;  // the controls as they stand now (texts, state, values)
  // Properties without a fixed effect, kept as set: (control handle + 1, property, index).
  std::map<std::tuple<int, int, int>, std::string> other_properties;
  std::vector<std::pair<ControlHandle, int>> alert_keys;  // (control or kNoControl for all, key code)

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
};

// The platform's description of a window built from its definition: the menu
// bar and the control tree flattened into one table, parents first.
WindowSpec BuildWindowSpec(const definitions::EntryDefinition& definition);

}  // namespace tavero::ui
