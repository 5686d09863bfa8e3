// Qt's key numbers turned into the engine's key codes: the Windows virtual
// key numbers with the modifier bits of ui/event.h.
#pragma once

#include <QKeySequence>

namespace tavero::ui::qt {

// The key code for Qt key `qt_key` with Qt keyboard modifiers `modifiers`
// (Qt::KeyboardModifiers as an int); 0 for a key the engine has no code for.
int KeyCode(int qt_key, int modifiers);

// The key sequence of an engine key code (a menu item's shortcut); empty
// for a code no Qt key gives.
QKeySequence ShortcutOf(int key_code);

// The code the engine uses for a double click of the left button.
inline constexpr int kLeftDoubleClick = 5;
inline constexpr int kRightButton = 2;

}  // namespace tavero::ui::qt
