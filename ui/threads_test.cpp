// START, the thread table, the one engine lock and what each thread keeps
// to itself.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "runtime/error_state.h"
#include "storage/driver/lock_wait.h"
#include "storage/driver/transaction.h"
#include "ui/engine.h"
#include "ui/headless/driver.h"
#include "ui/test_windows.h"

namespace tavero::ui {
namespace {

using headless::HeadlessProgram;
using testing::EventLog;
using Lines = std::vector<std::string>;

// A started procedure that keeps its thread alive in a window of its own.
void Waiter() {
  Window window(testing::PlainWindow("Waiter " + std::to_string(THREAD())));
  window.Open();
  ACCEPT([] { return LoopResult::Continue; });
}

TEST(Threads, StartSettlesTheStackSizeAndNumbersThreadsFromTwo) {
  std::vector<int> started;
  HeadlessProgram program([&] {
    started.push_back(THREAD());
    started.push_back(START(Waiter, 0));
    started.push_back(START(Waiter, 1000));
    started.push_back(START(Waiter, 20000));
    Window window(testing::PlainWindow("Main"));
    window.Open();
    ACCEPT([] { return LoopResult::Continue; });
  });
  ASSERT_EQ(started, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(program.engine().StackSize(2), 10000u);
  EXPECT_EQ(program.engine().StackSize(3), 5000u);
  EXPECT_EQ(program.engine().StackSize(4), 20000u);
  EXPECT_EQ(program.engine().LiveThreads(), 4);
  EXPECT_NE(program.driver().Find("Waiter 3"), kNoWindow);
}

TEST(Threads, A64thThreadIsRefusedUntilASlotIsFreed) {
  EventLog log;
  HeadlessProgram program([&] {
    for (int i = 0; i < 63; ++i) {
      if (START(Waiter) == 0) log.Add("refused early");
    }
    log.Add("64th: " + std::to_string(START(Waiter)));
    Window window(testing::PlainWindow("Main", {testing::Button(1, "&Start")}));
    window.Open();
    ACCEPT([&] {
      if (ACCEPTED() == 1) log.Add("again: " + std::to_string(START(Waiter)));
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  EXPECT_EQ(log.Lines(), (Lines{"64th: 0"}));
  EXPECT_EQ(program.engine().LiveThreads(), 64);

  ASSERT_TRUE(driver.Close(driver.Find("Waiter 10")));
  ASSERT_TRUE(driver.Click(driver.Find("Main"), 1));
  EXPECT_EQ(log.Lines().back(), "again: 10");  // the first free slot
}

TEST(Threads, StartIsRefusedWhileAnEventIsDeliveredSynchronously) {
  EventLog log;
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow("Main"));
    window.Open();
    ACCEPT([&] {
      if (EVENT() == Event::Maximize) log.Add("during Maximize: " + std::to_string(START(Waiter)));
      return LoopResult::Continue;
    });
  });
  ASSERT_TRUE(program.driver().SystemCommand(program.driver().Find("Main"), SysCommand::Maximize));
  EXPECT_EQ(log.Lines(), (Lines{"during Maximize: 0"}));
}

TEST(Threads, EachThreadKeepsItsOwnErrorState) {
  EventLog log;
  HeadlessProgram program([&] {
    PostError(35);
    START([&] {
      log.Add("started thread sees " + std::to_string(ErrorCode()));
      PostError(36);
      Window window(testing::PlainWindow("Other", {testing::Button(1, "&Check")}));
      window.Open();
      ACCEPT([&] {
        if (ACCEPTED() == 1) log.Add("started thread sees " + std::to_string(ErrorCode()));
        return LoopResult::Continue;
      });
    });
    Window window(testing::PlainWindow("Main", {testing::Button(1, "&Check")}));
    window.Open();
    ACCEPT([&] {
      if (ACCEPTED() == 1) log.Add("main sees " + std::to_string(ErrorCode()));
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  ASSERT_TRUE(driver.Click(driver.Find("Main"), 1));
  ASSERT_TRUE(driver.Click(driver.Find("Other"), 1));
  ASSERT_TRUE(driver.Click(driver.Find("Main"), 1));
  EXPECT_EQ(log.Lines(), (Lines{"started thread sees 0", "main sees 35", "started thread sees 36", "main sees 35"}));
}

// A procedure waiting for a held record or a locked table lets the other
// threads run between its attempts, and comes back with its own state.
TEST(Threads, WaitingForALockLetsTheOtherThreadsRun) {
  EventLog log;
  HeadlessProgram program([&] {
    PostError(43);
    START([&] {
      log.Add("started thread ran");
      PostError(36);
      Waiter();
    });
    for (int attempt = 0; attempt < 500 && log.Lines().empty(); ++attempt) {
      driver::PauseBetweenLockAttempts(std::chrono::milliseconds(10));
    }
    log.Add("main sees " + std::to_string(ErrorCode()) + " on thread " + std::to_string(THREAD()));
    Window window(testing::PlainWindow("Main"));
    window.Open();
    ACCEPT([] { return LoopResult::Continue; });
  });
  EXPECT_EQ(log.Lines(), (Lines{"started thread ran", "main sees 43 on thread 1"}));
}

// Inside a transaction (LOGOUT waiting for a file's lock) the other threads
// stay stopped: their changes must not slip into it.
TEST(Threads, WaitingForALockInsideATransactionKeepsTheOtherThreadsStopped) {
  EventLog log;
  HeadlessProgram program([&] {
    START([&] {
      log.Add("started thread ran");
      Waiter();
    });
    ASSERT_EQ(driver::Logout(0, {}), 0);
    for (int attempt = 0; attempt < 5; ++attempt) {
      driver::PauseBetweenLockAttempts(std::chrono::milliseconds(10));
    }
    log.Add("transaction over");
    driver::Rollback();
    for (int attempt = 0; attempt < 500 && log.Lines().size() < 2; ++attempt) {
      driver::PauseBetweenLockAttempts(std::chrono::milliseconds(10));
    }
    Window window(testing::PlainWindow("Main"));
    window.Open();
    ACCEPT([] { return LoopResult::Continue; });
  });
  EXPECT_EQ(log.Lines(), (Lines{"transaction over", "started thread ran"}));
}

TEST(Threads, FocusMovingBetweenThreadsGivesLoseFocusAndGainFocus) {
  EventLog log;
  auto logging = [&](std::string name) {
    return [&log, name] {
      Window window(testing::PlainWindow(name));
      window.Open();
      ACCEPT([&] {
        if (EVENT() == Event::LoseFocus || EVENT() == Event::GainFocus) log.AddCurrent(name + " ");
        return LoopResult::Continue;
      });
    };
  };
  HeadlessProgram program([&] {
    START(logging("B"));
    logging("A")();
  });
  auto& driver = program.driver();
  ASSERT_TRUE(driver.Activate(driver.Find("A")));
  log.Clear();
  ASSERT_TRUE(driver.Activate(driver.Find("B")));
  Lines lines = log.Lines();
  std::sort(lines.begin(), lines.end());  // two threads: each line's own order is all that is fixed
  EXPECT_EQ(lines, (Lines{"A EVENT:LoseFocus", "B EVENT:GainFocus"}));
}

TEST(Threads, ABodyRunningAfterAnotherThreadsSuspendsItAndResumesOnItsNextEvent) {
  EventLog log;
  auto procedure = [&](std::string name) {
    return [&log, name] {
      Window window(testing::PlainWindow(name, {testing::Button(1, "&Go")}));
      window.Open();
      ACCEPT([&] {
        Event event = EVENT();
        if (event == Event::Suspend || event == Event::Resume || event == Event::Accepted) log.AddCurrent(name + " ");
        return LoopResult::Continue;
      });
    };
  };
  HeadlessProgram program([&] {
    START(procedure("B"));
    procedure("A")();
  });
  auto& driver = program.driver();
  ASSERT_TRUE(driver.Click(driver.Find("A"), 1));
  log.Clear();
  ASSERT_TRUE(driver.Click(driver.Find("B"), 1));
  ASSERT_TRUE(driver.Click(driver.Find("A"), 1));
  EXPECT_EQ(log.Matching("A "), (Lines{"A EVENT:Suspend", "A EVENT:Resume", "A EVENT:Accepted 1"}));
  EXPECT_EQ(log.Matching("B "), (Lines{"B EVENT:Resume", "B EVENT:Accepted 1", "B EVENT:Suspend"}));
}

// Bodies on several threads touch one plain counter; the engine lock keeps
// them apart (ThreadSanitizer reports a race if it does not).
TEST(Threads, TwoThreadsNeverRunEngineCodeAtOnce) {
  int shared_counter = 0;
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  auto ticking = [&](std::string name) {
    return [&, name] {
      definitions::EntryDefinition definition = testing::PlainWindow(name);
      definition.timer = 1;
      Window window(definition);
      window.Open();
      ACCEPT([&] {
        if (inside.fetch_add(1) != 0) ++overlaps;
        for (int i = 0; i < 100; ++i) ++shared_counter;
        inside.fetch_sub(1);
        return LoopResult::Continue;
      });
    };
  };
  HeadlessProgram program([&] {
    for (int i = 0; i < 4; ++i) START(ticking("T" + std::to_string(i)));
    ticking("Main")();
  });
  for (int i = 0; i < 50; ++i) program.driver().PassTime(10);
  program.engine().Shutdown();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_GE(shared_counter, 5 * 50 * 100);
}

// Holds a started thread's end (after it has given up the engine lock, as
// its thread-local objects go) until it is released.
struct SlowThreadEnd {
  std::atomic<bool>* ending = nullptr;
  std::atomic<bool>* release = nullptr;
  ~SlowThreadEnd() {
    if (ending == nullptr) return;
    *ending = true;
    for (int k = 0; k < 2000 && !*release; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
};

// START reusing the slot of a thread still ending waits for it; a shutdown
// that tells the live threads to quit meanwhile must reach the thread
// started after all, or the shutdown waits for it for ever.
TEST(Threads, AThreadStartedAsTheShutdownBeginsIsToldToQuit) {
  std::atomic<bool> first_ending{false};
  std::atomic<bool> release_first{false};
  std::atomic<bool> starting_second{false};
  headless::HeadlessPlatform platform;
  Engine engine(platform);
  std::thread main_thread([&] {
    engine.RunMain([&] {
      START([&] {
        thread_local SlowThreadEnd slow_end;
        slow_end.ending = &first_ending;
        slow_end.release = &release_first;
      });
      while (!first_ending) driver::PauseBetweenLockAttempts(std::chrono::milliseconds(5));
      starting_second = true;
      EXPECT_EQ(START(Waiter), 2);  // waits in its slot for the first thread's end
    });
  });
  while (!starting_second) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::atomic<bool> shut_down{false};
  std::thread shutdown([&] {
    engine.Shutdown();
    shut_down = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the live threads are told
  release_first = true;
  for (int k = 0; k < 500 && !shut_down; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(shut_down) << "the thread started during the shutdown was never told to quit";
  if (!shut_down) {
    headless::HeadlessDriver driver(platform, engine);
    driver.Close(driver.Find("Waiter 2"));
  }
  shutdown.join();
  main_thread.join();
}

}  // namespace
}  // namespace tavero::ui
