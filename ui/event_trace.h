// The event trace: one line per delivered event, appended to "TVLOG.TXT"
// (created on first write). Off unless switched on; it has its own lock.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>

namespace tavero::ui {

// The values one trace line shows.
struct TraceValues {
  int code = 0;  // internal event number
  int field = 0;
  int accepted = 0;
  int selected = 0;
  int keycode = 0;
  int thread = 0;  // the window's thread number
  int window = 0;  // the window's id
};

// "3 (03H)": a value as decimal and hexadecimal.
std::string FormatTraceValue(int value);
// The whole line, without its line end.
std::string FormatTraceLine(const TraceValues& values);

class EventTrace {
 public:
  explicit EventTrace(std::filesystem::path directory);
  void SetEnabled(bool on);
  bool Enabled() const;
  void Write(const TraceValues& values);

 private:
  mutable std::mutex mutex_;
  std::filesystem::path file_;
  bool enabled_ = false;
};

}  // namespace tavero::ui
