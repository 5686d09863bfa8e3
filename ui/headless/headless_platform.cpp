#include "ui/headless/headless_platform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "pictures/picture.h"

namespace tavero::ui::headless {
namespace {

bool IsImmediate(const ControlSpec& control) {
  return (control.attributes & definitions::control_attribute::kImmediate) != 0;
}

bool TakesFocus(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button:
    case ControlKind::Entry:
    case ControlKind::Text:
    case ControlKind::Check:
    case ControlKind::Combo:
    case ControlKind::Spin:
    case ControlKind::List:
    case ControlKind::Option:
    case ControlKind::Sheet:
      return true;
    default:
      return false;
  }
}

// Rows that fit a list `height` dialog units high, inside a border of one
// unit, under the heading row when the list has headings.
int RowsThatFit(int height, const ListFormat& format) {
  bool headings = false;
  for (const ListColumn& column : format.columns) headings = headings || !column.heading.empty();
  const int inside = height - 2 - (headings ? ScreenList::kRowHeight : 0);
  return std::max(1, inside / ScreenList::kRowHeight);
}

PlatformMessage ListMessage(MessageKind kind, WindowId window, ControlHandle control, int value) {
  return MakeMessage(kind, window, control, value);
}

}  // namespace

void HeadlessPlatform::Attach(MessageSink* sink) {
  std::lock_guard lock(mutex_);
  sink_ = sink;
}

ScreenWindow* HeadlessPlatform::FindLocked(WindowId window) {
  auto found = std::find_if(windows_.begin(), windows_.end(), [&](const ScreenWindow& w) { return w.blueprint.id == window; });
  return found == windows_.end() ? nullptr : &*found;
}

ControlSpec* HeadlessPlatform::ControlLocked(WindowId window, ControlHandle control) {
  ScreenWindow* screen = FindLocked(window);
  if (screen == nullptr || control < 0 || static_cast<std::size_t>(control) >= screen->blueprint.controls.size()) {
    return nullptr;
  }
  return &screen->blueprint.controls[control];
}

void HeadlessPlatform::PostLocked(PlatformMessage message) {
  if (sink_ != nullptr) sink_->Post(std::move(message));
}

void HeadlessPlatform::ActivateLocked(WindowId window) {
  auto found = std::find_if(windows_.begin(), windows_.end(), [&](const ScreenWindow& w) { return w.blueprint.id == window; });
  if (found == windows_.end()) return;
  std::rotate(found, found + 1, windows_.end());  // to the front
  if (active_ == window) return;
  active_ = window;
  PostLocked(MakeMessage(MessageKind::Activate, window));
}

// A new window comes to the front, becomes active, and its first control that
// can take the focus gets it.
bool HeadlessPlatform::OpenWindow(const WindowSpec& blueprint) {
  std::lock_guard lock(mutex_);
  if (refuse_windows_ > 0) {
    --refuse_windows_;
    return false;
  }
  ScreenWindow screen;
  screen.blueprint = blueprint;
  screen.size_state = static_cast<int>(blueprint.state & (kSizeMaximized | kSizeIconized));
  for (const ControlSpec& control : blueprint.controls) {
    if (control.kind != ControlKind::List) continue;
    ScreenList& list = screen.lists[control.handle];
    list.format = ParseListFormat(control.format);
    list.immediate = IsImmediate(control);
    list.scroll_bar = (control.attributes & definitions::control_attribute::kVerticalScroll) != 0;
    list.rows_visible = RowsThatFit(control.position.height, list.format);
    PostLocked(ListMessage(MessageKind::ListGeometry, blueprint.id, control.handle, list.rows_visible));
  }
  windows_.push_back(std::move(screen));
  ActivateLocked(blueprint.id);
  for (const ControlSpec& control : blueprint.controls) {
    if (TakesFocus(control.kind) && control.enabled && control.visible) {
      windows_.back().focused = control.handle;
      PostLocked(MakeMessage(MessageKind::Focus, blueprint.id, control.handle));
      break;
    }
  }
  return true;
}

