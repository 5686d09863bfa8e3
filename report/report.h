// The report engine as procedures use it.
//
//   report::Report report("ZEPHCOL$zephc003", "PRINTCAR:SET$REPORT", variables);
//   report.Open();
//   report.SetPreviewQueue(page_names, page_name_record);   // preview: pages to files
//   while (...) report::PRINT(report, 1);                     // one detail band per row
//   report::ENDPAGE(report);
//   ... the preview shows report.PageFiles() ...
//   report.SetProperty(report::kFlushProperty, 1);            // print them
//   report.Close();
//
// A report is built from its definition entry (kind 26): its bands collected
// by kind, its fields bound to the variables given, in record order. PRINT
// renders a detail band with the values of that moment into a print item,
// opening and closing break groups around it; the paginator lays the items
// out on pages; each page becomes a placeable metafile, written to a page
// file for the preview or replayed onto the printer.
//
// States: closed -> open (Open) -> started (first PRINT or ENDPAGE) ->
// closed (Close). The cancelled flag, once set, stays until Close: nothing
// more is printed.
//
// Invariants:
//  (1) open_groups_ is a chain: each entry's group is the parent of the
//      next one's, the first an outermost group.
//  (2) Every open group's `last` holds the values of the last band printed
//      in it (its header's when nothing else was); its footer is drawn with
//      them.
//  (3) In preview mode every page emitted is a page file listed in
//      PageFiles() and named in the preview queue; the files are deleted by
//      Close, by a cancel and after printing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "report/band_renderer.h"
#include "report/page_encoder.h"
#include "report/page_files.h"
#include "report/paginator.h"
#include "report/report_bands.h"
#include "report/report_value.h"
#include "storage/queues/queue.h"
#include "ui/definitions/window_definition.h"
#include "ui/engine.h"
#include "ui/printing.h"

namespace tavero::report {

inline constexpr int kPreviewQueueProperty = 0x7C53;
inline constexpr int kFlushProperty = 0x7C54;

// The page a report lays out for when there is no printer: the locale's
// default paper (LC_PAPER; A4 when it says nothing) at 600 dots per inch.
PageDevice ReferenceDevice();

struct ReportOptions {
  // The printer; nullptr: the running engine's (ui::CurrentPrinter()).
  ui::PrinterPort* printer = nullptr;
  // Where page files go; empty: $TMPDIR, else /tmp.
  std::filesystem::path page_directory;
  // Where pictures are looked for after the working directory; empty: beside
  // the program.
  std::filesystem::path program_directory;
};

class Report {
 public:
  // Finds the definition by module and procedure label (502 when absent).
  Report(std::string_view module_label, std::string_view procedure_label, std::vector<Variable> variables,
         ReportOptions options = {});
  Report(definitions::EntryDefinition definition, std::vector<Variable> variables, ReportOptions options = {});
  ~Report();
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  // Chooses the printer, collects the bands, renders the form. 525 when the
  // report is already open; 501 when fewer variables were given than its
  // fields take.
  void Open();
  // Ends the document (printing directly) and deletes the page files.
  void Close();
  bool IsOpen() const { return open_; }

  // The preview queue property: pages go to page files whose names are
  // appended to `queue`, each written into `record` (the queue's record
  // buffer, blank padded) before it is added.
  void SetPreviewQueue(queues::Queue& queue, std::span<std::uint8_t> record);
  // Properties set by number: the flush property (1 prints the pages of the
  // preview). Others are ignored.
  void SetProperty(int property, int value);
  // Prints every page of the preview, then empties the preview queue and
  // deletes the page files. With no printer, or when Print Setup asked for a
  // file, the pages go to a PDF file named in the "Print To File..." dialog.
  // A page file gone or damaged since it was written prints nothing: a box
  // titled "Print" names the page ("The report could not be printed: page 2
  // of 5 is missing or damaged (...).").
  void Flush();

  // PRINT and ENDPAGE (see the free functions below).
  void Print(int band_number);
  void EndPage();
  // An event aimed at a control of the report: 522.
  void PostEvent(int control);

  bool preview() const { return preview_queue_ != nullptr; }
  bool cancelled() const { return cancelled_; }
  std::int32_t page_number() const;
  std::int32_t pages_emitted() const;
  const std::vector<std::filesystem::path>& PageFiles() const;
  const PageDevice& device() const { return device_; }
  // The printer's metrics when the report has one.
  const std::optional<ui::PrinterMetrics>& printer() const { return printer_metrics_; }

 private:
  struct OpenGroup {
    int group = -1;
    Value value;        // the break value it opened with
    ValueSnapshot last;  // (2)
  };

  ui::PrinterPort* Port() const;
  void ChoosePrinter();
  bool Start();
  ValueSnapshot ReadValues() const;
  void AddItem(int band, const ValueSnapshot& values, std::uint32_t flags);
  void OpenGroupOf(int group, const ValueSnapshot& values);
  void CloseGroups(std::size_t keep);
  bool EmitPage(const PageLayout& page);
  bool DeliverPage(std::vector<std::uint8_t> bytes);
  std::optional<ui::PrintTarget> ChooseTarget();
  bool StartDocument(const ui::PrintTarget& target);
  bool PrintOnePage(const images::Metafile& page);
  void Cancel();

  definitions::EntryDefinition definition_;
  std::vector<Variable> variables_;
  ReportOptions options_;

  bool open_ = false;
  bool started_ = false;
  bool cancelled_ = false;
  ReportBands bands_;
  PageDevice device_;
  std::optional<ui::PrinterMetrics> printer_metrics_;
  definitions::Rect area_;  // the detail area in device units
  FontTable fonts_;
  std::unique_ptr<ImageCache> images_;
  RenderContext context_;
  Drawing form_;
  std::unique_ptr<Paginator> paginator_;
  std::vector<OpenGroup> open_groups_;  // (1)
  bool keep_with_next_ = false;
  ValueSnapshot last_values_;

  queues::Queue* preview_queue_ = nullptr;
  std::span<std::uint8_t> preview_record_;
  std::unique_ptr<report::PageFiles> page_files_;
  std::unique_ptr<ui::PrintDocument> document_;
};

// PRINT: prints band `band_number` of the report.
void PRINT(Report& report, int band_number);
// ENDPAGE: closes the open break groups and emits every pending page.
void ENDPAGE(Report& report);
// The same aimed at a window that is not a report: 538 and 539.
void PRINT(ui::Window& target, int band_number);
void ENDPAGE(ui::Window& target);

}  // namespace tavero::report
