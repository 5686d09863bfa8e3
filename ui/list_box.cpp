// List boxes on the engine's side: the queue a list shows, its properties,
// and how its keys, scroll bar, clicks and tree boxes become events.
//
// A list shows its queue's entries as they stand when a run of the loop body
// ends (the queue belongs to the procedure, which changes it only in its
// body) and on DISPLAY. A list that scrolls itself moves over all of them;
// an immediate list (the page browses) holds one page that the procedure
// refills on the scroll events.
#include <algorithm>
#include <cassert>
#include <charconv>

#include "storage/queues/queue.h"
#include "ui/engine_core.h"
#include "ui/list_rows.h"
#include "ui/properties.h"

namespace tavero::ui {
namespace {

int ToNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

Event ScrollEvent(ScrollAction action) {
  switch (action) {
    case ScrollAction::LineUp: return Event::ScrollUp;
    case ScrollAction::LineDown: return Event::ScrollDown;
    case ScrollAction::PageUp: return Event::PageUp;
    case ScrollAction::PageDown: return Event::PageDown;
    case ScrollAction::Top: return Event::ScrollTop;
    case ScrollAction::Bottom: return Event::ScrollBottom;
  }
  return Event::None;
}

// The last top row of a list that scrolls itself.
int LastTop(const ListState& list) { return std::max(0, list.shown_count - std::max(1, list.rows_visible)); }

}  // namespace

void PrepareLists(WindowObject& window) {
  window.lists.clear();
  for (const ControlSpec& control : window.blueprint.controls) {
    if (control.kind != ControlKind::List) continue;
    ListState& list = window.lists[control.handle];
    list.format = ParseListFormat(control.format);
    list.scroll_bar = (control.attributes & definitions::control_attribute::kVerticalScroll) != 0;
  }
}

ListState* WindowObject::List(ControlHandle handle) {
  auto found = lists.find(handle);
  return found == lists.end() ? nullptr : &found->second;
}

void EngineCore::SetListFrom(WindowObject& window, int control_number, queues::Queue* queue) {
  assert(LockHeld());
  ListState* list = window.List(window.FindControl(control_number));
  if (list == nullptr) return;
  list->queue = queue;
  list->shown = false;
  if (window.open()) ShowLists(window, false);
}

void EngineCore::SetListIcon(WindowObject& window, int control_number, int icon, std::string_view file) {
  assert(LockHeld());
  const ControlHandle handle = window.FindControl(control_number);
  ListState* list = window.List(handle);
  if (list == nullptr) return;
  list->icons[icon] = std::string(file);
  if (window.open()) platform_.SetListIcon(window.id, handle, icon, file, LoadNamedPicture(file));
}

void EngineCore::ShowLists(WindowObject& window, bool force) {
  assert(LockHeld());
  if (!window.open()) return;
  for (auto& [handle, list] : window.lists) {
    const std::uint64_t version = list.queue != nullptr ? list.queue->Version() : 0;
    const int count = list.queue != nullptr ? list.queue->EntryCount() : 0;
    if (!force && list.shown && version == list.shown_version && count == list.shown_count) continue;
    list.shown = true;
    list.shown_version = version;
    list.shown_count = count;
    platform_.SetListRows(window.id, handle,
                          list.queue != nullptr ? ListRowsOf(list.format, *list.queue) : std::vector<ListRow>{});
  }
}

void EngineCore::ShowThreadLists() {
  if (current_slot_ < 0) return;
  // A copy: showing never opens or closes windows, but the stack is the slot's.
  const std::vector<WindowObject*> windows = Slot().windows;
  for (WindowObject* window : windows) ShowLists(*window, false);
}

// Keys in an immediate list: the navigation keys become scroll events,
// delivered at once; typed characters and Backspace go to the procedure's
// locator as EVENT:AlertKey with their KEYCHAR.
void EngineCore::HandleListKey(WindowObject& window, ControlHandle control, int key_code, int key_char) {
  const bool ctrl = (key_code & kKeyCtrl) != 0;
  Event event = Event::None;
  switch (key_code & 0xFF) {
    case kKeyHome: event = Event::ScrollTop; break;
    case kKeyEnd: event = Event::ScrollBottom; break;
    case kKeyUp: event = Event::ScrollUp; break;
    case kKeyDown: event = Event::ScrollDown; break;
    case kKeyPageUp: event = ctrl ? Event::ScrollTop : Event::PageUp; break;
    case kKeyPageDown: event = ctrl ? Event::ScrollBottom : Event::PageDown; break;
    default: break;
  }
  if (event != Event::None) {
    DeliverNow(window, MakeRecord(window, event, control));
    return;
  }
  const bool typed = (key_code & (kKeyCtrl | kKeyAlt)) == 0 &&
                     ((key_code & 0xFF) == kKeyBackspace || static_cast<unsigned char>(key_char) >= 0x20);
  if (typed) PostRecord(window, Event::AlertKey, control);
}

void EngineCore::HandleListMessage(WindowObject& window, ControlSpec& control, const PlatformMessage& message) {
  ListState* list = window.List(control.handle);
  if (list == nullptr) return;
  // What the list reports of itself is kept even while it is disabled.
  switch (message.kind) {
    case MessageKind::ListGeometry:
      list->rows_visible = std::max(0, message.value);
      return;
    case MessageKind::ListScrolled:
      if (!IsImmediateList(control)) list->thumb = std::max(0, message.value);
      return;
    default:
      break;
  }
  if (!control.enabled || !control.visible) return;
  const bool immediate = IsImmediateList(control);
  switch (message.kind) {
    case MessageKind::ListSelect: {
      if (message.key_code == kKeyMouseLeft || message.key_code == kKeyMouseRight) {
        ThreadSlot& slot = slots_[window.thread];
        slot.last_key_code = message.key_code;
        slot.last_key_char = 0;
        mouse_x_ = message.mouse_x;
        mouse_y_ = message.mouse_y;
      }
      control.value = message.value;
      PostRecord(window, Event::NewSelection, control.handle);
      return;
    }
    case MessageKind::ListScroll:
      if (immediate) DeliverNow(window, MakeRecord(window, ScrollEvent(static_cast<ScrollAction>(message.value)), control.handle));
      return;
    case MessageKind::ListThumb:
      if (!immediate) return;
      list->thumb = std::clamp(message.value, 0, kImmediateThumbRange);
      DeliverNow(window, MakeRecord(window, Event::ScrollDrag, control.handle));
      return;
    case MessageKind::ListExpand:
    case MessageKind::ListContract:
      list->event_row = message.value;
      PostRecord(window, message.kind == MessageKind::ListExpand ? Event::Expanded : Event::Contracted, control.handle);
      return;
    default:
      return;
  }
}

bool EngineCore::GetListProperty(WindowObject& window, const ControlSpec& control, int property, std::string& value) {
  ListState* list = window.List(control.handle);
  if (list == nullptr) return false;
  switch (property) {
    case property::kListFormat: value = WriteListFormat(list->format); return true;
    case property::kListItems: value = std::to_string(list->rows_visible); return true;
    case property::kListSelected: value = std::to_string(control.value); return true;
    case property::kListThumb: value = std::to_string(list->thumb); return true;
    case property::kVerticalScroll: value.assign(1, list->scroll_bar ? '1' : '0'); return true;
    case property::kListEventRow: value = std::to_string(list->event_row); return true;
    default: return false;
  }
}

bool EngineCore::SetListProperty(WindowObject& window, ControlSpec& control, int property, std::string_view value) {
  ListState* list = window.List(control.handle);
  if (list == nullptr) return false;
  switch (property) {
    case property::kListSelected:
      control.value = ToNumber(value);
      platform_.SetControlValue(window.id, control.handle, control.value);
      return true;
    case property::kListThumb:
      if (IsImmediateList(control)) {
        list->thumb = std::clamp(ToNumber(value), 0, kImmediateThumbRange);  // the thumb only
      } else {
        ShowLists(window, false);  // scrolls over the rows as they stand now
        list->thumb = std::clamp(ToNumber(value), 0, LastTop(*list));
      }
      platform_.SetListScroll(window.id, control.handle, list->thumb);
      return true;
    case property::kVerticalScroll:
      list->scroll_bar = ToNumber(value) != 0;
      platform_.SetListScrollBar(window.id, control.handle, list->scroll_bar);
      return true;
    case property::kListFormat:
    case property::kListItems:
    case property::kListEventRow:
      return true;  // read only
    default:
      return false;
  }
}

// Window: the procedure's handle.

void Window::SetListFrom(int control, queues::Queue* queue) {
  EngineCore* engine = EngineCore::Installed();
  assert(engine != nullptr && engine->LockHeld());
  engine->SetListFrom(*object_, control, queue);
}

void Window::SetListIcon(int control, int icon, std::string_view file) {
  EngineCore* engine = EngineCore::Installed();
  assert(engine != nullptr && engine->LockHeld());
  engine->SetListIcon(*object_, control, icon, file);
}

}  // namespace tavero::ui
