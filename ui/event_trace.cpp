#include "ui/event_trace.h"

#include <cstdio>
#include <fstream>

#include "ui/event.h"

namespace tavero::ui {

std::string FormatTraceValue(int value) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%d (0%XH)", value, static_cast<unsigned>(value));
  return buffer;
}

std::string FormatTraceLine(const TraceValues& values) {
  std::string line;
  std::string_view name = EventName(values.code);
  if (name.empty()) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%#.4x", static_cast<unsigned>(values.code));
    line = buffer;
  } else {
    line = std::string(name) + " (" + FormatTraceValue(values.code) + ")";
  }
  line += " FIELD " + FormatTraceValue(values.field);
  line += " ACCEPTED " + FormatTraceValue(values.accepted);
  line += " SELECTED " + FormatTraceValue(values.selected);
  line += " KEYCODE " + FormatTraceValue(values.keycode);
  line += " THREAD " + FormatTraceValue(values.thread);
  line += " WINDOW " + FormatTraceValue(values.window);
  return line;
}

EventTrace::EventTrace(std::filesystem::path directory) : file_(std::move(directory) / "TVLOG.TXT") {}

void EventTrace::SetEnabled(bool on) {
  std::lock_guard lock(mutex_);
  enabled_ = on;
}

bool EventTrace::Enabled() const {
  std::lock_guard lock(mutex_);
  return enabled_;
}

void EventTrace::Write(const TraceValues& values) {
  std::lock_guard lock(mutex_);
  if (!enabled_) return;
  std::ofstream out(file_, std::ios::app | std::ios::binary);
  out << FormatTraceLine(values) << "\r\n";
}

}  // namespace tavero::ui
