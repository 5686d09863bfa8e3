// The page browse: a file shown as a scrolling list that holds only the rows
// it shows. The rows are read through a view in the order of one key,
// optionally limited to a range by a filter; scrolling reads records one at a
// time past the edge of the page. Every browse and select of the program is a
// declaration (PageBrowseDeclaration) over this one piece.
//
// This header is the window-free core: the view, the page (a queue of the
// shown columns and each row's position in the view), the highlighted row,
// the sort order and its range, the incremental locator and the thumb table.
// The procedure that runs it in a window lies in browse_procedure.h.
//
// Invariants of a BrowsePage between calls:
//  (1) page().Records() <= rows().
//  (2) choice() is 0 exactly when the page is empty, else 1..page().Records().
//  (3) The view is open except between CloseView and OpenView (while an
//      update form works on the file).
//  (4) Each page entry holds the columns of one record and that record's
//      position in the view; entries are in view order.
//  (5) The locator is empty after any scrolling.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/browse_locator.h"
#include "app/dictionary/dictionary.h"
#include "app/global_request.h"
#include "app/thumb_table.h"
#include "storage/queues/queue.h"
#include "storage/views/view.h"

namespace zephcol {

// Where a sort order's range value comes from: a field of another file's
// record buffer (the manufacturer or type last chosen, the card set
// highlighted by the caller), copied into a field of the browsed file.
struct RangeDeclaration {
  std::string_view field;         // of the browsed file: "CAR:MANUFACTURER"
  DataFile& (*source)();          // the file whose record buffer holds the value
  std::string_view source_field;  // "MAN:MANUFACTURER"
};

// One sort order, chosen by a tab of the browse's sheet.
struct SortOrderDeclaration {
  std::string_view key;                   // "CAR:MANUFACTURERS"
  const RangeDeclaration* range = nullptr;  // none: the whole file
  std::string_view filter;                // view filter; empty: none
  std::string_view locator_field;         // empty: no incremental locator
  std::string_view thumb_field;           // the field the thumb table spreads
  long locator_largest = 0;               // a number locator field: its largest value
};

struct PageBrowseDeclaration {
  DataFile& (*file)();                       // the browsed file (its record buffer)
  std::span<const std::string_view> columns;  // fields shown by the list, in column order
  std::span<const SortOrderDeclaration> sort_orders;  // by tab, the first tab first
};

// How a rebuild finds the record to show.
enum class LocateMode {
  Keep = 1,         // the record the view is at
  KeyValue = 2,     // the key value now in the record buffer
  Beginning = 3,    // the start of the order
};

// The length of a page entry's position text (the view's position of a row).
inline constexpr std::uint32_t kPositionLength = 512;

class BrowsePage {
 public:
  // The page for `rows` shown rows (at least 1), over the record buffer of
  // declaration.file(). The view is closed until the first Rebuild.
  BrowsePage(const PageBrowseDeclaration& declaration, int rows);
  ~BrowsePage();
  BrowsePage(const BrowsePage&) = delete;
  BrowsePage& operator=(const BrowsePage&) = delete;

  DataFile& file() { return file_; }
  tavero::queues::Queue& page() { return page_; }
  int rows() const { return rows_; }
  int count() { return page_.Records(); }
  int choice() const { return choice_; }
  int sort_order() const { return sort_; }  // 1-based tab; 0 before the first build
  const BrowseLocator& locator() const { return locator_; }
  const ThumbTable& thumb() const { return thumb_; }
  // The list's row count changed (the list was resized): takes effect at
  // the next fill.
  void set_rows(int rows);

  // A read error other than the end of the view (0 for none): the browse
  // shows warning 35 and closes. Cleared by TakeReadError.
  int read_error() const { return read_error_; }
  int TakeReadError();

  // Whether the sort order of `tab` or its range value differ from those the
  // page was built with.
  bool NeedsRebuild(int tab);
  // Rebuilds the page for the sort order of `tab`: reset the view and
  // position by `mode`; then copy the highlighted entry into the record
  // buffer and build the thumb table.
  void Rebuild(int tab, LocateMode mode);
  // The locate mode a rebuild for `tab` wants: `first` on the first build;
  // after a change of tab the key values of the highlighted record; after a
  // change of range the start; otherwise (a refresh asked for) the page
  // where it stands.
  LocateMode RebuildMode(int tab, LocateMode first);

