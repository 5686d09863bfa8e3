// MESSAGE and POPUP as a person meets them on the headless platform.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "storage/driver/transaction.h"
#include "ui/dialog_script.h"
#include "ui/engine.h"
#include "ui/headless/driver.h"
#include "ui/test_windows.h"

namespace tavero::ui {
namespace {

using headless::HeadlessProgram;
using testing::EventLog;
using Lines = std::vector<std::string>;

TEST(Dialogs, TheScriptGivesTheAnswersOfEachButtonEscapeAndPopupItem) {
  EventLog log;
  HeadlessProgram program([&] { testing::DialogsProcedure(log); });
  EXPECT_EQ(testing::RunDialogsScript(program.driver()), Lines{});
  EXPECT_EQ(log.Lines(), testing::DialogsScriptEvents());
}

TEST(Dialogs, TheBoxIsOwnedByTheCurrentWindowAndLaidOut) {
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow("Owner", {testing::Button(1, "&Go")}));
    window.Open();
    ACCEPT([&] {
      if (ACCEPTED() == 1) MESSAGE("Adding this record creates a duplicate entry for the key:|CARD:KEY", "Duplicate");
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId owner = driver.Find("Owner");
  ASSERT_TRUE(driver.Click(owner, 1));
  std::optional<headless::ScreenMessageBox> box = driver.MessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->box.owner, owner);
  EXPECT_EQ(driver.MessageButtons(), Lines{"OK"});
  EXPECT_EQ(driver.MessageDefault(), "OK");
  EXPECT_EQ(driver.MessageText(), "Adding this record creates a duplicate entry for the key:\nCARD:KEY");
  ASSERT_EQ(box->layout.buttons.size(), 1u);
  const Rect ok = box->layout.buttons[0];
  EXPECT_EQ(ok.x * 2 + ok.width, box->layout.width);  // centred
  EXPECT_GE(ok.y, 45);
  EXPECT_TRUE(driver.PressButton("OK"));
  EXPECT_FALSE(driver.MessageBox());
}

// The engine thread waits for the box with the engine lock given up: another
// thread's window keeps answering meanwhile.
TEST(Dialogs, OtherThreadsRunWhileABoxIsOpen) {
  EventLog log;
  HeadlessProgram program([&] {
    START([&] {
      Window window(testing::PlainWindow("Other", {testing::Button(1, "&Go")}));
      window.Open();
      ACCEPT([&] {
        if (ACCEPTED() == 1) log.Add("other ran");
        return LoopResult::Continue;
      });
    });
    testing::DialogsProcedure(log);
  });
  auto& driver = program.driver();
  ASSERT_TRUE(driver.Click(driver.Find(testing::kDialogsTitle), 1));
  ASSERT_TRUE(driver.Click(driver.Find("Other"), 1));
  EXPECT_EQ(log.Lines(), Lines{"other ran"});
  ASSERT_TRUE(driver.PressButton("&Yes"));
  EXPECT_EQ(log.Lines(), (Lines{"other ran", "message 2"}));
}

// Inside a transaction the thread keeps the engine lock while its box is
// open: no other thread's writes can join a transaction about to roll back.
TEST(Dialogs, ABoxOpenedInsideATransactionKeepsOtherThreadsOutUntilItCloses) {
  EventLog log;
  HeadlessProgram program([&] {
    START([&] {
      Window window(testing::PlainWindow("Other", {testing::Button(1, "&Go")}));
      window.Open();
      ACCEPT([&] {
        if (ACCEPTED() == 1) log.Add("other ran");
        return LoopResult::Continue;
      });
    });
    Window window(testing::PlainWindow("Main", {testing::Button(1, "&Save")}));
    window.Open();
    ACCEPT([&] {
      if (ACCEPTED() == 1) {
        EXPECT_EQ(driver::Logout(0, {}), 0);
        const int answer = MESSAGE("Roll back?", "Save", "", button::kYes | button::kNo);
        log.Add("box answered " + std::to_string(answer));
        driver::Rollback();
      }
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  auto& platform = program.platform();
  // The driver cannot wait for the engine to settle while the box is open:
  // another thread with input waits for the engine lock. It watches for the
  // box instead.
  const WindowId main = driver.Find("Main");
  ASSERT_TRUE(platform.Send(MakeMessage(MessageKind::Command, main, driver.Control(main, 1)->handle)));
  for (int wait = 0; wait < 1000 && !driver.MessageBox(); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(driver.MessageBox());
  const WindowId other = driver.Find("Other");
  ASSERT_TRUE(platform.Send(MakeMessage(MessageKind::Command, other, driver.Control(other, 1)->handle)));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(log.Lines(), Lines{});
  ASSERT_TRUE(platform.AnswerDialog(driver.MessageBox()->id, button::kNo));
  driver.Settle();
  EXPECT_EQ(log.Lines(), (Lines{"box answered 4", "other ran"}));
}

TEST(Dialogs, TheEngineEndingWhileABoxIsOpenTakesItAwayAndAnswersZero) {
  EventLog log;
  HeadlessProgram program([&] { testing::DialogsProcedure(log); });
  auto& driver = program.driver();
  ASSERT_TRUE(driver.Click(driver.Find(testing::kDialogsTitle), 1));
  EXPECT_FALSE(driver.Click(driver.Find(testing::kDialogsTitle), 2));  // the box's owner takes no input
  program.engine().Shutdown();
  EXPECT_EQ(log.Lines(), Lines{"message 0"});
  EXPECT_TRUE(program.platform().MessageBoxes().empty());
}

TEST(Dialogs, AnAnswerNamingAGreyedOrMissingItemCountsAsNoChoice) {
  EventLog log;
  HeadlessProgram program([&] { testing::DialogsProcedure(log); });
  auto& driver = program.driver();
  auto& platform = program.platform();
  for (int answer : {2, 99, -1}) {
    ASSERT_TRUE(driver.Click(driver.Find(testing::kDialogsTitle), 2));
    ASSERT_TRUE(platform.AnswerDialog(platform.Popups().back().id, answer));
    driver.Settle();
  }
  EXPECT_EQ(log.Lines(), (Lines{"popup 0", "popup 0", "popup 0"}));
}

TEST(Dialogs, TheWaitCursorShowsForALongStep) {
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow("Steps", {testing::Button(1, "&Long"), testing::Button(2, "&Done")}));
    window.Open();
    ACCEPT([&] {
      if (ACCEPTED() == 1) SETCURSOR(kWaitCursor);
      if (ACCEPTED() == 2) SETCURSOR();
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId steps = driver.Find("Steps");
  EXPECT_EQ(program.platform().Cursor(), 0);
  ASSERT_TRUE(driver.Click(steps, 1));
  EXPECT_EQ(program.platform().Cursor(), kWaitCursor);
  ASSERT_TRUE(driver.Click(steps, 2));
  EXPECT_EQ(program.platform().Cursor(), 0);
}

// The stop box comes first; the program ends with the code once it is closed.
TEST(DialogsDeathTest, HaltWithATextShowsAStopBoxThenHalts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        HeadlessProgram program([&] {
          Window frame(testing::Frame("Card Collection"));
          frame.Open();
          HALT(3, "The card file is damaged.");
        });
        auto& driver = program.driver();
        std::optional<headless::ScreenMessageBox> box = driver.MessageBox();
        const bool shown = box && box->box.icon.number == kStockStopIcon && driver.MessageButtons() == Lines{"OK"} &&
                           driver.MessageCaption() == "Card Collection" &&
                           driver.MessageText() == "The card file is damaged.";
        if (!shown) std::_Exit(9);
        driver.PressButton("OK");
        std::_Exit(8);  // not reached: the halt ends the process
      },
      ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace tavero::ui
