// The engine's operations as procedures call them: each acts on the calling
// engine thread's state.
#include <cassert>
#include <cstdio>

#include "runtime/runtime_error.h"
#include "ui/engine_core.h"

namespace tavero::ui {
namespace {

EngineCore& Core() {
  EngineCore* engine = EngineCore::Installed();
  assert(engine != nullptr && engine->LockHeld() && "called outside an engine thread");
  return *engine;
}

const EventRecord* CurrentEvent() {
  WindowObject* window = Core().CurrentWindow();
  return window != nullptr && window->current ? &*window->current : nullptr;
}

}  // namespace

void ACCEPT(const LoopBody& body) { Core().Accept(body); }

Event EVENT() {
  const EventRecord* record = CurrentEvent();
  return record != nullptr ? record->event() : Event::None;
}

int FIELD() {
  WindowObject* window = Core().CurrentWindow();
  if (window == nullptr || !window->current) return 0;
  return window->NumberOf(window->current->control);
}

int ACCEPTED() { return EVENT() == Event::Accepted ? FIELD() : 0; }

int SELECTED() {
  WindowObject* window = Core().CurrentWindow();
  return window != nullptr ? window->last_selected_number : 0;
}

int KEYCODE() {
  const EventRecord* record = CurrentEvent();
  return (record != nullptr ? record->keycode : Core().Slot().last_key_code) & kKeyCodeMask;
}

int KEYCHAR() {
  const EventRecord* record = CurrentEvent();
  return record != nullptr ? record->keychar : static_cast<std::int8_t>(Core().Slot().last_key_char);
}

int THREAD() { return Core().CurrentSlot() + 1; }

bool OnEngineThread() {
  const EngineCore* engine = EngineCore::Installed();
  return engine != nullptr && engine->LockHeld();
}

void POST(Event event, int control, int thread) { Core().PostEvent(event, control, thread); }

void SELECT(int control) {
  EngineCore& core = Core();
  WindowObject* window = core.CurrentWindow();
  if (window == nullptr) return ReportRuntimeError(536);
  core.Select(*window, control);
}

void ALERT(int control, int key_code) {
  WindowObject* window = Core().CurrentWindow();
  if (window == nullptr) return ReportRuntimeError(536);
  ControlHandle handle = control == 0 ? kNoControl : window->FindControl(control);
  if (control != 0 && handle == kNoControl) return;
  window->alert_keys.emplace_back(handle, key_code);
}

void DISPLAY() {
  EngineCore& core = Core();
  WindowObject* window = core.CurrentWindow();
  if (window == nullptr) return;
  Platform& platform = core.platform();
  for (const ControlSpec& control : window->blueprint.controls) {
    // An image control's text names its picture, which is shown already.
    if (control.kind != ControlKind::Image) platform.SetControlText(window->id, control.handle, control.text);
    platform.SetControlValue(window->id, control.handle, control.value);
    platform.SetControlEnabled(window->id, control.handle, control.enabled);
    platform.SetControlVisible(window->id, control.handle, control.visible);
  }
  core.ShowLists(*window, true);
}

int START(std::function<void()> procedure, int stack_size) { return Core().Start(std::move(procedure), stack_size); }

std::string GetProperty(int control, int property, int index) {
  EngineCore& core = Core();
  return core.GetProperty(core.CurrentWindow(), control, property, index);
}

void SetProperty(int control, int property, std::string_view value, int index) {
  EngineCore& core = Core();
  core.SetProperty(core.CurrentWindow(), control, property, value, index);
}

void SetProperty(int control, int property, int value, int index) {
  SetProperty(control, property, std::to_string(value), index);
}

PrinterPort* CurrentPrinter() {
  EngineCore* engine = EngineCore::Installed();
  return engine != nullptr ? engine->platform().Printer() : nullptr;
}

void ShowErrorBox(std::string_view title, std::string_view text) {
  EngineCore* engine = EngineCore::Installed();
  if (engine != nullptr) {
    engine->platform().ShowErrorBox(title, text);
  } else {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(), static_cast<int>(text.size()),
                 text.data());
  }
}

void WithoutEngineLock(const std::function<void()>& work) {
  EngineCore* engine = EngineCore::Installed();
  if (engine != nullptr) {
    engine->RunUnlocked(work);
  } else {
    work();
  }
}

}  // namespace tavero::ui