  // Scrolling (page not empty). Each clears the locator.
  void ScrollUp();
  void ScrollDown();
  void PageUp();
  void PageDown();
  void ScrollTop();
  void ScrollBottom();
  // The thumb released at `position` (1 to 100): the first record at or
  // after the thumb table's value for it.
  void ThumbDrag(int position);

  // The locator: a typed character or Backspace; true when the locator
  // changed and the page was located to it.
  bool LocatorType(char c);
  bool LocatorBackspace();
  void ClearLocator();

  // Makes `row` the highlighted one (clamped to the page) and copies its
  // columns into the record buffer.
  void Select(int row);
  // The thumb position of the highlighted record (0 to 100).
  int ThumbPosition();

  // Re-reads the highlighted record by its position (REGET of the view):
  // the whole record is then in the record buffer. 0 or the error; an
  // empty page answers 0 and reads nothing.
  int Reload();

  // The update form works on the file with the view closed.
  void CloseView();
  void OpenView();

  // Locates to the key values now in the record buffer (after an insert or
  // change): the record becomes the highlighted row.
  void LocateToRecord();
  // After a delete: the highlighted entry leaves the page, which is filled
  // again around its neighbour.
  void RemoveHighlighted();
  // After an update form ran with `request`: a completed insert or change is
  // located, a completed delete leaves the page. Returns whether it completed.
  bool FollowForm(Request request, Response response);
  // Rebuilds the page where it stands (the highlighted record kept when it
  // is still there), and the thumb table.
  void RefillKeepingPlace();

  // Puts the sort order's range value into the record buffer.
  void PutRangeValue();

  // Reading the page (tests and the list): entry `row`'s position text, and
  // the text or number of one of the browsed file's fields held in it.
  std::string EntryPosition(int row);
  std::string EntryText(int row, std::string_view field);
  std::int32_t EntryNumber(int row, std::string_view field);

 private:
  struct Column {
    std::uint32_t source_offset;  // in the file's record
    std::uint32_t size;
    std::uint32_t page_offset;    // in the page's record
  };
  static std::vector<Column> ColumnsOf(const FileDeclaration& file, std::span<const std::string_view> names);
  const SortOrderDeclaration& order() const;
  std::string RangeValue(int tab);

  void ResetView(LocateMode mode);
  // Empties the page, reads one record forward and fills the page from it
  // (the last page when there is none).
  void Position();
  // Reads up to n records forward or backward, adding them to the page when
  // `add`; answers how many were not read.
  int FillRecords(int n, bool forward, bool add);
  // Empties the page and fills it forward from `start` (the view's start
  // when empty); when the end comes first and `keep` names a record, fills
  // the rest backward; highlights the entry at `keep`, or row `keep_row`
  // when that record is gone.
  void FillPage(const std::string& start, const std::string& keep, int keep_row = 1);
  void FillPageKeepingPlace();
  void AddEntry(bool at_top);
  void CopyEntryToRecord();
  void BuildThumbTable();
  // Locates on the value now in the sort order's `field`: the earlier key
  // components come from the range, the later ones are set to their lowest.
  void LocateOnField(std::string_view field);
  // The locator's text or number put into its field, then located on.
  void LocateOnLocator();
  const FieldDeclaration& FileField(std::string_view name) const;
  void Restart();

  const PageBrowseDeclaration& declaration_;
  DataFile& file_;
  int rows_;
  std::vector<Column> columns_;
  std::uint32_t position_offset_;  // where the position text starts in the page's record
  std::vector<std::uint8_t> page_layout_;
  std::vector<std::uint8_t> page_record_;
  tavero::queues::Queue page_;
  tavero::views::View view_;
  bool view_open_ = false;

  int sort_ = 0;
  std::string range_memory_;
  int choice_ = 0;
  BrowseLocator locator_;
  ThumbTable thumb_;
  int read_error_ = 0;
};

}  // namespace zephcol
