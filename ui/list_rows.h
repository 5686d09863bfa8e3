// The rows of a queue as a list box shows them: each column's field
// formatted by the column's picture, with the colour, icon and tree level
// fields its modifiers ask for (see list_format.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "storage/queues/queue.h"
#include "ui/list_format.h"
#include "ui/platform.h"

namespace tavero::ui {

// Every entry of `queue`, in order, as a row. A column whose field lies past the queue's fields shows a blank cell.
// Cell texts lose their trailing blanks.
std::vector<ListRow> ListRowsOf(const ListFormat& format, const queues::Queue& queue);

}  // namespace tavero::ui
