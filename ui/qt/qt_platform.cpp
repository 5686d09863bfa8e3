// QtPlatform: every call is carried to the GUI thread (rule 2 of
// qt_platform.h) and performed there by the GuiSide.
#include "ui/qt/qt_platform.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

#include "ui/qt/gui_side.h"
#include "ui/qt/qt_printer.h"

namespace tavero::ui::qt {

QtPlatform::QtPlatform() : QtPlatform(Options{}) {}

QtPlatform::QtPlatform(Options options)
    : gui_(std::make_unique<GuiSide>(std::move(options.help_page))),
      printer_(std::make_unique<QtPrinterPort>([this](const std::function<void()>& work) { gui_->Run(work); },
                                               std::move(options.unattended_print_file))) {}

QtPlatform::~QtPlatform() = default;

GuiSide& QtPlatform::Gui() { return *gui_; }

PrinterPort* QtPlatform::Printer() { return printer_.get(); }

void QtPlatform::Attach(MessageSink* sink) {
  gui_->Run([&] { gui_->Attach(sink); });
}

bool QtPlatform::OpenWindow(const WindowSpec& blueprint) {
  bool opened = false;
  gui_->Run([&] { opened = gui_->Open(blueprint); });
  return opened;
}

void QtPlatform::CloseWindow(WindowId window) {
  gui_->Run([&] { gui_->Close(window); });
}

void QtPlatform::SetWindowTitle(WindowId window, std::string_view title) {
  gui_->Run([&] { gui_->SetTitle(window, title); });
}

void QtPlatform::SetStatusText(WindowId window, int zone, std::string_view text) {
  gui_->Run([&] { gui_->SetStatusText(window, zone, text); });
}

void QtPlatform::SetControlText(WindowId window, ControlHandle control, std::string_view text) {
  gui_->Run([&] { gui_->SetText(window, control, text); });
}

void QtPlatform::SetControlMessage(WindowId window, ControlHandle control, std::string_view message) {
  gui_->Run([&] { gui_->SetMessage(window, control, message); });
}

void QtPlatform::SetControlValue(WindowId window, ControlHandle control, int value) {
  gui_->Run([&] { gui_->SetValue(window, control, value); });
}

void QtPlatform::SetControlRange(WindowId window, ControlHandle control, int low, int high) {
  gui_->Run([&] { gui_->SetRange(window, control, low, high); });
}

void QtPlatform::SetControlEnabled(WindowId window, ControlHandle control, bool enabled) {
  gui_->Run([&] { gui_->SetEnabled(window, control, enabled); });
}

void QtPlatform::SetControlVisible(WindowId window, ControlHandle control, bool visible) {
  gui_->Run([&] { gui_->SetVisible(window, control, visible); });
}

void QtPlatform::SetListRows(WindowId window, ControlHandle control, std::vector<ListRow> rows) {
  gui_->Run([&] { gui_->SetListRows(window, control, std::move(rows)); });
}

void QtPlatform::SetListScroll(WindowId window, ControlHandle control, int position) {
  gui_->Run([&] { gui_->SetListScroll(window, control, position); });
}

void QtPlatform::SetListScrollBar(WindowId window, ControlHandle control, bool shown) {
  gui_->Run([&] { gui_->SetListScrollBar(window, control, shown); });
}

void QtPlatform::SetListIcon(WindowId window, ControlHandle control, int icon, std::string_view,
                             const images::Image& picture) {
  gui_->Run([&] { gui_->SetListIcon(window, control, icon, picture); });
}

void QtPlatform::SetImage(WindowId window, ControlHandle control, const images::Image& picture) {
  gui_->Run([&] { gui_->SetImage(window, control, picture); });
}

void QtPlatform::SetPage(WindowId window, ControlHandle control, const images::Metafile& page) {
  gui_->Run([&] { gui_->SetPage(window, control, page); });
}

void QtPlatform::SetFocus(WindowId window, ControlHandle control) {
  gui_->Run([&] { gui_->SetFocus(window, control); });
}

void QtPlatform::StartTimer(WindowId window, int milliseconds) {
  gui_->Run([&] { gui_->StartTimer(window, milliseconds); });
}

void QtPlatform::StopTimer(WindowId window) {
  gui_->Run([&] { gui_->StopTimer(window); });
}

void QtPlatform::BringToFront(WindowId window) {
  gui_->Run([&] { gui_->BringToFront(window); });
}

void QtPlatform::ApplySysCommand(WindowId window, SysCommand command) {
  gui_->Run([&] { gui_->ApplySysCommand(window, command); });
}

void QtPlatform::PerformStandardAction(WindowId window, StandardAction action) {
  if (action == StandardAction::PrintSetup) {  // the printer is remembered for the reports
    gui_->Run([&] { printer_->PrintSetup(); });
    return;
  }
  gui_->Run([&] { gui_->PerformStandardAction(window, action); });
}

void QtPlatform::Beep() {
  gui_->Run([] { QApplication::beep(); });
}

void QtPlatform::ShowErrorBox(std::string_view title, std::string_view text) {
  gui_->Run([&] {
    if (Unattended()) {
      // Nobody can close a box on an offscreen display: the text goes to stderr.
      std::fprintf(stderr, "%s: %s\n", std::string(title).c_str(), std::string(text).c_str());
      return;
    }
    QMessageBox box(QMessageBox::Critical, FromWindows1252(title), FromWindows1252(text), QMessageBox::Ok);
    box.exec();
  });
}

void QtPlatform::ShowMessageBox(WindowId dialog, const MessageBoxSpec& box) {
  gui_->Run([&] { gui_->ShowMessageBox(dialog, box); });
}

void QtPlatform::ShowPopup(WindowId dialog, const PopupSpec& popup) {
  gui_->Run([&] { gui_->ShowPopup(dialog, popup); });
}

// The wait cursor overrides every window's until the normal one comes back.
void QtPlatform::SetCursor(int stock_cursor) {
  gui_->Run([&] {
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (stock_cursor == kWaitCursor && !waiting) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (stock_cursor != kWaitCursor && waiting) QApplication::restoreOverrideCursor();
  });
}

bool QtPlatform::OnGuiThread() const { return gui_->OnGuiThread(); }

void QtPlatform::EndDialog(WindowId dialog) {
  gui_->Run([&] { gui_->EndDialog(dialog); });
}

}  // namespace tavero::ui::qt
