// A driver that acts on the headless platform as a person would, and reads
// back what that person sees. Every action returns once the engine has
// finished reacting to it (every engine thread waits for input again), so a
// test reads a settled screen without sleeping. An action a person could not
// take (a window that is not open, a disabled or hidden control) returns
// false and does nothing.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ui/engine.h"
#include "ui/headless/headless_platform.h"

namespace tavero::ui::headless {

class HeadlessDriver {
 public:
  HeadlessDriver(HeadlessPlatform& platform, Engine& engine);

  // Waits until the engine has reacted to everything so far.
  void Settle();

  // Seeing.
  std::vector<ScreenWindow> Windows() const;  // front one last
  std::vector<std::string> Titles() const;
  // The front-most open window with `title`, kNoWindow when there is none.
  WindowId Find(std::string_view title) const;
  WindowId Active() const;
  std::optional<ControlSpec> Control(WindowId window, int number) const;
  std::string Text(WindowId window, int number) const;
  bool Enabled(WindowId window, int number) const;
  bool Visible(WindowId window, int number) const;
  int Focused(WindowId window) const;  // number of the focused control, 0 for none
  std::string StatusText(WindowId window, int zone = 1) const;
  std::vector<std::string> ErrorBoxes() const { return platform_.ErrorBoxes(); }
  // The open message box in front, if any, and what it shows.
  std::optional<ScreenMessageBox> MessageBox() const;
  std::string MessageCaption() const;
  std::string MessageText() const;                 // lines joined by "\n"
  std::vector<std::string> MessageButtons() const;  // their texts, left to right: "&Yes", "&No", "Cancel"
  std::string MessageDefault() const;              // the default button's text
  // The items of the open popup menu, in order, submenus flattened with their
  // title as a prefix: "&Insert", "B/C"; "-" for a separator.
  std::vector<std::string> PopupItems() const;
  bool PopupItemEnabled(std::string_view path) const;
  bool PopupItemChecked(std::string_view path) const;
  // A list box as shown: headings, the rows in sight, highlight, scroll bar.
  std::optional<ShownList> List(WindowId window, int number) const;
  // The picture an image control shows.
  std::optional<ShownPicture> Picture(WindowId window, int number) const;

  // Acting.
  bool ChooseMenu(WindowId window, int item_number);
  bool ChooseMenu(WindowId window, std::string_view item_text);  // "E&xit"
  bool Click(WindowId window, int number);
  bool Type(WindowId window, int number, std::string_view text);
  bool PressKey(WindowId window, int number, int key_code, int key_char = 0);
  bool SetCheck(WindowId window, int number, bool checked);
  // A spin box set to `value`, held inside its range as the box holds it.
  bool SetSpin(WindowId window, int number, int value);
  bool PickTab(WindowId window, int sheet_number, int tab);  // tab 1-based
  bool SelectRow(WindowId window, int list_number, int row);  // row 1-based
  // Lists, as a person uses them: a click on a row in sight (1-based, of all
  // the list holds), the scroll bar's arrows, page areas, top and bottom
  // (Ctrl+Home and Ctrl+End on the bar), its thumb dragged and released, a
  // character typed ('\b' Backspace), the box of a tree row.
  bool ClickRow(WindowId window, int list_number, int row, bool right_button = false);
  bool Scroll(WindowId window, int list_number, ScrollAction action);
  bool DragThumb(WindowId window, int list_number, int position);
  bool TypeChar(WindowId window, int list_number, char character);
  bool Expand(WindowId window, int list_number, int row);
  bool Contract(WindowId window, int list_number, int row);
  // The list laid out at a new height (its window was resized).
  bool ResizeList(WindowId window, int list_number, int height);
  bool Focus(WindowId window, int number);
  bool Activate(WindowId window);
  bool Close(WindowId window);
  bool SystemCommand(WindowId window, SysCommand command);
  void PassTime(int milliseconds);
  // The open message box: a button pressed by its text, or the Escape key.
  bool PressButton(std::string_view text);
  bool PressEscape();
  // The open popup menu: an item chosen by its path (a greyed one cannot
  // be), or the menu dismissed.
  bool ChoosePopupItem(std::string_view path);
  bool DismissPopup();

 private:
  // The control a person can reach: open window, enabled and visible control
  // whose menus (for a menu item) are enabled too, on the chosen tab page.
  std::optional<ControlSpec> Reachable(WindowId window, int number) const;
  bool SendAndSettle(PlatformMessage message);
  bool ClickTreeBox(WindowId window, int list_number, int row, TreeBox box, MessageKind kind);

  HeadlessPlatform& platform_;
  Engine& engine_;
};

// A program on the headless platform: the engine, and `main` running as the
// engine's main thread on a thread of its own. The constructor returns once
// the program waits for input.
class HeadlessProgram {
 public:
  explicit HeadlessProgram(std::function<void()> main, Engine::Options options = {});
  ~HeadlessProgram();

  HeadlessDriver& driver() { return driver_; }
  HeadlessPlatform& platform() { return platform_; }
  Engine& engine() { return engine_; }
  // True once `main` has returned (seen by the driver once settled).
  bool Finished() const { return finished_; }

 private:
  HeadlessPlatform platform_;
  Engine engine_;
  HeadlessDriver driver_;
  std::atomic<bool> finished_{false};
  std::thread main_;
};

}  // namespace tavero::ui::headless
