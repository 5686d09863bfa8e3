#include <gtest/gtest.h>

#include "app/window_blocks.h"

namespace zephcol {
namespace {

using tavero::definitions::ControlDefinition;
using tavero::definitions::ControlKind;
using tavero::definitions::EntryDefinition;
using tavero::definitions::LookupDefinition;

EntryDefinition Frame() {
  auto found = LookupDefinition(WindowDefinitionBlocks(), "ZEPHCOL$zephc001", "MAIN$APPFRAME");
  EXPECT_TRUE(std::holds_alternative<EntryDefinition>(found));
  return std::holds_alternative<EntryDefinition>(found) ? std::get<EntryDefinition>(found) : EntryDefinition{};
}

TEST(MainFrameDefinition, IsAnApplicationFrameWithItsCaptionAndFont) {
  const EntryDefinition frame = Frame();
  EXPECT_EQ(frame.type, tavero::definitions::WindowType::Application);
  EXPECT_EQ(frame.title, "ZEPHYRA VERSION 1.0");
  ASSERT_TRUE(frame.font);
  EXPECT_EQ(frame.font->typeface, "MS Sans Serif");
  EXPECT_EQ(frame.font->point_size, 8);
  EXPECT_EQ(frame.attributes, 0x810u);
  EXPECT_EQ(frame.state, 0x5820u);
  EXPECT_TRUE(frame.controls.empty());
  EXPECT_GT(frame.status_zones, 0);  // the menu's help lines have a status bar
}

using Action = tavero::definitions::StandardAction;

struct MenuRow {
  const char* menu;
  const char* item;
  int number;
  const char* message;
  Action standard = Action::None;
};

// The frame's whole menu, in menu order.
constexpr MenuRow kMenu[] = {
    {"&File", "&Print Setup ...", -1, "Setup printer", Action::PrintSetup},
    {"&File", "E&xit", -2, "Exit this application", Action::Close},
    {"&Edit", "Cu&t", -3, "Remove item to Windows Clipboard", Action::Cut},
    {"&Edit", "&Copy", -4, "Copy item to Windows Clipboard", Action::Copy},
    {"&Edit", "&Paste", -5, "Paste contents of Windows Clipboard", Action::Paste},
    {"&Browse Files", "EDIT &CARD SETS", -6, "Browse MAIN CARD SET HEADER"},
    {"&Browse Files", "EDIT &INDIVIDUAL CARDS", -7, "Browse SETINFORMATION"},
    {"&Browse Files", "EDIT  CARD &MANUFACTURERS", -8, "Browse MANUFACTURER"},
    {"&Browse Files", "EDIT CARD T&YPES", -9, "Browse TYPES"},
    {"&Browse Files", "TREE BROWSE THE COLLECTION", -10, ""},
    {"&Reports", "Print MAIN REPORT", -12, "Print ordered by the MAN:MANFACT key"},
    {"&Window", "T&ile", -13, "Make all open windows visible", Action::Tile},
    {"&Window", "&Cascade", -14, "Stack all open windows", Action::Cascade},
    {"&Window", "&Arrange Icons", -15, "Align all window icons", Action::ArrangeIcons},
    {"&Help", "&Contents", -16, "View the contents of the help file", Action::HelpContents},
    {"&Help", "&Search for Help On...", -17, "Search for help on a subject", Action::HelpSearch},
    {"&Help", "&How to Use Help", -18, "How to use Windows Help", Action::HelpOnHelp},
    {"&Help", "ABOUT", -19, ""},
};

TEST(MainFrameDefinition, HoldsTheWholeMenuInOrder) {
  const EntryDefinition frame = Frame();
  ASSERT_TRUE(frame.menu_bar);
  std::size_t row = 0;
  for (const ControlDefinition& menu : frame.menu_bar->children) {
    ASSERT_EQ(menu.kind, ControlKind::Menu) << menu.text;
    for (const ControlDefinition& item : menu.children) {
      ASSERT_EQ(item.kind, ControlKind::Item) << item.text;
      EXPECT_EQ(item.key_code, 0);
      ASSERT_LT(row, std::size(kMenu));
      const MenuRow& want = kMenu[row++];
      EXPECT_EQ(menu.text, want.menu);
      EXPECT_EQ(item.text, want.item);
      EXPECT_EQ(item.number, want.number);
      EXPECT_EQ(item.message, want.message);
      EXPECT_EQ(item.standard, want.standard) << item.text;
    }
  }
  EXPECT_EQ(row, std::size(kMenu));
}

TEST(MainFrameDefinition, MenusCarryTheirNumbersAndMessages) {
  const EntryDefinition frame = Frame();
  ASSERT_TRUE(frame.menu_bar);
  const auto& menus = frame.menu_bar->children;
  ASSERT_EQ(menus.size(), 6u);
  EXPECT_EQ(menus[3].text, "&Reports");
  EXPECT_EQ(menus[3].number, -11);
  EXPECT_EQ(menus[3].message, "Report data");
  EXPECT_EQ(menus[4].message, "Create and Arrange windows");
  EXPECT_EQ(menus[5].message, "Windows Help");
  for (std::size_t i : {0u, 1u, 2u, 4u, 5u}) EXPECT_EQ(menus[i].number, 0) << menus[i].text;
}

}  // namespace
}  // namespace zephcol
