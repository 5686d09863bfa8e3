// The message box's rules: buttons, default, text, icon description, layout.
#include "ui/message_box.h"

#include <gtest/gtest.h>

namespace tavero::ui {
namespace {

using namespace button;

TEST(MessageBox, ShownButtonsAndTheDefaultFollowTheTable) {
  struct Case {
    int buttons;
    int wanted;
    std::vector<int> shown;
    int default_button;
  };
  const Case cases[] = {
      {0, 0, {kOk}, kOk},                                           // no buttons: OK alone
      {kOk, 0, {kOk}, kOk},                                         // the duplicate-key warning
      {kYes | kNo | kCancel, kNo, {kYes, kNo, kCancel}, kNo},       // the named one
      {kCancel | kYes | kNo, 0, {kYes, kNo, kCancel}, kYes},        // none named: the first
      {kYes | kNo, kHelp, {kYes, kNo}, kYes},                       // named but not shown: the first
      {kYes | kNo | kCancel, kNo | kCancel, {kYes, kNo, kCancel}, kCancel},  // the last named shown one
      {0xFF, 0, {kOk, kYes, kNo, kAbort, kRetry, kIgnore, kCancel, kHelp}, kOk},
      {0x300, 0, {kOk}, kOk},                                       // bits beyond the table
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.buttons);
    const std::vector<int> shown = ShownButtons(c.buttons);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(DefaultButton(shown, c.wanted), c.default_button);
  }
}

TEST(MessageBox, CommandsAnswerTheirButtonsBitAndEscapeAnswersCancel) {
  const std::pair<int, int> cases[] = {{1, 1}, {2, 64}, {3, 8}, {4, 16}, {5, 32}, {6, 2}, {7, 4}, {9, 128}, {8, 0}, {0, 0}};
  for (auto [command, answer] : cases) EXPECT_EQ(AnswerOfCommand(command), answer) << command;
  EXPECT_EQ(kEscapeAnswer, kCancel);
}

TEST(MessageBox, BarsBecomeLineBreaksUpToTheLimit) {
  EXPECT_EQ(MessageLines("Card saved.|Add another?"), "Card saved.\r\nAdd another?");
  EXPECT_EQ(MessageLines("||"), "\r\n\r\n");
  const std::string long_text = std::string(1020, 'x') + "|y|z";
  const std::string lines = MessageLines(long_text);
  EXPECT_EQ(lines.substr(1020), "\r\ny|z");  // the first bar still breaks, the second comes past the limit
  EXPECT_EQ(MessageLines(std::string(3000, 'a')).size(), kMessageTextLimit);
}

TEST(MessageBox, IconDescriptionsNameStockResourceNamedOrFileIcons) {
  using Kind = MessageIcon::Kind;
  struct Case {
    std::string description;
    MessageIcon icon;
  };
  const Case cases[] = {
      {"", {}},
      {std::string("\xFF\x01\x04\x7F", 4), {Kind::Stock, kStockExclamationIcon, ""}},
      {std::string("\xFF\x01\x05\x7F", 4), {Kind::Stock, kStockAsteriskIcon, ""}},
      {std::string("\xFF\x02\x0B\x00", 4), {Kind::Resource, 10, ""}},
      {"~CARDS", {Kind::NamedResource, 0, "CARDS"}},
      {"zephcol.ico", {Kind::File, 0, "zephcol.ico"}},
      // Too short for its number: the program's own icon, nothing read past the end.
      {std::string("\xFF\x01", 2), {Kind::Resource, kProgramIcon, ""}},
      {std::string("\xFF\x02\x05", 3), {Kind::Resource, kProgramIcon, ""}},
      {std::string("\xFF", 1), {Kind::File, 0, "\xFF"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(ParseIconDescription(c.description), c.icon);
  }
  EXPECT_EQ(ParseIconDescription(std::string(500, 'i')).name.size(), kMessageIconLimit);
}

TEST(MessageBox, LayoutCentresTheButtonRowUnderATextAreaAtLeast45High) {
  // One short line, no icon, OK alone: the text area keeps its least height.
  MessageBoxLayout one = LayOutMessageBox(60, 8, 0, 0, 1);
  EXPECT_EQ(one.text, (Rect{5, 18, 60, 8}));
  EXPECT_EQ(one.width, 70);
  EXPECT_EQ(one.height, 45 + 5 + 14);
  ASSERT_EQ(one.buttons.size(), 1u);
  EXPECT_EQ(one.buttons[0], (Rect{10, 45, 50, 14}));  // centred

  // Three buttons are wider than the text: the box grows to hold them.
  MessageBoxLayout three = LayOutMessageBox(40, 16, 16, 8, 3);
  EXPECT_EQ(three.icon, (Rect{5, 18, 16, 8}));
  EXPECT_EQ(three.text.x, 5 + 16 + 5 + 5);
  const int row = 3 * 50 + 2 * 5;
  EXPECT_EQ(three.width, three.text.x + row + 10);
  EXPECT_EQ(three.buttons[0].x, (three.width - row) / 2);
  EXPECT_EQ(three.buttons[2].x - three.buttons[0].x, 110);

  // A tall text sets the area's height.
  EXPECT_EQ(LayOutMessageBox(100, 80, 0, 0, 1).height, 80 + 10 + 5 + 14);
}

TEST(MessageBox, BuildCutsTheTextsAndSetsIconButtonsAndDefault) {
  MessageBoxSpec box = BuildMessageBox("Adding this record creates a duplicate entry for the key:|KEY", std::string(300, 'c'),
                                       "", kOk, 0, false);
  EXPECT_EQ(box.text, "Adding this record creates a duplicate entry for the key:\r\nKEY");
  EXPECT_EQ(box.caption.size(), kMessageCaptionLimit);
  EXPECT_EQ(box.icon.kind, MessageIcon::Kind::None);
  EXPECT_EQ(box.buttons, std::vector<int>{kOk});
  EXPECT_EQ(box.default_button, kOk);
}

}  // namespace
}  // namespace tavero::ui
