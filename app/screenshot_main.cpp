// zephcol_screenshot FRAME.png [SPLASH.png [BROWSE.png TREE.png]]: starts the
// program on an offscreen display, saves a picture of the splash once
// README.TXT has loaded (when asked for), presses "CONTINUE", saves a
// picture of the main frame once it waits for input and, when asked, opens
// "EDIT &CARD SETS" and pictures the frame with the card set browse, then
// opens "TREE BROWSE THE COLLECTION", expands the first manufacturer that
// has sets and its first set, and pictures the tree; then chooses "E&xit".
// Run in a directory holding a sample collection (`tavero sample .`) it
// makes the pictures in docs/.
#include <QApplication>

#include <cstdio>
#include <string>

#include "app/main_frame.h"
#include "app/window_blocks.h"
#include "ui/definitions/definitions.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/qt_platform.h"

namespace {

// Expands the first row with a contracted box (a manufacturer with sets),
// then the first contracted row under it (its first set with cards).
bool ExpandFirstSet(tavero::ui::qt::QtDriver& person, tavero::ui::WindowId tree) {
  if (tree == tavero::ui::kNoWindow) return false;
  for (int expanded = 0; expanded < 2; ++expanded) {
    const auto list = person.List(tree, 1);
    if (!list) return false;
    int row = 0;
    for (std::size_t i = 0; i < list->rows.size() && row == 0; ++i) {
      const std::string& text = list->rows[i];
      const std::size_t at = text.find_first_not_of(' ');
      if (at != std::string::npos && text.compare(at, 2, "+ ") == 0) row = list->top + static_cast<int>(i) + 1;
    }
    if (row == 0 || !person.Expand(tree, 1, row)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3 && argc != 5) {
    std::fputs("usage: zephcol_screenshot FRAME.png [SPLASH.png [BROWSE.png TREE.png]]\n", stderr);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  tavero::definitions::RegisterBlocks(zephcol::WindowDefinitionBlocks());
  tavero::ui::qt::QtPlatform platform;
  tavero::ui::qt::QtProgram program(platform, zephcol::Main);
  tavero::ui::qt::QtDriver& person = program.driver();
  // The welcome window opens before its progress window: wait for lines.
  person.SettleUntil([&] {
    if (!person.MessageCaption().empty()) return true;
    const tavero::ui::WindowId shown = person.Find("Welcome to ZEPHYRA");
    if (shown == tavero::ui::kNoWindow || person.Find("Reading File") != tavero::ui::kNoWindow) return false;
    const auto lines = person.List(shown, 3);
    return lines.has_value() && lines->count > 0;
  });
  if (!person.MessageCaption().empty()) person.PressButton("OK");  // no README.TXT to show
  const tavero::ui::WindowId splash = person.Find("Welcome to ZEPHYRA");
  bool saved_splash = argc == 2 || (splash != tavero::ui::kNoWindow && person.Grab(splash, argv[2]));
  if (!saved_splash) std::fprintf(stderr, "zephcol_screenshot: no picture of the splash saved\n");
  person.Click(splash, 4);
  const tavero::ui::WindowId frame = person.Find("ZEPHYRA VERSION 1.0");
  // The "&Browse Files" menu open, the pointer on "EDIT &CARD SETS".
  bool saved = frame != tavero::ui::kNoWindow && person.GrabWithMenu(frame, -6, argv[1]);
  if (!saved) std::fprintf(stderr, "zephcol_screenshot: no picture of the frame saved\n");
  if (saved && argc == 5) {
    saved = person.ChooseMenu(frame, -6) && person.Find("CARD SET INFORMATION") != tavero::ui::kNoWindow &&
            person.Grab(frame, argv[3]);
    if (!saved) std::fprintf(stderr, "zephcol_screenshot: no picture of the card set browse saved\n");
    saved = saved && person.ChooseMenu(frame, -10) &&
            ExpandFirstSet(person, person.Find("Tree View Card Collection")) && person.Grab(frame, argv[4]);
    if (!saved) std::fprintf(stderr, "zephcol_screenshot: no picture of the tree saved\n");
  }
  person.ChooseMenu(frame, -2);
  program.WaitUntilFinished();
  return saved && saved_splash ? 0 : 1;
}
