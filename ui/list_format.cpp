// Parsing and writing list format strings (grammar in list_format.h).
#include "ui/list_format.h"

#include <cctype>
#include <set>

namespace tavero::ui {

int ListColumn::tree_field() const {
  if (!has(list_flag::kTree)) return 0;
  return field + 1 + (has2(list_flag2::kColours) ? 4 : 0) + (has(list_flag::kIcon) ? 1 : 0);
}

int ListColumn::fields_used() const {
  return 1 + (has2(list_flag2::kColours) ? 4 : 0) + (has(list_flag::kIcon) ? 1 : 0) + (has(list_flag::kTree) ? 1 : 0);
}

namespace {

constexpr char kJustificationLetters[] = {'L', 'R', 'C', 'D'};

int JustificationOf(char c) {
  for (int i = 0; i < 4; ++i) {
    if (c == kJustificationLetters[i]) return i;
  }
  return -1;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  ListFormat Run() {
    Items(0, -1);
    // Groups the error left open end where the parse ended; one that holds
    // no column is dropped (written back it would read as the end mark).
    for (std::size_t g = format_.groups.size(); g-- > 0;) {
      ListGroup& group = format_.groups[g];
      if (open_.count(static_cast<int>(g)) != 0) {
        group.column_count = static_cast<int>(format_.columns.size()) - group.first_column;
      }
    }
    std::erase_if(format_.groups, [](const ListGroup& g) { return g.column_count == 0; });
    format_.complete = !failed_;
    return std::move(format_);
  }

 private:
  enum class Step { Taken, NotMine, Failed };

  bool AtEnd() const { return at_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[at_]; }
  bool Fail() {
    failed_ = true;
    return false;
  }

  // number -> digits, at most kMaxFormatNumber (leading zeros allowed).
  bool Number(int& value) {
    if (!std::isdigit(static_cast<unsigned char>(Peek()))) return false;
    value = 0;
    while (std::isdigit(static_cast<unsigned char>(Peek()))) {
      value = value * 10 + (text_[at_++] - '0');
      if (value > kMaxFormatNumber) return false;
    }
    return true;
  }

  // "(" [ "-" ] number ")", the "(" already seen.
  bool Parenthesised(int& value, bool allow_sign) {
    ++at_;
    bool negative = false;
    if (allow_sign && Peek() == '-') {
      negative = true;
      ++at_;
    }
    if (!Number(value) || Peek() != ')') return false;
    ++at_;
    if (negative) value = -value;
    return true;
  }

  // items, up to the end, a "]" (left for the caller) or an error. False
  // when the parse is over (an error, or the empty group that ends it).
  bool Items(int depth, int group) {
    while (!AtEnd() && !over_) {
      const char c = Peek();
      if (c == ']') {
        if (group < 0) return Fail();
        return true;
      }
      if (c == '[') {
        if (at_ + 1 < text_.size() && text_[at_ + 1] == ']') {  // the empty group ends the text
          at_ += 2;
          format_.accepted = at_;
          over_ = true;
          return false;
        }
        if (!Group(depth, group)) return false;
        continue;
      }
      if (!Column(group)) return false;
    }
    return !over_;
  }

  bool Group(int depth, int parent) {
    if (depth + 1 > kMaxGroupDepth) return Fail();
    ++at_;  // "["
    const int index = static_cast<int>(format_.groups.size());
    ListGroup group;
    group.parent = parent;
    group.first_column = static_cast<int>(format_.columns.size());
    format_.groups.push_back(group);
    open_.insert(index);
    if (!Items(depth + 1, index)) return false;
    if (AtEnd()) return Fail();  // no "]"
    ++at_;                       // "]"
    open_.erase(index);
    ListGroup& closed = format_.groups[static_cast<std::size_t>(index)];
    closed.column_count = static_cast<int>(format_.columns.size()) - closed.first_column;
    format_.accepted = at_;
    while (!AtEnd()) {
      if (Peek() == '(') {
        int width = 0;
        if (!Parenthesised(width, false)) return Fail();
        format_.groups[static_cast<std::size_t>(index)].width = width;
        continue;
      }
      const Step step = Modifier(format_.groups[static_cast<std::size_t>(index)], 0, 0);
      if (step == Step::Failed) return Fail();
      if (step == Step::NotMine) break;
    }
    format_.accepted = at_;
    return true;
  }

  bool Column(int group) {
    ListColumn column;
    column.group = group;
    if (!Number(column.width)) return Fail();  // no width
    const int justification = JustificationOf(Peek());
    if (justification < 0) return Fail();
    ++at_;
    if (column.width != 0 && Peek() == '(' && !Parenthesised(column.indent, true)) return Fail();
    column.flags = static_cast<std::uint32_t>(justification) | (static_cast<std::uint32_t>(justification) << 2);
    column.heading_indent = column.indent;
    bool explicit_field = false;
    while (!AtEnd()) {
      const char c = Peek();
      if (c == '#') {
        ++at_;
        if (!Number(column.field) || column.field == 0 || Peek() != '#') return Fail();
        ++at_;
        explicit_field = true;
      } else if (c == '/') {
        ++at_;
        column.flags |= list_flag::kSlash;
      } else if (c == '?') {
        ++at_;
        column.flags |= list_flag::kQuestion;
      } else if (c == '@') {
        const std::size_t end = text_.find('@', at_ + 1);
        if (end == std::string_view::npos) return Fail();
        column.picture = end == at_ + 1 ? std::string() : std::string(text_.substr(at_, end - at_));
        at_ = end + 1;
      } else {
        const Step step = Modifier(column, justification, column.indent);
        if (step == Step::Failed) return Fail();
        if (step == Step::NotMine) break;
      }
    }
    if (!explicit_field) column.field = next_field_;
    next_field_ = column.field + column.fields_used();
    format_.columns.push_back(std::move(column));
    format_.accepted = at_;
    return true;
  }

  // One modifier at the present character, if it is one.
  Step Modifier(ListModifiers& m, int justification, int indent) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(Peek())));
    switch (c) {
      case '*': m.flags2 |= list_flag2::kColours; break;
      case 'F': m.flags |= list_flag::kFixed; break;
      case 'I': m.flags |= list_flag::kIcon; break;
      case 'M': m.flags |= list_flag::kResizable; break;
      case '_': m.flags |= list_flag::kUnderline; break;
      case '|': m.flags |= list_flag::kRightBorder; break;
      case 'H':
      case 'S': {
        ++at_;
        m.flags2 |= c == 'H' ? list_flag2::kH : 0;
        m.flags |= c == 'S' ? list_flag::kScroll : 0;
        if (Peek() == '(' && !Parenthesised(c == 'H' ? m.h_number : m.scroll_width, false)) return Step::Failed;
        return Step::Taken;
      }
      case 'T': {
        ++at_;
        m.flags |= list_flag::kTree;
        if (Peek() != '(') return Step::Taken;
        ++at_;
        for (;; ++at_) {
          const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(Peek())));
          if (letter == ')') break;
          if (letter == 'L') m.flags2 |= list_flag2::kTreeNoLines;
          else if (letter == 'B') m.flags2 |= list_flag2::kTreeNoBoxes;
          else if (letter == 'I') m.flags2 |= list_flag2::kTreeNoIndent;
          else return Step::Failed;
        }
        ++at_;
        return Step::Taken;
      }
      case '~': {
        const std::size_t end = text_.find('~', at_ + 1);
        if (end == std::string_view::npos) return Step::Failed;
        m.heading = std::string(text_.substr(at_ + 1, end - at_ - 1));
        at_ = end + 1;
        int heading = JustificationOf(static_cast<char>(std::toupper(static_cast<unsigned char>(Peek()))));
        if (heading >= 0) {
          ++at_;
        } else {
          heading = justification;
        }
        m.flags = (m.flags & ~list_flag::kHeadingJustificationMask) | (static_cast<std::uint32_t>(heading) << 2);
        m.heading_indent = indent;
        if (Peek() == '(' && !Parenthesised(m.heading_indent, true)) return Step::Failed;
        return Step::Taken;
      }
      default:
        return Step::NotMine;
    }
    ++at_;
    return Step::Taken;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  ListFormat format_;
  int next_field_ = 1;
  bool failed_ = false;
  bool over_ = false;  // the empty group was met
  std::set<int> open_;  // groups whose "]" has not been read
};

