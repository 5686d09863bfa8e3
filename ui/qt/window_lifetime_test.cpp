// Windows whose owner goes first: Qt must never delete what the platform
// still holds (run under AddressSanitizer with TAVERO_SANITIZE=ON).
#include <gtest/gtest.h>

#include <atomic>

#include "ui/qt/gui_side.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/test_application.h"
#include "ui/test_windows.h"

namespace tavero::ui::qt {
namespace {

// The frame's thread ends (its procedure returns from the loop on "&One")
// while an MDI child with a ticking timer is open on another thread: the
// engine closes the child before the frame, and the child's timer is never
// touched after Qt deleted it.
TEST(QtWindowLifetime, ClosingAnOwnerBeforeItsChildLeavesNoDanglingTimer) {
  TestApplication();
  std::atomic<int> ticks{0};
  std::atomic<bool> child_loop_over{false};
  QtPlatform platform;
  QtProgram program(platform, [&] {
    Window frame(testing::Frame());
    frame.Open();
    START([&] {
      definitions::EntryDefinition definition = testing::MdiWindow("Child");
      definition.timer = 1;
      Window child(definition);
      child.Open();
      ACCEPT([&] {
        if (EVENT() == Event::Timer) ++ticks;
        return LoopResult::Continue;
      });
      child_loop_over = true;
      child.Close();
    });
    ACCEPT([&] { return ACCEPTED() == -6 ? LoopResult::Break : LoopResult::Continue; });
  });
  QtDriver& driver = program.driver();
  driver.SettleUntil([&] { return ticks > 2; });
  const WindowId frame = driver.Find("Frame");
  ASSERT_NE(frame, kNoWindow);
  ASSERT_NE(driver.Find("Child"), kNoWindow);
  ASSERT_TRUE(driver.ChooseMenu(frame, -6));
  program.WaitUntilFinished();
  EXPECT_TRUE(child_loop_over);
  EXPECT_TRUE(platform.Gui().OpenWindows().empty());
}

// A plain window is a window of its own, not a Qt child of the one below it.
TEST(QtWindowLifetime, PlainWindowsAreNotQtChildrenOfTheirOwners) {
  TestApplication();
  QtPlatform platform;
  QtProgram program(platform, [&] {
    Window below(testing::PlainWindow("Below", {testing::Button(1, "&Open")}));
    below.Open();
    ACCEPT([&] {
      if (ACCEPTED() == 1) {
        Window above(testing::PlainWindow("Above"));
        above.Open();
        ACCEPT([] { return LoopResult::Continue; });
      }
      return LoopResult::Continue;
    });
  });
  QtDriver& driver = program.driver();
  ASSERT_TRUE(driver.Click(driver.Find("Below"), 1));
  const WindowId above = driver.Find("Above");
  ASSERT_NE(above, kNoWindow);
  QtWindow* w = platform.Gui().Find(above);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->top->parentWidget(), nullptr);
  EXPECT_EQ(w->top->accessibleName(), QStringLiteral("Above"));
  ASSERT_TRUE(driver.Close(above));
  ASSERT_TRUE(driver.Close(driver.Find("Below")));
  program.WaitUntilFinished();
}

}  // namespace
}  // namespace tavero::ui::qt
