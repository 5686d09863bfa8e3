// The Qt 6 platform: the engine's windows as Qt widgets.
//
// The frame is a QMainWindow around a QMdiArea, MDI children are its
// sub-windows, plain windows are dialogs; menus carry their help lines to the
// frame's status bar; controls are widgets placed by dialog units of the
// window's font.
//
// Threads (see ui/platform.h):
//  1. Every widget lives on the GUI thread, the thread that created the
//     QtPlatform (after the QApplication) and runs the Qt event loop.
//  2. Engine threads call the Platform methods; each call is carried to the
//     GUI thread (a blocking queued call) and returns when it is done. Calls
//     made on the GUI thread itself run at once.
//  3. The GUI thread turns user input into PlatformMessages for the attached
//     MessageSink and never waits for the engine lock.
//  4. The event loop must keep running while any engine thread may call in:
//     the program ends its engine before it leaves the loop.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "ui/platform.h"

namespace tavero::ui::qt {

class GuiSide;
class QtPrinterPort;

class QtPlatform final : public Platform {
 public:
  struct Options {
    // The program's help page, opened in the desktop's browser by the Help
    // menu's standard items (with "#contents", "#search", "#using-help").
    std::filesystem::path help_page;
    // On a display nobody watches (offscreen): the name "Print To File..."
    // answers; empty: the dialog is left unanswered, nothing is printed.
    std::filesystem::path unattended_print_file;
  };

  QtPlatform();
  explicit QtPlatform(Options options);
  ~QtPlatform() override;
  QtPlatform(const QtPlatform&) = delete;
  QtPlatform& operator=(const QtPlatform&) = delete;

  void Attach(MessageSink* sink) override;
  bool OpenWindow(const WindowSpec& blueprint) override;
  void CloseWindow(WindowId window) override;
  void SetWindowTitle(WindowId window, std::string_view title) override;
  void SetStatusText(WindowId window, int zone, std::string_view text) override;
  void SetControlText(WindowId window, ControlHandle control, std::string_view text) override;
  void SetControlMessage(WindowId window, ControlHandle control, std::string_view message) override;
  void SetControlValue(WindowId window, ControlHandle control, int value) override;
  void SetControlRange(WindowId window, ControlHandle control, int low, int high) override;
  void SetControlEnabled(WindowId window, ControlHandle control, bool enabled) override;
  void SetControlVisible(WindowId window, ControlHandle control, bool visible) override;
  void SetListRows(WindowId window, ControlHandle control, std::vector<ListRow> rows) override;
  void SetListScroll(WindowId window, ControlHandle control, int position) override;
  void SetListScrollBar(WindowId window, ControlHandle control, bool shown) override;
  void SetListIcon(WindowId window, ControlHandle control, int icon, std::string_view file,
                   const images::Image& picture) override;
  void SetImage(WindowId window, ControlHandle control, const images::Image& picture) override;
  void SetPage(WindowId window, ControlHandle control, const images::Metafile& page) override;
  void SetFocus(WindowId window, ControlHandle control) override;
  void StartTimer(WindowId window, int milliseconds) override;
  void StopTimer(WindowId window) override;
  void BringToFront(WindowId window) override;
  void ApplySysCommand(WindowId window, SysCommand command) override;
  void PerformStandardAction(WindowId window, StandardAction action) override;
  void Beep() override;
  void ShowErrorBox(std::string_view title, std::string_view text) override;
  void ShowMessageBox(WindowId dialog, const MessageBoxSpec& box) override;
  void ShowPopup(WindowId dialog, const PopupSpec& popup) override;
  void EndDialog(WindowId dialog) override;
  PrinterPort* Printer() override;
  bool OnGuiThread() const override;
  void SetCursor(int stock_cursor) override;

  // The GUI side, for code on the GUI thread (tests acting as a person,
  // screenshots). Never touch it from an engine thread.
  GuiSide& Gui();

 private:
  std::unique_ptr<GuiSide> gui_;
  std::unique_ptr<QtPrinterPort> printer_;
};

}  // namespace tavero::ui::qt
