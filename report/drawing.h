// What a band draws, in device units relative to its own top left corner: the
// picture of a print item, kept from the moment it was printed until its page
// is emitted. Texts are final, except a page-number field, whose number is
// only known when its page is emitted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "images/image.h"

namespace tavero::report {

struct TextOp {
  int x = 0;  // top left corner of the text
  int y = 0;
  int font = 0;  // index into the report's font table
  std::string text;
};

struct PageNumberOp {
  int x = 0;
  int y = 0;
  int font = 0;
  std::string picture;  // the field's picture; empty shows the plain number
};

struct LineOp {
  int x1 = 0;
  int y1 = 0;
  int x2 = 0;
  int y2 = 0;
};

struct ImageOp {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::shared_ptr<const images::Image> image;  // never empty
};

using DrawOp = std::variant<TextOp, PageNumberOp, LineOp, ImageOp>;

struct Drawing {
  std::vector<DrawOp> ops;
};

// Device resolution of the page: device units per inch.
struct Resolution {
  int x = 600;
  int y = 600;
  // Thousandths of an inch to device units, rounded to nearest.
  int X(std::int64_t thousandths) const { return static_cast<int>((thousandths * x + (thousandths >= 0 ? 500 : -500)) / 1000); }
  int Y(std::int64_t thousandths) const { return static_cast<int>((thousandths * y + (thousandths >= 0 ? 500 : -500)) / 1000); }
};

}  // namespace tavero::report
