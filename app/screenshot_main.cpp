// zephcol_screenshot FRAME.png [SPLASH.png]: starts the program on an
// offscreen display, saves a picture of the splash once README.TXT has
// loaded (when asked for), presses "CONTINUE", saves a picture of the main
// frame once it waits for input, and chooses "E&xit".
#include <QApplication>

#include <cstdio>

#include "app/main_frame.h"
#include "app/window_blocks.h"
#include "ui/definitions/definitions.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/qt_platform.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fputs("usage: zephcol_screenshot FRAME.png [SPLASH.png]\n", stderr);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  tavero::definitions::RegisterBlocks(zephcol::WindowDefinitionBlocks());
  tavero::ui::qt::QtPlatform platform;
  tavero::ui::qt::QtProgram program(platform, zephcol::Main);
  tavero::ui::qt::QtDriver& person = program.driver();
  person.SettleUntil([&] {
    return !person.MessageCaption().empty() || (person.Find("Welcome to ZEPHYRA") != tavero::ui::kNoWindow &&
                                               person.Find("Reading File") == tavero::ui::kNoWindow);
  });
  if (!person.MessageCaption().empty()) person.PressButton("OK");  // no README.TXT to show
  const tavero::ui::WindowId splash = person.Find("Welcome to ZEPHYRA");
  bool saved_splash = argc == 2 || (splash != tavero::ui::kNoWindow && person.Grab(splash, argv[2]));
  if (!saved_splash) std::fprintf(stderr, "zephcol_screenshot: no picture of the splash saved\n");
  person.Click(splash, 4);
  const tavero::ui::WindowId frame = person.Find("ZEPHYRA VERSION 1.0");
  // The "&Browse Files" menu open, the pointer on "EDIT &CARD SETS".
  const bool saved = frame != tavero::ui::kNoWindow && person.GrabWithMenu(frame, -6, argv[1]);
  if (!saved) std::fprintf(stderr, "zephcol_screenshot: no picture of the frame saved\n");
  person.ChooseMenu(frame, -2);
  program.WaitUntilFinished();
  return saved && saved_splash ? 0 : 1;
}
