// List format strings: the text in a list box's definition that describes its
// columns, parsed into ListColumns and written back from them.
//
// Grammar (read left to right; no separators between columns):
//
//   format    -> { item } [ "[" "]" ]             an empty group ends the text
//   item      -> column | group
//   group     -> "[" item { item } "]" { "(" number ")" | modifier }
//   column    -> number just [ "(" signed ")" ] { attribute }   the indent only when the width is not 0
//   just      -> "L" | "R" | "C" | "D"             upper case only here
//   attribute -> "#" number "#"                    the queue field the column shows
//              | "/" | "?"
//              | "@" picture "@"                   the display picture, "@S30" when absent
//              | modifier
//   modifier  -> "*" | "F" | "I" | "M" | "_" | "|"  (either case)
//              | ("H" | "S") [ "(" number ")" ]
//              | "T" [ "(" { "B" | "I" | "L" } ")" ]
//              | "~" heading "~" [ just ] [ "(" signed ")" ]
//   number    -> 1 to 5 decimal digits, at most kMaxFormatNumber
//   signed    -> [ "-" ] number
//
// A column ends at the first character no rule accepts; the next column
// starts there. An error (a missing width or justification letter, an
// unterminated "@" or "~", a bad parenthesis, a number out of bounds, groups
// nested deeper than kMaxGroupDepth) ends the parse: the columns completed
// before it stand, and `accepted` is the length of text they cover.
//
// Queue fields. A column shows one field of the queue and, as its modifiers
// ask, the fields that follow it: with "*" four colour fields (text,
// background, selected text, selected background), with "I" an icon number,
// with "T" the tree level, in that order. Without "#n#" a column takes the
// field after the ones the column before it used (the first column field 1);
// writing a format back keeps "#n#" exactly where it differs from that.
//
// Widths and indents are dialog units of the list's font.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavero::ui {

inline constexpr int kMaxFormatNumber = 32767;
inline constexpr int kMaxGroupDepth = 16;
inline constexpr std::string_view kDefaultListPicture = "@S30";

enum class Justification : std::uint8_t { Left = 0, Right = 1, Centre = 2, Decimal = 3 };

// Bits of ListColumn::flags (the justifications sit in its low four bits).
namespace list_flag {
inline constexpr std::uint32_t kJustificationMask = 0x3;
inline constexpr std::uint32_t kHeadingJustificationMask = 0xC;
inline constexpr std::uint32_t kRightBorder = 0x10;  // "|"
inline constexpr std::uint32_t kUnderline = 0x20;    // "_"
inline constexpr std::uint32_t kFixed = 0x40;        // "F"
inline constexpr std::uint32_t kScroll = 0x80;       // "S"
inline constexpr std::uint32_t kResizable = 0x100;   // "M"
inline constexpr std::uint32_t kSlash = 0x200;       // "/"
inline constexpr std::uint32_t kQuestion = 0x400;    // "?"
inline constexpr std::uint32_t kIcon = 0x800;        // "I": an icon field follows
inline constexpr std::uint32_t kTree = 0x8000;       // "T": a tree level field follows
}  // namespace list_flag

// Bits of ListColumn::flags2.
namespace list_flag2 {
inline constexpr std::uint32_t kColours = 0x1;      // "*": four colour fields follow
inline constexpr std::uint32_t kH = 0x2;            // "H"
inline constexpr std::uint32_t kTreeNoLines = 0x4;  // "T(L)"
inline constexpr std::uint32_t kTreeNoBoxes = 0x8;  // "T(B)"
inline constexpr std::uint32_t kTreeNoIndent = 0x10;  // "T(I)"
inline constexpr std::uint32_t kTreeLetters = kTreeNoLines | kTreeNoBoxes | kTreeNoIndent;
}  // namespace list_flag2

// What a column and a group share: the modifiers and the heading.
struct ListModifiers {
  std::uint32_t flags = 0;   // list_flag bits, with both justifications
  std::uint32_t flags2 = 0;  // list_flag2 bits
  std::string heading;
  int heading_indent = 0;
  int scroll_width = 0;  // the number after "S"
  int h_number = 0;      // the number after "H"

  Justification justification() const { return static_cast<Justification>(flags & 0x3); }
  Justification heading_justification() const { return static_cast<Justification>((flags >> 2) & 0x3); }
  bool has(std::uint32_t flag) const { return (flags & flag) != 0; }
  bool has2(std::uint32_t flag) const { return (flags2 & flag) != 0; }
  friend bool operator==(const ListModifiers&, const ListModifiers&) = default;
};

struct ListColumn : ListModifiers {
  int width = 0;
  int indent = 0;
  std::string picture;  // with its leading "@"; empty: shown with kDefaultListPicture
  int field = 0;        // the queue field shown (1-based)
  int group = -1;       // the innermost group holding the column, -1 none

  std::string_view display_picture() const { return picture.empty() ? kDefaultListPicture : picture; }
  // The fields the column uses: its own, and the colour, icon and level fields.
  int colour_field() const { return has2(list_flag2::kColours) ? field + 1 : 0; }
  int icon_field() const { return has(list_flag::kIcon) ? field + 1 + (has2(list_flag2::kColours) ? 4 : 0) : 0; }
  int tree_field() const;
  int fields_used() const;
  friend bool operator==(const ListColumn&, const ListColumn&) = default;
};

struct ListGroup : ListModifiers {
  int parent = -1;        // the enclosing group, -1 none
  int width = 0;          // the number in "(" ")" after "]", 0 when absent
  int first_column = 0;   // the columns it holds: [first_column, first_column + column_count)
  int column_count = 0;
  friend bool operator==(const ListGroup&, const ListGroup&) = default;
};

struct ListFormat {
  std::vector<ListColumn> columns;
  std::vector<ListGroup> groups;  // in the order their "[" appears
  std::size_t accepted = 0;       // length of the text the columns cover
  bool complete = true;           // false when an error ended the parse
  friend bool operator==(const ListFormat&, const ListFormat&) = default;
};

ListFormat ParseListFormat(std::string_view text);
// The format text of `format`: re-parses to the same columns and groups.
std::string WriteListFormat(const ListFormat& format);

}  // namespace tavero::ui
