#include "app/browse_locator.h"

#include <cassert>

namespace zephcol {

BrowseLocator BrowseLocator::ForText(std::size_t width) {
  BrowseLocator locator;
  locator.width_ = width;
  return locator;
}

BrowseLocator BrowseLocator::ForNumber(long largest) {
  BrowseLocator locator;
  locator.numeric_ = true;
  locator.largest_ = largest;
  locator.width_ = std::to_string(largest).size();
  return locator;
}

bool BrowseLocator::Type(char c) {
  if (text_.size() >= width_) return false;  // (1)
  if (numeric_) {
    if (c < '0' || c > '9') return false;
    const long value = number() * 10 + (c - '0');
    if (value > largest_) return false;  // (2)
  }
  text_ += c;
  return true;
}

bool BrowseLocator::Backspace() {
  if (text_.empty()) return false;
  text_.pop_back();
  return true;
}

long BrowseLocator::number() const {
  assert(numeric_);
  long value = 0;
  for (char c : text_) value = value * 10 + (c - '0');  // (2): digits only, never past largest
  return value;
}

}  // namespace zephcol
