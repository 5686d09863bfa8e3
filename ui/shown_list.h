// A list box as a person sees it: what both test drivers (headless and Qt)
// read back, built the same way on both.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/list_format.h"
#include "ui/platform.h"

namespace tavero::ui {

// A picture as a person sees it in an image control or as a list's icon:
// its size in pixels, 0 by 0 when nothing is shown.
struct ShownPicture {
  int width = 0;
  int height = 0;
  bool operator==(const ShownPicture&) const = default;
};

struct ShownList {
  std::vector<std::string> headings;  // one per column
  std::vector<std::string> rows;      // the rows in sight, top first, cells joined by '\t'
  int top = 0;                        // the first row in sight, 0-based
  int rows_visible = 0;               // how many rows fit
  int count = 0;                      // rows the list holds
  int selected = 0;                   // the highlighted row, 1-based, 0 none
  bool scroll_bar = false;            // the vertical scroll bar is in sight
  int thumb = 0;                      // its position
  std::map<int, ShownPicture> icons;  // the icons registered, by number
};

// The headings of a format's columns.
std::vector<std::string> ShownHeadings(const ListFormat& format);
// Whether a tree row shows a box, and which: a row with children (negative
// level) is expanded when the next row is deeper. `next_level` is the next
// row's level (0 after the last row).
enum class TreeBox { None, Expanded, Contracted };
TreeBox TreeBoxOf(int level, int next_level);
// A row's cells joined by '\t'; the cell of the tree column (-1: none) is led
// by two blanks a level and its box: "+ " contracted, "- " expanded, two
// blanks for none.
std::string ShownRow(const ListRow& row, int next_level, int tree_column);
// The locator of a list that scrolls itself: the next row after `current`
// (1-based, 0 none), round, whose first cell starts with `typed` (blanks
// before it skipped, case ignored); 0 when none does.
int LocatedRow(const std::vector<ListRow>& rows, int current, char typed);
// The column with the "T" modifier, -1 none.
int TreeColumn(const ListFormat& format);

}  // namespace tavero::ui