void HeadlessPlatform::CloseWindow(WindowId window) {
  std::lock_guard lock(mutex_);
  std::erase_if(windows_, [&](const ScreenWindow& w) { return w.blueprint.id == window; });
  if (active_ == window) {
    active_ = kNoWindow;
    if (!windows_.empty()) ActivateLocked(windows_.back().blueprint.id);
  }
}

void HeadlessPlatform::SetWindowTitle(WindowId window, std::string_view title) {
  std::lock_guard lock(mutex_);
  if (ScreenWindow* screen = FindLocked(window)) screen->blueprint.title = title;
}

void HeadlessPlatform::SetStatusText(WindowId window, int zone, std::string_view text) {
  std::lock_guard lock(mutex_);
  if (ScreenWindow* screen = FindLocked(window)) screen->status_texts[zone] = text;
}

void HeadlessPlatform::SetControlText(WindowId window, ControlHandle control, std::string_view text) {
  std::lock_guard lock(mutex_);
  if (ControlSpec* blueprint = ControlLocked(window, control)) blueprint->text = text;
}

void HeadlessPlatform::SetControlMessage(WindowId window, ControlHandle control, std::string_view message) {
  std::lock_guard lock(mutex_);
  if (ControlSpec* blueprint = ControlLocked(window, control)) blueprint->message = message;
}

void HeadlessPlatform::SetControlValue(WindowId window, ControlHandle control, int value) {
  std::lock_guard lock(mutex_);
  ControlSpec* blueprint = ControlLocked(window, control);
  if (blueprint == nullptr) return;
  blueprint->value = value;
  ScreenList* list = ListLocked(window, control);
  if (list == nullptr || list->immediate || value < 1 || value > static_cast<int>(list->rows.size())) return;
  // The chosen row comes into sight.
  if (value - 1 < list->top) ScrollToLocked(window, control, *list, value - 1);
  if (value - 1 >= list->top + list->rows_visible) ScrollToLocked(window, control, *list, value - list->rows_visible);
}

void HeadlessPlatform::SetControlRange(WindowId window, ControlHandle control, int low, int high) {
  std::lock_guard lock(mutex_);
  if (ControlSpec* blueprint = ControlLocked(window, control)) {
    blueprint->low = low;
    blueprint->high = high;
  }
}

void HeadlessPlatform::SetControlEnabled(WindowId window, ControlHandle control, bool enabled) {
  std::lock_guard lock(mutex_);
  if (ControlSpec* blueprint = ControlLocked(window, control)) blueprint->enabled = enabled;
}

void HeadlessPlatform::SetControlVisible(WindowId window, ControlHandle control, bool visible) {
  std::lock_guard lock(mutex_);
  if (ControlSpec* blueprint = ControlLocked(window, control)) blueprint->visible = visible;
}

ScreenList* HeadlessPlatform::ListLocked(WindowId window, ControlHandle control) {
  ScreenWindow* screen = FindLocked(window);
  if (screen == nullptr) return nullptr;
  auto found = screen->lists.find(control);
  return found == screen->lists.end() ? nullptr : &found->second;
}

// A list that scrolls itself reports where it went.
void HeadlessPlatform::ScrollToLocked(WindowId window, ControlHandle control, ScreenList& list, int top) {
  top = std::clamp(top, 0, list.LastTop());
  if (top == list.top) return;
  list.top = top;
  PostLocked(ListMessage(MessageKind::ListScrolled, window, control, top));
}

void HeadlessPlatform::SetListRows(WindowId window, ControlHandle control, std::vector<ListRow> rows) {
  std::lock_guard lock(mutex_);
  ScreenList* list = ListLocked(window, control);
  if (list == nullptr) return;
  list->rows = std::move(rows);
  if (!list->immediate && list->top > list->LastTop()) ScrollToLocked(window, control, *list, list->LastTop());
}

