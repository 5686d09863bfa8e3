// The platform interface: what the window engine asks of a window system, and
// the messages a window system feeds back to it.
//
// Threads. Engine threads (the program's main procedure and every procedure
// started with START) call the Platform methods, always while holding the
// engine lock, one call at a time. A platform whose widgets live on a thread
// of their own (Qt's GUI thread) marshals each call to that thread and may
// block until it is done: the GUI thread never waits for the engine lock, so
// such a call always completes.
//
// User input travels the other way: the platform turns it into
// PlatformMessages and hands them to the MessageSink the engine attached.
// MessageSink::Post is safe from any thread, never blocks on the engine lock,
// and only queues the message for the engine thread that owns the window.
//
// Only what the user did is reported. Changes the engine itself asked for
// (SetFocus, SetControlValue, ApplySysCommand ...) are not echoed back as
// messages, except the past-tense Moved/Sized/SizeStateChanged reports that
// follow an applied system command.
//
// Texts are single-byte Windows-1252 in both directions; a platform converts
// at its own boundary. Positions are dialog units of the window's font.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "images/image.h"
#include "ui/definitions/window_definition.h"
#include "ui/event.h"
#include "ui/printing.h"

namespace tavero::ui {

using definitions::ControlKind;
using definitions::FontDefinition;
using definitions::Rect;
using definitions::StandardAction;
using definitions::WindowType;

// A control (or menu, menu item, tab page) as the platform builds it. The
// controls of a window form one table; `parent` links menu items to their
// menu, menus to the menu bar, tab pages to their sheet and controls to their
// tab page (kNoControl: the window itself).
struct ControlSpec {
  ControlHandle handle = kNoControl;  // index of this control in WindowSpec::controls
  ControlHandle parent = kNoControl;
  ControlKind kind = ControlKind::String;
  int number = 0;               // the number FIELD reports; negative for menu items
  std::uint32_t attributes = 0;  // definitions::control_attribute bits
  Rect position;                // dialog units
  std::string text;             // caption, prompt, entry contents, tab title
  std::string message;          // status-bar help line
  std::string tip;              // tool tip
  std::string picture;          // entry and spin picture (without "@")
  std::string format;           // list format string
  int key_code = 0;             // menu item key
  int low = 0;                  // progress and spin range
  int high = 0;
  int value = 0;                // check state, progress position, selected list row, chosen tab
  bool enabled = true;
  bool visible = true;
  StandardAction standard = StandardAction::None;  // menu items the platform performs itself
  std::optional<FontDefinition> font;
};

// One cell of a list row as shown (see ui/list_format.h for where the
// values come from).
struct ListCell {
  std::string text;  // formatted by the column's picture, trailing blanks removed
  int icon = 0;      // "I" columns: an icon registered on the list, 0 none
  // "*" columns: text, background, selected text and selected background
  // colours as 00BBGGRR, -1 for the default.
  std::int32_t colours[4] = {-1, -1, -1, -1};
  friend bool operator==(const ListCell&, const ListCell&) = default;
};

struct ListRow {
  std::vector<ListCell> cells;  // one per column of the format
  // "T" lists: the row's tree level; negative when the row has children
  // (shown expanded when the next row is deeper, else contracted).
  int level = 0;
  friend bool operator==(const ListRow&, const ListRow&) = default;
};

// What the scroll bar of an immediate list was asked to do.
enum class ScrollAction { LineUp, LineDown, PageUp, PageDown, Top, Bottom };

// The scroll bar of an immediate list runs 0 to this.
inline constexpr int kImmediateThumbRange = 100;

// A window as the platform opens it.
struct WindowSpec {
  WindowId id = kNoWindow;
  WindowType type = WindowType::Plain;
  WindowId owner = kNoWindow;   // MDI child: the frame; plain window: the window below it on its thread
  int thread = 0;               // engine thread slot that owns the window
  std::string title;
  Rect position;                // x, y may be definitions::kDefaultCoordinate (centred)
  std::optional<FontDefinition> font;
  std::uint32_t attributes = 0;  // entry attribute bits (definitions::entry_attribute)
  std::uint32_t state = 0;       // window state word (definitions::window_state)
  int status_zones = 0;          // zones of the status bar; 0 none
  bool modal = false;
  std::vector<ControlSpec> controls;  // menu bar, menus, items and controls, in definition order
};

enum class SysCommand { Move, Size, Restore, Maximize, Minimize };

// The icon of a message box (ui/message_box.h reads it from its description).
inline constexpr int kStockStopIcon = 0x7F01;
inline constexpr int kStockQuestionIcon = 0x7F02;
inline constexpr int kStockExclamationIcon = 0x7F03;
inline constexpr int kStockAsteriskIcon = 0x7F04;
inline constexpr int kProgramIcon = 0x7F09;  // shown for an icon that cannot be loaded
inline constexpr int kWaitCursor = 0x7F02;   // the stock cursor of a long step
struct MessageIcon {
  enum class Kind { None, Stock, Resource, NamedResource, File };
  Kind kind = Kind::None;
  int number = 0;    // Stock: kStock...Icon; Resource: the program's icon resource
  std::string name;  // NamedResource: the resource's name; File: an icon or program file
  bool operator==(const MessageIcon&) const = default;
};

// A message box as the engine built it. The platform shows it modal to its
// owner, measures the text and places the parts with LayOutMessageBox.
struct MessageBoxSpec {
  WindowId owner = kNoWindow;  // the calling thread's current window; kNoWindow: none
  std::string caption;
  std::string text;            // lines separated by "\r\n"; "&" is shown as it is
  std::vector<int> buttons;    // button bits (ui/message_box.h), left to right
  int default_button = 0;      // the bit of the default button, focused when the box opens
  MessageIcon icon;
  bool system_modal = false;
};

// One entry of a popup menu (ui/popup_menu.h reads them from a description).
struct PopupItem {
  enum class Kind { Item, Separator, Submenu };
  Kind kind = Kind::Item;
  std::string text;  // "&" marks the mnemonic
  int number = 0;    // items: the answer when chosen (1...); 0 for the others
  bool greyed = false;
  bool checked = false;
  std::vector<PopupItem> items;  // a submenu's entries
};

// x or y of a popup at the mouse pointer's present position.
inline constexpr int kAtPointer = static_cast<int>(0x80000000u);
struct PopupSpec {
  WindowId owner = kNoWindow;
  std::vector<PopupItem> items;
  int x = kAtPointer;  // screen coordinates, its left edge at x
  int y = kAtPointer;
};

// Window size state as the engine keeps it (window state word bits).
inline constexpr int kSizeNormal = 0;
inline constexpr int kSizeMaximized = 0x4000;
inline constexpr int kSizeIconized = 0x8000;

enum class MessageKind {
  Command,           // menu item chosen or button pressed: control
  Edit,              // the contents of an entry, text box or drop list were changed and left: control, text
  Check,             // check box or radio toggled: control, value (0 or 1)
  ListSelect,        // highlighted row of a list changed: control, value (row, 1-based)
  TabSelect,         // a tab page was picked: control (the sheet), value (tab, 1-based)
  Key,               // a key pressed in the focused control: control, key_code (with modifier bits), key_char;
                     // a double click of the left button on a control is the key kKeyDoubleClick
  Focus,             // a control got the input focus: control
  Activate,          // the window became the active window of the desktop
  Close,             // the user asked to close the window (close box, Alt+F4)
  SysCommand,        // the user asked to move, size, restore, maximise or minimise: value (SysCommand)
  Moved,             // the window has moved
  Sized,             // the window has been resized
  SizeStateChanged,  // value: new size state (kSizeNormal, kSizeMaximized, kSizeIconized)
  Timer,             // the window's timer ticked
  BringToFront,      // bring the top window of the window's thread to the front
  MouseMove,         // the pointer moved over the window: mouse_x, mouse_y (dialog units)
  DialogAnswer,      // a message box or popup menu closed: window (the dialog's id), value (the answer)
  // Lists. ListSelect carries key_code kKeyMouseLeft or kKeyMouseRight with
  // mouse_x, mouse_y when a click chose the row (a right click chooses it
  // too, and is reported even on the row already chosen), 0 otherwise.
  ListScroll,        // the scroll bar of an immediate list, or the wheel over it: value (ScrollAction)
  ListThumb,         // the thumb of an immediate list released: value (0 to kImmediateThumbRange)
  ListScrolled,      // a list that scrolls itself did: value (its top row, 0-based)
  ListGeometry,      // a list was laid out or resized: value (rows it can show)
  ListExpand,        // the box of a contracted tree row clicked: value (row, 1-based)
  ListContract,      // the box of an expanded tree row clicked: value (row, 1-based)
};

struct PlatformMessage {
  MessageKind kind = MessageKind::Command;
  WindowId window = kNoWindow;
  ControlHandle control = kNoControl;
  int value = 0;
  int key_code = 0;
  int key_char = 0;
  int mouse_x = 0;
  int mouse_y = 0;
  std::string text;
};

inline PlatformMessage MakeMessage(MessageKind kind, WindowId window, ControlHandle control = kNoControl,
                                   int value = 0) {
  PlatformMessage message;
  message.kind = kind;
  message.window = window;
  message.control = control;
  message.value = value;
  return message;
}

// Where a platform delivers user input (see the thread rules above).
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Post(PlatformMessage message) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The engine attaches its sink when it starts and detaches (nullptr) before
  // it goes away; messages are posted only while a sink is attached.
  virtual void Attach(MessageSink* sink) = 0;

