// zephcol_screenshot PNG: starts the program on an offscreen display, saves a
// picture of the main frame once it waits for input, and chooses "E&xit".
#include <QApplication>

#include <cstdio>

#include "app/main_frame.h"
#include "app/window_blocks.h"
#include "ui/definitions/definitions.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/qt_platform.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: zephcol_screenshot OUTPUT.png\n", stderr);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  tavero::definitions::RegisterBlocks(zephcol::WindowDefinitionBlocks());
  tavero::ui::qt::QtPlatform platform;
  tavero::ui::qt::QtProgram program(platform, zephcol::Main);
  tavero::ui::qt::QtDriver& person = program.driver();
  const tavero::ui::WindowId frame = person.Find("ZEPHYRA VERSION 1.0");
  // The "&Browse Files" menu open, the pointer on "EDIT &CARD SETS".
  const bool saved = frame != tavero::ui::kNoWindow && person.GrabWithMenu(frame, -6, argv[1]);
  if (!saved) std::fprintf(stderr, "zephcol_screenshot: no picture of the frame saved\n");
  person.ChooseMenu(frame, -2);
  program.WaitUntilFinished();
  return saved ? 0 : 1;
}
