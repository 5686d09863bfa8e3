// `Main`, the program's main procedure: the APPLICATION frame with the whole
// menu of the program, served until the frame is closed.
#pragma once

#include <span>

namespace zephcol {

// What a chosen item of the frame's menu does. Items with a standard action
// (print setup, exit, clipboard, window arrangement, help) are performed by
// the window engine and never reach the frame's loop.
struct MenuCommand {
  int item;              // the item's number in the frame's menu
  void (*procedure)();   // nullptr: not built yet, the item does nothing
  int stack_size;        // START the procedure with this stack; 0: call it on the frame's thread
};

// The commands of the frame's menu.
std::span<const MenuCommand> MainMenuCommands();

// Opens the frame, calls SPLASH, then serves the menu until the frame closes.
void Main();
// Main with another command table and splash (none: no splash) (tests).
void RunMain(std::span<const MenuCommand> commands, void (*splash)() = nullptr);

}  // namespace zephcol
