// A driver that acts on the Qt platform's widgets as a person would and reads
// what that person sees: the Qt counterpart of the headless driver, for
// tests on an offscreen display and for screenshots.
//
// It runs on the GUI thread. Every action returns once the engine has
// reacted to it: the Qt events it caused are delivered and every engine
// thread waits for input again (the GUI thread keeps serving the engine's
// calls meanwhile, so it never blocks the engine). An action a person could
// not take (no such window, a disabled or hidden control) returns false.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <string_view>
#include <vector>

#include <optional>

#include <Qt>

#include "ui/engine.h"
#include "ui/qt/qt_platform.h"
#include "ui/shown_list.h"

namespace tavero::ui::qt {

class QtDriver {
 public:
  QtDriver(QtPlatform& platform, Engine& engine);

  // Lets the engine react to everything so far.
  void Settle();
  // Serves the GUI until `done` holds (the program's thread has ended, say),
  // giving up after `limit` so that a test whose program never gets there
  // fails on its next check instead of hanging. Returns whether it held.
  bool SettleUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(120));

  // Seeing.
  std::vector<WindowId> Windows();
  std::vector<std::string> Titles();
  WindowId Find(std::string_view title);  // kNoWindow when no such window is open
  std::string Text(WindowId window, int number);
  bool Enabled(WindowId window, int number);
  bool Visible(WindowId window, int number);
  // Texts of the menu bar: every menu and its items, "&File/E&xit".
  std::vector<std::string> MenuPaths(WindowId window);
  // The status bar's text after the pointer rests on a menu item.
  std::string HelpLineOf(WindowId window, int item_number);
  // Saves what the window shows as a PNG file.
  bool Grab(WindowId window, const std::filesystem::path& png);
  // The same with the menu of item `item_number` dropped down and the
  // pointer resting on that item (its help line in the status bar).
  bool GrabWithMenu(WindowId window, int item_number, const std::filesystem::path& png);

  // Acting.
  bool ChooseMenu(WindowId window, int item_number);
  bool Click(WindowId window, int number);
  bool Type(WindowId window, int number, std::string_view text);
  bool SetCheck(WindowId window, int number, bool checked);
  bool PickTab(WindowId window, int sheet_number, int tab);  // tab 1-based
  bool PressKey(WindowId window, int number, int qt_key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  // Lists, as HeadlessDriver has them: what a list shows, a click on a row
  // in sight, the scroll bar, a character typed ('\b' Backspace), the box of
  // a tree row.
  std::optional<ShownList> List(WindowId window, int number);
  // The picture an image control shows.
  std::optional<ShownPicture> Picture(WindowId window, int number);
  bool ClickRow(WindowId window, int list_number, int row, bool right_button = false);
  bool Scroll(WindowId window, int list_number, ScrollAction action);
  bool DragThumb(WindowId window, int list_number, int position);
  bool TypeChar(WindowId window, int list_number, char character);
  bool Expand(WindowId window, int list_number, int row);
  bool Contract(WindowId window, int list_number, int row);
  bool Close(WindowId window);

  // Message boxes and popup menus, as ui/headless/driver.h.
  std::string MessageCaption();
  std::string MessageText();
  std::vector<std::string> MessageButtons();
  std::string MessageDefault();
  std::vector<std::string> PopupItems();
  bool PopupItemEnabled(std::string_view path);
  bool PressButton(std::string_view text);
  bool PressEscape();
  bool ChoosePopupItem(std::string_view path);
  bool DismissPopup();

 private:
  QtPlatform& platform_;
  Engine& engine_;
};

// A program on the Qt platform for tests and tools: the engine, and `main`
// running as the engine's main thread on a thread of its own, while the
// calling thread (the GUI thread) serves the Qt loop whenever it waits. The
// constructor returns once the program waits for input; the destructor waits
// for `main` to return and then ends the engine.
class QtProgram {
 public:
  QtProgram(QtPlatform& platform, std::function<void()> main);
  ~QtProgram();
  QtProgram(const QtProgram&) = delete;
  QtProgram& operator=(const QtProgram&) = delete;

  QtDriver& driver() { return *driver_; }
  Engine& engine() { return *engine_; }
  bool Finished() const { return finished_; }
  // Serves the GUI until `main` has returned.
  void WaitUntilFinished();

 private:
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<QtDriver> driver_;
  std::atomic<bool> ready_{false};
  std::atomic<bool> finished_{false};
  std::thread main_;
};

}  // namespace tavero::ui::qt
