// The headless platform: a window system without a display. It keeps what a
// person would see (the open windows, their titles, menus and controls with
// their texts, enabled and visible state, the focused control, status texts,
// error boxes) and lets a driver act as that person (see driver.h).
//
// Engine threads call the Platform methods; the driver thread reads the
// screen and posts input. Both go through `mutex_`.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/headless/headless_printer.h"
#include "ui/message_box.h"
#include "ui/list_format.h"
#include "ui/platform.h"
#include "ui/shown_list.h"

namespace tavero::ui::headless {

// A list box as the headless platform keeps it. It behaves as the Qt list
// does: a list that scrolls itself moves its highlight on the navigation
// keys and keeps it in sight, and its scroll bar moves the top row; an
// immediate list only reports. Every row is kRowHeight dialog units high,
// under a heading row of the same height when a column has a heading.
struct ScreenList {
  static constexpr int kRowHeight = 10;
  ListFormat format;
  bool immediate = false;
  std::vector<ListRow> rows;
  int top = 0;           // 0-based
  int rows_visible = 1;
  int thumb = 0;         // immediate lists; the others show `top`
  bool scroll_bar = false;
  std::map<int, std::string> icons;           // the file each icon was registered from
  std::map<int, ShownPicture> icon_pictures;  // as decoded

  int LastTop() const { return std::max(0, static_cast<int>(rows.size()) - rows_visible); }
};

// One window as a person sees it.
struct ScreenWindow {
  WindowSpec blueprint;                          // controls with their present texts and state
  std::map<int, std::string> status_texts;  // by zone
  std::map<ControlHandle, ScreenList> lists;
  std::map<ControlHandle, ShownPicture> pictures;  // image controls
  ControlHandle focused = kNoControl;
  int timer_milliseconds = 0;  // 0: no timer
  int timer_elapsed = 0;       // milliseconds since the last tick
  int size_state = kSizeNormal;
};

// An open message box as a person sees it, laid out with the platform's
// fixed-pitch text: each character 4 dialog units wide, each line 8 high.
struct ScreenMessageBox {
  WindowId id = kNoWindow;
  MessageBoxSpec box;
  MessageBoxLayout layout;
};

// An open popup menu.
struct ScreenPopup {
  WindowId id = kNoWindow;
  PopupSpec popup;
};

class HeadlessPlatform final : public Platform {
 public:
  // Platform
  void Attach(MessageSink* sink) override;
  bool OpenWindow(const WindowSpec& blueprint) override;
  void CloseWindow(WindowId window) override;
  void SetWindowTitle(WindowId window, std::string_view title) override;
  void SetStatusText(WindowId window, int zone, std::string_view text) override;
  void SetControlText(WindowId window, ControlHandle control, std::string_view text) override;
  void SetControlMessage(WindowId window, ControlHandle control, std::string_view message) override;
  void SetControlValue(WindowId window, ControlHandle control, int value) override;
  void SetControlRange(WindowId window, ControlHandle control, int low, int high) override;
  void SetControlEnabled(WindowId window, ControlHandle control, bool enabled) override;
  void SetControlVisible(WindowId window, ControlHandle control, bool visible) override;
  void SetListRows(WindowId window, ControlHandle control, std::vector<ListRow> rows) override;
  void SetListScroll(WindowId window, ControlHandle control, int position) override;
  void SetListScrollBar(WindowId window, ControlHandle control, bool shown) override;
  void SetListIcon(WindowId window, ControlHandle control, int icon, std::string_view file,
                   const images::Image& picture) override;
  void SetImage(WindowId window, ControlHandle control, const images::Image& picture) override;
  // A report's page shows as a picture of its bounding box's size.
  void SetPage(WindowId window, ControlHandle control, const images::Metafile& page) override;
  void SetFocus(WindowId window, ControlHandle control) override;
  void StartTimer(WindowId window, int milliseconds) override;
  void StopTimer(WindowId window) override;
  void BringToFront(WindowId window) override;
  void ApplySysCommand(WindowId window, SysCommand command) override;
  void PerformStandardAction(WindowId window, StandardAction action) override;
  void Beep() override;
  void ShowErrorBox(std::string_view title, std::string_view text) override;
  void ShowMessageBox(WindowId dialog, const MessageBoxSpec& box) override;
  void ShowPopup(WindowId dialog, const PopupSpec& popup) override;
  void EndDialog(WindowId dialog) override;
  PrinterPort* Printer() override { return &printer_; }
  void SetCursor(int stock_cursor) override;

  // The printer, as a test sets it up and reads what was printed.
  HeadlessPrinter& printer() { return printer_; }

  // What the person sees: copies, safe to keep.
  std::vector<ScreenWindow> Windows() const;  // in stacking order, the front one last
  std::optional<ScreenWindow> Find(WindowId window) const;
  WindowId ActiveWindow() const;
  std::vector<std::string> ErrorBoxes() const;  // "title: text"
  std::vector<std::pair<WindowId, StandardAction>> StandardActions() const;
  int Beeps() const;
  int Cursor() const;  // 0: the normal cursor
  std::vector<ScreenMessageBox> MessageBoxes() const;  // the front one last
  std::vector<ScreenPopup> Popups() const;
  // Refuse to create the next `count` windows (a window system out of resources).
  void RefuseWindows(int count);

  // Input as a person makes it; false when the window is not open.
  bool Send(PlatformMessage message);
  // Closes an open message box or popup menu with `answer`; false when it is
  // not open.
  bool AnswerDialog(WindowId dialog, int answer);
  // A list box seen as a person sees it; nothing when there is no such list.
  std::optional<ShownList> List(WindowId window, ControlHandle control) const;
  // Lays a list out anew at `height` dialog units (its window was resized).
  bool ResizeList(WindowId window, ControlHandle control, int height);
  // Lets `milliseconds` pass: each window's timer ticks once per interval.
  void PassTime(int milliseconds);
  // Brings a window to the front and makes it the active one.
  bool Activate(WindowId window);

 private:
  ScreenWindow* FindLocked(WindowId window);
  ControlSpec* ControlLocked(WindowId window, ControlHandle control);
  void PostLocked(PlatformMessage message);
  void ActivateLocked(WindowId window);
  ScreenList* ListLocked(WindowId window, ControlHandle control);
  // The list's own reactions to a person's action, before the engine hears of it.
  // False when the message goes no further than the list.
  bool ListInputLocked(WindowId window, ControlSpec& control, ScreenList& list, const PlatformMessage& message,
                       std::vector<PlatformMessage>& follow);
  void ScrollToLocked(WindowId window, ControlHandle control, ScreenList& list, int top);
  void SelectLocked(WindowId window, ControlSpec& control, ScreenList& list, int row,
                    std::vector<PlatformMessage>& follow);

  mutable std::mutex mutex_;
  MessageSink* sink_ = nullptr;
  std::vector<ScreenWindow> windows_;  // stacking order, front last
  WindowId active_ = kNoWindow;
  std::vector<std::string> error_boxes_;
  std::vector<std::pair<WindowId, StandardAction>> standard_actions_;
  int beeps_ = 0;
  int cursor_ = 0;
  std::vector<ScreenMessageBox> message_boxes_;
  std::vector<ScreenPopup> popups_;
  int refuse_windows_ = 0;
  HeadlessPrinter printer_;
};

}  // namespace tavero::ui::headless
