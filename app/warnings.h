// The application's standard warnings and questions: one numbered
// catalogue (caption, icon, buttons, default button, text) that every
// procedure reports through with ShowWarning, and the halt that ends the
// program after a warning it cannot go on from.
//
// A warning's text is built from its catalogue text by putting in the error
// text E and the text arguments T1 to T4 (each without trailing blanks). E is
// the runtime's current error text without trailing blanks, " (", the error
// code and ")", at most 150 characters.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ui/message_box.h"

namespace zephcol {

// Message box buttons, as bits: a box answers the bit of the button pressed.
namespace button = tavero::ui::button;

// The icons of the catalogue, as MESSAGE icon descriptions: FFh 01h and the
// stock icon's number plus one, little-endian.
inline constexpr std::string_view kExclamationIcon{"\xFF\x01\x04\x7F", 4};  // stock 7F03h
inline constexpr std::string_view kQuestionIcon{"\xFF\x01\x03\x7F", 4};     // stock 7F02h
inline constexpr std::string_view kStopIcon{"\xFF\x01\x02\x7F", 4};         // stock 7F01h

// When a catalogue row applies: some warnings have two captions or texts.
enum class WarningCase : std::uint8_t {
  Always,
  NoError,    // the current error code is 0
  T1IsDown,   // T1 is "Down"
  T1IsPut,    // T1 is "Put"
};

// One row of the catalogue. In `text`, "{E}" stands for the error text,
// "{1}" to "{4}" for T1 to T4 and "{1l}" for T1 in lower case.
struct WarningDeclaration {
  int number;
  WarningCase when;
  std::string_view caption;
  std::string_view icon;
  int buttons;
  int default_button;
  std::string_view text;
  // Non-empty: after the box the program halts with this text, unless the
  // answer was `affirmative`.
  std::string_view halt_text;
  int affirmative = 0;  // 0: the halt follows whatever the answer
};

// The catalogue, rows of one number in the order they are tried.
std::span<const WarningDeclaration> WarningCatalogue();

// A message box as the person sees it.
struct MessageBoxContent {
  std::string text;
  std::string caption;
  std::string icon;  // a MESSAGE icon description
  int buttons = button::kOk;
  int default_button = 0;
};

// What warning `number` shows with the given texts and the current error
// state, and the halt text that follows it; nothing for numbers outside 1 to
// 35.
struct WarningBox {
  MessageBoxContent box;
  std::string_view halt_text;
  int affirmative = 0;
};
std::optional<WarningBox> ComposeWarning(int number, std::string_view t1 = {}, std::string_view t2 = {},
                                         std::string_view t3 = {}, std::string_view t4 = {});

// E: the current error as warnings show it.
std::string WarningErrorText();

// Shows warning `number` and returns the button pressed (0 for numbers
// outside 1 to 35, which show nothing). A warning that halts ends the
// program after its box (see HaltWithText); warning 2 returns 2 when the
// person agreed and halts otherwise. A caller tests for its affirmative
// button: any other answer, Escape included, is the negative one.
int ShowWarning(int number, std::string_view t1 = {}, std::string_view t2 = {}, std::string_view t3 = {},
                std::string_view t4 = {});

// Ends the program after a warning it cannot go on from: a box with the
// stop icon, caption "ZEPHYRA", `text` and an OK button, then the runtime's
// halt with exit status 1 (a failure is never reported as success).
[[noreturn]] void HaltWithText(std::string_view text);

// The seam every box of this module goes through: shows `box` modally on
// the calling thread and answers the button pressed. The program's own
// shows the window engine's message box (MESSAGE) on an engine thread.
using MessageBoxShower = std::function<int(const MessageBoxContent& box)>;
// Replaces the shower (tests); an empty function puts the program's own back.
void SetMessageBoxShower(MessageBoxShower shower);

}  // namespace zephcol
