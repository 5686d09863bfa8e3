#include "ui/qt/test_application.h"

namespace tavero::ui::qt {

QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "tavero_ui_qt_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace tavero::ui::qt
