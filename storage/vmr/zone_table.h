// Block allocation in zones: pages of i blocks live in zone i, and every
// zone is a packed run of pages with gaps only between zones.
//
// Invariants (checked by FileHeader::Decode on every header read):
//  (1) zone 0 is empty at block 0;
//  (2) zone i starts at or after the end of zone i - 1;
//  (3) the length of zone i is a multiple of i, and every i blocks from
//      its start hold one page of class i (no holes).
// Allocation and release keep (1) to (3) by moving whole pages; every move
// goes through PageMover, which rewrites the page and its parent's pointer.
#pragma once

#include <cstdint>

#include "storage/vmr/format.h"
#include "storage/vmr/status.h"

namespace tavero::vmr {

class PageMover {
 public:
  virtual ~PageMover() = default;
  // The page of `page_class` blocks at block `from` now lives at `to`.
  virtual Status MovePage(std::uint32_t from, std::uint32_t to, int page_class) = 0;
};

class ZoneTable {
 public:
  ZoneTable(FileHeader& header, PageMover& mover) : header_(header), mover_(mover) {}

  // Finds n blocks for a new page of class n:
  //  1. below zone n when the gap there is wide enough;
  //  2. else by sliding lower zones down (highest first) until it is;
  //  3. else at the end of zone n, pushing higher zones up first.
  Status Allocate(int n, std::uint32_t& block);
  // Frees the page of class n at `block`: the zone's last page moves in.
  Status Release(int n, std::uint32_t block);
  // For classes 2 to 59: a zone of at most one page moves down to the zone
  // below; a larger zone slides down page by page while the gap below it
  // holds a whole page.
  Status CloseGaps();

 private:
  std::uint32_t Gap(int k) const { return header_.zone_start[k] - header_.zone_end[k - 1]; }
  bool Empty(int k) const { return header_.zone_start[k] == header_.zone_end[k]; }
  // Moves zone k down by one page (or, empty, down to the zone below).
  Status SlideDown(int k);
  // Widens the gap between zone k and zone k + 1 to at least `need` blocks.
  Status MakeRoomAbove(int k, std::uint32_t need);

  FileHeader& header_;
  PageMover& mover_;
};

}  // namespace tavero::vmr
