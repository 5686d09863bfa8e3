// The report preview (module "ZEPHCOL$zephc_sf"), shared by every report:
// shows the pages a report wrote (one placeable metafile per page, named in
// a queue) one at a time, two at a time (facing pages, the right-hand page
// always odd) or one page over the whole window (zoom); moves through them
// with "&Previous Page!"/"&Next Page!" (Page Up/Page Down) and "&Jump!";
// and answers whether the report is to be printed.
//
// State: the current page, the other page (current - 1; the left page in
// facing mode), the mode (single, zoomed, facing) and whether facing mode
// was on when zoom was entered. Page numbers are 32-bit.
//
// The status bar: zone 2 "ZOOM" while zoomed, zone 3 "Single Page" or
// "Facing Pages", zone 4 "Page <c> of <n>" or "Pages <o> and <c> of <n>".
#pragma once

#include <cstdint>
#include <string>

#include "app/global_request.h"

namespace tavero::queues {
class Queue;
}

namespace zephcol {

// Runs the preview over the pages named in `pages` (one name per entry,
// blank padded) on the calling engine thread. Answers Completed when the
// person chose "&Print!", else Cancelled (also when the frame closes
// meanwhile); GlobalResponse says the same.
Response ReportPreview(const tavero::queues::Queue& pages);

// The text of status zone 4 for facing mode: both pages, or the one that
// exists.
std::string FacingPagesText(std::int32_t other, std::int32_t current, std::int32_t total);

}  // namespace zephcol
