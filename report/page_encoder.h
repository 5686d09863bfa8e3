// A page as a placeable metafile: the drawings placed on it, in order, turned
// into metafile records in the device's units.
//
// The window is the device's printable area (origin 0,0, extent width by
// height) in anisotropic mapping, so a viewer fits it to any frame. Metafile
// coordinates are 16-bit: a device larger than 32767 units on a side is
// scaled down by a whole factor (its units per inch with it), so the
// placeable header stays valid.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "report/band_renderer.h"
#include "report/drawing.h"

namespace tavero::report {

struct PageDevice {
  int width = 0;   // printable area in device units
  int height = 0;
  Resolution resolution;
};

struct PagePiece {
  const Drawing* drawing = nullptr;
  int x = 0;  // offset of the drawing on the page, device units
  int y = 0;
};

// The metafile of a page, or nullopt when a record would be too large for a
// metafile (error 523). Page-number fields show `page_number`.
std::optional<std::vector<std::uint8_t>> EncodePage(std::span<const PagePiece> pieces, std::int32_t page_number,
                                                    const FontTable& fonts, const PageDevice& device);

// The whole factor a device's units are divided by in its metafiles.
int MetafileScale(const PageDevice& device);

}  // namespace tavero::report
