// The decoded form of a window definition block: what the window engine builds
// windows, menus and reports from. The byte layout these values come from is
// described in ui/definitions/FORMAT.md; block_codec.cpp reads and writes it.
//
// Every value here is plain data owned by its parent: an entry owns its
// controls, a control its children (the menus of a bar, the items of a menu,
// the tabs of a sheet and their controls, the bands of a report group).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavero::definitions {

// A coordinate that the engine chooses itself (a window is centred).
inline constexpr std::int32_t kDefaultCoordinate = INT32_MIN;  // 80000000h

enum class EntryKind : std::uint8_t {
  Window = 25,  // APPLICATION frame, MDI child or plain window
  Report = 26,
};

// What kind of window an entry of kind Window opens as.
enum class WindowType : std::uint8_t {
  Plain = 0,        // a WINDOW (a dialog of its thread)
  Application = 1,  // the APPLICATION frame
  MdiChild = 2,     // an MDI child of the frame
};

enum class ControlKind : std::uint8_t {
  Field = 1,        // a value printed in a report band, with its picture
  String = 2,       // fixed text
  Image = 3,        // a picture from a file
  Box = 4,          // a framed area (page displays of the preview)
  Line = 5,
  Region = 6,       // an area that reports the mouse (page displays of the preview)
  Group = 7,        // a group box around other controls
  Option = 8,       // a set of radio buttons, its children the choices
  Button = 9,
  Prompt = 10,
  Entry = 11,       // a one-line entry field with a picture
  Text = 12,        // a multi-line text box
  Check = 13,       // a check box
  List = 14,
  Combo = 15,       // a drop list
  Spin = 16,
  Radio = 17,       // one choice of an Option
  Menu = 19,        // a drop-down of a menu bar
  Item = 20,        // a menu item
  MenuBar = 22,
  Header = 27,      // page header, or the header of a break group
  Footer = 28,      // page footer, or the footer of a break group
  Break = 29,       // a break group of a report
  Form = 30,        // drawn behind every page
  Detail = 31,
  Progress = 35,
  Tab = 36,         // one page of a sheet
  Sheet = 37,
};

// An action the engine performs by itself when a menu item is chosen; the
// procedure's loop sees no EVENT:Accepted for such an item.
enum class StandardAction : std::uint8_t {
  None = 0,
  PrintSetup,
  Close,
  Cut,
  Copy,
  Paste,
  Tile,
  Cascade,
  ArrangeIcons,
  HelpContents,
  HelpSearch,
  HelpOnHelp,
};

// Attribute bits of a control record. The meaning of a bit depends on the kind
// only where noted.
namespace control_attribute {
inline constexpr std::uint32_t kHidden = 0x1;
inline constexpr std::uint32_t kDisabled = 0x2;
inline constexpr std::uint32_t kPageNumber = 0x4;  // Field: prints the page number
inline constexpr std::uint32_t kDefault = 0x8;     // Button: the default button
inline constexpr std::uint32_t kSeparator = 0x10;  // Item: a separator line
inline constexpr std::uint32_t kRequired = 0x20;   // Entry: may not be left empty
inline constexpr std::uint32_t kReadOnly = 0x40;   // Entry, Text
inline constexpr std::uint32_t kUsesVariable = 0x100;  // takes the next USE variable
inline constexpr std::uint32_t kVerticalScroll = 0x200;  // List: has a vertical scroll bar
inline constexpr std::uint32_t kImmediate = 0x800;  // List: keys and its scroll bar become events (page browses)
}  // namespace control_attribute

// Attribute bits of a report band (kinds 27 to 31) and a break group (29).
namespace band_attribute {
inline constexpr std::uint32_t kPageBefore = 0x1000;    // a new page before it; low: that page's number (0 keeps counting)
inline constexpr std::uint32_t kPageAfter = 0x2000;     // a new page after it; high: the next page's number
inline constexpr std::uint32_t kKeep = 0x4000;          // group: header to footer on one page; band: with the next item
inline constexpr std::uint32_t kNoPageHeader = 0x8000;  // a page starting with it has no page header or form
inline constexpr std::uint32_t kFlow = 0x10000;         // flows across: placed beside the item before it
inline constexpr std::uint32_t kNoHeight = 0x20000;     // takes no height
}  // namespace band_attribute

