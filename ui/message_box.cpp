#include "ui/message_box.h"

#include <algorithm>
#include <array>

namespace tavero::ui {
namespace {

constexpr std::array<ButtonRow, 8> kButtonTable{{
    {button::kOk, "OK", 1},
    {button::kYes, "&Yes", 6},
    {button::kNo, "&No", 7},
    {button::kAbort, "&Abort", 3},
    {button::kRetry, "&Retry", 4},
    {button::kIgnore, "&Ignore", 5},
    {button::kCancel, "Cancel", 2},
    {button::kHelp, "&Help", 9},
}};

// Bars become line breaks while the text is at most this long.
constexpr std::size_t kLineBreakLimit = 1022;

// Dialog units: the margin around the text and icon, the least height of the
// text area, and the buttons' size and spacing.
constexpr int kMargin = 5;
constexpr int kLeastTextAreaHeight = 45;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 5;

int Number16(std::string_view bytes) {
  return static_cast<unsigned char>(bytes[0]) | (static_cast<unsigned char>(bytes[1]) << 8);
}

}  // namespace

std::span<const ButtonRow> ButtonTable() { return kButtonTable; }

std::string MessageLines(std::string_view text) {
  text = text.substr(0, kMessageTextLimit);
  std::string lines;
  lines.reserve(text.size() + 16);
  for (char ch : text) {
    if (ch == '|' && lines.size() <= kLineBreakLimit) {
      lines += "\r\n";
    } else {
      lines += ch;
    }
  }
  return lines;
}

// Icon descriptions: FFh 01h n16 (stock icon n - 1), FFh 02h n16 (icon
// resource n - 1), "~name" (named icon resource), anything else a file name.
MessageIcon ParseIconDescription(std::string_view description) {
  description = description.substr(0, kMessageIconLimit);
  MessageIcon icon;
  if (description.empty()) return icon;
  const auto lead = static_cast<unsigned char>(description[0]);
  if (lead == 0xFF && description.size() >= 2 && (description[1] == 1 || description[1] == 2)) {
    if (description.size() < 4) {  // the number is missing: nothing can be loaded
      icon.kind = MessageIcon::Kind::Resource;
      icon.number = kProgramIcon;
      return icon;
    }
    icon.kind = description[1] == 1 ? MessageIcon::Kind::Stock : MessageIcon::Kind::Resource;
    icon.number = Number16(description.substr(2, 2)) - 1;
    return icon;
  }
  if (description[0] == '~') {
    icon.kind = MessageIcon::Kind::NamedResource;
    icon.name = std::string(description.substr(1));
    return icon;
  }
  icon.kind = MessageIcon::Kind::File;
  icon.name = std::string(description);
  return icon;
}

std::vector<int> ShownButtons(int buttons) {
  std::vector<int> shown;
  for (const ButtonRow& row : kButtonTable) {
    if (buttons & row.bit) shown.push_back(row.bit);
  }
  if (shown.empty()) shown.push_back(button::kOk);
  return shown;
}

int DefaultButton(const std::vector<int>& shown, int wanted) {
  int chosen = 0;
  for (int bit : shown) {
    if (chosen == 0 || (wanted & bit)) chosen = bit;
  }
  return chosen;
}

int AnswerOfCommand(int command) {
  for (const ButtonRow& row : kButtonTable) {
    if (row.command == command) return row.bit;
  }
  return 0;
}

MessageBoxLayout LayOutMessageBox(int text_width, int text_height, int icon_width, int icon_height,
                                  int button_count) {
  MessageBoxLayout layout;
  const int area_height = std::max(text_height + 2 * kMargin, kLeastTextAreaHeight);
  int width = text_width + 2 * kMargin;
  int x = kMargin;
  if (icon_width > 0) {
    layout.icon = Rect{kMargin, (area_height - icon_height) / 2, icon_width, icon_height};
    width += kMargin + icon_width + kMargin;
    x += kMargin + icon_width + kMargin;
  }
  layout.text = Rect{x, (area_height - text_height) / 2, text_width, text_height};
  const int count = std::max(button_count, 1);
  const int row = count * kButtonWidth + (count - 1) * kButtonGap;
  if (width - x < row) width = x + row + 2 * kMargin;
  const int first = (width - row) / 2;
  for (int k = 0; k < count; ++k) {
    layout.buttons.push_back(Rect{first + k * (kButtonWidth + kButtonGap), area_height, kButtonWidth, kButtonHeight});
  }
  layout.width = width;
  layout.height = area_height + kMargin + kButtonHeight;
  return layout;
}

MessageBoxSpec BuildMessageBox(std::string_view text, std::string_view caption, std::string_view icon, int buttons,
                               int default_button, bool system_modal) {
  MessageBoxSpec box;
  box.text = MessageLines(text);
  box.caption = std::string(caption.substr(0, kMessageCaptionLimit));
  box.icon = ParseIconDescription(icon);
  box.buttons = ShownButtons(buttons);
  box.default_button = DefaultButton(box.buttons, default_button);
  box.system_modal = system_modal;
  return box;
}

}  // namespace tavero::ui
