// Event codes and the event record.
//
// The application sees the codes of `Event`: codes below 100h are field
// events (they carry a control), 101h is the only selection event, codes from
// 201h are window events (control 0). Inside the engine every event travels as
// its code + 1400h (so EVENT:Accepted is 1401h); the trace names events by
// that internal number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavero::ui {

enum class Event : int {
  None = 0,
  Accepted = 0x01,
  NewSelection = 0x02,
  ScrollUp = 0x03,
  ScrollDown = 0x04,
  PageUp = 0x05,
  PageDown = 0x06,
  ScrollTop = 0x07,
  ScrollBottom = 0x08,
  Locate = 0x09,
  MouseUp = 0x0A,
  MouseIn = 0x0B,
  MouseOut = 0x0C,
  MouseMove = 0x0D,
  VBXevent = 0x0E,
  AlertKey = 0x0F,
  PreAlert = 0x10,
  Dragging = 0x11,
  Drag = 0x12,
  Drop = 0x13,
  ScrollDrag = 0x14,
  TabChanging = 0x15,
  Expanding = 0x16,
  Contracting = 0x17,
  Expanded = 0x18,
  Contracted = 0x19,
  Rejected = 0x1A,
  DroppingDown = 0x1B,
  DroppedDown = 0x1C,
  Selected = 0x101,
  CloseWindow = 0x201,
  CloseDown = 0x202,
  OpenWindow = 0x203,
  OpenFailed = 0x204,
  LoseFocus = 0x205,
  GainFocus = 0x206,
  // there is no 207h
  Suspend = 0x208,
  Resume = 0x209,
  Notify = 0x20A,
  Timer = 0x20B,
  DDErequest = 0x20C,
  DDEadvise = 0x20D,
  DDEdata = 0x20E,
  DDEexecute = 0x20F,
  DDEpoke = 0x210,
  DDEclosed = 0x211,
  Move = 0x220,  // present tense (220h-224h): asked before the action, vetoable
  Size = 0x221,
  Restore = 0x222,
  Maximize = 0x223,
  Iconize = 0x224,
  Completed = 0x225,
  Moved = 0x230,  // past tense (230h-234h): reports what happened
  Sized = 0x231,
  Restored = 0x232,
  Maximized = 0x233,
  Iconized = 0x234,
};

// Offset between an event's value and the number it travels as.
inline constexpr int kInternalEventBase = 0x1400;

constexpr int InternalCode(Event event) { return static_cast<int>(event) + kInternalEventBase; }
constexpr bool IsFieldEvent(Event event) {
  return static_cast<int>(event) > 0 && static_cast<int>(event) < 0x100;
}

// The trace name of an internal event number or engine query ("EVENT:Accepted"
// for 1401h, "QUERY_PFIELD" for 240Ah); empty when the number has no name.
std::string_view EventName(int internal_code);

// A window of the engine, and a control of a window: small numbers the engine
// hands out and the platform echoes back in its messages.
using WindowId = int;
using ControlHandle = int;  // index into the window's control table
inline constexpr WindowId kNoWindow = 0;
inline constexpr ControlHandle kNoControl = -1;

// Key codes are the platform's virtual key numbers (the Windows numbering: 33
// Page Up, 34 Page Down, 35 End, 36 Home, 38 Up, 40 Down, 13 Enter) with the
// modifier bits below; KEYCODE reports the low 11 bits.
inline constexpr int kKeyShift = 0x100;
inline constexpr int kKeyCtrl = 0x200;
inline constexpr int kKeyAlt = 0x400;
inline constexpr int kKeyCodeMask = 0x7FF;
inline constexpr int kKeyMouseLeft = 1;    // a click of the left button
inline constexpr int kKeyMouseRight = 2;   // a click of the right button
inline constexpr int kKeyDoubleClick = 5;  // the left mouse button double-clicked on a control
inline constexpr int kKeyBackspace = 0x08;
inline constexpr int kKeyPageUp = 0x21;
inline constexpr int kKeyPageDown = 0x22;
inline constexpr int kKeyEnd = 0x23;
inline constexpr int kKeyHome = 0x24;
inline constexpr int kKeyUp = 0x26;
inline constexpr int kKeyDown = 0x28;
inline constexpr int kKeyEnter = 0x0D;
inline constexpr int kKeyInsert = 0x2D;
inline constexpr int kKeyDelete = 0x2E;

// Made for every event; owned by the window once queued.
struct EventRecord {
  WindowId window = kNoWindow;       // the window the event is for
  int code = 0;                      // internal code (event value + 1400h)
  int thread = 0;                    // thread slot of the window (0-based)
  ControlHandle control = kNoControl;   // none for window events
  ControlHandle selected = kNoControl;  // the selected control when the event was made
  int keycode = 0;                   // reported masked with 7FFh
  std::int8_t keychar = 0;
  int mouse_x = 0;                   // dialog units of the window
  int mouse_y = 0;

  Event event() const { return static_cast<Event>(code - kInternalEventBase); }
};

}  // namespace tavero::ui
