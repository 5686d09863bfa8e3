// The headless platform's printer: records what is printed, page by page, and
// plays the printer's part as a test sets it (installed or not, failing to
// open or to start, the name typed into "Print To File...").
//
// Any thread; every member goes through `mutex_`.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/printing.h"

namespace tavero::ui::headless {

// A document as printed: its title, where it went, its pages.
struct PrintedDocument {
  std::string title;
  std::filesystem::path pdf_file;  // empty: the printer
  std::vector<images::Metafile> pages;
  bool finished = false;  // Finish was called (false: aborted or still open)
  bool aborted = false;
};

class HeadlessPrinter final : public PrinterPort {
 public:
  // By default a printer is installed: "Headless Printer", Letter at 300 dpi.
  HeadlessPrinter();

  // PrinterPort
  PrinterQuery QueryPrinter() override;
  bool PrintToFileChosen() override;
  std::variant<std::unique_ptr<PrintDocument>, PrintStatus> StartDocument(std::string_view title,
                                                                          const PrintTarget& target) override;
  std::optional<std::filesystem::path> AskPrintFile() override;

  // How the printer behaves.
  void SetPrinter(std::optional<PrinterMetrics> metrics);  // nullopt: no printer installed
  void SetOpenFailure(std::string detail);                 // the next queries fail unexpectedly (524)
  void SetStartFailure(std::string detail);                // documents fail to start
  void SetPrintToFile(bool chosen);                        // as Print Setup would
  // The answer to "Print To File...": a name, or nullopt for Cancel.
  void AnswerPrintFile(std::optional<std::filesystem::path> file);

  std::vector<PrintedDocument> Documents() const;
  int PrintFileQuestions() const;  // how often "Print To File..." was shown

 private:
  class Document;

  mutable std::mutex mutex_;
  std::optional<PrinterMetrics> metrics_;
  std::string open_failure_;
  std::string start_failure_;
  bool print_to_file_ = false;
  std::optional<std::filesystem::path> print_file_answer_;
  int print_file_questions_ = 0;
  std::vector<PrintedDocument> documents_;
};

}  // namespace tavero::ui::headless
