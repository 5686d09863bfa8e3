#include <gtest/gtest.h>

#include <cstring>

#include "ui/definitions/definitions.h"
#include "ui/definitions/record_layout.h"

namespace tavero::definitions {
namespace {

// A control of `kind` with every value its layout can hold set to something
// distinct, so a value stored at the wrong place shows up.
ControlDefinition FullControl(ControlKind kind) {
  const layout::ControlLayout l = *layout::LayoutOf(static_cast<std::uint8_t>(kind));
  ControlDefinition c;
  c.kind = kind;
  c.attributes = 0x135;
  if (l.number >= 0) c.number = -7;
  if (l.position >= 0) c.position = Rect{11, 12, 13, 14};
  c.text = "text";
  c.picture = "n-10.2";
  c.tip = "tip";
  c.message = "message";
  if (l.source >= 0) c.source = "source";
  c.format = "80L|M~MANUFACTURER~@s20@";
  c.variable = "CAR:SET_NO";
  c.key_code = 33;
  c.low = -5;
  c.high = 500;
  c.standard = StandardAction::Cascade;
  c.font = FontDefinition{"Arial", 14, 0xFFFFFFFF, 700};
  ControlDefinition child;
  child.kind = ControlKind::Item;
  child.text = "child";
  child.number = -2;
  if (l.first_child >= 0) c.children = {child, child};
  return c;
}

constexpr ControlKind kAllKinds[] = {
    ControlKind::Field,  ControlKind::String, ControlKind::Image,  ControlKind::Box,
    ControlKind::Line,   ControlKind::Region, ControlKind::Group,  ControlKind::Option,
    ControlKind::Button, ControlKind::Prompt, ControlKind::Entry,  ControlKind::Text,
    ControlKind::Check,  ControlKind::List,   ControlKind::Combo,  ControlKind::Spin,
    ControlKind::Radio,  ControlKind::Menu,   ControlKind::Item,   ControlKind::MenuBar,
    ControlKind::Header, ControlKind::Footer, ControlKind::Break,  ControlKind::Form,
    ControlKind::Detail, ControlKind::Progress, ControlKind::Tab,  ControlKind::Sheet,
};

DefinitionBlock SampleBlock() {
  DefinitionBlock block;
  block.module_label = "ZEPHCOL$zephc099";
  EntryDefinition window;
  window.kind = EntryKind::Window;
  window.type = WindowType::MdiChild;
  window.attributes = 0x810;
  window.position = Rect{kDefaultCoordinate, kDefaultCoordinate, 300, 180};
  window.label = "BROWSE$QUICKWINDOW";
  window.title = "CARD SET INFORMATION";
  window.font = FontDefinition{"MS Sans Serif", 8};
  window.state = 0x3804;
  window.timer = 1;
  window.status_zones = 2;
  window.help = "browse";
  ControlDefinition bar;
  bar.kind = ControlKind::MenuBar;
  bar.children = {FullControl(ControlKind::Menu), FullControl(ControlKind::Item)};
  window.menu_bar = bar;
  for (ControlKind kind : kAllKinds) {
    if (kind != ControlKind::MenuBar) window.controls.push_back(FullControl(kind));
  }
  EntryDefinition report;
  report.kind = EntryKind::Report;
  report.attributes = 0x200;
  report.position = Rect{1000, 2000, 6000, 7542};
  report.label = "PRINT$REPORT";
  report.paper[0] = 256000;
  report.paper[2] = 1536000;
  report.controls = {FullControl(ControlKind::Header), FullControl(ControlKind::Break),
                     FullControl(ControlKind::Detail)};
  block.entries = {window, report};
  return block;
}

// What survives a trip through the block: only the values the kind's layout
// has a place for.
ControlDefinition Kept(ControlDefinition c) {
  const layout::ControlLayout l = *layout::LayoutOf(static_cast<std::uint8_t>(c.kind));
  if (l.number < 0) c.number = 0;
  if (l.position < 0) c.position = {};
  if (l.text < 0) c.text.clear();
  if (l.source < 0) c.source.clear();
  if (l.first_child < 0) c.children.clear();
  for (ControlDefinition& child : c.children) child = Kept(child);
  return c;
}

TEST(BlockCodec, EveryKindSurvivesEncodingAndDecoding) {
  const DefinitionBlock block = SampleBlock();
  const auto decoded = DecodeBlock(EncodeBlock(block));
  ASSERT_TRUE(std::holds_alternative<DefinitionBlock>(decoded)) << std::get<BlockDamage>(decoded).reason;
  const DefinitionBlock& got = std::get<DefinitionBlock>(decoded);
  EXPECT_EQ(got.module_label, block.module_label);
  ASSERT_EQ(got.entries.size(), 2u);
  const EntryDefinition& window = got.entries[0];
  ASSERT_EQ(window.controls.size(), block.entries[0].controls.size());
  for (std::size_t i = 0; i < window.controls.size(); ++i) {
    EXPECT_EQ(window.controls[i], Kept(block.entries[0].controls[i]))
        << "kind " << static_cast<int>(window.controls[i].kind);
  }
  EntryDefinition expected_window = block.entries[0];
  expected_window.controls = window.controls;
  expected_window.menu_bar = Kept(*expected_window.menu_bar);
  EXPECT_EQ(window, expected_window);
  EntryDefinition expected_report = block.entries[1];
  for (ControlDefinition& band : expected_report.controls) band = Kept(band);
  EXPECT_EQ(got.entries[1], expected_report);
}

void PutWord(std::vector<std::uint8_t>& block, std::size_t body_start, std::uint32_t offset,
             std::uint32_t value) {
  for (int i = 0; i < 4; ++i) block[body_start + offset - 2 + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
void PutString(std::vector<std::uint8_t>& block, std::size_t body_start, std::uint32_t offset,
               const char* text) {
  std::memcpy(&block[body_start + offset - 2], text, std::strlen(text) + 1);
}

// A block laid out by hand at the documented offsets, so the decoder is held
// to the format and not merely to the encoder.
TEST(BlockCodec, ReadsTheDocumentedOffsets) {
  const std::string label = "ZEPHCOL$zephc001";
  const std::size_t body = label.size() + 1;
  std::vector<std::uint8_t> block(body + 700, 0);
  std::memcpy(block.data(), label.c_str(), body);
  // The first word of the body is body offset 2: the first entry's offset.
  PutWord(block, body, 2, 10);
  const std::uint32_t entry = 10, button = 120, bar = 250, item = 380, strings = 510;
  block[body + entry - 2] = 25;
  PutWord(block, body, entry + 5, 0x810);
  PutWord(block, body, entry + 13, 0x80000000);
  PutWord(block, body, entry + 21, 320);
  PutWord(block, body, entry + 29, button);
  PutWord(block, body, entry + 33, strings);  // "MAIN$APPFRAME"
  PutWord(block, body, entry + 41, strings + 20);  // "ZEPHYRA"
  PutWord(block, body, entry + 77, 0x5820);
  PutWord(block, body, entry + 85, 7);
  PutWord(block, body, entry + 89, bar);
  block[body + button - 2] = 9;
  PutWord(block, body, button + 13, 3);
  PutWord(block, body, button + 21, 101);
  PutWord(block, body, button + 25, 148);
  PutWord(block, body, button + 37, strings + 30);  // tip
  PutWord(block, body, button + 65, strings + 40);  // caption
  block[body + bar - 2] = 22;
  PutWord(block, body, bar + 13, item);
  block[body + item - 2] = 20;
  PutWord(block, body, item + 13, static_cast<std::uint32_t>(-2));
  PutWord(block, body, item + 25, strings + 50);
  PutWord(block, body, item + 41, 34);
  PutString(block, body, strings, "MAIN$APPFRAME");
  PutString(block, body, strings + 20, "ZEPHYRA");
  PutString(block, body, strings + 30, "Jump");
  PutString(block, body, strings + 40, "&Go");
  PutString(block, body, strings + 50, "E&xit");

  const auto decoded = DecodeBlock(block);
  ASSERT_TRUE(std::holds_alternative<DefinitionBlock>(decoded)) << std::get<BlockDamage>(decoded).reason;
  const DefinitionBlock& got = std::get<DefinitionBlock>(decoded);
  ASSERT_EQ(got.entries.size(), 1u);  // a one-entry chain ends with next offset 0
  const EntryDefinition& e = got.entries[0];
  EXPECT_EQ(e.label, "MAIN$APPFRAME");
  EXPECT_EQ(e.title, "ZEPHYRA");
  EXPECT_EQ(e.position.x, kDefaultCoordinate);
  EXPECT_EQ(e.position.width, 320);
  EXPECT_EQ(e.state, 0x5820u);
  EXPECT_EQ(e.timer, 7);
  EXPECT_TRUE(e.has(entry_attribute::kImmediate));
  ASSERT_EQ(e.controls.size(), 1u);
  EXPECT_EQ(e.controls[0].kind, ControlKind::Button);
  EXPECT_EQ(e.controls[0].number, 3);
  EXPECT_EQ(e.controls[0].position, (Rect{101, 148, 0, 0}));
  EXPECT_EQ(e.controls[0].tip, "Jump");
  EXPECT_EQ(e.controls[0].text, "&Go");
  ASSERT_TRUE(e.menu_bar);
  ASSERT_EQ(e.menu_bar->children.size(), 1u);
  EXPECT_EQ(e.menu_bar->children[0].number, -2);
  EXPECT_EQ(e.menu_bar->children[0].text, "E&xit");
  EXPECT_EQ(e.menu_bar->children[0].key_code, 34);
}

std::string DamageOf(const std::vector<std::uint8_t>& block) {
  const auto decoded = DecodeBlock(block);
  return std::holds_alternative<BlockDamage>(decoded) ? std::get<BlockDamage>(decoded).reason : "";
}

std::size_t BodyStart(const std::vector<std::uint8_t>& block) { return BlockModuleLabel(block)->size() + 1; }

TEST(BlockCodec, DamagedBlocksAreRefused) {
  DefinitionBlock one;
  one.module_label = "ZEPHCOL$zephc098";
  EntryDefinition e;
  e.label = "ONE$WINDOW";
  ControlDefinition button;
  button.kind = ControlKind::Button;
  button.text = "&Go";
  ControlDefinition prompt;
  prompt.kind = ControlKind::Prompt;
  prompt.text = "Page:";  // written last: the block ends with its NUL
  e.controls = {button, prompt};
  one.entries = {e};
  const std::vector<std::uint8_t> good = EncodeBlock(one);
  ASSERT_EQ(DamageOf(good), "");
  const std::size_t body = BodyStart(good);
  const std::uint32_t entry = good[body] | good[body + 1] << 8;  // small block: two bytes suffice
  const std::uint32_t first_control = good[body + entry - 2 + 29] | good[body + entry - 2 + 30] << 8;

  std::vector<std::uint8_t> no_label(good.begin(), good.begin() + 5);
  EXPECT_NE(DamageOf(no_label), "");

  std::vector<std::uint8_t> outside = good;
  PutWord(outside, body, 2, 0x7FFFFFF0);
  EXPECT_NE(DamageOf(outside).find("outside"), std::string::npos);

  std::vector<std::uint8_t> below_base = good;
  PutWord(below_base, body, 2, 1);  // offsets start at 2
  EXPECT_NE(DamageOf(below_base), "");

  std::vector<std::uint8_t> entry_kind = good;
  entry_kind[body + entry - 2] = 24;
  EXPECT_NE(DamageOf(entry_kind).find("entry kind"), std::string::npos);

  std::vector<std::uint8_t> control_kind = good;
  control_kind[body + first_control - 2] = 99;
  EXPECT_NE(DamageOf(control_kind).find("control kind"), std::string::npos);

  std::vector<std::uint8_t> loop = good;
  PutWord(loop, body, first_control + 1, first_control);  // next points back at itself
  EXPECT_NE(DamageOf(loop).find("loops"), std::string::npos);

  std::vector<std::uint8_t> entry_loop = good;
  PutWord(entry_loop, body, entry + 1, entry);
  EXPECT_NE(DamageOf(entry_loop).find("loops"), std::string::npos);

  std::vector<std::uint8_t> unterminated = good;
  unterminated.back() = 'X';  // the last string loses its NUL
  EXPECT_NE(DamageOf(unterminated).find("NUL"), std::string::npos);
}

TEST(BlockCodec, NestingDeeperThanTheLimitIsDamage) {
  ControlDefinition menu;
  menu.kind = ControlKind::Menu;
  for (int depth = 0; depth < 40; ++depth) {
    ControlDefinition outer;
    outer.kind = ControlKind::Menu;
    outer.children = {menu};
    menu = outer;
  }
  DefinitionBlock block;
  block.module_label = "ZEPHCOL$deep";
  EntryDefinition e;
  e.label = "DEEP$WINDOW";
  e.controls = {menu};
  block.entries = {e};
  EXPECT_NE(DamageOf(EncodeBlock(block)).find("deep"), std::string::npos);
}

// Every truncation and every single-byte corruption of a block decodes to a
// value or to damage; under the sanitizers this also proves no read strays.
TEST(BlockCodec, TruncatedAndCorruptedBlocksNeverCrash) {
  const std::vector<std::uint8_t> good = EncodeBlock(SampleBlock());
  for (std::size_t length = 0; length < good.size(); ++length) {
    (void)DecodeBlock(std::span(good).first(length));
  }
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (std::uint8_t value : {std::uint8_t{0}, std::uint8_t{0x7F}, std::uint8_t{0xFF}}) {
      std::vector<std::uint8_t> bad = good;
      bad[at] = value;
      (void)DecodeBlock(bad);
    }
  }
}

}  // namespace
}  // namespace tavero::definitions
