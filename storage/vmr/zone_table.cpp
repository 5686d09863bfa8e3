#include "storage/vmr/zone_table.h"

#include <cassert>
#include <cerrno>

namespace tavero::vmr {

Status ZoneTable::SlideDown(int k) {
  auto& start = header_.zone_start[k];
  auto& end = header_.zone_end[k];
  if (Empty(k)) {
    start = end = header_.zone_end[k - 1];
    return Status::Ok();
  }
  const std::uint32_t n = static_cast<std::uint32_t>(k);
  assert(Gap(k) >= n);
  VMR_TRY(mover_.MovePage(end - n, start - n, k));
  start -= n;
  end -= n;
  return Status::Ok();
}

Status ZoneTable::MakeRoomAbove(int k, std::uint32_t need) {
  if (k >= kMaxClass) return Status::Ok();  // the end of the file grows freely
  const int up = k + 1;
  const std::uint32_t n = static_cast<std::uint32_t>(up);
  while (Gap(up) < need) {
    if (Empty(up)) {
      const std::uint32_t shift = need - Gap(up);
      VMR_TRY(MakeRoomAbove(up, shift));
      header_.zone_start[up] += shift;
      header_.zone_end[up] += shift;
    } else {
      // The first page of the zone above moves to that zone's end.
      VMR_TRY(MakeRoomAbove(up, n));
      VMR_TRY(mover_.MovePage(header_.zone_start[up], header_.zone_end[up], up));
      header_.zone_start[up] += n;
      header_.zone_end[up] += n;
    }
  }
  return Status::Ok();
}

Status ZoneTable::Allocate(int n, std::uint32_t& block) {
  assert(n >= 1 && n <= kMaxClass);
  const std::uint32_t size = static_cast<std::uint32_t>(n);
  // Slide lower zones down, highest first, while that can widen the gap
  // below zone n; sliding an empty zone costs no I/O.
  while (Gap(n) < size) {
    int k = n - 1;
    for (; k >= 1; --k) {
      if (Empty(k) ? Gap(k) > 0 : Gap(k) >= static_cast<std::uint32_t>(k)) break;
    }
    if (k < 1) break;
    VMR_TRY(SlideDown(k));
  }
  if (Gap(n) >= size) {
    header_.zone_start[n] -= size;
    block = header_.zone_start[n];
    return Status::Ok();
  }
  VMR_TRY(MakeRoomAbove(n, size));
  block = header_.zone_end[n];
  header_.zone_end[n] += size;
  if (BlockOffset(header_.zone_end[n]) > kMaxFileOffset) return Status::System(EFBIG);
  return Status::Ok();
}

Status ZoneTable::Release(int n, std::uint32_t block) {
  const std::uint32_t size = static_cast<std::uint32_t>(n);
  auto& end = header_.zone_end[n];
  VMR_CHECK(block >= header_.zone_start[n] && block + size <= end);
  VMR_CHECK((block - header_.zone_start[n]) % size == 0);
  const std::uint32_t last = end - size;
  if (last != block) VMR_TRY(mover_.MovePage(last, block, n));
  end -= size;
  return Status::Ok();
}

Status ZoneTable::CloseGaps() {
  for (int k = 2; k <= kMaxClass; ++k) {
    const std::uint32_t n = static_cast<std::uint32_t>(k);
    auto& start = header_.zone_start[k];
    auto& end = header_.zone_end[k];
    if (end - start <= n) {
      const std::uint32_t target = header_.zone_end[k - 1];
      if (start != target && end != start) VMR_TRY(mover_.MovePage(start, target, k));
      end = target + (end - start);
      start = target;
    } else {
      while (Gap(k) >= n) VMR_TRY(SlideDown(k));
    }
  }
  return Status::Ok();
}

}  // namespace tavero::vmr
