#include "runtime/runtime_error.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "runtime/error_state.h"
#include "locale/locale.h"

namespace tavero {
namespace {

constexpr std::string_view kTitle = "Runtime error";
constexpr std::size_t kMaxReportedText = 255;

void WriteToStandardError(std::string_view title, std::string_view text) {
  const std::string line = AnsiToUtf8(title) + ": " + AnsiToUtf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

// The box seam, replaced once by the window engine.
struct BoxSeam {
  std::mutex mutex;
  RuntimeErrorBox box = WriteToStandardError;
};

BoxSeam& Seam() {
  static BoxSeam seam;
  return seam;
}

std::atomic<bool> window_system_started{false};
std::atomic<bool> runtime_error_shown{false};

void ShowBox(std::string_view text) {
  RuntimeErrorBox box;
  {
    BoxSeam& seam = Seam();
    std::lock_guard lock(seam.mutex);
    box = seam.box;
  }
  box(kTitle, text);
  runtime_error_shown = true;
}

}  // namespace

void ReportRuntimeError(int code, std::string_view name) {
  std::string text;
  if (code != 0) {
    PostError(code);
    std::string_view posted = ErrorText();
    posted = posted.substr(0, posted.find_last_not_of(' ') + 1);
    text.assign(posted.substr(0, kMaxReportedText));
    if (!name.empty()) {
      text += " : ";
      text += name;
    }
  } else {
    text.assign(name);
  }
  ShowBox(text);
  if (WindowSystemStarted()) Halt(2);
}

void ReportInternalError(int line) {
  ShowBox("Internal error : vmrbt line " + std::to_string(line));
  Halt(2);
}

void SetRuntimeErrorBox(RuntimeErrorBox box) {
  BoxSeam& seam = Seam();
  std::lock_guard lock(seam.mutex);
  seam.box = box ? std::move(box) : RuntimeErrorBox(WriteToStandardError);
}

void SetWindowSystemStarted(bool started) { window_system_started = started; }
bool WindowSystemStarted() { return window_system_started.load(); }
bool RuntimeErrorShown() { return runtime_error_shown.load(); }

}  // namespace tavero
