#include "runtime/error_state.h"

#include <vector>

#include "runtime/message_table.h"
#include "runtime/system_error.h"

namespace tavero {
namespace {

// Process-wide, as the procedures see it (see the header for threads).
ErrorState current_state;

// Saved states: code, system code and text (ErrorFile is not saved).
std::vector<ErrorState> saved_states;

}  // namespace

ErrorState& CurrentErrorState() { return current_state; }

void PostError(int code) { PostError(code, LastSystemError()); }

void PostError(int code, int os_code) {
  if (code == 0) code = 300 + os_code;
  std::string text = PostedMessageText(code);
  std::string_view view = text;
  const std::size_t first = view.find_first_not_of(' ');
  view.remove_prefix(first == std::string_view::npos ? view.size() : first);
  if (view.size() > kErrorTextLength) view = view.substr(0, kErrorTextLength);

  ClearError();
  current_state.os_code = os_code;
  current_state.code = code;
  current_state.text.assign(view);
}

void ClearError() {
  current_state.code = 0;
  current_state.file = nullptr;
  current_state.text.clear();
}

void SetErrorFile(const void* file) { current_state.file = file; }

int ErrorCode() { return current_state.code; }
std::string_view ErrorText() { return current_state.text; }
const void* ErrorFile() { return current_state.file; }
int ErrorOsCode() { return current_state.os_code; }

void PushErrorState() {
  saved_states.push_back({current_state.code, current_state.os_code, current_state.text, nullptr});
}

void PopErrorState() {
  if (saved_states.empty()) return;
  ErrorState& saved = saved_states.back();
  current_state.code = saved.code;
  current_state.os_code = saved.os_code;
  current_state.text = std::move(saved.text);
  saved_states.pop_back();
}

}  // namespace tavero
