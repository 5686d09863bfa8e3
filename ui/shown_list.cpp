#include "ui/shown_list.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tavero::ui {

std::vector<std::string> ShownHeadings(const ListFormat& format) {
  std::vector<std::string> headings;
  for (const ListColumn& column : format.columns) headings.push_back(column.heading);
  return headings;
}

TreeBox TreeBoxOf(int level, int next_level) {
  if (level >= 0) return TreeBox::None;
  return std::abs(next_level) > std::abs(level) ? TreeBox::Expanded : TreeBox::Contracted;
}

int LocatedRow(const std::vector<ListRow>& rows, int current, char typed) {
  const int count = static_cast<int>(rows.size());
  const int wanted = std::toupper(static_cast<unsigned char>(typed));
  for (int step = 1; step <= count; ++step) {
    const int candidate = (std::max(current, 0) - 1 + step + count) % count + 1;
    const std::vector<ListCell>& cells = rows[static_cast<std::size_t>(candidate - 1)].cells;
    if (cells.empty()) continue;
    const std::size_t first = cells[0].text.find_first_not_of(' ');
    if (first != std::string::npos && std::toupper(static_cast<unsigned char>(cells[0].text[first])) == wanted) {
      return candidate;
    }
  }
  return 0;
}

int TreeColumn(const ListFormat& format) {
  for (std::size_t i = 0; i < format.columns.size(); ++i) {
    if (format.columns[i].has(list_flag::kTree)) return static_cast<int>(i);
  }
  return -1;
}

std::string ShownRow(const ListRow& row, int next_level, int tree_column) {
  std::string text;
  for (std::size_t i = 0; i < row.cells.size(); ++i) {
    if (i > 0) text += '\t';
    if (static_cast<int>(i) == tree_column) {
      text.append(static_cast<std::size_t>(2 * std::min(std::abs(row.level), 64)), ' ');
      const TreeBox box = TreeBoxOf(row.level, next_level);
      text += box == TreeBox::Expanded ? "- " : box == TreeBox::Contracted ? "+ " : "  ";
    }
    text += row.cells[i].text;
  }
  return text;
}

}  // namespace tavero::ui