void WriteModifiers(const ListModifiers& m, int justification, int indent, std::string& out) {
  if (m.has(list_flag::kRightBorder)) out += '|';
  if (m.has(list_flag::kUnderline)) out += '_';
  if (m.has(list_flag::kFixed)) out += 'F';
  if (m.has(list_flag::kResizable)) out += 'M';
  if (m.has2(list_flag2::kColours)) out += '*';
  if (m.has(list_flag::kIcon)) out += 'I';
  if (m.has(list_flag::kTree)) {
    out += 'T';
    if ((m.flags2 & list_flag2::kTreeLetters) != 0) {
      out += '(';
      if (m.has2(list_flag2::kTreeNoLines)) out += 'L';
      if (m.has2(list_flag2::kTreeNoBoxes)) out += 'B';
      if (m.has2(list_flag2::kTreeNoIndent)) out += 'I';
      out += ')';
    }
  }
  const int heading = static_cast<int>(m.heading_justification());
  if (!m.heading.empty() || heading != justification || m.heading_indent != indent) {
    out += '~';
    out += m.heading;
    out += '~';
    if (heading != justification || m.heading_indent != indent) out += kJustificationLetters[heading];
    if (m.heading_indent != indent) out += '(' + std::to_string(m.heading_indent) + ')';
  }
  if (m.has(list_flag::kScroll)) {
    out += 'S';
    if (m.scroll_width != 0) out += '(' + std::to_string(m.scroll_width) + ')';
  }
  if (m.has2(list_flag2::kH)) {
    out += 'H';
    if (m.h_number != 0) out += '(' + std::to_string(m.h_number) + ')';
  }
}

}  // namespace

