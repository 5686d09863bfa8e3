// SPLASH and ABOUT on the headless platform, with real README files, as a
// person meets them: the boxes they read, the progress of the loading tick
// by tick, the lines the list shows, and the frame's menu.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/app_test_support.h"
#include "app/information_windows.h"
#include "app/main_frame.h"
#include "app/window_blocks.h"
#include "ui/definitions/definitions.h"
#include "ui/headless/driver.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
using testing_support::ReadMessageBox;
using testing_support::ScratchDirectory;
using Lines = std::vector<std::string>;

constexpr const char* kSplash = "Welcome to ZEPHYRA";
constexpr const char* kProgress = "Reading File";

// A README of `lines` lines of 98 characters and CR LF: 100 bytes a line.
void WriteReadme(const std::filesystem::path& path, int lines) {
  std::ofstream out(path, std::ios::binary);
  for (int n = 1; n <= lines; ++n) {
    std::string line = "Line " + std::to_string(n) + " ";
    line.resize(98, '.');
    out << line << "\r\n";
  }
}

// The splash run alone, with the program's directory `beside` (empty of
// README files unless a test puts one there).
class SplashTest : public ::testing::Test {
 protected:
  SplashTest() { tavero::definitions::RegisterBlocks(WindowDefinitionBlocks()); }

  void Start() {
    program_ = std::make_unique<ui::headless::HeadlessProgram>([this] { Splash(beside_.path()); });
  }
  ui::headless::HeadlessDriver& person() { return program_->driver(); }
  int ListCount() {
    const auto list = person().List(person().Find(kSplash), 3);
    return list ? list->count : -1;
  }
  std::string Progress() { return person().Text(person().Find(kProgress), 3); }

  ScratchDirectory here_;
  ScratchDirectory beside_{false};
  std::unique_ptr<ui::headless::HeadlessProgram> program_;
};

TEST_F(SplashTest, WithoutAReadmeWarning26NamesItAndTheListIsHidden) {
  Start();
  ASSERT_TRUE(person().MessageBox().has_value());
  EXPECT_EQ(ReadMessageBox(person()),
            "File Load Error|README.TXT File Load Error.  Error: File Not Found (2).|OK (OK)");
  ASSERT_TRUE(person().PressButton("OK"));
  const ui::WindowId splash = person().Find(kSplash);
  ASSERT_NE(splash, ui::kNoWindow);
  EXPECT_FALSE(person().Visible(splash, 3));
  EXPECT_EQ(person().Find(kProgress), ui::kNoWindow);
  ASSERT_TRUE(person().Click(splash, 4));  // CONTINUE
  EXPECT_TRUE(program_->Finished());
}

TEST_F(SplashTest, AnEmptyReadmeGivesWarning28AndNoProgressWindow) {
  WriteReadme(here_.path() / "README.TXT", 0);
  Start();
  EXPECT_EQ(ReadMessageBox(person()),
            "File Load Error|README.TXT File Load Error.  The file you've requested contains no text.|OK (OK)");
  EXPECT_EQ(person().Find(kProgress), ui::kNoWindow);
  ASSERT_TRUE(person().PressButton("OK"));
  EXPECT_FALSE(person().Visible(person().Find(kSplash), 3));
}

// 50 000 bytes at 20 000 a tick: three ticks, the last one "100% Completed"
// and the progress window closes; the list shows every line.
TEST_F(SplashTest, A50000ByteReadmeIsReadInThreeTicks) {
  WriteReadme(here_.path() / "README.TXT", 500);
  Start();
  const ui::WindowId progress = person().Find(kProgress);
  ASSERT_NE(progress, ui::kNoWindow);
  EXPECT_EQ(Progress(), "0% Completed");
  Lines seen;
  for (int tick = 0; tick < 3 && person().Find(kProgress) != ui::kNoWindow; ++tick) {
    person().PassTime(10);
    seen.push_back(person().Find(kProgress) != ui::kNoWindow ? Progress() : "closed");
  }
  EXPECT_EQ(seen, (Lines{" 40% Completed", " 80% Completed", "closed"}));
  EXPECT_EQ(ListCount(), 500);
  const auto list = person().List(person().Find(kSplash), 3);
  ASSERT_TRUE(list && !list->rows.empty());
  EXPECT_EQ(list->rows.front().substr(0, 7), "Line 1 ");
}

