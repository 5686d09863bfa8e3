// The scroll events of an immediate list over a page browse, written once
// for the browse windows and the forms' child lists.
#pragma once

#include <charconv>
#include <string>

#include "app/page_browse.h"
#include "ui/engine.h"
#include "ui/properties.h"

namespace zephcol {

// A number property's value; 0 when the text holds none.
inline int PropertyNumber(const std::string& text) {
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Moves `page` as the scroll event of `list` asks and answers true; false
// for any other event. EVENT:ScrollDrag reads the thumb where the person
// released it.
inline bool ScrollPage(BrowsePage& page, const tavero::ui::Window& window, int list, tavero::ui::Event event) {
  using tavero::ui::Event;
  switch (event) {
    case Event::ScrollUp: page.ScrollUp(); return true;
    case Event::ScrollDown: page.ScrollDown(); return true;
    case Event::PageUp: page.PageUp(); return true;
    case Event::PageDown: page.PageDown(); return true;
    case Event::ScrollTop: page.ScrollTop(); return true;
    case Event::ScrollBottom: page.ScrollBottom(); return true;
    case Event::ScrollDrag:
      page.ThumbDrag(PropertyNumber(window.GetProperty(list, tavero::ui::property::kListThumb)));
      return true;
    default: return false;
  }
}

}  // namespace zephcol
