#include <gtest/gtest.h>

#include "ui/definitions/definitions.h"

namespace tavero::definitions {
namespace {

EntryDefinition Window(std::string label, std::string title) {
  EntryDefinition e;
  e.label = std::move(label);
  e.title = std::move(title);
  return e;
}

std::vector<std::uint8_t> Block(std::string module, std::vector<EntryDefinition> entries) {
  DefinitionBlock block;
  block.module_label = std::move(module);
  block.entries = std::move(entries);
  return EncodeBlock(block);
}

std::string TitleFound(std::span<const ResourceBlock> blocks, std::string_view module, std::string_view label) {
  auto found = LookupDefinition(blocks, module, label);
  if (const auto* e = std::get_if<EntryDefinition>(&found)) return e->title;
  return std::get<LookupError>(found).failure == LookupFailure::Damaged ? "<damaged>" : "<not found>";
}

TEST(Lookup, ResourceNameIsTheTextAfterTheDollar) {
  EXPECT_EQ(ResourceName("ZEPHCOL$zephc002"), "zephc002_RSC");
  EXPECT_EQ(ResourceName("ZEPHCOL$zephc_sf"), "zephc_sf_RSC");
}

TEST(Lookup, FindsEntriesByModuleAndProcedureLabel) {
  const auto frame = Block("ZEPHCOL$zephc001", {Window("MAIN$APPFRAME", "frame")});
  const auto browse = Block("ZEPHCOL$zephc002", {Window("BROWSECARDSET$QUICKWINDOW", "browse"),
                                                 Window("OTHER$WINDOW", "other")});
  // Same resource name, another module's label: skipped, the next block wins.
  const auto impostor = Block("OTHER$zephc002", {Window("OTHER$WINDOW", "impostor")});
  const ResourceBlock blocks[] = {{"zephc001_RSC", frame}, {"ZEPHC002_rsc", impostor}, {"zephc002_RSC", browse}};

  EXPECT_EQ(TitleFound(blocks, "ZEPHCOL$zephc001", "MAIN$APPFRAME"), "frame");
  EXPECT_EQ(TitleFound(blocks, "ZEPHCOL$zephc002", "BROWSECARDSET$QUICKWINDOW"), "browse");
  EXPECT_EQ(TitleFound(blocks, "ZEPHCOL$zephc002", "OTHER$WINDOW"), "other");
  EXPECT_EQ(TitleFound(blocks, "OTHER$zephc002", "OTHER$WINDOW"), "impostor");
  // The entry lies in another module's block: not found in this one.
  EXPECT_EQ(TitleFound(blocks, "ZEPHCOL$zephc001", "OTHER$WINDOW"), "<not found>");
  EXPECT_EQ(TitleFound(blocks, "ZEPHCOL$zephc003", "MAIN$APPFRAME"), "<not found>");
  // Labels compare exactly.
  EXPECT_EQ(TitleFound(blocks, "ZEPHCOL$zephc001", "main$appframe"), "<not found>");
}

TEST(Lookup, BuiltInDialogsAreFoundWithoutAModuleLabel) {
  const auto built_in = Block("", {Window("MESSAGE$WINDOW", "message")});
  const auto frame = Block("ZEPHCOL$zephc001", {Window("MESSAGE$WINDOW", "not this one")});
  const ResourceBlock blocks[] = {{"zephc001_RSC", frame}, {"builtin_RSC", built_in}};
  EXPECT_EQ(TitleFound(blocks, "", "MESSAGE$WINDOW"), "message");
}

TEST(Lookup, ADamagedBlockOfTheModuleIsReportedAsDamage) {
  auto damaged = Block("ZEPHCOL$zephc001", {Window("MAIN$APPFRAME", "frame")});
  damaged.resize(damaged.size() - 3);
  const auto other = Block("ZEPHCOL$zephc002", {Window("MAIN$APPFRAME", "other")});
  const ResourceBlock blocks[] = {{"zephc002_RSC", other}, {"zephc001_RSC", damaged}};
  EXPECT_EQ(TitleFound(blocks, "ZEPHCOL$zephc001", "MAIN$APPFRAME"), "<damaged>");
  // Another module's damage does not touch this lookup.
  EXPECT_EQ(TitleFound(blocks, "ZEPHCOL$zephc002", "MAIN$APPFRAME"), "other");
}

TEST(Lookup, UseVariablesAreCountedThroughSheetsAndTabs) {
  auto control = [](ControlKind kind, bool uses, std::vector<ControlDefinition> children = {}) {
    ControlDefinition c;
    c.kind = kind;
    if (uses) c.attributes = control_attribute::kUsesVariable;
    c.children = std::move(children);
    return c;
  };
  EntryDefinition e;
  e.controls = {control(ControlKind::List, true),
                control(ControlKind::Sheet, false,
                        {control(ControlKind::Tab, false, {control(ControlKind::Entry, true),
                                                           control(ControlKind::Prompt, false)}),
                         control(ControlKind::Tab, false, {control(ControlKind::Check, true)})}),
                control(ControlKind::Button, false)};
  EXPECT_EQ(CountUseVariables(e), 3u);
}

}  // namespace
}  // namespace tavero::definitions
