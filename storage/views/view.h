// Views: read-only, joined, filtered, ordered windows onto one primary file
// and any number of joined files. Browses, reports and the tree browse read
// their rows through views. To callers a view is one more file: it starts
// with an entry routine and takes the ordinary operation codes through
// driver::Perform:
//
//   25 OPEN     creates the view state (the view's files must be open)
//   7  CLOSE    releases the view state and its compiled filter
//   16          restart: the next NEXT or PREVIOUS starts from the beginning
//               (or end) of the order
//   24 NEXT, 31 PREVIOUS   the next or previous row
//   49 SKIP     `number` rows forward (negative: backward); running off the
//               end counts as success
//   61 POSITION, 63 RESET, 66 REGET   position texts of the current row
//   71          view property: `text` the property number (not examined),
//               `filter` the new filter text
//   11 DELETE, 30 PUT, 18 and 19 HOLD, 36 RELEASE, 58 WATCH   passed on to
//               the primary file
//   anything else: 80 "Unsupported File Driver Function"
//
// Reads through a view are read statements (driver::ReadStatement): a row
// is read in one, and a caller that fills a page of rows opens one around
// the page (and closes it before anything else happens), so that the page
// comes from one committed state of each file and pays for each shared
// file's reader lock once.
//
// The order is the primary file's sequence key (set by the application with
// SET on that file before reading); the record buffers of the view's files
// hold the current row after each successful read; end of data is 33.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/driver/driver.h"

namespace tavero::views {

// Join flags of a joined component.
namespace join_flag {
// The join's key compares text case-insensitively: link values match
// records whatever their case.
inline constexpr std::uint32_t kCaseInsensitive = 0x01;
}  // namespace join_flag

// One component of a view declaration: the primary file at the root, joined
// files below it, depth first.
struct ViewComponent {
  driver::FileObject* file = nullptr;
  // Joined components: the key of `file` that finds the matching records.
  driver::KeyObject* key = nullptr;
  // Joined components: one expression per linked leading key component,
  // over the parent's fields ("MAN:MANUFACTURER", "CAR:SET_NO"); its value
  // is stored into that key field before the key is searched.
  std::vector<std::string> links;
  std::uint32_t join_flags = 0;
  // The fields of `file` the view fills, by number; empty means all.
  std::vector<std::int32_t> projection;
  // Whether reads bring the file's memos and blobs along.
  bool memos = false;
  std::vector<ViewComponent> children;
};

struct ViewState;

// A view object. Declared by the procedure that owns it; the view engine
// builds its state on first use and releases it at CLOSE.
struct View : driver::FileLike {
  explicit View(ViewComponent declaration);
  ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  ViewComponent declaration;
  // The filter text set by operation 71; compiled again when the state is
  // rebuilt.
  std::string filter_text;
  std::unique_ptr<ViewState> state;
};

// The view engine's entry (every View's `entry`).
driver::DriverEntry& ViewEngine();

}  // namespace tavero::views
