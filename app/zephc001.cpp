// zephc001: `Main`, the frame "MAIN$APPFRAME" and its menu.
#include "app/global_request.h"
#include "app/main_frame.h"
#include "ui/engine.h"

namespace zephcol {
namespace {

// The browses, the tree and the report run as MDI children on threads of
// their own; ABOUT runs on the frame's thread and is waited for. Procedures
// not built yet are left empty.
constexpr MenuCommand kMenuCommands[] = {
    {-6, nullptr, 50000},   // "EDIT &CARD SETS": BrowseCARDSET
    {-7, nullptr, 50000},   // "EDIT &INDIVIDUAL CARDS": BrowseSETINFORMATION
    {-8, nullptr, 50000},   // "EDIT  CARD &MANUFACTURERS": BrowseMANUFACTURER
    {-9, nullptr, 50000},   // "EDIT CARD T&YPES": BrowseTYPES
    {-10, nullptr, 25000},  // "TREE BROWSE THE COLLECTION": the tree browse
    {-12, nullptr, 50000},  // "Print MAIN REPORT": the report procedure
    {-19, nullptr, 0},      // "ABOUT"
};

void Perform(const MenuCommand& command) {
  if (command.procedure == nullptr) return;
  if (command.stack_size == 0) {
    command.procedure();
  } else {
    tavero::ui::START(command.procedure, command.stack_size);
  }
}

}  // namespace

std::span<const MenuCommand> MainMenuCommands() { return kMenuCommands; }

void Main() { RunMain(MainMenuCommands()); }

void RunMain(std::span<const MenuCommand> commands) {
  namespace ui = tavero::ui;
  ProcedureRequest request;
  ui::Window frame("ZEPHCOL$zephc001", "MAIN$APPFRAME");
  frame.Open();
  ui::ACCEPT([&] {
    // The frame shows its menu as it stands: there is nothing of its own to
    // redisplay on EVENT:OpenWindow and EVENT:GainFocus.
    if (ui::EVENT() == ui::Event::Accepted) {
      for (const MenuCommand& command : commands) {
        if (command.item == ui::FIELD()) Perform(command);
      }
    }
    return ui::LoopResult::Continue;
  });
  frame.Close();
}

}  // namespace zephcol
