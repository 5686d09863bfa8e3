#include <gtest/gtest.h>

#include "ui/definitions/compiler/source_form.h"

namespace tavero::definitions {
namespace {

std::string ErrorOf(const std::string& text) {
  try {
    ParseSource(text, "t.json");
  } catch (const SourceError& e) {
    return e.what();
  }
  return "";
}

TEST(SourceForm, ReadsAWindowWithItsMenuAndControls) {
  const DefinitionBlock block = ParseSource(R"({
    "module": "ZEPHCOL$zephc009",
    "entries": [{
      "type": "mdi", "label": "B$QUICKWINDOW", "title": "Caf\u00e9 \u20ac",
      "attributes": "0x810", "state": 14340, "at": ["default", 4, 300, 180],
      "font": { "typeface": "MS Sans Serif", "size": 8 },
      "menu_bar": [{ "kind": "menu", "text": "&File", "children": [
        { "kind": "item", "number": -2, "text": "E&xit", "standard": "close" },
        { "kind": "item", "flags": ["separator"] } ]}],
      "controls": [
        { "kind": "list", "number": 1, "at": [4, 4, 200, 100], "format": "80L|M~NAME~@s20@",
          "message": "Browsing Records", "use": "?List", "flags": ["immediate", "vscroll"] },
        { "kind": "button", "number": 2, "text": "&Insert", "flags": ["default", "disabled"] } ]
    }]})",
                                            "t.json");
  EXPECT_EQ(block.module_label, "ZEPHCOL$zephc009");
  ASSERT_EQ(block.entries.size(), 1u);
  const EntryDefinition& e = block.entries[0];
  EXPECT_EQ(e.type, WindowType::MdiChild);
  EXPECT_EQ(e.title, "Caf\xE9 \x80");  // UTF-8 in the source, Windows-1252 in the block
  EXPECT_EQ(e.attributes, 0x810u);
  EXPECT_EQ(e.state, 0x3804u);
  EXPECT_EQ(e.position, (Rect{kDefaultCoordinate, 4, 300, 180}));
  ASSERT_TRUE(e.menu_bar);
  const ControlDefinition& exit = e.menu_bar->children[0].children[0];
  EXPECT_EQ(exit.standard, StandardAction::Close);
  EXPECT_EQ(e.menu_bar->children[0].children[1].attributes, control_attribute::kSeparator);
  ASSERT_EQ(e.controls.size(), 2u);
  EXPECT_EQ(e.controls[0].variable, "?List");
  EXPECT_TRUE(e.controls[0].has(control_attribute::kUsesVariable));
  // Immediate is the list's own attribute, not the window's.
  EXPECT_TRUE(e.controls[0].has(control_attribute::kImmediate));
  EXPECT_TRUE(e.controls[0].has(control_attribute::kVerticalScroll));
  EXPECT_EQ(e.controls[1].attributes, control_attribute::kDefault | control_attribute::kDisabled);
}

TEST(SourceForm, RefusesWhatWouldBeWrongInTheBlock) {
  const char* const kBad[][2] = {
      {R"({"module": "NODOLLAR", "entries": []})", "PROGRAM$module"},
      {R"({"module": "A$b", "entries": [{"label": "X", "titel": "typo"}]})", "unknown key \"titel\""},
      {R"({"module": "A$b", "entries": [{"label": "X"}, {"label": "X"}]})", "appears twice"},
      {R"({"module": "A$b", "entries": [{"title": "no label"}]})", "needs its label"},
      {R"({"module": "A$b", "entries": [{"label": "X", "controls": [{"kind": "knob"}]}]})", "unknown control kind"},
      {R"({"module": "A$b", "entries": [{"label": "X", "controls": [{"kind": "item", "standard": "fly"}]}]})",
       "unknown standard action"},
      {R"({"module": "A$b", "entries": [{"label": "X", "title": "\u65e5"}]})", "Windows-1252"},
      {R"({"module": "A$b", "entries": [{"label": "X", "at": [1, 2, 3]}]})", "x, y, width, height"},
      {R"({"module": "A$b", "entries": [{"label": "X", "state": "0xZZ"}]})", "expected a number"},
      {R"({"module": "A$b", "entries": [)", "t.json"},
  };
  for (const auto& [text, expected] : kBad) {
    const std::string error = ErrorOf(text);
    EXPECT_NE(error.find(expected), std::string::npos) << text << "\n  gave: " << error;
  }
}

}  // namespace
}  // namespace tavero::definitions