  // Builds and shows a window with its menu and controls: a frame with an MDI
  // area for Application, a sub-window of the owner frame for MdiChild, a
  // dialog for Plain. False when the window cannot be created.
  virtual bool OpenWindow(const WindowSpec& blueprint) = 0;
  virtual void CloseWindow(WindowId window) = 0;
  virtual void SetWindowTitle(WindowId window, std::string_view title) = 0;
  virtual void SetStatusText(WindowId window, int zone, std::string_view text) = 0;

  virtual void SetControlText(WindowId window, ControlHandle control, std::string_view text) = 0;
  virtual void SetControlMessage(WindowId window, ControlHandle control, std::string_view message) = 0;
  virtual void SetControlValue(WindowId window, ControlHandle control, int value) = 0;
  virtual void SetControlRange(WindowId window, ControlHandle control, int low, int high) = 0;
  virtual void SetControlEnabled(WindowId window, ControlHandle control, bool enabled) = 0;
  virtual void SetControlVisible(WindowId window, ControlHandle control, bool visible) = 0;
  // Lists. The columns come from the control's format (ui/list_format.h);
  // an immediate list (control attribute kImmediate) never moves its own
  // highlight or rows on keys or its scroll bar, it reports them.
  // The rows a list holds, replacing those it had; the selected row stays.
  virtual void SetListRows(WindowId window, ControlHandle control, std::vector<ListRow> rows) = 0;
  // Immediate list: moves the thumb only (0 to kImmediateThumbRange). Other
  // lists: scrolls so that row `position` (0-based) is the top one.
  virtual void SetListScroll(WindowId window, ControlHandle control, int position) = 0;
  // Shows or removes the list's vertical scroll bar (a list that scrolls
  // itself shows it only while it holds more rows than it can show).
  virtual void SetListScrollBar(WindowId window, ControlHandle control, bool shown) = 0;
  // Registers icon number `icon` of a list: `picture` decoded by the engine
  // from the image file `file` (empty when it could not be found or read).
  virtual void SetListIcon(WindowId window, ControlHandle control, int icon, std::string_view file,
                           const images::Image& picture) = 0;
  // Shows `picture` in an image control, scaled to the control; an empty one
  // shows nothing. The engine decodes it (from the file the control's text
  // names, or a picture the program drew).
  virtual void SetImage(WindowId window, ControlHandle control, const images::Image& picture) = 0;
  // An image control whose file is a placeable metafile (a report's page,
  // read and checked by the engine) shows it fitted to the control; a
  // platform that cannot draw one shows nothing.
  virtual void SetPage(WindowId /*window*/, ControlHandle /*control*/, const images::Metafile& /*page*/) {}
  virtual void SetFocus(WindowId window, ControlHandle control) = 0;

