// Printing: what the report engine asks of a platform's printer. Pages travel
// as placeable metafiles (images/metafile.h), the form the report's page
// files have, and are replayed record by record onto the printer's page.
//
// Threads. QueryPrinter, StartDocument and AskPrintFile are called from an
// engine thread holding the engine lock, like every Platform call. A
// document's own calls (StartPage, ReplayPage, EndPage, Finish, Abort) may
// come without the lock, from the engine thread that started it: a report
// gives the lock up between pages. Documents are independent of each other.
//
// Failures travel as values (PrintStatus); nothing here halts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "images/metafile.h"

namespace tavero::ui {

// What a report lays its pages out for: the printable area in device pixels
// (HORZRES, VERTRES) and the pixels per inch (LOGPIXELSX, LOGPIXELSY).
struct PrinterMetrics {
  std::string name;
  int width = 0;
  int height = 0;
  int dpi_x = 0;
  int dpi_y = 0;
  friend bool operator==(const PrinterMetrics&, const PrinterMetrics&) = default;
};

enum class PrintFailure : std::uint8_t {
  None = 0,
  NoPrinter,    // no printer installed, none chosen or the default is missing
  Unexpected,   // the printer could not be opened for another reason (524)
  CannotStart,  // the document could not be started
  PageFailed,   // a page could not be started, drawn or ended
  BadPage,      // a page file could not be read
  Cancelled,    // the user gave up (a save dialog left without a name)
};

struct PrintStatus {
  PrintFailure failure = PrintFailure::None;
  std::string detail;  // for the user: the printer's or the system's words
  bool ok() const { return failure == PrintFailure::None; }
};

// The printer a report prints to: its metrics, or why there is none
// (NoPrinter, or Unexpected for 524).
using PrinterQuery = std::variant<PrinterMetrics, PrintStatus>;

// Where a document goes: the chosen printer, or a PDF file.
struct PrintTarget {
  std::filesystem::path pdf_file;  // empty: the printer
};

// One document being printed.
class PrintDocument {
 public:
  virtual ~PrintDocument() = default;
  virtual PrintStatus StartPage() = 0;
  // Draws the page over the printer's page, the metafile's bounding box
  // fitted to the printable area.
  virtual PrintStatus ReplayPage(const images::Metafile& page) = 0;
  virtual PrintStatus EndPage() = 0;
  // Ends the document; what was printed is delivered.
  virtual PrintStatus Finish() = 0;
  // Ends the document without delivering it (as far as the printer allows).
  virtual void Abort() = 0;
};

class PrinterPort {
 public:
  virtual ~PrinterPort() = default;
  // The printer chosen in Print Setup for this process, else the default one.
  virtual PrinterQuery QueryPrinter() = 0;
  // True when the user chose in Print Setup to print to a file.
  virtual bool PrintToFileChosen() { return false; }
  virtual std::variant<std::unique_ptr<PrintDocument>, PrintStatus> StartDocument(std::string_view title,
                                                                                  const PrintTarget& target) = 0;
  // The save dialog titled "Print To File..." with the filter
  // "All files (*.*)"; nullopt when the user cancels it.
  virtual std::optional<std::filesystem::path> AskPrintFile() = 0;
};

}  // namespace tavero::ui
