// Popup descriptions read into menus.
#include "ui/popup_menu.h"

#include <gtest/gtest.h>

namespace tavero::ui {
namespace {

// The menu written back as one line: "1:&Insert", "~2:x" greyed, "+3:x"
// checked, "-" separators, "B{...}" submenus.
std::string Shape(const std::vector<PopupItem>& items) {
  std::string out;
  for (const PopupItem& item : items) {
    if (!out.empty()) out += ' ';
    switch (item.kind) {
      case PopupItem::Kind::Separator: out += '-'; break;
      case PopupItem::Kind::Submenu: out += item.text + "{" + Shape(item.items) + "}"; break;
      case PopupItem::Kind::Item:
        out += std::string(item.greyed ? "~" : "") + (item.checked ? "+" : "") + std::to_string(item.number) + ":" +
               item.text;
        break;
    }
  }
  return out;
}

TEST(PopupMenu, DescriptionsGiveItemsNumbersAndStates) {
  const std::pair<std::string, std::string> cases[] = {
      {"|&Insert|~&Change|~&Delete", "1:&Insert ~2:&Change ~3:&Delete"},
      {"A|-|B{C|D}|E", "1:A - B{2:C 3:D} 4:E"},
      {"+Sorted|-Plain|~+Grey", "+1:Sorted 2:Plain ~+3:Grey"},
      {"A||B|", "1:A 2:B"},                         // empty items are skipped
      {"}A|}B}", "1:A 2:B"},                        // stray closing braces
      {"A{B{C", "A{B{1:C}}"},                       // unclosed submenus close at the end
      {"A{}|B", "A{} 1:B"},                         // an empty submenu
      {"Big{x|y}|after", "Big{1:x 2:y} 3:after"},
      {"", ""},
      {"-", "-"},
      {"--", "1:-"},                                // "-" then the text "-"
  };
  for (const auto& [description, shape] : cases) {
    SCOPED_TRACE(description);
    EXPECT_EQ(Shape(ParsePopup(description)), shape);
  }
}

TEST(PopupMenu, SubmenusNestAtMostSixteenDeepAndDeeperBracesAreText) {
  std::string deep;
  for (int level = 0; level < 40; ++level) deep += "m" + std::to_string(level) + "{";
  deep += "leaf";
  for (int level = 0; level < 40; ++level) deep += "}";
  deep += "|after";
  std::vector<PopupItem> items = ParsePopup(deep);
  int depth = 0;
  const std::vector<PopupItem>* level = &items;
  while (!level->empty() && level->front().kind == PopupItem::Kind::Submenu) {
    ++depth;
    level = &level->front().items;
  }
  EXPECT_EQ(depth, kPopupDepthLimit);
  ASSERT_FALSE(level->empty());
  EXPECT_EQ(level->front().text, "m16{");  // the brace too deep stays in the text
  ASSERT_EQ(items.size(), 2u);             // its "}" does not close the menus around it early
  EXPECT_EQ(items.back().text, "after");
}

TEST(PopupMenu, NumberedItemFindsChoosableItemsOnly) {
  std::vector<PopupItem> items = ParsePopup("A|-|B{C|~D}|E");
  ASSERT_NE(NumberedItem(items, 3), nullptr);
  EXPECT_EQ(NumberedItem(items, 3)->text, "D");
  EXPECT_TRUE(NumberedItem(items, 3)->greyed);
  EXPECT_EQ(NumberedItem(items, 0), nullptr);
  EXPECT_EQ(NumberedItem(items, 5), nullptr);
}

}  // namespace
}  // namespace tavero::ui