ListFormat ParseListFormat(std::string_view text) { return Parser(text).Run(); }

std::string WriteListFormat(const ListFormat& format) {
  std::string out;
  int implicit_field = 1;
  const int groups = static_cast<int>(format.groups.size());
  for (int i = 0; i < static_cast<int>(format.columns.size()); ++i) {
    // Groups open outermost first: they are kept in the order of their "[".
    for (const ListGroup& g : format.groups) {
      if (g.first_column == i && g.column_count > 0) out += '[';
    }
    const ListColumn& c = format.columns[static_cast<std::size_t>(i)];
    const int justification = static_cast<int>(c.justification());
    out += std::to_string(c.width);
    out += kJustificationLetters[justification];
    if (c.indent != 0 && c.width != 0) out += '(' + std::to_string(c.indent) + ')';
    if (c.field != implicit_field) out += '#' + std::to_string(c.field) + '#';
    implicit_field = c.field + c.fields_used();
    if (!c.picture.empty()) out += c.picture + '@';
    if (c.has(list_flag::kSlash)) out += '/';
    if (c.has(list_flag::kQuestion)) out += '?';
    WriteModifiers(c, justification, c.width != 0 ? c.indent : 0, out);
    // Groups close innermost first.
    for (int g = groups - 1; g >= 0; --g) {
      const ListGroup& group = format.groups[static_cast<std::size_t>(g)];
      if (group.column_count <= 0 || group.first_column + group.column_count != i + 1) continue;
      out += ']';
      if (group.width != 0) out += '(' + std::to_string(group.width) + ')';
      WriteModifiers(group, 0, 0, out);
    }
  }
  return out;
}

}  // namespace tavero::ui
