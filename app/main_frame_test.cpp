// Main on the headless platform: the frame, its menu, the request protocol.
#include <gtest/gtest.h>

#include <atomic>
#include <tuple>

#include "app/app_test_support.h"
#include "app/global_request.h"
#include "app/main_frame.h"
#include "app/window_blocks.h"
#include "ui/definitions/definitions.h"
#include "ui/headless/driver.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
using tavero::definitions::StandardAction;

constexpr const char* kTitle = "ZEPHYRA VERSION 1.0";

void RegisterProgramWindows() { tavero::definitions::RegisterBlocks(WindowDefinitionBlocks()); }

// The splash greets first: the person lets README.TXT load (answering the
// warning when there is none) and presses CONTINUE.
void PassTheSplash(ui::headless::HeadlessDriver& person) {
  for (int tick = 0; tick < 100 && person.Find("Reading File") != ui::kNoWindow; ++tick) person.PassTime(10);
  if (person.MessageBox()) person.PressButton("OK");
  ASSERT_TRUE(person.Click(person.Find("Welcome to ZEPHYRA"), 4));
}

TEST(GlobalRequest, AProcedureTakesTheRequestAndHandsBackItsResponse) {
  SetGlobalRequest(Request::Change);
  SetGlobalResponse(Response::Completed);
  {
    ProcedureRequest local;
    EXPECT_EQ(local.request(), Request::Change);
    EXPECT_EQ(local.response(), Response::Cancelled);
    EXPECT_EQ(GlobalRequest(), Request::None);
    EXPECT_EQ(GlobalResponse(), Response::None);
    local.set_response(Response::Completed);
  }
  EXPECT_EQ(GlobalResponse(), Response::Completed);
  {
    ProcedureRequest local;
    local.set_response(Response::None);  // no answer counts as cancelled
  }
  EXPECT_EQ(GlobalResponse(), Response::Cancelled);
}

TEST(Main, OpensTheFrameWithItsMenuAndEndsOnExit) {
  RegisterProgramWindows();
  testing_support::ScratchDirectory scratch;  // the browses create the data files here
  SetGlobalRequest(Request::Insert);
  ui::headless::HeadlessProgram program(Main);
  ui::headless::HeadlessDriver& person = program.driver();
  const ui::WindowId frame = person.Find(kTitle);
  ASSERT_NE(frame, ui::kNoWindow);
  PassTheSplash(person);
  EXPECT_EQ(person.Text(frame, -12), "Print MAIN REPORT");
  EXPECT_EQ(person.Text(frame, -11), "&Reports");
  EXPECT_EQ(GlobalRequest(), Request::None);  // taken by Main

  // "ABOUT" is called on the frame's thread and waited for.
  ASSERT_TRUE(person.ChooseMenu(frame, "ABOUT"));
  EXPECT_EQ(person.Titles(), (std::vector<std::string>{kTitle, "About ZEPHYRA"}));
  ASSERT_TRUE(person.Click(person.Find("About ZEPHYRA"), 6));
  EXPECT_EQ(person.Titles(), std::vector<std::string>{kTitle});

  // The "&Browse Files" items open their browses and the tree, each on a
  // thread of its own with the stack the menu gives it.
  const std::tuple<int, const char*, std::size_t> kBrowses[] = {{-6, "CARD SET INFORMATION", 50000},
                                                                {-7, "CARD SETS", 50000},
                                                                {-8, "MANUFACTURERS", 50000},
                                                                {-9, "Browse the TYPES File", 50000},
                                                                {-10, "Tree View Card Collection", 25000}};
  int thread = 1;
  for (const auto& [item, title, stack] : kBrowses) {
    EXPECT_TRUE(person.ChooseMenu(frame, item)) << item;
    EXPECT_NE(person.Find(title), ui::kNoWindow) << title;
    EXPECT_EQ(program.engine().StackSize(++thread), stack) << title;
  }
  EXPECT_EQ(program.engine().LiveThreads(), 6);

  // The engine performs the standard items itself.
  EXPECT_TRUE(person.ChooseMenu(frame, "T&ile"));
  EXPECT_TRUE(person.ChooseMenu(frame, "&Contents"));
  const auto actions = program.platform().StandardActions();
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions[0].second, StandardAction::Tile);
  EXPECT_EQ(actions[1].second, StandardAction::HelpContents);

  EXPECT_TRUE(person.ChooseMenu(frame, "E&xit"));
  person.Settle();
  EXPECT_TRUE(program.Finished());
  EXPECT_TRUE(person.Titles().empty());
  EXPECT_EQ(GlobalResponse(), Response::Cancelled);
}

// A browse that opens an MDI child and stays until it is closed.
std::atomic<int> browses_started{0};
void FakeBrowse() {
  ++browses_started;
  ui::Window browse(tavero::definitions::EntryDefinition{[] {
    tavero::definitions::EntryDefinition e;
    e.label = "FAKE$WINDOW";
    e.type = tavero::definitions::WindowType::MdiChild;
    e.title = "A browse";
    e.position = {0, 0, 100, 60};
    return e;
  }()});
  browse.Open();
  ui::ACCEPT([] { return ui::LoopResult::Continue; });
  browse.Close();
}

TEST(Main, ChoosingABrowseTwiceOpensTwoAndExitClosesThemAll) {
  RegisterProgramWindows();
  browses_started = 0;
  static constexpr MenuCommand kCommands[] = {{-6, FakeBrowse, 50000}};
  ui::headless::HeadlessProgram program([] { RunMain(kCommands); });
  ui::headless::HeadlessDriver& person = program.driver();
  const ui::WindowId frame = person.Find(kTitle);
  EXPECT_TRUE(person.ChooseMenu(frame, "EDIT &CARD SETS"));
  EXPECT_TRUE(person.ChooseMenu(frame, "EDIT &CARD SETS"));
  EXPECT_EQ(browses_started, 2);
  EXPECT_EQ(program.engine().LiveThreads(), 3);
  int browses = 0;
  for (const std::string& title : person.Titles()) browses += title == "A browse";
  EXPECT_EQ(browses, 2);
  EXPECT_EQ(program.engine().StackSize(2), 50000u);

  EXPECT_TRUE(person.ChooseMenu(frame, "E&xit"));
  person.Settle();
  EXPECT_TRUE(program.Finished());
  EXPECT_TRUE(person.Titles().empty());
}

}  // namespace
}  // namespace zephcol
