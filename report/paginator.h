// The paginator: print items wait in a pending list until a page of them
// can be judged, then leave it as pages.
//
// Invariants:
//  (1) pending_cost_ is the sum of Cost() over pending_.
//  (2) Every page emitted holds at least one item: a page is cut before an
//      item only when it already holds something, and an item or keep group
//      taller than the detail area is placed at the head of a page of its
//      own, split where it must be.
//  (3) Pages are judged with a page of look-ahead: Add emits pages only while
//      more than twice the area's height is pending, so a keep group of up to
//      one page has wholly arrived before the page it starts on is cut.
//  (4) page_number_ is the number the next page emitted gets; pages_emitted_
//      counts pages emitted. Both are 32-bit and only grow by emission,
//      except where a page before or after sets the number.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "report/drawing.h"
#include "report/report_value.h"

namespace tavero::report {

// The values of every variable as read at one PRINT, shared by the items it
// printed.
using ValueSnapshot = std::shared_ptr<const std::vector<Value>>;

// Flags of a print item, from its band.
namespace item_flag {
inline constexpr std::uint32_t kKeepOpens = 0x1;
inline constexpr std::uint32_t kKeepCloses = 0x2;
inline constexpr std::uint32_t kNoPageHeader = 0x4;
inline constexpr std::uint32_t kFlow = 0x20;
inline constexpr std::uint32_t kNoHeight = 0x40;
}  // namespace item_flag

inline constexpr std::int32_t kNoPageBreak = -1;

// One printed band instance.
struct PrintItem {
  int band = -1;  // index into ReportBands::bands
  std::shared_ptr<const Drawing> picture;
  int width = 0;   // device units
  int height = 0;
  std::int32_t page_before = kNoPageBreak;  // kNoPageBreak, else a new page before (value > 0 sets its number)
  std::int32_t page_after = kNoPageBreak;   // the same after the item
  std::uint32_t flags = 0;                  // item_flag bits
  int x = 0;                                // set by placement: flowing items' place across
  ValueSnapshot values;                     // for the page header and footer around it
};

// One item placed on a page, at (x, y) relative to the detail area.
struct PlacedItem {
  const PrintItem* item = nullptr;
  int x = 0;
  int y = 0;
};

struct PageLayout {
  std::int32_t number = 0;
  bool header_and_form = true;  // false when the first item has kNoPageHeader
  std::vector<PlacedItem> items;
};

// Receives each page; false cancels (no more pages are emitted, what is
// pending is dropped).
using PageSink = std::function<bool(const PageLayout&)>;

class Paginator {
 public:
  Paginator(int area_width, int area_height, PageSink sink);

  // Places an item (PRINT) and emits the pages that can be judged.
  void Add(PrintItem item);
  // Emits pages until nothing is pending (ENDPAGE); nothing pending emits
  // nothing.
  void Finish();

  std::int32_t page_number() const { return page_number_; }
  std::int32_t pages_emitted() const { return pages_emitted_; }
  bool cancelled() const { return cancelled_; }
  bool empty() const { return pending_.empty(); }

 private:
  // The height an item adds to its page.
  static int Cost(const PrintItem& item);
  // Emits one page from the head of the pending list. `final`: nothing more
  // will come (keep groups still open count as closed).
  void EmitPage(bool final);
  // Index one past the end of the keep group that opens at `start`, or
  // pending_.size() when it has not closed yet; `complete` tells which.
  std::size_t KeepGroupEnd(std::size_t start, bool& complete) const;

  int area_width_;
  int area_height_;
  PageSink sink_;
  std::deque<PrintItem> pending_;
  std::int64_t pending_cost_ = 0;  // (1)
  int x_ = 0;
  std::int32_t page_number_ = 1;   // (4)
  std::int32_t pages_emitted_ = 0;
  bool cancelled_ = false;
};

}  // namespace tavero::report
