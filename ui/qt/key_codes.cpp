#include "ui/qt/key_codes.h"

#include <Qt>

#include "ui/event.h"

namespace tavero::ui::qt {
namespace {

int VirtualKey(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Pause: return 0x13;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    case Qt::Key_Asterisk: return 0x6A;
    case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Comma: return 0xBC;
    case Qt::Key_Minus: return 0xBD;
    case Qt::Key_Period: return 0xBE;
    case Qt::Key_Slash: return 0xBF;
    default: return 0;
  }
}

// Keys without a run of their own in VirtualKey.
constexpr int kSingleKeys[] = {Qt::Key_Backspace, Qt::Key_Tab,    Qt::Key_Return,   Qt::Key_Pause,  Qt::Key_Escape,
                               Qt::Key_Space,     Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_End,    Qt::Key_Home,
                               Qt::Key_Left,      Qt::Key_Up,     Qt::Key_Right,    Qt::Key_Down,   Qt::Key_Insert,
                               Qt::Key_Delete,    Qt::Key_Asterisk, Qt::Key_Plus,   Qt::Key_Comma,  Qt::Key_Minus,
                               Qt::Key_Period,    Qt::Key_Slash};

int QtKeyOf(int virtual_key) {
  if (virtual_key >= '0' && virtual_key <= '9') return Qt::Key_0 + (virtual_key - '0');
  if (virtual_key >= 'A' && virtual_key <= 'Z') return Qt::Key_A + (virtual_key - 'A');
  if (virtual_key >= 0x70 && virtual_key <= 0x87) return Qt::Key_F1 + (virtual_key - 0x70);
  for (int key : kSingleKeys) {
    if (VirtualKey(key) == virtual_key) return key;
  }
  return 0;
}

}  // namespace

QKeySequence ShortcutOf(int key_code) {
  const int key = QtKeyOf(key_code & 0xFF);
  if (key == 0) return {};
  int modifiers = 0;
  if (key_code & kKeyShift) modifiers |= Qt::ShiftModifier;
  if (key_code & kKeyCtrl) modifiers |= Qt::ControlModifier;
  if (key_code & kKeyAlt) modifiers |= Qt::AltModifier;
  return QKeySequence(key | modifiers);
}

int KeyCode(int qt_key, int modifiers) {
  const int code = VirtualKey(qt_key);
  if (code == 0) return 0;
  int bits = 0;
  if (modifiers & Qt::ShiftModifier) bits |= kKeyShift;
  if (modifiers & Qt::ControlModifier) bits |= kKeyCtrl;
  if (modifiers & Qt::AltModifier) bits |= kKeyAlt;
  return code | bits;
}

}  // namespace tavero::ui::qt
