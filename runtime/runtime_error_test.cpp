#include "runtime/runtime_error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "locale/locale.h"
#include "runtime/error_state.h"

namespace tavero {
namespace {

struct ShownBox {
  std::string title;
  std::string text;
  int count = 0;
};

class RuntimeErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetWindowSystemStarted(false);
    SetRuntimeErrorBox([this](std::string_view title, std::string_view text) {
      shown_.title = title;
      shown_.text = text;
      ++shown_.count;
    });
  }
  void TearDown() override { SetRuntimeErrorBox(nullptr); }

  ShownBox shown_;
};

TEST_F(RuntimeErrorTest, CodeAndNameMakeTheText) {
  ReportRuntimeError(501, "Out of memory in WSLARRAY!");
  EXPECT_EQ(shown_.title, "Runtime error");
  EXPECT_EQ(shown_.text, "Internal error 01 : Out of memory in WSLARRAY!");
  EXPECT_EQ(ErrorCode(), 501);
  EXPECT_TRUE(RuntimeErrorShown());
}

TEST_F(RuntimeErrorTest, TrailingBlanksAreRemovedAndCodeZeroShowsTheNameAlone) {
  ReportRuntimeError(78);
  EXPECT_EQ(shown_.text, "Invalid Number Of Parameters");
  ClearError();
  ReportRuntimeError(0, "Parameter typing error");
  EXPECT_EQ(shown_.text, "Parameter typing error");
  EXPECT_EQ(ErrorCode(), 0);
  ReportRuntimeError(1999);
  EXPECT_EQ(shown_.text, "Unknown Error Posted : 1999");
}

TEST_F(RuntimeErrorTest, EnvironmentOverrideIsShown) {
  ApplySetting("TAVMSG501", "Out of room");
  ReportRuntimeError(501, "WSLARRAY");
  ResetLocale();
  EXPECT_EQ(shown_.text, "Out of room : WSLARRAY");
}

TEST_F(RuntimeErrorTest, ReturnsToTheCallerBeforeTheWindowSystemRuns) {
  ReportRuntimeError(529);
  EXPECT_EQ(shown_.count, 1);
}

using RuntimeErrorDeathTest = RuntimeErrorTest;

TEST_F(RuntimeErrorDeathTest, EndsWithExitCodeTwoOnceTheWindowSystemRuns) {
  EXPECT_EXIT(
      {
        SetRuntimeErrorBox(nullptr);  // the default box writes to stderr
        SetWindowSystemStarted(true);
        ReportRuntimeError(529);
      },
      ::testing::ExitedWithCode(2), "Runtime error: Unable to open WINDOW");
}

TEST_F(RuntimeErrorDeathTest, InternalErrorNamesTheLineAndEndsTheProgram) {
  EXPECT_EXIT(
      {
        SetRuntimeErrorBox(nullptr);
        ReportInternalError(1234);
      },
      ::testing::ExitedWithCode(2), "Runtime error: Internal error : vmrbt line 1234");
}

TEST(HaltDeathTest, ExitProceduresRunLastFirstThenHandlersByPriority) {
  EXPECT_EXIT(
      {
        RegisterTerminationHandler(200, [](int a) { std::fprintf(stderr, "h200(%d)", a); });
        RegisterExitProcedure([] { std::fputs("e1,", stderr); });
        RegisterTerminationHandler(0, [](int a) { std::fprintf(stderr, "h0(%d),", a); });
        RegisterExitProcedure([] { std::fputs("e2,", stderr); });
        Halt(7);
      },
      ::testing::ExitedWithCode(7), "e2,e1,h0\\(1\\),h200\\(1\\)");
}

TEST(HaltDeathTest, HaltInsideAHandlerGoesStraightToExit) {
  EXPECT_EXIT(
      {
        RegisterExitProcedure([] { std::fputs("e1,", stderr); });
        RegisterTerminationHandler(5, [](int) {
          std::fputs("first,", stderr);
          Halt(4);
        });
        RegisterTerminationHandler(9, [](int) { std::fputs("second", stderr); });
        RegisterExitProcedure([] {
          std::fputs("exit,", stderr);
          EXPECT_TRUE(Halting());
        });
        Halt(3);
      },
      ::testing::ExitedWithCode(4), "exit,e1,first,$");
}

}  // namespace
}  // namespace tavero
