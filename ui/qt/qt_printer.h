// The Qt platform's printer: QPrinter for printers and PDF files, pages
// replayed from their metafiles with PaintMetafile.
//
// Threads: each document owns its QPrinter and QPainter and is used from the
// engine thread that started it, off the GUI thread (Qt paints on printers
// from any thread). The choice made in Print Setup is kept under `mutex_` for
// the process; the save dialog runs on the GUI thread through `gui`.
#pragma once

#include <QString>

#include <functional>
#include <mutex>

#include "ui/printing.h"

class QPrinter;

namespace tavero::ui::qt {

class QtPrinterPort final : public PrinterPort {
 public:
  // Runs a function on the GUI thread and returns when it is done.
  using GuiRunner = std::function<void(const std::function<void()>&)>;
  // `unattended_print_file`: the answer to "Print To File..." on a display
  // nobody watches (empty: none).
  explicit QtPrinterPort(GuiRunner gui, std::filesystem::path unattended_print_file = {});

  PrinterQuery QueryPrinter() override;
  bool PrintToFileChosen() override;
  std::variant<std::unique_ptr<PrintDocument>, PrintStatus> StartDocument(std::string_view title,
                                                                          const PrintTarget& target) override;
  std::optional<std::filesystem::path> AskPrintFile() override;

  // Print Setup (GUI thread): the print dialog; the printer chosen there is
  // used by every report opened afterwards. Nothing on an unattended display.
  void PrintSetup();

 private:
  GuiRunner gui_;
  std::filesystem::path unattended_print_file_;
  std::mutex mutex_;
  QString chosen_printer_;     // empty: the system's default printer
  bool print_to_file_ = false;  // Print Setup chose a file
};

}  // namespace tavero::ui::qt
