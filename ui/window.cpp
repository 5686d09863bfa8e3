// Windows: building them from their definitions, opening and closing them,
// and their properties.
#include <cassert>
#include <charconv>

#include "runtime/runtime_error.h"
#include "ui/definitions/definitions.h"
#include "ui/engine_core.h"
#include "ui/properties.h"

namespace tavero::ui {
namespace {

using definitions::ControlDefinition;
using definitions::ControlKind;
using definitions::WindowType;
namespace attribute = definitions::control_attribute;

void Flatten(const ControlDefinition& definition, ControlHandle parent, std::vector<ControlSpec>& out) {
  ControlSpec blueprint;
  blueprint.handle = static_cast<ControlHandle>(out.size());
  blueprint.parent = parent;
  blueprint.kind = definition.kind;
  blueprint.number = definition.number;
  blueprint.attributes = definition.attributes;
  blueprint.position = definition.position;
  blueprint.text = definition.text;
  blueprint.message = definition.message;
  blueprint.tip = definition.tip;
  blueprint.picture = definition.picture;
  blueprint.format = definition.format;
  blueprint.key_code = definition.key_code;
  blueprint.low = definition.low;
  blueprint.high = definition.high;
  blueprint.enabled = !definition.has(attribute::kDisabled);
  blueprint.visible = !definition.has(attribute::kHidden);
  blueprint.standard = definition.standard;
  blueprint.font = definition.font;
  if (definition.kind == ControlKind::Sheet && !definition.children.empty()) blueprint.value = 1;  // first tab
  if (definition.kind == ControlKind::Progress) blueprint.value = definition.low;
  out.push_back(std::move(blueprint));
  const ControlHandle me = out.back().handle;
  for (const ControlDefinition& child : definition.children) Flatten(child, me, out);
}

int ToNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

WindowSpec BuildWindowSpec(const definitions::EntryDefinition& definition) {
  WindowSpec blueprint;
  blueprint.type = definition.type;
  blueprint.title = definition.title;
  blueprint.position = definition.position;
  blueprint.font = definition.font;
  blueprint.attributes = definition.attributes;
  blueprint.state = definition.state;
  blueprint.status_zones = definition.status_zones;
  if (definition.menu_bar) Flatten(*definition.menu_bar, kNoControl, blueprint.controls);
  for (const ControlDefinition& control : definition.controls) Flatten(control, kNoControl, blueprint.controls);
  return blueprint;
}

ControlHandle WindowObject::FindControl(int number) const {
  if (number == 0) return kNoControl;
  for (const ControlSpec& control : blueprint.controls) {
    if (control.number == number) return control.handle;
  }
  return kNoControl;
}

ControlSpec* WindowObject::Control(ControlHandle handle) {
  if (handle < 0 || static_cast<std::size_t>(handle) >= blueprint.controls.size()) return nullptr;
  return &blueprint.controls[handle];
}

const ControlSpec* WindowObject::Control(ControlHandle handle) const {
  return const_cast<WindowObject*>(this)->Control(handle);
}

int WindowObject::NumberOf(ControlHandle handle) const {
  const ControlSpec* control = Control(handle);
  return control != nullptr ? control->number : 0;
}

bool WindowObject::Alerts(ControlHandle handle, int key_code) const {
  for (const auto& [control, key] : alert_keys) {
    if (key == key_code && (control == kNoControl || control == handle)) return true;
  }
  return false;
}

// Opening: the checks by kind of window come first (see Failure handling of
// each kind), then the platform builds and shows it.
void EngineCore::OpenWindow(WindowObject& window) {
  assert(LockHeld());
  if (window.open()) {
    ReportRuntimeError(535);
    return;
  }
  const WindowType type = window.definition.type;
  if (type == WindowType::Application) {
    if (application_ != nullptr) return ReportRuntimeError(526);
    if (modal_depth_ > 0) return ReportRuntimeError(527);
  } else if (type == WindowType::MdiChild) {
    if (application_ == nullptr || application_->close_state != 0) return ReportRuntimeError(530);
    if (modal_depth_ > 0) return ReportRuntimeError(531);
    if (application_->thread == current_slot_) return ReportRuntimeError(532);
  }
  ThreadSlot& slot = Slot();
  window.id = next_window_id_++;
  window.thread = current_slot_;
  window.owner = type == WindowType::MdiChild ? application_ : nullptr;
  window.children.clear();
  window.body = nullptr;
  window.loop_over = false;
  window.body_running = false;
  window.queue.clear();
  window.current.reset();
  window.selected = kNoControl;
  window.last_selected_number = 0;
  window.accept_all = false;
  window.close_state = 0;
  window.suspended = false;
  window.timer_pending = false;
  window.size_state = static_cast<int>(window.definition.state & definitions::window_state::kSizeMask);
  window.modal = type == WindowType::Plain &&
                 ((window.definition.state & definitions::window_state::kModal) != 0 || modal_windows_ > 0);
  window.blueprint.id = window.id;
  window.blueprint.thread = current_slot_;
  window.blueprint.modal = window.modal;
  window.blueprint.owner = window.owner != nullptr ? window.owner->id
                      : slot.windows.empty()   ? kNoWindow
                                               : slot.windows.back()->id;
  windows_[window.id] = &window;
  slot.windows.push_back(&window);
  inbox_.Route(window.id, current_slot_);
  if (window.modal) {
    ++modal_windows_;
    ++modal_depth_;
  }
  if (!platform_.OpenWindow(window.blueprint)) {
    ForgetWindow(window);
    return ReportRuntimeError(type == WindowType::Application ? 528 : type == WindowType::MdiChild ? 533 : 529);
  }
  if (type == WindowType::Application) application_ = &window;
  if (window.owner != nullptr) window.owner->children.push_back(&window);
  for (auto& [handle, list] : window.lists) {
    for (const auto& [icon, file] : list.icons) {
      platform_.SetListIcon(window.id, handle, icon, file, LoadNamedPicture(file));
    }
  }
  ShowImageControls(window);
  ShowLists(window, true);
  PostRecord(window, Event::OpenWindow, kNoControl);
  if (window.definition.timer > 0) StartTimer(window, window.definition.timer);
}

void EngineCore::CloseWindow(WindowObject& window) {
  assert(LockHeld());
  if (!window.open()) return;
  // Its children go first (on whatever thread they are): the platform never
  // takes a window away from under one still open.
  while (!window.children.empty()) {
    WindowObject& child = *window.children.back();
    const int thread = child.thread;
    CloseWindow(child);  // leaves window.children
    if (thread != current_slot_) inbox_.Push(thread, InboxItem{InboxItem::Kind::Wake, {}, {}});
  }
  if (window.timer_interval > 0) platform_.StopTimer(window.id);
  platform_.CloseWindow(window.id);
  ForgetWindow(window);
}

void EngineCore::ForgetWindow(WindowObject& window) {
  windows_.erase(window.id);
  inbox_.Unroute(window.id);
  std::vector<WindowObject*>& stack = slots_[window.thread].windows;
  std::erase(stack, &window);
  if (slots_[window.thread].target == &window) slots_[window.thread].target = nullptr;
  if (application_ == &window) application_ = nullptr;
  for (WindowObject* child : window.children) child->owner = nullptr;
  window.children.clear();
  if (WindowObject* owner = window.owner) {
    std::erase(owner->children, &window);
    // The frame waiting for its children to go takes its next close step.
    if (owner->close_state == 2) inbox_.Push(owner->thread, InboxItem{InboxItem::Kind::Wake, {}, {}});
  }
  window.owner = nullptr;
  if (window.modal) {
    --modal_windows_;
    --modal_depth_;
    window.modal = false;
  }
  window.id = kNoWindow;
  window.queue.clear();
  window.current.reset();
  window.accept_all = false;
  window.timer_interval = 0;
  window.timer_pending = false;
}

void EngineCore::StartTimer(WindowObject& window, int hundredths) {
  if (window.timer_interval > 0) platform_.StopTimer(window.id);
  window.timer_interval = hundredths > 0 ? hundredths : 0;
  if (window.timer_interval > 0) platform_.StartTimer(window.id, window.timer_interval * 10);
}

std::string EngineCore::GetProperty(WindowObject* window, int control_number, int property, int index) {
  assert(LockHeld());
  if (window == nullptr || !window->open()) {
    ReportRuntimeError(536);
    return {};
  }
  auto other = [&](int handle) {
    auto found = window->other_properties.find({handle + 1, property, index});
    return found == window->other_properties.end() ? std::string() : found->second;
  };
  if (control_number == 0) {
    switch (property) {
      case property::kText: return window->blueprint.title;
      case property::kTimer: return std::to_string(window->timer_interval);
      case property::kAcceptAll: return window->accept_all ? "1" : "0";
      default: return other(kNoControl);
    }
  }
  const ControlSpec* control = window->Control(window->FindControl(control_number));
  if (control == nullptr) return {};
  if (std::string list_value; GetListProperty(*window, *control, property, list_value)) return list_value;
  switch (property) {
    case property::kText: return control->text;
    case property::kRangeLow: return std::to_string(control->low);
    case property::kRangeHigh: return std::to_string(control->high);
    case property::kDisable: return control->enabled ? "0" : "1";
    case property::kHide: return control->visible ? "0" : "1";
    case property::kMessage: return control->message;
    case property::kValue: return std::to_string(control->value);
    default: return other(control->handle);
  }
}

void EngineCore::SetProperty(WindowObject* window, int control_number, int property, std::string_view value,
                             int index) {
  assert(LockHeld());
  if (window == nullptr || !window->open()) {
    ReportRuntimeError(536);
    return;
  }
  const WindowId id = window->id;
  if (control_number == 0) {
    switch (property) {
      case property::kText:
        window->blueprint.title = value;
        platform_.SetWindowTitle(id, value);
        return;
      case property::kTimer:
        StartTimer(*window, ToNumber(value));  // the running timer is stopped and restarted
        return;
      case property::kAcceptAll:
        if (ToNumber(value) != 0) {
          Select(*window, 0);
        } else {
          window->accept_all = false;
        }
        return;
      case property::kStatusText:
        platform_.SetStatusText(id, index, value);
        break;
      default:
        break;
    }
    window->other_properties[{0, property, index}] = value;
    return;
  }
  ControlSpec* control = window->Control(window->FindControl(control_number));
  if (control == nullptr) return;
  const ControlHandle handle = control->handle;
  if (SetListProperty(*window, *control, property, value)) return;
  switch (property) {
    case property::kText:
      if (control->kind == ControlKind::Image) return SetImageFile(*window, *control, value);
      control->text = value;
      platform_.SetControlText(id, handle, value);
      return;
    case property::kRangeLow:
    case property::kRangeHigh:  // setting one bound keeps the other
      (property == property::kRangeLow ? control->low : control->high) = ToNumber(value);
      platform_.SetControlRange(id, handle, control->low, control->high);
      return;
    case property::kDisable:
      control->enabled = ToNumber(value) == 0;
      platform_.SetControlEnabled(id, handle, control->enabled);
      return;
    case property::kHide:
      control->visible = ToNumber(value) == 0;
      platform_.SetControlVisible(id, handle, control->visible);
      return;
    case property::kMessage:
      control->message = value;
      platform_.SetControlMessage(id, handle, value);
      return;
    case property::kValue:
      control->value = ToNumber(value);
      platform_.SetControlValue(id, handle, control->value);
      return;
    default:
      window->other_properties[{handle + 1, property, index}] = value;
      return;
  }
}

// Window: the procedure's handle.

namespace {
definitions::EntryDefinition Lookup(std::string_view module_label, std::string_view procedure_label) {
  std::optional<definitions::EntryDefinition> found = definitions::FindDefinition(module_label, procedure_label);
  return found ? std::move(*found) : definitions::EntryDefinition{};
}

EngineCore& RunningEngine() {
  EngineCore* engine = EngineCore::Installed();
  assert(engine != nullptr && engine->LockHeld() && "called outside an engine thread");
  return *engine;
}
}  // namespace

Window::Window(std::string_view module_label, std::string_view procedure_label)
    : Window(Lookup(module_label, procedure_label)) {}

Window::Window(definitions::EntryDefinition definition) : object_(std::make_unique<WindowObject>()) {
  object_->blueprint = BuildWindowSpec(definition);
  object_->definition = std::move(definition);
  PrepareLists(*object_);
}

Window::~Window() {
  if (object_->open()) {
    if (EngineCore* engine = EngineCore::Installed(); engine != nullptr && engine->LockHeld()) {
      engine->CloseWindow(*object_);
    }
  }
}

void Window::Open() { RunningEngine().OpenWindow(*object_); }
void Window::Close() { RunningEngine().CloseWindow(*object_); }
bool Window::IsOpen() const { return object_->open(); }
WindowId Window::Id() const { return object_->id; }

std::string Window::GetProperty(int control, int property, int index) const {
  return RunningEngine().GetProperty(object_.get(), control, property, index);
}
void Window::SetProperty(int control, int property, std::string_view value, int index) {
  RunningEngine().SetProperty(object_.get(), control, property, value, index);
}
void Window::SetProperty(int control, int property, int value, int index) {
  SetProperty(control, property, std::to_string(value), index);
}

void SELECT(Window& window, int control) { RunningEngine().Select(*window.object_, control); }

}  // namespace tavero::ui
