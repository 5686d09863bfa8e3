#include "ui/headless/headless_printer.h"

namespace tavero::ui::headless {

class HeadlessPrinter::Document final : public PrintDocument {
 public:
  Document(HeadlessPrinter& printer, std::size_t index) : printer_(printer), index_(index) {}

  PrintStatus StartPage() override {
    in_page_ = true;
    return {};
  }
  PrintStatus ReplayPage(const images::Metafile& page) override {
    if (!in_page_) return {PrintFailure::PageFailed, "no page started"};
    page_ = page;
    return {};
  }
  PrintStatus EndPage() override {
    if (!in_page_) return {PrintFailure::PageFailed, "no page started"};
    in_page_ = false;
    std::lock_guard lock(printer_.mutex_);
    printer_.documents_[index_].pages.push_back(std::move(page_));
    page_ = {};
    return {};
  }
  PrintStatus Finish() override {
    std::lock_guard lock(printer_.mutex_);
    printer_.documents_[index_].finished = true;
    return {};
  }
  void Abort() override {
    std::lock_guard lock(printer_.mutex_);
    printer_.documents_[index_].aborted = true;
  }

 private:
  HeadlessPrinter& printer_;
  std::size_t index_;
  bool in_page_ = false;
  images::Metafile page_;
};

HeadlessPrinter::HeadlessPrinter() : metrics_(PrinterMetrics{"Headless Printer", 2550, 3300, 300, 300}) {}

PrinterQuery HeadlessPrinter::QueryPrinter() {
  std::lock_guard lock(mutex_);
  if (!open_failure_.empty()) return PrintStatus{PrintFailure::Unexpected, open_failure_};
  if (!metrics_) return PrintStatus{PrintFailure::NoPrinter, {}};
  return *metrics_;
}

bool HeadlessPrinter::PrintToFileChosen() {
  std::lock_guard lock(mutex_);
  return print_to_file_;
}

std::variant<std::unique_ptr<PrintDocument>, PrintStatus> HeadlessPrinter::StartDocument(std::string_view title,
                                                                                         const PrintTarget& target) {
  std::lock_guard lock(mutex_);
  if (!start_failure_.empty()) return PrintStatus{PrintFailure::CannotStart, start_failure_};
  if (target.pdf_file.empty() && !metrics_) return PrintStatus{PrintFailure::NoPrinter, "no printer"};
  documents_.push_back({std::string(title), target.pdf_file, {}, false, false});
  return std::make_unique<Document>(*this, documents_.size() - 1);
}

std::optional<std::filesystem::path> HeadlessPrinter::AskPrintFile() {
  std::lock_guard lock(mutex_);
  ++print_file_questions_;
  return print_file_answer_;
}

void HeadlessPrinter::SetPrinter(std::optional<PrinterMetrics> metrics) {
  std::lock_guard lock(mutex_);
  metrics_ = std::move(metrics);
}
void HeadlessPrinter::SetOpenFailure(std::string detail) {
  std::lock_guard lock(mutex_);
  open_failure_ = std::move(detail);
}
void HeadlessPrinter::SetStartFailure(std::string detail) {
  std::lock_guard lock(mutex_);
  start_failure_ = std::move(detail);
}
void HeadlessPrinter::SetPrintToFile(bool chosen) {
  std::lock_guard lock(mutex_);
  print_to_file_ = chosen;
}
void HeadlessPrinter::AnswerPrintFile(std::optional<std::filesystem::path> file) {
  std::lock_guard lock(mutex_);
  print_file_answer_ = std::move(file);
}

std::vector<PrintedDocument> HeadlessPrinter::Documents() const {
  std::lock_guard lock(mutex_);
  return documents_;
}

int HeadlessPrinter::PrintFileQuestions() const {
  std::lock_guard lock(mutex_);
  return print_file_questions_;
}

}  // namespace tavero::ui::headless
