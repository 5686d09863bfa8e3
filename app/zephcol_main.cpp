// zephcol: the card collection program on the Qt platform. It takes no
// options. The GUI runs on this thread; the program (runtime start, then
// Main) runs on a thread of its own and ends the GUI's loop when Main
// returns; the runtime's halt then ends the process.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>

#include "app/program.h"
#include "runtime/halt.h"
#include "ui/qt/qt_platform.h"

namespace {

// A display to show windows on: the one Qt is told to use, or an X11 or
// Wayland desktop.
bool HaveDisplay() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

std::filesystem::path ProgramDirectory() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path() : self.parent_path();
}

}  // namespace

int main(int, char** argv) {
  if (!HaveDisplay()) {
    std::fputs(
        "zephcol: no display to open windows on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
        "ZEPHCOL is a desktop program: start it from a graphical session.\n",
        stderr);
    return 1;
  }
  int qt_argc = 1;  // the program takes no options; Qt sees none either
  QApplication application(qt_argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // the program ends when Main returns

  tavero::ui::qt::QtPlatform platform({ProgramDirectory() / "zephcol-help.html"});
  int exit_code = 0;
  std::thread program([&] {
    exit_code = zephcol::RunProgram(platform);
    QMetaObject::invokeMethod(&application, [] { QApplication::quit(); }, Qt::QueuedConnection);
  });
  QApplication::exec();
  program.join();
  tavero::Halt(exit_code);  // the exit procedures and termination handlers, then the end
}