  // A timer that posts MessageKind::Timer every `milliseconds`; a new call
  // replaces the running timer.
  virtual void StartTimer(WindowId window, int milliseconds) = 0;
  virtual void StopTimer(WindowId window) = 0;

  virtual void BringToFront(WindowId window) = 0;
  // Carries out a system command the engine let through.
  virtual void ApplySysCommand(WindowId window, SysCommand command) = 0;
  // The standard actions of menu items (Tile, Cascade, Print Setup, Help, the
  // clipboard on the focused control). Close is handled by the engine.
  virtual void PerformStandardAction(WindowId window, StandardAction action) = 0;
  virtual void Beep() = 0;

  // A box without owner window, with the stop icon and an OK button; returns
  // when the user has closed it.
  virtual void ShowErrorBox(std::string_view title, std::string_view text) = 0;

  // A message box or popup menu, shown without waiting for it: when the user
  // closes it the platform posts MessageKind::DialogAnswer with `dialog` as
  // the window and the answer (the button's bit, Escape and the close box
  // Cancel's bit 64; the item's number, 0 when the menu was dismissed).
  virtual void ShowMessageBox(WindowId dialog, const MessageBoxSpec& box) = 0;
  virtual void ShowPopup(WindowId dialog, const PopupSpec& popup) = 0;
  // Takes away a box or menu nobody waits for any more (the engine is
  // ending); nothing is posted for it.
  virtual void EndDialog(WindowId dialog) = 0;
  // The printer reports print to (ui/printing.h); nullptr: none.
  virtual PrinterPort* Printer() { return nullptr; }

  // The mouse cursor over the program's windows: 0 the normal one, else a
  // stock cursor (kWaitCursor while a long step runs).
  virtual void SetCursor(int stock_cursor) = 0;

  // True on the platform's own thread (Qt's GUI thread), where the engine's
  // blocking calls (Shutdown, StackSize) must never be made.
  virtual bool OnGuiThread() const { return false; }
};

}  // namespace tavero::ui