void HeadlessPlatform::SetListScroll(WindowId window, ControlHandle control, int position) {
  std::lock_guard lock(mutex_);
  ScreenList* list = ListLocked(window, control);
  if (list == nullptr) return;
  if (list->immediate) {
    list->thumb = std::clamp(position, 0, kImmediateThumbRange);
  } else {
    ScrollToLocked(window, control, *list, position);
  }
}

void HeadlessPlatform::SetListScrollBar(WindowId window, ControlHandle control, bool shown) {
  std::lock_guard lock(mutex_);
  if (ScreenList* list = ListLocked(window, control)) list->scroll_bar = shown;
}

void HeadlessPlatform::SetImage(WindowId window, ControlHandle control, const images::Image& picture) {
  std::lock_guard lock(mutex_);
  if (ScreenWindow* screen = FindLocked(window)) screen->pictures[control] = {picture.width, picture.height};
}

void HeadlessPlatform::SetPage(WindowId window, ControlHandle control, const images::Metafile& page) {
  std::lock_guard lock(mutex_);
  if (ScreenWindow* screen = FindLocked(window)) {
    screen->pictures[control] = {page.header.right - page.header.left, page.header.bottom - page.header.top};
  }
}

void HeadlessPlatform::SetListIcon(WindowId window, ControlHandle control, int icon, std::string_view file,
                                   const images::Image& picture) {
  std::lock_guard lock(mutex_);
  if (ScreenList* list = ListLocked(window, control)) {
    list->icons[icon] = std::string(file);
    list->icon_pictures[icon] = {picture.width, picture.height};
  }
}

std::optional<ShownList> HeadlessPlatform::List(WindowId window, ControlHandle control) const {
  std::lock_guard lock(mutex_);
  auto* self = const_cast<HeadlessPlatform*>(this);
  const ScreenList* list = self->ListLocked(window, control);
  const ControlSpec* blueprint = self->ControlLocked(window, control);
  if (list == nullptr || blueprint == nullptr) return std::nullopt;
  ShownList shown;
  shown.headings = ShownHeadings(list->format);
  shown.icons = list->icon_pictures;
  const int tree = TreeColumn(list->format);
  const int count = static_cast<int>(list->rows.size());
  for (int i = list->top; i < count && i < list->top + list->rows_visible; ++i) {
    const int next_level = i + 1 < count ? list->rows[static_cast<std::size_t>(i + 1)].level : 0;
    shown.rows.push_back(ShownRow(list->rows[static_cast<std::size_t>(i)], next_level, tree));
  }
  shown.top = list->top;
  shown.rows_visible = list->rows_visible;
  shown.count = count;
  shown.selected = blueprint->value;
  shown.scroll_bar = list->scroll_bar && (list->immediate || count > list->rows_visible);
  shown.thumb = list->immediate ? list->thumb : list->top;
  return shown;
}

bool HeadlessPlatform::ResizeList(WindowId window, ControlHandle control, int height) {
  std::lock_guard lock(mutex_);
  ScreenList* list = ListLocked(window, control);
  ControlSpec* blueprint = ControlLocked(window, control);
  if (list == nullptr || blueprint == nullptr) return false;
  blueprint->position.height = height;
  list->rows_visible = RowsThatFit(height, list->format);
  PostLocked(ListMessage(MessageKind::ListGeometry, window, control, list->rows_visible));
  if (!list->immediate && list->top > list->LastTop()) ScrollToLocked(window, control, *list, list->LastTop());
  return true;
}

void HeadlessPlatform::SelectLocked(WindowId window, ControlSpec& control, ScreenList& list, int row,
                                    std::vector<PlatformMessage>& follow) {
  if (row == control.value) return;
  control.value = row;
  follow.push_back(ListMessage(MessageKind::ListSelect, window, control.handle, row));
  if (row - 1 < list.top) ScrollToLocked(window, control.handle, list, row - 1);
  if (row - 1 >= list.top + list.rows_visible) ScrollToLocked(window, control.handle, list, row - list.rows_visible);
}

