// The message box of MESSAGE as the engine builds it: the button table, the
// icon description, the text's line breaks, the default button and the
// layout in dialog units. Pure functions; the platforms show what they build.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/platform.h"

namespace tavero::ui {

// The buttons a message box can show, as the bits MESSAGE takes and answers.
namespace button {
inline constexpr int kOk = 1;
inline constexpr int kYes = 2;
inline constexpr int kNo = 4;
inline constexpr int kAbort = 8;
inline constexpr int kRetry = 16;
inline constexpr int kIgnore = 32;
inline constexpr int kCancel = 64;
inline constexpr int kHelp = 128;
}  // namespace button

// One row of the button table. The table's order is the order of the buttons
// from left to right and decides the default button.
struct ButtonRow {
  int bit;
  std::string_view text;
  int command;  // what the dialog's button sends when pressed
};
std::span<const ButtonRow> ButtonTable();

// The texts MESSAGE takes are cut to these lengths.
inline constexpr std::size_t kMessageTextLimit = 1024;
inline constexpr std::size_t kMessageCaptionLimit = 256;
inline constexpr std::size_t kMessageIconLimit = 128;

// The box's text: every "|" becomes "\r\n" while the text is at most 1022
// characters long; bars beyond that point stay.
std::string MessageLines(std::string_view text);

// The icon an icon description names (empty: none). A description too short
// for the number it announces names the program's own icon.
MessageIcon ParseIconDescription(std::string_view description);

// The button bits shown, in table order; an empty set shows OK alone.
std::vector<int> ShownButtons(int buttons);
// The first shown button, replaced by every later shown one that `wanted`
// names too.
int DefaultButton(const std::vector<int>& shown, int wanted);
// The bit of the button that sends `command`; 0 for any other command.
int AnswerOfCommand(int command);
// The answer of the Escape key and the close box: Cancel's bit, shown or not.
inline constexpr int kEscapeAnswer = button::kCancel;

// Where a box's parts go, in dialog units of the box's font.
struct MessageBoxLayout {
  Rect icon;                  // width 0: no icon
  Rect text;
  std::vector<Rect> buttons;  // left to right
  int width = 0;
  int height = 0;
};
// `text_width` and `text_height`: the text as the platform measured it,
// wrapped at words within kMessageWrapWidth; `icon_width`, `icon_height`: 0
// without an icon.
inline constexpr int kMessageWrapWidth = 200;
MessageBoxLayout LayOutMessageBox(int text_width, int text_height, int icon_width, int icon_height, int button_count);

// The whole box for MESSAGE's arguments, owner aside.
MessageBoxSpec BuildMessageBox(std::string_view text, std::string_view caption, std::string_view icon, int buttons,
                               int default_button, bool system_modal);

}  // namespace tavero::ui
