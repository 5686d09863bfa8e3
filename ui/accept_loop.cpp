// The ACCEPT loop: turning platform messages into events, the queue of each
// window, dispatch and delivery to the loop body.
#include <algorithm>
#include <cassert>
#include <iterator>

#include "runtime/runtime_error.h"
#include "ui/engine_core.h"

namespace tavero::ui {
namespace {

using definitions::ControlKind;
using definitions::StandardAction;
namespace attribute = definitions::control_attribute;

// Controls that take part in accept-all (they hold a value the user enters).
bool TakesValue(ControlKind kind) {
  switch (kind) {
    case ControlKind::Entry:
    case ControlKind::Text:
    case ControlKind::Check:
    case ControlKind::Combo:
    case ControlKind::Spin:
    case ControlKind::Option:
    case ControlKind::List:
      return true;
    default:
      return false;
  }
}

}  // namespace

// ACCEPT: the loop body runs once per event until the loop is over.
void EngineCore::Accept(const LoopBody& body) {
  assert(LockHeld());
  WindowObject* window = TopWindow(current_slot_);
  if (window == nullptr) {
    ReportRuntimeError(537);
    return;
  }
  const LoopBody* outer_body = window->body;
  window->body = &body;
  window->loop_over = false;
  while (window->open() && !Slot().quit) {
    if (Dispatch(*window) || Slot().quit) break;  // a quit taken meanwhile (by a dialog's wait) ends it too
    HandleMessage(WaitForMessage());
    if (window->loop_over) break;
  }
  if (window->open()) {
    window->body = outer_body;
    window->loop_over = false;
    if (window->close_state == 2) CloseWindow(*window);  // the close was accepted
  }
}

// Delivers what is pending for the thread's top window; true when the loop is over.
bool EngineCore::Dispatch(WindowObject& window) {
  if (TopWindow(window.thread) != &window) return false;
  FocusBetweenThreads();
  while (window.open()) {
    bool over = false;
    std::optional<EventRecord> record = NextRecord(window, over);
    if (over) return true;
    if (!record) return false;
    if (record->event() == Event::Selected && record->control != window.selected) continue;  // stale
    const Event event = record->event();
    const ControlHandle control = record->control;
    Delivery result = Deliver(window, *record);
    if (result == Delivery::End) return true;
    switch (event) {
      case Event::CloseDown:
        if (result == Delivery::Cycle) {
          if (window.owner != nullptr) window.owner->close_state = 0;  // shutdown refused
        } else {
          if (window.owner != nullptr && window.owner->close_state == 1) window.owner->close_state = 2;
          window.close_state = 2;
          return true;
        }
        break;
      case Event::CloseWindow:
        if (result == Delivery::Continue) window.close_state = 2;
        break;
      case Event::OpenFailed:
        return true;
      case Event::Selected:
        window.last_selected_number = window.NumberOf(control);
        break;
      case Event::Timer:
        window.timer_pending = false;
        break;
      default:
        break;
    }
  }
  return true;
}

// Step 2 and the closing step 6 of dispatch: the next record to deliver, or
// none when the loop should wait for input (`over` when it has ended).
std::optional<EventRecord> EngineCore::NextRecord(WindowObject& window, bool& over) {
  if (!window.queue.empty()) {
    EventRecord record = window.queue.front();
    window.queue.pop_front();
    return record;
  }
  while (window.accept_all) {
    if (window.accept_all_cursor >= window.blueprint.controls.size()) {
      window.accept_all = false;
      PostRecord(window, Event::Completed, kNoControl);
      return std::nullopt;
    }
    ControlSpec& control = window.blueprint.controls[window.accept_all_cursor++];
    if (!TakesValue(control.kind) || !control.enabled || !control.visible || control.number == 0) continue;
    if (AcceptAllRefuses(window, control)) {
      window.accept_all = false;
      SelectControl(window, control.handle);
      return std::nullopt;
    }
    return MakeRecord(window, Event::Accepted, control.handle);
  }
  if (window.close_state != 2) return std::nullopt;
  if (window.children.empty()) {
    over = true;
    return std::nullopt;
  }
  for (WindowObject* child : window.children) {
    if (child->close_state != 2) {
      window.close_state = 1;
      PostRecord(*child, Event::CloseDown, kNoControl);
      return std::nullopt;
    }
  }
  platform_.Beep();
  window.close_state = 0;
  return std::nullopt;
}

// A control's own check during accept-all: a required field may not be empty.
bool EngineCore::AcceptAllRefuses(const WindowObject&, const ControlSpec& control) const {
  if ((control.attributes & attribute::kRequired) == 0) return false;
  return control.text.find_first_not_of(' ') == std::string::npos;
}

void EngineCore::FocusBetweenThreads() {
  if (focus_thread_now_ == focus_thread_before_) return;
  if (WindowObject* lost = TopWindow(focus_thread_before_)) PostRecord(*lost, Event::LoseFocus, kNoControl);
  if (WindowObject* gained = TopWindow(focus_thread_now_)) PostRecord(*gained, Event::GainFocus, kNoControl);
  focus_thread_before_ = focus_thread_now_;
}

EngineCore::Delivery EngineCore::Deliver(WindowObject& window, EventRecord record) {
  if (window.body == nullptr) return Delivery::End;
  if (window.body_running) return Delivery::Continue;
  // The body last ran on another thread: that thread's top window is told it
  // is suspended, and this one, if it was, that it resumes. These two events
  // do not themselves count as a run of a body (else two threads would keep
  // suspending each other).
  if (record.event() == Event::Suspend) return RunBody(window, std::move(record));
  if (last_body_thread_ >= 0 && last_body_thread_ != window.thread) {
    WindowObject* other = TopWindow(last_body_thread_);
    if (other != nullptr && !other->suspended) {
      other->suspended = true;
      PostRecord(*other, Event::Suspend, kNoControl);
    }
  }
  last_body_thread_ = window.thread;
  if (window.suspended) {
    window.suspended = false;
    if (RunBody(window, MakeRecord(window, Event::Resume, kNoControl)) == Delivery::End) return Delivery::End;
  }
  return RunBody(window, std::move(record));
}

EngineCore::Delivery EngineCore::RunBody(WindowObject& window, EventRecord record) {
  window.current = std::move(record);  // the previous current event is freed
  Trace(window, *window.current);
  window.body_running = true;
  LoopResult result = (*window.body)();
  window.body_running = false;
  ShowThreadLists();  // what the body did to the queues of its lists shows now
  switch (result) {
    case LoopResult::Continue:
      return Delivery::Continue;
    case LoopResult::Cycle:
      return Delivery::Cycle;
    case LoopResult::Break:
      window.loop_over = true;
      return Delivery::End;
  }
  return Delivery::Continue;
}

// Synchronous delivery of a vetoable event: at once, with the engine MODAL
// while the body runs; discarded unless the window is its thread's top window
// in an ACCEPT.
EngineCore::Delivery EngineCore::DeliverNow(WindowObject& window, EventRecord record) {
  if (TopWindow(window.thread) != &window || window.body == nullptr) return Delivery::Continue;
  ++modal_depth_;
  Delivery result = Deliver(window, std::move(record));
  --modal_depth_;
  return result;
}

void EngineCore::Trace(const WindowObject& window, const EventRecord& record) {
  if (!trace_.Enabled()) return;
  TraceValues values;
  values.code = record.code;
  values.field = window.NumberOf(record.control);
  values.accepted = record.event() == Event::Accepted ? values.field : 0;
  values.selected = window.last_selected_number;
  values.keycode = record.keycode & kKeyCodeMask;
  values.thread = window.thread + 1;
  values.window = window.id;
  trace_.Write(values);
}

// Event records: the key and mouse fields come from the current event when
// one is being handled, else from the thread's last key and the pointer.
EventRecord EngineCore::MakeRecord(WindowObject& window, Event event, ControlHandle control) {
  EventRecord record;
  record.window = window.id;
  record.code = InternalCode(event);
  record.thread = window.thread;
  record.control = control;
  record.selected = window.selected;
  WindowObject* current = current_slot_ >= 0 ? TopWindow(current_slot_) : nullptr;
  if (current != nullptr && current->body_running && current->current) {
    record.keycode = current->current->keycode;
    record.keychar = current->current->keychar;
    record.mouse_x = current->current->mouse_x;
    record.mouse_y = current->current->mouse_y;
  } else {
    const ThreadSlot& slot = slots_[window.thread];
    record.keycode = slot.last_key_code;
    record.keychar = static_cast<std::int8_t>(slot.last_key_char);
    record.mouse_x = mouse_x_;
    record.mouse_y = mouse_y_;
  }
  return record;
}

// Posting: the record travels to the window's thread as a message and joins
// the window's queue when that thread takes it.
void EngineCore::PostRecord(WindowObject& window, Event event, ControlHandle control) {
  if (!window.open()) return;
  InboxItem item;
  item.kind = InboxItem::Kind::Posted;
  item.record = MakeRecord(window, event, control);
  inbox_.Push(window.thread, std::move(item));
}

void EngineCore::PostEvent(Event event, int control_number, int thread_number) {
  assert(LockHeld());
  int slot = thread_number == 0 ? current_slot_ : thread_number - 1;
  if (slot < 0 || slot >= kThreadSlots || !slots_[slot].used) return;
  WindowObject* window = TopWindow(slot);
  if (window == nullptr) return;
  ControlHandle control = control_number == 0 ? kNoControl : window->FindControl(control_number);
  PostRecord(*window, event, control);
}

void EngineCore::SelectControl(WindowObject& window, ControlHandle control) {
  window.selected = control;
  platform_.SetFocus(window.id, control);
  PostRecord(window, Event::Selected, control);
}

void EngineCore::Select(WindowObject& window, int control_number) {
  assert(LockHeld());
  if (!window.open()) {
    ReportRuntimeError(536);
    return;
  }
  if (control_number == 0) {
    window.accept_all = true;
    window.accept_all_cursor = 0;
    if (window.thread != current_slot_) inbox_.Push(window.thread, InboxItem{InboxItem::Kind::Wake, {}, {}});
    return;
  }
  ControlHandle control = window.FindControl(control_number);
  if (control != kNoControl) SelectControl(window, control);
}

// The window procedure: one message taken from the thread's queue.
void EngineCore::HandleMessage(InboxItem item) {
  assert(LockHeld());
  switch (item.kind) {
    case InboxItem::Kind::Quit:
      Slot().quit = true;
      return;
    case InboxItem::Kind::Wake:
      return;
    case InboxItem::Kind::Posted: {
      auto found = windows_.find(item.record.window);
      if (found == windows_.end() || found->second->thread != current_slot_) return;  // freed
      found->second->queue.push_back(item.record);
      return;
    }
    case InboxItem::Kind::Platform: {
      auto found = windows_.find(item.message.window);
      if (found == windows_.end() || found->second->thread != current_slot_) return;
      HandlePlatformMessage(*found->second, item.message);
      return;
    }
  }
}

namespace {

// What a person does to a window (as against what the platform reports).
bool IsInput(MessageKind kind) {
  switch (kind) {
    case MessageKind::Command:
    case MessageKind::Edit:
    case MessageKind::Check:
    case MessageKind::ListSelect:
    case MessageKind::TabSelect:
    case MessageKind::Key:
    case MessageKind::Close:
    case MessageKind::SysCommand:
    case MessageKind::ListScroll:
    case MessageKind::ListThumb:
    case MessageKind::ListExpand:
    case MessageKind::ListContract:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool EngineCore::CoveredByPlainWindow(const WindowObject& window) const {
  const std::vector<WindowObject*>& stack = slots_[window.thread].windows;
  auto at = std::find(stack.begin(), stack.end(), &window);
  return at != stack.end() && std::any_of(std::next(at), stack.end(), [](const WindowObject* above) {
           return above->definition.type == definitions::WindowType::Plain;
         });
}

void EngineCore::HandlePlatformMessage(WindowObject& window, const PlatformMessage& message) {
  // A window below a plain window of its own thread takes no input: what a
  // person does to it meanwhile is dropped, not queued to run once the plain
  // window has closed (a menu choice on the frame while About is open).
  if (IsInput(message.kind) && CoveredByPlainWindow(window)) return;
  ControlSpec* control = window.Control(message.control);
  auto usable = [&] { return control != nullptr && control->enabled && control->visible; };
  switch (message.kind) {
    case MessageKind::Command:
      if (usable()) HandleCommand(window, control->handle);
      break;
    case MessageKind::Edit:
      if (!usable()) break;
      control->text = message.text;
      PostRecord(window, Event::Accepted, control->handle);
      break;
    case MessageKind::Check:
      if (!usable()) break;
      control->value = message.value;
      PostRecord(window, Event::Accepted, control->handle);
      break;
    case MessageKind::ListSelect:
    case MessageKind::ListScroll:
    case MessageKind::ListThumb:
    case MessageKind::ListScrolled:
    case MessageKind::ListGeometry:
    case MessageKind::ListExpand:
    case MessageKind::ListContract:
      if (control != nullptr && control->kind == ControlKind::List) HandleListMessage(window, *control, message);
      break;
    case MessageKind::TabSelect: {
      if (!usable() || control->value == message.value) break;
      if (DeliverNow(window, MakeRecord(window, Event::TabChanging, control->handle)) == Delivery::Cycle) {
        platform_.SetControlValue(window.id, control->handle, control->value);  // vetoed: back
        break;
      }
      control->value = message.value;
      PostRecord(window, Event::NewSelection, control->handle);
      break;
    }
    case MessageKind::Key: {
      ThreadSlot& slot = slots_[window.thread];
      slot.last_key_code = message.key_code;
      slot.last_key_char = message.key_char;
      if (!usable()) break;
      // The alert-key check: the control may claim the key.
      if (window.Alerts(control->handle, message.key_code)) {
        Delivery result = DeliverNow(window, MakeRecord(window, Event::PreAlert, control->handle));
        if (result != Delivery::Cycle) {
          PostRecord(window, Event::AlertKey, control->handle);
          break;
        }
      }
      if (IsImmediateList(*control)) HandleListKey(window, control->handle, message.key_code, message.key_char);
      break;
    }
    case MessageKind::Focus:
      if (control == nullptr) break;
      window.selected = control->handle;
      PostRecord(window, Event::Selected, control->handle);
      break;
    case MessageKind::Activate:
      focus_thread_now_ = window.thread;
      break;
    case MessageKind::Close:
      PostRecord(window, Event::CloseWindow, kNoControl);
      break;
    case MessageKind::SysCommand:
      HandleSysCommand(window, static_cast<SysCommand>(message.value));
      break;
    case MessageKind::Moved:
      if (window.immediate() && window.size_state != kSizeIconized) PostRecord(window, Event::Moved, kNoControl);
      break;
    case MessageKind::Sized:
      if (window.immediate() && window.size_state != kSizeIconized) PostRecord(window, Event::Sized, kNoControl);
      break;
    case MessageKind::SizeStateChanged: {
      if (message.value == window.size_state) break;
      window.size_state = message.value;
      Event event = message.value == kSizeMaximized   ? Event::Maximized
                    : message.value == kSizeIconized ? Event::Iconized
                                                     : Event::Restored;
      PostRecord(window, event, kNoControl);
      break;
    }
    case MessageKind::Timer:
      if (window.timer_pending) break;  // ticks coalesce (5)
      window.timer_pending = true;
      PostRecord(window, Event::Timer, kNoControl);
      break;
    case MessageKind::BringToFront:
      if (WindowObject* top = TopWindow(window.thread)) platform_.BringToFront(top->id);
      break;
    case MessageKind::MouseMove:
      mouse_x_ = message.mouse_x;
      mouse_y_ = message.mouse_y;
      break;
    case MessageKind::DialogAnswer:
      break;  // a dialog's answer goes to the thread waiting for it (RunDialog), never to a window
  }
}

// A menu item chosen or a button pressed. Standard menu actions are the
// engine's own: Close closes the window, the others are the platform's.
void EngineCore::HandleCommand(WindowObject& window, ControlHandle handle) {
  ControlSpec& control = *window.Control(handle);
  if (control.standard == StandardAction::Close) {
    WindowObject* target = window.owner != nullptr ? window.owner : &window;
    PostRecord(*target, Event::CloseWindow, kNoControl);
    return;
  }
  if (control.standard != StandardAction::None) {
    platform_.PerformStandardAction(window.id, control.standard);
    return;
  }
  if (control.kind == ControlKind::Check) control.value = control.value != 0 ? 0 : 1;
  PostRecord(window, Event::Accepted, handle);
}

void EngineCore::HandleSysCommand(WindowObject& window, SysCommand command) {
  Event event = Event::None;
  switch (command) {
    case SysCommand::Move:
    case SysCommand::Size:
      if (window.immediate() && window.size_state != kSizeIconized) {
        event = command == SysCommand::Move ? Event::Move : Event::Size;
      }
      break;
    case SysCommand::Restore:
      event = Event::Restore;
      break;
    case SysCommand::Maximize:
      event = Event::Maximize;
      break;
    case SysCommand::Minimize:
      event = Event::Iconize;
      break;
  }
  if (event != Event::None && DeliverNow(window, MakeRecord(window, event, kNoControl)) == Delivery::Cycle) return;
  if (window.open()) platform_.ApplySysCommand(window.id, command);
}

}  // namespace tavero::ui