bool HeadlessPlatform::ListInputLocked(WindowId window, ControlSpec& control, ScreenList& list,
                                       const PlatformMessage& message, std::vector<PlatformMessage>& follow) {
  const int count = static_cast<int>(list.rows.size());
  const int page = std::max(1, list.rows_visible - 1);
  switch (message.kind) {
    case MessageKind::ListSelect:
      control.value = message.value;
      return true;
    case MessageKind::ListThumb:
      if (list.immediate) {
        list.thumb = std::clamp(message.value, 0, kImmediateThumbRange);
        return true;
      }
      ScrollToLocked(window, control.handle, list, message.value);
      return false;
    case MessageKind::ListScroll: {
      if (list.immediate) return true;
      int top = list.top;
      switch (static_cast<ScrollAction>(message.value)) {
        case ScrollAction::LineUp: top -= 1; break;
        case ScrollAction::LineDown: top += 1; break;
        case ScrollAction::PageUp: top -= page; break;
        case ScrollAction::PageDown: top += page; break;
        case ScrollAction::Top: top = 0; break;
        case ScrollAction::Bottom: top = list.LastTop(); break;
      }
      ScrollToLocked(window, control.handle, list, top);
      return false;
    }
    case MessageKind::Key: {
      if (list.immediate || count == 0 || (message.key_code & (kKeyCtrl | kKeyAlt)) != 0) return true;
      const int current = control.value;
      int row = current;
      switch (message.key_code & 0xFF) {
        case kKeyUp: row = current - 1; break;
        case kKeyDown: row = current + 1; break;
        case kKeyPageUp: row = current - page; break;
        case kKeyPageDown: row = current + page; break;
        case kKeyHome: row = 1; break;
        case kKeyEnd: row = count; break;
        default:
          // The list's own locator.
          if (static_cast<unsigned char>(message.key_char) < 0x20 || list.format.columns.empty()) return true;
          if (const int row = LocatedRow(list.rows, current, static_cast<char>(message.key_char)); row != 0) {
            SelectLocked(window, control, list, row, follow);
          }
          return true;
      }
      SelectLocked(window, control, list, current == 0 ? 1 : std::clamp(row, 1, count), follow);
      return true;
    }
    default:
      return true;
  }
}

void HeadlessPlatform::SetFocus(WindowId window, ControlHandle control) {
  std::lock_guard lock(mutex_);
  if (ScreenWindow* screen = FindLocked(window)) screen->focused = control;
}

void HeadlessPlatform::StartTimer(WindowId window, int milliseconds) {
  std::lock_guard lock(mutex_);
  if (ScreenWindow* screen = FindLocked(window)) {
    screen->timer_milliseconds = milliseconds;
    screen->timer_elapsed = 0;
  }
}

void HeadlessPlatform::StopTimer(WindowId window) {
  std::lock_guard lock(mutex_);
  if (ScreenWindow* screen = FindLocked(window)) screen->timer_milliseconds = 0;
}

void HeadlessPlatform::BringToFront(WindowId window) {
  std::lock_guard lock(mutex_);
  ActivateLocked(window);
}

// The command is carried out; the window reports what happened.
void HeadlessPlatform::ApplySysCommand(WindowId window, SysCommand command) {
  std::lock_guard lock(mutex_);
  ScreenWindow* screen = FindLocked(window);
  if (screen == nullptr) return;
  auto size_state = [&](int state) {
    if (screen->size_state == state) return;
    screen->size_state = state;
    PostLocked(MakeMessage(MessageKind::SizeStateChanged, window, kNoControl, state));
  };
  switch (command) {
    case SysCommand::Move:
      PostLocked(MakeMessage(MessageKind::Moved, window));
      break;
    case SysCommand::Size:
      PostLocked(MakeMessage(MessageKind::Sized, window));
      break;
    case SysCommand::Restore:
      size_state(kSizeNormal);
      break;
    case SysCommand::Maximize:
      size_state(kSizeMaximized);
      break;
    case SysCommand::Minimize:
      size_state(kSizeIconized);
      break;
  }
}

