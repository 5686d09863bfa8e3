// The incremental locator of a page browse: the text typed into the list of
// a sort order that has a locator field, bounded by that field. Typed
// characters extend it, Backspace takes the last one back, any scrolling
// empties it.
//
// Invariants: (1) text().size() <= width; (2) a numeric locator holds
// digits only and its value never exceeds its largest value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zephcol {

class BrowseLocator {
 public:
  // A locator over a text field of `width` characters.
  static BrowseLocator ForText(std::size_t width);
  // A locator over a number field: digits only, up to `largest`.
  static BrowseLocator ForNumber(long largest);

  // Appends `c`; false (and nothing changes) when the locator is full, or
  // when a numeric locator would take a non-digit or go past its largest.
  bool Type(char c);
  // Takes the last character back; false when the locator is empty.
  bool Backspace();
  void Clear() { text_.clear(); }

  const std::string& text() const { return text_; }
  bool numeric() const { return numeric_; }
  long number() const;  // a numeric locator's value, 0 when empty

 private:
  std::size_t width_ = 0;
  bool numeric_ = false;
  long largest_ = 0;
  std::string text_;
};

}  // namespace zephcol
