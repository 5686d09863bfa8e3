// zephc001: `Main`, the frame "MAIN$APPFRAME" and its menu.
#include "app/browse_procedures.h"
#include "app/global_request.h"
#include "app/information_windows.h"
#include "app/main_frame.h"
#include "app/tree_browse.h"
#include "app/master_report.h"
#include "ui/engine.h"

namespace zephcol {
namespace {

// The browses, the tree and the report run as MDI children on threads of
// their own; ABOUT runs on the frame's thread and is waited for. Procedures
// not built yet are left empty.
constexpr MenuCommand kMenuCommands[] = {
    {-6, BrowseCARDSET, 50000},         // "EDIT &CARD SETS"
    {-7, BrowseSETINFORMATION, 50000},  // "EDIT &INDIVIDUAL CARDS"
    {-8, BrowseMANUFACTURER, 50000},    // "EDIT  CARD &MANUFACTURERS"
    {-9, BrowseTYPES, 50000},           // "EDIT CARD T&YPES"
    {-10, TREEBROWSE, 25000},           // "TREE BROWSE THE COLLECTION"
    {-12, PrintMasterReport, 50000},    // "Print MAIN REPORT"
    {-19, About, 0},        // "ABOUT"
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

void Main() { RunMain(MainMenuCommands(), Splash); }

void RunMain(std::span<const MenuCommand> commands, void (*splash)()) {
  namespace ui = tavero::ui;
  ProcedureRequest request;
  ui::Window frame("ZEPHCOL$zephc001", "MAIN$APPFRAME");
  frame.Open();
  // The splash runs on this thread before the loop: the menu can be used
  // once it has closed (the engine drops input to the frame meanwhile).
  if (splash != nullptr) splash();
  bool opened = false;
  ui::ACCEPT([&] {
    switch (ui::EVENT()) {
      case ui::Event::OpenWindow:
        if (opened) break;
        opened = true;
        ui::DISPLAY();
        break;
      case ui::Event::GainFocus:
        ui::DISPLAY();
        break;
      case ui::Event::Accepted:
        for (const MenuCommand& command : commands) {
          if (command.item != ui::FIELD()) continue;
          Perform(command);
          ui::DISPLAY();
        }
        break;
      default:
        break;
    }
    return ui::LoopResult::Continue;
  });
  frame.Close();
}

}  // namespace zephcol
