// Property numbers with a fixed effect. A number of 7000h or more addresses
// an array property: below 7D00h the element (1-based) is added to the
// number, from 7D00h on it travels separately as the index.
#pragma once

namespace tavero::ui::property {

inline constexpr int kArrayBase = 0x7000;
inline constexpr int kIndexedBase = 0x7D00;

inline constexpr int kText = 0x7C00;            // control, menu item, window: text, caption, title
inline constexpr int kRangeLow = 0x7C14;        // progress bar, spin box
inline constexpr int kRangeHigh = 0x7C15;
inline constexpr int kDisable = 0x7C5F;         // control, menu item: non-zero disables
inline constexpr int kHide = 0x7C65;            // control: non-zero hides
inline constexpr int kMessage = 0x7C73;         // control, menu item: status-bar message
inline constexpr int kTimer = 0x7C86;           // window: timer interval, hundredths of a second
inline constexpr int kAcceptAll = 0x7C9A;       // window: non-zero starts accept-all, 0 ends it
inline constexpr int kStatusText = 0x7D01;      // window: text of a status-bar zone (zone as index)
inline constexpr int kListFormat = 0x7C85;      // list box: the format string, written back from its columns
inline constexpr int kListItems = 0x7C8E;       // list box: rows visible
inline constexpr int kListSelected = 0x7C8F;    // list box: selected row
inline constexpr int kListThumb = 0x7C9E;       // list box: vertical thumb (immediate: 0-100; else the top row, 0-based)
inline constexpr int kVerticalScroll = 0x7C8B;  // list box: vertical scroll bar present
inline constexpr int kHorizontalScroll = 0x7C67;  // list box: horizontal scroll bar present
inline constexpr int kViewFilter = 0x7CB8;      // view: filter text
// The engine's own number (not one of the fixed ones): check box state,
// progress position, selected list row, chosen tab.
inline constexpr int kValue = 0x7C0C;
// List box, read only: the row (1-based) the last EVENT:Expanded or
// EVENT:Contracted was about.
inline constexpr int kListEventRow = 0x7C0D;

}  // namespace tavero::ui::property
