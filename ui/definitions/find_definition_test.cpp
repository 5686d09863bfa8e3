// The reporting lookups: what the engine sees when a definition is missing,
// damaged, or asks for more USE variables than it was given. The window
// system is not started here, so each report returns to the caller.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/error_state.h"
#include "runtime/runtime_error.h"
#include "ui/definitions/definitions.h"

namespace tavero::definitions {
namespace {

struct Box {
  std::string title;
  std::string text;
};

class FindDefinitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetRuntimeErrorBox([this](std::string_view title, std::string_view text) {
      boxes_.push_back({std::string(title), std::string(text)});
    });
    static const std::vector<std::uint8_t> good = [] {
      DefinitionBlock block;
      block.module_label = "TEST$finddef";
      EntryDefinition e;
      e.label = "FORM$WINDOW";
      e.title = "form";
      ControlDefinition entry;
      entry.kind = ControlKind::Entry;
      entry.attributes = control_attribute::kUsesVariable;
      e.controls = {entry, entry};
      block.entries = {e};
      return EncodeBlock(block);
    }();
    static const std::vector<std::uint8_t> damaged = [] {
      std::vector<std::uint8_t> bytes = good;
      bytes.resize(bytes.size() - 2);
      bytes[0] = 'B';  // "BEST$finddef"
      return bytes;
    }();
    static const ResourceBlock blocks[] = {{"finddef_RSC", good}, {"finddef_RSC", damaged}};
    RegisterBlocks(blocks);
  }
  void TearDown() override { SetRuntimeErrorBox(nullptr); }

  std::vector<Box> boxes_;
};

TEST_F(FindDefinitionTest, AFoundEntryReportsNothing) {
  const std::optional<EntryDefinition> found = FindDefinition("TEST$finddef", "FORM$WINDOW");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->title, "form");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(FindDefinitionTest, AMissingEntryReports502) {
  EXPECT_FALSE(FindDefinition("TEST$finddef", "NOSUCH$WINDOW"));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Runtime error");
  EXPECT_EQ(boxes_[0].text, "Internal error 02 : WSLDIAL");
  EXPECT_EQ(ErrorCode(), 502);
}

TEST_F(FindDefinitionTest, ADamagedBlockReports503) {
  EXPECT_FALSE(FindDefinition("BEST$finddef", "FORM$WINDOW"));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Internal error 03 : WSLDIAL");
}

TEST_F(FindDefinitionTest, AskingForMoreUseVariablesThanGivenReports501) {
  const EntryDefinition form = *FindDefinition("TEST$finddef", "FORM$WINDOW");
  EXPECT_TRUE(CheckUseVariables(form, 2));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_FALSE(CheckUseVariables(form, 1));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Internal error 01 : WSLDIAL");
}

}  // namespace
}  // namespace tavero::definitions