TEST_F(SplashTest, CancelAskedAndAnsweredKeepsTheLinesReadSoFar) {
  WriteReadme(here_.path() / "README.TXT", 500);
  Start();
  person().PassTime(10);
  const ui::WindowId progress = person().Find(kProgress);
  ASSERT_TRUE(person().Click(progress, 4));
  EXPECT_EQ(ReadMessageBox(person()),
            "Cancel Request|Are you certain you want to stop loading README.TXT?|OK Cancel (Cancel)");
  ASSERT_TRUE(person().PressButton("Cancel"));  // goes on loading
  EXPECT_NE(person().Find(kProgress), ui::kNoWindow);
  person().PassTime(10);
  ASSERT_TRUE(person().Click(progress, 4));
  ASSERT_TRUE(person().PressButton("OK"));
  EXPECT_EQ(person().Find(kProgress), ui::kNoWindow);
  EXPECT_EQ(ListCount(), 400);
  EXPECT_TRUE(person().Visible(person().Find(kSplash), 3));
}

// Found beside the program when the working directory has none, whatever
// the case of its name.
TEST_F(SplashTest, TheReadmeBesideTheProgramIsFoundInAnyCase) {
  WriteReadme(beside_.path() / "ReadMe.txt", 3);
  Start();
  person().PassTime(10);
  EXPECT_EQ(ListCount(), 3);
}

// A file of nothing but line ends: each tick stops after a bounded number
// of lines, so the window answers between ticks.
TEST_F(SplashTest, ATickEndsAfterABoundedNumberOfLines) {
  {
    std::ofstream out(here_.path() / "README.TXT", std::ios::binary);
    for (int n = 0; n < 5000; ++n) out << "\r\n";
  }
  Start();
  person().PassTime(10);
  ASSERT_NE(person().Find(kProgress), ui::kNoWindow);
  EXPECT_LT(ListCount(), 5000);
  for (int tick = 0; tick < 10 && person().Find(kProgress) != ui::kNoWindow; ++tick) person().PassTime(10);
  EXPECT_EQ(person().Find(kProgress), ui::kNoWindow);
  EXPECT_EQ(ListCount(), 5000);
}

// Past 21 474 837 bytes read, read * 100 no longer fits 32 bits: the
// percentage still rises steadily to the end of a 25 000 000-byte file.
TEST_F(SplashTest, PercentagesOfALargeFileStayInRange) {
  {
    std::ofstream out(here_.path() / "README.TXT", std::ios::binary);
    const std::string line = std::string(248, 'x') + "\r\n";
    for (int n = 0; n < 100000; ++n) out << line;
  }
  Start();
  int last = 0;
  bool steady = true;
  for (int tick = 0; tick < 2000 && person().Find(kProgress) != ui::kNoWindow; ++tick) {
    const int percent = std::stoi(Progress());
    steady = steady && percent >= last && percent <= 100;
    last = percent;
    person().PassTime(10);
  }
  EXPECT_TRUE(steady);
  EXPECT_GE(last, 99);
  EXPECT_EQ(person().Find(kProgress), ui::kNoWindow);
  EXPECT_EQ(ListCount(), 100000);
}

// Main with the splash and About: the frame takes no input while the splash
// is open, About opens from Help and closes with "Close".
class FrameWithSplash : public SplashTest {
 protected:
  void StartMain() {
    static constexpr MenuCommand kCommands[] = {{-19, About, 0}};
    static std::filesystem::path beside;
    beside = beside_.path();
    program_ = std::make_unique<ui::headless::HeadlessProgram>(
        [] { RunMain(kCommands, [] { Splash(beside); }); });
  }
};

TEST_F(FrameWithSplash, TheMenuCannotBeUsedUntilTheSplashIsClosed) {
  WriteReadme(here_.path() / "README.TXT", 10);
  StartMain();
  const ui::WindowId frame = person().Find("ZEPHYRA VERSION 1.0");
  ASSERT_NE(frame, ui::kNoWindow);
  person().PassTime(10);
  person().ChooseMenu(frame, -19);  // dropped, not queued for later
  EXPECT_EQ(person().Find("About ZEPHYRA"), ui::kNoWindow);
  ASSERT_TRUE(person().Click(person().Find(kSplash), 4));
  EXPECT_EQ(person().Titles(), (Lines{"ZEPHYRA VERSION 1.0"}));

  ASSERT_TRUE(person().ChooseMenu(frame, "ABOUT"));
  const ui::WindowId about = person().Find("About ZEPHYRA");
  ASSERT_NE(about, ui::kNoWindow);
  EXPECT_EQ(person().Text(about, 1), "ZEPHYRA V1.0");
  EXPECT_EQ(person().Text(about, 2), "FOR WINDOWS 95 / NT 3.51");
  EXPECT_EQ(person().Focused(about), 6);
  ASSERT_TRUE(person().Click(about, 6));  // Close
  EXPECT_EQ(person().Titles(), (Lines{"ZEPHYRA VERSION 1.0"}));
  ASSERT_TRUE(person().ChooseMenu(frame, "E&xit"));
  EXPECT_TRUE(program_->Finished());
}

}  // namespace
}  // namespace zephcol
