#include "report/paginator.h"

#include <cassert>
#include <cstdint>

namespace tavero::report {
namespace {

// Keep groups nest at most this deep; deeper openings count as plain items.
constexpr int kMaxKeepNesting = 10;

}  // namespace

Paginator::Paginator(int area_width, int area_height, PageSink sink)
    : area_width_(std::max(area_width, 1)), area_height_(std::max(area_height, 1)), sink_(std::move(sink)) {}

int Paginator::Cost(const PrintItem& item) {
  if (item.flags & item_flag::kNoHeight) return 0;
  if ((item.flags & item_flag::kFlow) && item.x > 0) return 0;  // beside the row's first item
  return std::max(item.height, 0);
}

void Paginator::Add(PrintItem item) {
  if (cancelled_) return;
  if (item.flags & item_flag::kFlow) {
    if (x_ > 0 && x_ + item.width > area_width_) x_ = 0;
    item.x = x_;
    x_ += std::max(item.width, 0);
  } else {
    item.x = 0;
    x_ = 0;
  }
  pending_cost_ += Cost(item);
  pending_.push_back(std::move(item));
  while (!cancelled_ && pending_cost_ > 2 * static_cast<std::int64_t>(area_height_)) EmitPage(false);  // (3)
}

void Paginator::Finish() {
  while (!cancelled_ && !pending_.empty()) EmitPage(true);
  x_ = 0;
}

std::size_t Paginator::KeepGroupEnd(std::size_t start, bool& complete) const {
  int depth = 1;
  for (std::size_t k = start + 1; k < pending_.size(); ++k) {
    const std::uint32_t flags = pending_[k].flags;
    if (flags & item_flag::kKeepCloses) {
      if (--depth == 0) {
        complete = true;
        return k + 1;
      }
    }
    if ((flags & item_flag::kKeepOpens) && depth < kMaxKeepNesting) ++depth;
  }
  complete = false;
  return pending_.size();
}

void Paginator::EmitPage(bool final) {
  assert(!pending_.empty());
  const PrintItem& head = pending_.front();
  if (head.page_before > 0) page_number_ = head.page_before;

  // Choose how many items the page takes.
  std::size_t taken = 0;
  std::int64_t used = 0;
  std::size_t keep_end = 0;  // inside a kept group that has been judged to fit (or to flow) up to here
  std::int32_t next_number = 0;
  while (taken < pending_.size()) {
    const PrintItem& item = pending_[taken];
    if (taken > 0 && item.page_before != kNoPageBreak) break;
    if (taken >= keep_end && (item.flags & item_flag::kKeepOpens)) {
      bool complete = false;
      const std::size_t end = KeepGroupEnd(taken, complete);
      std::int64_t group = 0;
      for (std::size_t k = taken; k < end; ++k) group += Cost(pending_[k]);
      if (used + group <= area_height_ || (!complete && !final && used == 0 && group <= area_height_)) {
        keep_end = end;  // the whole group fits: it goes on this page
      } else if (used > 0) {
        break;  // the page ends before the group
      }
      // A group at the head of a page that is taller than the page flows
      // like any items: it is split, never pushed to the next page again.
    }
    const int cost = Cost(item);
    if (used > 0 && used + cost > area_height_) break;
    used += cost;
    ++taken;
    if (item.page_after != kNoPageBreak) {
      next_number = item.page_after;
      break;
    }
    if (cost > area_height_) break;  // an oversize item stands alone (2)
  }
  assert(taken > 0);  // (2)

  PageLayout page;
  page.number = page_number_;
  page.header_and_form = (head.flags & item_flag::kNoPageHeader) == 0;
  page.items.reserve(taken);
  int y = 0;
  int row_y = 0;
  for (std::size_t k = 0; k < taken; ++k) {
    const PrintItem& item = pending_[k];
    if ((item.flags & item_flag::kFlow) && item.x > 0) {
      page.items.push_back({&item, item.x, row_y});
      continue;
    }
    row_y = y;
    page.items.push_back({&item, item.x, y});
    y += Cost(item);
  }
  if (!sink_(page)) {
    cancelled_ = true;
    pending_.clear();
    pending_cost_ = 0;
    return;
  }
  for (std::size_t k = 0; k < taken; ++k) {
    pending_cost_ -= Cost(pending_.front());
    pending_.pop_front();
  }
  ++pages_emitted_;
  if (next_number > 0) {
    page_number_ = next_number;
  } else if (page_number_ < INT32_MAX) {
    ++page_number_;
  }
}

}  // namespace tavero::report
