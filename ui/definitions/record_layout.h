// Byte layout of entries, control records and font records inside a block's
// body: where each value of the decoded form lives. Shared by the decoder and
// the encoder so the two cannot disagree. FORMAT.md describes the same layout
// in prose.
#pragma once

#include <cstdint>
#include <optional>

#include "ui/definitions/window_definition.h"

namespace tavero::definitions::layout {

// Offsets are counted from a base two bytes before the body's first byte.
inline constexpr std::uint32_t kBodyBase = 2;
inline constexpr std::uint32_t kFirstEntryWord = 2;  // body offset of the first entry

// Entry (all words little-endian, 4 bytes unless noted).
inline constexpr int kEntryKind = 0;  // 1 byte
inline constexpr int kEntryNext = 1;
inline constexpr int kEntryAttributes = 5;
inline constexpr int kEntryX = 13;
inline constexpr int kEntryY = 17;
inline constexpr int kEntryWidth = 21;
inline constexpr int kEntryHeight = 25;
inline constexpr int kEntryFirstControl = 29;
inline constexpr int kEntryLabel = 33;
inline constexpr int kEntryFont = 37;
inline constexpr int kEntryTitle = 41;
inline constexpr int kEntryWindowType = 45;
inline constexpr int kEntryStatusZones = 49;
inline constexpr int kEntryIcon = 53;
inline constexpr int kEntryHelp = 57;
inline constexpr int kEntryState = 77;
inline constexpr int kEntryPaper = 81;  // reports: four words, 81 to 93
inline constexpr int kEntryTimer = 85;  // windows
inline constexpr int kEntryMenuBar = 89;  // windows
inline constexpr int kEntryCursor = 97;
inline constexpr int kEntrySize = 101;

// Font record.
inline constexpr int kFontTypeface = 0;
inline constexpr int kFontPointSize = 4;
inline constexpr int kFontColour = 8;
inline constexpr int kFontStyle = 12;
inline constexpr int kFontSize = 16;

// Control record: kind (1 byte), next, attributes, reserved at 0, 1, 5, 9 for
// every kind; the rest by kind. -1 = the kind has no such value.
inline constexpr int kControlKind = 0;
inline constexpr int kControlNext = 1;
inline constexpr int kControlAttributes = 5;
inline constexpr int kControlRecordSize = 121;

struct ControlLayout {
  int number = 13;
  int position = 21;  // x, y, width, height in four words from here
  int variable = 69;  // string: the USE variable's label or the break variable
  int picture = 73;
  int tip = 77;
  int message = 81;
  int font = 85;
  int first_child = 89;
  int key_code = 93;
  int low = 97;
  int high = 101;
  int text = 105;
  int source = 109;
  int format = 113;
  int standard = 117;  // StandardAction
};

// The layout of `kind`; nullopt for a kind the engine does not know.
std::optional<ControlLayout> LayoutOf(std::uint8_t kind);

}  // namespace tavero::definitions::layout