// Style bits of a font record above its weight (the weight is style & 0x3FF;
// 700 bold).
namespace font_style {
inline constexpr std::uint32_t kWeightMask = 0x3FF;
inline constexpr std::uint32_t kItalic = 0x1000;
inline constexpr std::uint32_t kUnderline = 0x2000;
inline constexpr std::uint32_t kStrikeOut = 0x4000;
}  // namespace font_style

// Attribute bits of an entry.
namespace entry_attribute {
inline constexpr std::uint32_t kReport = 0x200;
inline constexpr std::uint32_t kImmediate = 0x800;  // move and size events
}  // namespace entry_attribute

// Bits of the window state word.
namespace window_state {
inline constexpr std::uint32_t kModal = 0x8;
inline constexpr std::uint32_t kSizeMask = 0xC000;
inline constexpr std::uint32_t kMaximized = 0x4000;
inline constexpr std::uint32_t kIconized = 0x8000;
}  // namespace window_state

struct Rect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct FontDefinition {
  std::string typeface;               // "MS Sans Serif"
  std::int32_t point_size = 0;        // 8
  std::uint32_t colour = 0xFFFFFFFF;  // FFFFFFFFh: the default colour
  std::uint32_t style = 0xFFFFFFFF;   // FFFFFFFFh: default; else weight (700 bold) and style bits
  friend bool operator==(const FontDefinition&, const FontDefinition&) = default;
};

// One control record: a control of a window, a menu, a menu item, the menu
// bar, or a band or control of a report. Texts are single-byte (Windows-1252);
// an absent text is empty.
struct ControlDefinition {
  ControlKind kind = ControlKind::String;
  std::uint32_t attributes = 0;
  std::int32_t number = 0;  // what FIELD reports; negative for the frame's menu items
  Rect position;            // dialog units (windows) or thousandths of an inch (reports)
  std::string text;         // caption, prompt, title of a tab, file name of an image
  std::string picture;      // Field, Entry, Spin: the picture without its "@"
  std::string tip;          // tool tip
  std::string message;      // status-bar message (help line)
  std::string source;       // List: source text (empty: rows come from a queue)
  std::string format;       // List: the list format string
  std::string variable;     // the USE variable's label; Break: the break variable
  std::int32_t key_code = 0;  // Item: its key (33 Page Up, 34 Page Down)
  std::int32_t low = 0;       // Progress, Spin: range
  std::int32_t high = 0;
  StandardAction standard = StandardAction::None;  // Item: the engine's own action
  std::optional<FontDefinition> font;  // absent: the entry's font
  std::vector<ControlDefinition> children;

  bool has(std::uint32_t attribute) const { return (attributes & attribute) != 0; }
  friend bool operator==(const ControlDefinition&, const ControlDefinition&) = default;
};

// One entry of a block: a window or a report.
struct EntryDefinition {
  EntryKind kind = EntryKind::Window;
  WindowType type = WindowType::Plain;
  std::uint32_t attributes = 0;
  Rect position;              // x, y may be kDefaultCoordinate
  std::string label;          // procedure label, "MAIN$APPFRAME"
  std::string title;
  std::optional<FontDefinition> font;  // absent: the engine's default font
  std::uint32_t icon = 0;
  std::uint32_t state = 0;    // window state word (window_state bits)
  std::int32_t timer = 0;     // hundredths of a second; 0 = no timer
  std::uint32_t cursor = 0;
  std::int32_t status_zones = 0;  // zones of the status bar; 0 = no status bar
  std::string help;           // help topic of the window
  std::int32_t paper[4] = {0, 0, 0, 0};  // Report: the paper description words
  std::optional<ControlDefinition> menu_bar;  // kind MenuBar
  std::vector<ControlDefinition> controls;    // Window: controls; Report: bands

  bool has(std::uint32_t attribute) const { return (attributes & attribute) != 0; }
  friend bool operator==(const EntryDefinition&, const EntryDefinition&) = default;
};

// A whole block: the module label and its entries, in chain order.
struct DefinitionBlock {
  std::string module_label;  // "ZEPHCOL$zephc001"
  std::vector<EntryDefinition> entries;
  friend bool operator==(const DefinitionBlock&, const DefinitionBlock&) = default;
};

}  // namespace tavero::definitions
