// The report procedure, written once: a view over the collection's files,
// a report definition and its progress window, declared as data
// (ReportDeclaration) and run by RunReport.
//
// What a run does:
//  1. Builds the report with its USE variables (the declared fields, read
//     from the thread's record buffers) and the progress window; counts the
//     files it reads (DataFileUse) and sends "QUICKSCAN=on" to the primary
//     file.
//  2. On EVENT:OpenWindow sets the primary file to its key order from the
//     start, opens the view and fetches the first row; with no row the
//     window closes and nothing is printed. Otherwise the report is opened
//     with the page-name queue as its preview queue.
//  3. Each timer tick prints up to kRowsPerTick detail bands (the row
//     fetched last), fetching the next row after each. The view's position
//     is kept at the end of a tick and the row read again at the start of
//     the next, so nothing done between ticks can move it.
//  4. "Cancel" cancels; the frame's shutdown (EVENT:CloseDown, or the loop
//     ended from outside) cancels too. Once cancelled, a report stays
//     cancelled: a tick queued before the cancel prints nothing.
//  5. Run to its end, the report emits its last pages (ENDPAGE) and the
//     preview shows them; when the preview answers "&Print!" the pages are
//     printed. A read error other than 33 shows warning 35 and ends the
//     report as if the data had ended.
//  6. The report is closed (its page files deleted), the files uncounted,
//     and the procedure's response is 1 when the data ran to its end, else 2.
//
// Progress: the total is the primary file's record count times its record
// length (64-bit; an empty total shows 100 %); every row read adds one
// record length. The text "<n>% Completed" is only rewritten when the whole
// number changes.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "app/dictionary/dictionary.h"
#include "report/report_value.h"
#include "storage/views/view.h"

namespace zephcol {

// One file of the report's view: the file, the key it is read by (the
// primary file: its order; a joined file: the key that finds the records
// matching its parent), and for a joined file the expression over the
// parent's fields that fills the key's first component.
struct ReportViewFile {
  DataFile& (*file)();
  std::string_view key;
  std::string_view link;        // empty for the primary file
  bool case_insensitive = false;  // the link compares upper-cased
  bool memos = false;           // reads bring the file's memos
};

struct ReportDeclaration {
  std::string_view module;           // "ZEPHCOL$zephc003"
  std::string_view report;           // "PRINTCAR:SET$REPORT"
  std::string_view progress_window;  // "PRINTCAR:SET$PROGRESSWINDOW"
  // The primary file first; each further file is joined below the one
  // before it.
  std::span<const ReportViewFile> view;
  // The report's USE variables in record order, by field name.
  std::span<const std::string_view> variables;
  // The file named by warning 35 when a row cannot be read.
  std::string_view read_error_file;
  int detail_band = 1;
};

inline constexpr int kRowsPerTick = 1000;

// The declared view over the calling thread's files, and the report's
// variables over their record buffers (the benchmark reads them without a
// window).
tavero::views::ViewComponent ReportView(const ReportDeclaration& declaration);
std::vector<tavero::report::Variable> ReportVariables(const ReportDeclaration& declaration);

// Runs the report procedure of `declaration` on the calling engine thread.
void RunReport(const ReportDeclaration& declaration);

// The percentage shown for `read` of `total` bytes: 0..100, 100 for an
// empty total.
int ProgressPercent(std::uint64_t read, std::uint64_t total);

}  // namespace zephcol