void HeadlessPlatform::PerformStandardAction(WindowId window, StandardAction action) {
  std::lock_guard lock(mutex_);
  standard_actions_.emplace_back(window, action);
}

void HeadlessPlatform::Beep() {
  std::lock_guard lock(mutex_);
  ++beeps_;
}

// Nobody is there to close the box: it is recorded, written to stderr (a
// program halting after it leaves the text behind) and counts as closed.
void HeadlessPlatform::ShowErrorBox(std::string_view title, std::string_view text) {
  std::lock_guard lock(mutex_);
  error_boxes_.push_back(std::string(title) + ": " + std::string(text));
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(), static_cast<int>(text.size()),
               text.data());
}

// The box's text measured as the fixed-pitch screen shows it: wrapped at
// words within the wrap width, 4 dialog units a character, 8 a line.
void HeadlessPlatform::ShowMessageBox(WindowId dialog, const MessageBoxSpec& box) {
  constexpr int kCharacterWidth = 4;
  constexpr int kLineHeight = 8;
  constexpr int kIconSize = 32;
  const std::size_t wrap = kMessageWrapWidth / kCharacterWidth;
  std::size_t longest = 0;
  int lines = 0;
  std::string_view rest = box.text;
  while (true) {
    const std::size_t end = rest.find("\r\n");
    std::string_view line = rest.substr(0, end);
    do {  // a line longer than the wrap width breaks at its last blank within it
      std::size_t cut = line.size();
      if (cut > wrap) {
        cut = line.rfind(' ', wrap);
        if (cut == std::string_view::npos || cut == 0) cut = wrap;
      }
      longest = std::max(longest, cut);
      ++lines;
      line.remove_prefix(std::min(line.size(), cut + (cut < line.size() && line[cut] == ' ' ? 1 : 0)));
    } while (!line.empty());
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 2);
  }
  const bool icon = box.icon.kind != MessageIcon::Kind::None;
  ScreenMessageBox screen;
  screen.id = dialog;
  screen.box = box;
  screen.layout = LayOutMessageBox(static_cast<int>(longest) * kCharacterWidth + 10, lines * kLineHeight,
                                   icon ? kIconSize / 2 : 0, icon ? kIconSize / 4 : 0,
                                   static_cast<int>(box.buttons.size()));
  std::lock_guard lock(mutex_);
  message_boxes_.push_back(std::move(screen));
}

void HeadlessPlatform::ShowPopup(WindowId dialog, const PopupSpec& popup) {
  std::lock_guard lock(mutex_);
  popups_.push_back(ScreenPopup{dialog, popup});
}

void HeadlessPlatform::EndDialog(WindowId dialog) {
  std::lock_guard lock(mutex_);
  std::erase_if(message_boxes_, [&](const ScreenMessageBox& box) { return box.id == dialog; });
  std::erase_if(popups_, [&](const ScreenPopup& popup) { return popup.id == dialog; });
}

bool HeadlessPlatform::AnswerDialog(WindowId dialog, int answer) {
  std::lock_guard lock(mutex_);
  const std::size_t open = message_boxes_.size() + popups_.size();
  std::erase_if(message_boxes_, [&](const ScreenMessageBox& box) { return box.id == dialog; });
  std::erase_if(popups_, [&](const ScreenPopup& popup) { return popup.id == dialog; });
  if (message_boxes_.size() + popups_.size() == open) return false;
  PostLocked(MakeMessage(MessageKind::DialogAnswer, dialog, kNoControl, answer));
  return true;
}

void HeadlessPlatform::SetCursor(int stock_cursor) {
  std::lock_guard lock(mutex_);
  cursor_ = stock_cursor;
}

int HeadlessPlatform::Cursor() const {
  std::lock_guard lock(mutex_);
  return cursor_;
}

std::vector<ScreenMessageBox> HeadlessPlatform::MessageBoxes() const {
  std::lock_guard lock(mutex_);
  return message_boxes_;
}

