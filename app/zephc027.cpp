// zephc027: ABOUT, "About ZEPHYRA" ("ABOUT$WINDOW"): the program's name and
// version and a few notice lines, until "Close".
#include "app/global_request.h"
#include "app/information_windows.h"
#include "ui/engine.h"

namespace zephcol {
namespace {
constexpr int kCloseButton = 6;
}  // namespace

void About() {
  namespace ui = tavero::ui;
  ProcedureRequest request;
  ui::Window window("ZEPHCOL$zephc027", "ABOUT$WINDOW");
  window.Open();
  bool opened = false;
  ui::ACCEPT([&] {
    switch (ui::EVENT()) {
      case ui::Event::OpenWindow:
        if (opened) break;
        opened = true;
        ui::DISPLAY();
        ui::SELECT(kCloseButton);  // the first control that takes the focus
        break;
      case ui::Event::GainFocus:
        ui::DISPLAY();
        break;
      case ui::Event::Accepted:
        if (ui::FIELD() == kCloseButton) ui::POST(ui::Event::CloseWindow);
        break;
      default:
        break;
    }
    return ui::LoopResult::Continue;
  });
  window.Close();
}

}  // namespace zephcol
