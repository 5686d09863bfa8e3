#include "ui/qt/qt_printer.h"

#include <QFileDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "ui/qt/gui_side.h"
#include "ui/qt/metafile_painter.h"

namespace tavero::ui::qt {
namespace {

class QtDocument final : public PrintDocument {
 public:
  explicit QtDocument(std::unique_ptr<QPrinter> printer) : printer_(std::move(printer)) {}
  ~QtDocument() override {
    if (painter_.isActive()) Abort();
  }

  bool Begin() { return painter_.begin(printer_.get()); }

  PrintStatus StartPage() override {
    if (pages_++ > 0 && !printer_->newPage()) return {PrintFailure::PageFailed, "the printer refused a new page"};
    return {};
  }
  PrintStatus ReplayPage(const images::Metafile& page) override {
    const QRectF area = printer_->pageLayout().paintRectPixels(printer_->resolution());
    PaintMetafile(painter_, page, QRectF(0, 0, area.width(), area.height()));
    return {};
  }
  PrintStatus EndPage() override { return {}; }
  PrintStatus Finish() override {
    if (!painter_.end()) return {PrintFailure::PageFailed, "the printer could not finish the document"};
    return {};
  }
  void Abort() override {
    printer_->abort();
    if (painter_.isActive()) painter_.end();
  }

 private:
  std::unique_ptr<QPrinter> printer_;
  QPainter painter_;
  int pages_ = 0;
};

}  // namespace

QtPrinterPort::QtPrinterPort(GuiRunner gui, std::filesystem::path unattended_print_file)
    : gui_(std::move(gui)), unattended_print_file_(std::move(unattended_print_file)) {}

PrinterQuery QtPrinterPort::QueryPrinter() {
  QString name;
  {
    std::lock_guard lock(mutex_);
    name = chosen_printer_;
  }
  const QPrinterInfo info = name.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(name);
  if (info.isNull()) return PrintStatus{PrintFailure::NoPrinter, {}};
  QPrinter printer(info, QPrinter::HighResolution);
  if (!printer.isValid()) return PrintStatus{PrintFailure::Unexpected, info.printerName().toStdString()};
  const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
  return PrinterMetrics{info.printerName().toStdString(), area.width(), area.height(), printer.resolution(),
                        printer.resolution()};
}

bool QtPrinterPort::PrintToFileChosen() {
  std::lock_guard lock(mutex_);
  return print_to_file_;
}

std::variant<std::unique_ptr<PrintDocument>, PrintStatus> QtPrinterPort::StartDocument(std::string_view title,
                                                                                       const PrintTarget& target) {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setDocName(QString::fromLatin1(title.data(), static_cast<qsizetype>(title.size())));
  if (!target.pdf_file.empty()) {
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(target.pdf_file.string()));
  } else {
    std::lock_guard lock(mutex_);
    if (!chosen_printer_.isEmpty()) printer->setPrinterName(chosen_printer_);
  }
  auto document = std::make_unique<QtDocument>(std::move(printer));
  if (!document->Begin()) {
    return PrintStatus{PrintFailure::CannotStart, target.pdf_file.empty() ? "the printer did not start"
                                                                          : "cannot write " + target.pdf_file.string()};
  }
  return std::unique_ptr<PrintDocument>(std::move(document));
}

std::optional<std::filesystem::path> QtPrinterPort::AskPrintFile() {
  std::optional<std::filesystem::path> file;
  gui_([&] {
    if (Unattended()) {  // nobody can answer the dialog
      if (!unattended_print_file_.empty()) file = unattended_print_file_;
      return;
    }
    const QString name = QFileDialog::getSaveFileName(nullptr, "Print To File...", QString(), "All files (*.*)");
    if (!name.isEmpty()) file = std::filesystem::path(name.toStdString());
  });
  return file;
}

void QtPrinterPort::PrintSetup() {
  if (Unattended()) return;
  QPrinter printer(QPrinter::HighResolution);
  {
    std::lock_guard lock(mutex_);
    if (!chosen_printer_.isEmpty()) printer.setPrinterName(chosen_printer_);
  }
  QPrintDialog dialog(&printer);
  dialog.setWindowTitle("Print Setup");
  if (dialog.exec() != QDialog::Accepted) return;
  std::lock_guard lock(mutex_);
  print_to_file_ = printer.outputFormat() == QPrinter::PdfFormat;
  if (!print_to_file_) chosen_printer_ = printer.printerName();
}

}  // namespace tavero::ui::qt