std::vector<ScreenPopup> HeadlessPlatform::Popups() const {
  std::lock_guard lock(mutex_);
  return popups_;
}

std::vector<ScreenWindow> HeadlessPlatform::Windows() const {
  std::lock_guard lock(mutex_);
  return windows_;
}

std::optional<ScreenWindow> HeadlessPlatform::Find(WindowId window) const {
  std::lock_guard lock(mutex_);
  ScreenWindow* screen = const_cast<HeadlessPlatform*>(this)->FindLocked(window);
  return screen != nullptr ? std::optional<ScreenWindow>(*screen) : std::nullopt;
}

WindowId HeadlessPlatform::ActiveWindow() const {
  std::lock_guard lock(mutex_);
  return active_;
}

std::vector<std::string> HeadlessPlatform::ErrorBoxes() const {
  std::lock_guard lock(mutex_);
  return error_boxes_;
}

std::vector<std::pair<WindowId, StandardAction>> HeadlessPlatform::StandardActions() const {
  std::lock_guard lock(mutex_);
  return standard_actions_;
}

int HeadlessPlatform::Beeps() const {
  std::lock_guard lock(mutex_);
  return beeps_;
}

void HeadlessPlatform::RefuseWindows(int count) {
  std::lock_guard lock(mutex_);
  refuse_windows_ = count;
}

bool HeadlessPlatform::Send(PlatformMessage message) {
  std::lock_guard lock(mutex_);
  ScreenWindow* screen = FindLocked(message.window);
  if (screen == nullptr) return false;
  // A window under its own message box or popup menu takes no input.
  for (const ScreenMessageBox& box : message_boxes_) {
    if (box.box.owner == message.window) return false;
  }
  for (const ScreenPopup& popup : popups_) {
    if (popup.popup.owner == message.window) return false;
  }
  // What the person's action does on the screen before the program hears of it.
  std::vector<PlatformMessage> follow;
  ScreenList* list = ListLocked(message.window, message.control);
  ControlSpec* control = ControlLocked(message.window, message.control);
  if (list != nullptr && control != nullptr) {
    if (message.kind == MessageKind::Focus) screen->focused = message.control;
    const bool further = ListInputLocked(message.window, *control, *list, message, follow);
    if (further) PostLocked(std::move(message));
    for (PlatformMessage& m : follow) PostLocked(std::move(m));
    return true;
  }
  if (control != nullptr) {
    switch (message.kind) {
      case MessageKind::Edit: {
        // An entry takes no more characters than its picture shows.
        pictures::CompiledPicture picture;
        if (control->kind == ControlKind::Entry && !control->picture.empty() &&
            pictures::CompilePicture(control->picture, picture) > 0 && message.text.size() > static_cast<std::size_t>(picture.width())) {
          message.text.resize(static_cast<std::size_t>(picture.width()));
        }
        control->text = message.text;
        break;
      }
      case MessageKind::Check:
      case MessageKind::ListSelect:
      case MessageKind::TabSelect: control->value = message.value; break;
      case MessageKind::Focus: screen->focused = message.control; break;
      default: break;
    }
  }
  PostLocked(std::move(message));
  return true;
}

void HeadlessPlatform::PassTime(int milliseconds) {
  std::lock_guard lock(mutex_);
  for (ScreenWindow& screen : windows_) {
    if (screen.timer_milliseconds <= 0) continue;
    screen.timer_elapsed += milliseconds;
    while (screen.timer_elapsed >= screen.timer_milliseconds) {
      screen.timer_elapsed -= screen.timer_milliseconds;
      PostLocked(MakeMessage(MessageKind::Timer, screen.blueprint.id));
    }
  }
}

bool HeadlessPlatform::Activate(WindowId window) {
  std::lock_guard lock(mutex_);
  if (FindLocked(window) == nullptr) return false;
  ActivateLocked(window);
  return true;
}

}  // namespace tavero::ui::headless
