// Opening and closing windows, and the runtime errors that end the program
// when a procedure misuses them.
#include <gtest/gtest.h>

#include <fstream>

#include "ui/definitions/definitions.h"
#include "ui/engine.h"
#include "ui/headless/driver.h"
#include "ui/properties.h"
#include "ui/test_windows.h"

namespace tavero::ui {
namespace {

using headless::HeadlessProgram;

struct Misuse {
  const char* name;
  std::function<void()> procedure;
  const char* message;
};

void MdiChild() {
  Window child(testing::MdiWindow("Child"));
  child.Open();
}

const Misuse kMisuses[] = {
    {"AcceptWithoutAWindow", [] { ACCEPT([] { return LoopResult::Continue; }); },
     "Runtime error: ACCEPT loop requires a window"},
    {"SecondApplication",
     [] {
       Window first(testing::Frame());
       first.Open();
       Window second(testing::Frame("Second"));
       second.Open();
     },
     "Unable to open APPLICATION \\(APPLICATION already active\\)"},
    {"MdiWithoutApplication", MdiChild, "Unable to open MDI window \\(No APPLICATION active\\)"},
    {"MdiOnTheApplicationsThread",
     [] {
       Window frame(testing::Frame());
       frame.Open();
       MdiChild();
     },
     "Unable to open MDI window on APPLICATION's thread"},
    {"OpenTwice",
     [] {
       Window window(testing::PlainWindow("Form"));
       window.Open();
       window.Open();
     },
     "Window is already open"},
    {"PropertyOfAClosedWindow",
     [] {
       Window window(testing::PlainWindow("Form"));
       window.SetProperty(0, property::kText, "x");
     },
     "Window is not open"},
};

class RuntimeErrors : public ::testing::TestWithParam<Misuse> {};

TEST_P(RuntimeErrors, ShowTheBoxAndEndTheProgramWithExitCode2) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(HeadlessProgram program(GetParam().procedure), ::testing::ExitedWithCode(2), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Window, RuntimeErrors, ::testing::ValuesIn(kMisuses),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Window, APlainWindowThePlatformCannotCreateIsError529) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        HeadlessProgram program([] {
          Window window(testing::PlainWindow("Main", {testing::Button(1, "&Open")}));
          window.Open();
          ACCEPT([] {
            if (ACCEPTED() == 1) {
              Window refused(testing::PlainWindow("Refused"));
              refused.Open();
            }
            return LoopResult::Continue;
          });
        });
        program.platform().RefuseWindows(1);
        program.driver().Click(program.driver().Find("Main"), 1);
      },
      ::testing::ExitedWithCode(2), "Runtime error: Unable to open WINDOW");
}

// A block of definitions registered the way the program registers its own.
void RegisterTestBlock() {
  static const std::vector<std::uint8_t> bytes = [] {
    definitions::DefinitionBlock block;
    block.module_label = "TEST$uiwin";
    definitions::EntryDefinition form = testing::PlainWindow("Found", {testing::Button(4, "&Found")});
    form.label = "FORM$WINDOW";
    block.entries.push_back(form);
    return definitions::EncodeBlock(block);
  }();
  static const definitions::ResourceBlock blocks[] = {{"uiwin_RSC", bytes}};
  definitions::RegisterBlocks(blocks);
}

TEST(Window, OpensAWindowFoundByModuleAndProcedureLabel) {
  RegisterTestBlock();
  HeadlessProgram program([] {
    Window window("TEST$uiwin", "FORM$WINDOW");
    window.Open();
    ACCEPT([] { return LoopResult::Continue; });
  });
  const WindowId found = program.driver().Find("Found");
  ASSERT_NE(found, kNoWindow);
  EXPECT_EQ(program.driver().Text(found, 4), "&Found");
}

TEST(Window, AProcedureLabelMissingFromTheBlockEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  RegisterTestBlock();
  EXPECT_EXIT(HeadlessProgram program([] { Window window("TEST$uiwin", "ABSENT$WINDOW"); }),
              ::testing::ExitedWithCode(2), "Internal error 02 : WSLDIAL");
}

TEST(Window, TheTimerPropertyRestartsTheTimerAndZeroStopsIt) {
  testing::EventLog log;
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow("Form", {testing::Button(1, "&Stop")}));
    window.Open();
    ACCEPT([&] {
      if (EVENT() == Event::OpenWindow) SetProperty(0, property::kTimer, 2);
      if (EVENT() == Event::Timer) log.Add("tick " + GetProperty(0, property::kTimer));
      if (ACCEPTED() == 1) SetProperty(0, property::kTimer, 0);
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  driver.PassTime(50);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"tick 2", "tick 2"}));
  ASSERT_TRUE(driver.Click(driver.Find("Form"), 1));
  driver.PassTime(50);
  EXPECT_EQ(log.Lines().size(), 2u);
}

TEST(Window, MdiChildrenOpenOnThreadsOfTheirOwnInsideTheFrame) {
  HeadlessProgram program([] {
    Window frame(testing::Frame());
    frame.Open();
    START([] {
      Window child(testing::MdiWindow("Child"));
      child.Open();
      ACCEPT([] { return LoopResult::Continue; });
    });
    ACCEPT([] { return LoopResult::Continue; });
  });
  auto& driver = program.driver();
  std::vector<headless::ScreenWindow> windows = driver.Windows();
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[1].blueprint.type, definitions::WindowType::MdiChild);
  EXPECT_EQ(windows[1].blueprint.owner, windows[0].blueprint.id);
  EXPECT_EQ(windows[1].blueprint.thread, 1);
}

TEST(Window, TheTraceWritesOneLinePerDeliveredEventWhenSwitchedOn) {
  const std::filesystem::path directory = std::filesystem::path(::testing::TempDir()) / "ui_trace";
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  {
    HeadlessProgram program(
        [] {
          Window window(testing::PlainWindow("Form", {testing::Button(3, "&OK")}));
          window.Open();
          ACCEPT([] { return ACCEPTED() == 3 ? LoopResult::Break : LoopResult::Continue; });
        },
        Engine::Options{.trace = true, .trace_directory = directory});
    program.driver().Click(program.driver().Find("Form"), 3);
  }
  std::ifstream in(directory / "TVLOG.TXT");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("EVENT:OpenWindow (5635 (01603H)) FIELD 0 (00H)", 0), 0u) << lines[0];
  EXPECT_NE(lines[3].find("EVENT:Accepted (5121 (01401H)) FIELD 3 (03H) ACCEPTED 3 (03H)"), std::string::npos)
      << lines[3];
}

}  // namespace
}  // namespace tavero::ui
