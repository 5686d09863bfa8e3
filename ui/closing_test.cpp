// Closing the APPLICATION frame: each MDI child is asked in turn with
// EVENT:CloseDown, and a veto anywhere stops the shutdown.
#include <gtest/gtest.h>

#include "ui/engine.h"
#include "ui/headless/driver.h"
#include "ui/test_windows.h"

namespace tavero::ui {
namespace {

using headless::HeadlessProgram;
using testing::EventLog;
using Lines = std::vector<std::string>;

// The frame starts one child per choice of "&One"; child n vetoes its first
// EVENT:CloseDown when n is in `vetoing`.
struct FrameProgram {
  EventLog log;
  std::vector<int> vetoing;
  int frame_close_vetoes = 0;

  void Child(int n) {
    Window window(testing::MdiWindow("Child " + std::to_string(n)));
    window.Open();
    bool vetoed = false;
    ACCEPT([&] {
      if (EVENT() == Event::CloseDown) {
        log.Add("C" + std::to_string(n) + " asked");
        if (!vetoed && std::find(vetoing.begin(), vetoing.end(), n) != vetoing.end()) {
          vetoed = true;
          return LoopResult::Cycle;
        }
      }
      return LoopResult::Continue;
    });
    log.Add("C" + std::to_string(n) + " gone");
  }

  void Main() {
    Window frame(testing::Frame());
    frame.Open();
    int children = 0;
    ACCEPT([&] {
      if (EVENT() == Event::CloseWindow && frame_close_vetoes > 0) {
        --frame_close_vetoes;
        log.Add("frame vetoed close");
        return LoopResult::Cycle;
      }
      if (ACCEPTED() == -6) {
        int n = ++children;
        START([this, n] { Child(n); }, 50000);
      }
      return LoopResult::Continue;
    });
    log.Add("frame loop ended");
  }
};

TEST(Closing, TheFrameAsksItsChildrenOneAtATimeAndEndsAfterTheLast) {
  FrameProgram app;
  HeadlessProgram program([&] { app.Main(); });
  auto& driver = program.driver();
  const WindowId frame = driver.Find("Frame");
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(driver.ChooseMenu(frame, "&One"));
  EXPECT_EQ(driver.Titles(), (Lines{"Frame", "Child 1", "Child 2", "Child 3"}));

  ASSERT_TRUE(driver.ChooseMenu(frame, "E&xit"));
  EXPECT_EQ(app.log.Lines(), (Lines{"C1 asked", "C1 gone", "C2 asked", "C2 gone", "C3 asked", "C3 gone",
                                    "frame loop ended"}));
  EXPECT_TRUE(program.Finished());
  EXPECT_TRUE(driver.Windows().empty());
}

TEST(Closing, AChildVetoingCloseDownCancelsTheWholeShutdown) {
  FrameProgram app;
  app.vetoing = {2};
  HeadlessProgram program([&] { app.Main(); });
  auto& driver = program.driver();
  const WindowId frame = driver.Find("Frame");
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(driver.ChooseMenu(frame, "&One"));

  ASSERT_TRUE(driver.Close(frame));
  EXPECT_EQ(app.log.Lines(), (Lines{"C1 asked", "C1 gone", "C2 asked"}));
  EXPECT_EQ(driver.Titles(), (Lines{"Frame", "Child 2", "Child 3"}));
  EXPECT_FALSE(program.Finished());

  app.log.Clear();  // a second try asks again from the first child left
  ASSERT_TRUE(driver.Close(frame));
  EXPECT_EQ(app.log.Lines(), (Lines{"C2 asked", "C2 gone", "C3 asked", "C3 gone", "frame loop ended"}));
  EXPECT_TRUE(program.Finished());
}

TEST(Closing, AFrameVetoingCloseWindowStaysOpenWithItsChildren) {
  FrameProgram app;
  app.frame_close_vetoes = 1;
  HeadlessProgram program([&] { app.Main(); });
  auto& driver = program.driver();
  const WindowId frame = driver.Find("Frame");
  ASSERT_TRUE(driver.ChooseMenu(frame, "&One"));

  ASSERT_TRUE(driver.ChooseMenu(frame, "E&xit"));
  EXPECT_EQ(app.log.Lines(), (Lines{"frame vetoed close"}));
  EXPECT_EQ(driver.Titles(), (Lines{"Frame", "Child 1"}));
}

TEST(Closing, AChildClosedByItsOwnCloseBoxLeavesTheFrameAlone) {
  FrameProgram app;
  HeadlessProgram program([&] { app.Main(); });
  auto& driver = program.driver();
  const WindowId frame = driver.Find("Frame");
  ASSERT_TRUE(driver.ChooseMenu(frame, "&One"));
  ASSERT_TRUE(driver.Close(driver.Find("Child 1")));
  EXPECT_EQ(app.log.Lines(), (Lines{"C1 gone"}));
  EXPECT_EQ(driver.Titles(), (Lines{"Frame"}));
  EXPECT_EQ(driver.Active(), frame);
}

// A frame closed by its procedure (not through the close-down round) while a
// child is open on another thread: the engine takes the child away first,
// the platform never keeps a window whose owner is gone, and the child's
// loop ends.
TEST(Closing, AnOwnerClosedByItsProcedureClosesItsChildrenFirst) {
  EventLog log;
  HeadlessProgram program([&] {
    Window frame(testing::Frame());
    frame.Open();
    START([&] {
      Window child(testing::MdiWindow("Child"));
      child.Open();
      ACCEPT([] { return LoopResult::Continue; });
      log.Add("child loop ended, open " + std::to_string(child.IsOpen()));
    }, 50000);
    ACCEPT([&] { return ACCEPTED() == -6 ? LoopResult::Break : LoopResult::Continue; });
    frame.Close();
    Window after(testing::PlainWindow("After"));
    after.Open();
    ACCEPT([] { return LoopResult::Continue; });
  });
  auto& driver = program.driver();
  ASSERT_EQ(driver.Titles(), (Lines{"Frame", "Child"}));
  ASSERT_TRUE(driver.ChooseMenu(driver.Find("Frame"), -6));
  EXPECT_EQ(driver.Titles(), (Lines{"After"}));
  EXPECT_EQ(log.Lines(), (Lines{"child loop ended, open 0"}));
}

}  // namespace
}  // namespace tavero::ui
