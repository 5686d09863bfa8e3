// zephc017: `TREEBROWSE`, the collection as one tree ("Tree View Card
// Collection"): manufacturers, their card sets and the sets' cards, each
// node's children read when it is expanded; Insert, Change and Delete call
// the update form of the highlighted row's level, and the tree is loaded
// again afterwards with the new or changed record highlighted.
#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <string>

#include "app/collection_tree.h"
#include "app/global_request.h"
#include "app/open_files.h"
#include "app/tree_browse.h"
#include "app/update_forms.h"
#include "app/warnings.h"
#include "images/image.h"
#include "storage/driver/driver.h"
#include "ui/engine.h"
#include "ui/properties.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
namespace property = tavero::ui::property;
namespace driver = tavero::driver;
using ui::Event;

constexpr int kList = 1, kClose = 2, kInsert = 3, kChange = 4, kDelete = 5;
constexpr int kKeyRightButton = 2;
// The list's icons 1 to 4: the root, a manufacturer, a set, a card.
constexpr const char* kIcons[] = {"Sports My Computer.ico", "star1.ico", "star2.ico", "star3.ico"};

int ToNumber(const std::string& text) {
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

void CallForm(TreeLevel level, Request request) {
  SetGlobalRequest(request);
  switch (level) {
    case TreeLevel::Root:
    case TreeLevel::Manufacturer: return UpdateMANUFACTURER();
    case TreeLevel::CardSet: return UpdateCARDSET();
    case TreeLevel::Card: return UpdateSETINFORMATION();
  }
}

// A cleared record of `file` with no current record: what an insert starts
// from (nothing of the last record read is carried over).
void ClearForInsert(DataFile& file) {
  driver::Get(file.file(), 0);
  file.clear();
}

class TreeRun {
 public:
  TreeRun()
      : makers_(Manufacturer()), sets_(Cardset()), cards_(SetInformation()), window_("ZEPHCOL$zephc017", "TREEBROWSE$WINDOW") {}

  void Run() {
    if (tree_.Load() != 0) {
      ShowWarning(35, tree_.error_file());
      return;
    }
    window_.SetListFrom(kList, &tree_.queue());
    for (int icon = 1; icon <= 4; ++icon) {
      // A missing icon shows none.
      if (const auto path = tavero::images::FindImageFile(kIcons[icon - 1])) window_.SetListIcon(kList, icon, path->string());
    }
    window_.Open();
    Highlight(1);
    bool opened = false;
    ui::ACCEPT([&] {
      const Event event = ui::EVENT();
      if (event == Event::OpenWindow) {
        if (!opened) {
          opened = true;
          ui::DISPLAY();
          ui::SELECT(kList);
        }
      } else if (event == Event::GainFocus) {
        const int row = Highlighted();
        Reload(tree_.node(row), row);
      } else if (ui::FIELD() == kList && event == Event::Expanded) {
        OnExpand(true);
      } else if (ui::FIELD() == kList && event == Event::Contracted) {
        OnExpand(false);
      } else if (ui::FIELD() == kList && event == Event::NewSelection && ui::KEYCODE() == kKeyRightButton) {
        PopupMenu();
      } else if (event == Event::Accepted) {
        OnButton(ui::FIELD());
      }
      return ui::LoopResult::Continue;
    });
    window_.Close();
  }

 private:
  int Highlighted() {
    const int row = ToNumber(window_.GetProperty(kList, property::kListSelected));
    return row >= 1 && row <= tree_.rows() ? row : 1;
  }
  void Highlight(int row) { window_.SetProperty(kList, property::kListSelected, std::clamp(row, 1, tree_.rows())); }

  // Loads the tree again and highlights `keep`'s row, else row `fallback`.
  // A read error closes the window after warning 35.
  void Reload(const TreeNode& keep, int fallback) {
    if (tree_.Load() != 0) {
      ShowWarning(35, tree_.error_file());
      ui::POST(Event::CloseWindow);
      return;
    }
    const int row = tree_.RowOf(keep);
    Highlight(row != 0 ? row : fallback);
    ui::DISPLAY();
  }

  // A record gone (another station deleted it) or unreadable: warning 35,
  // and the tree loaded again as it stands now; the window stays.
  void RecordLost(int row) {
    ShowWarning(35, tree_.error_file());
    Reload(tree_.node(tree_.ParentRow(row) != 0 ? tree_.ParentRow(row) : 1), row);
  }

  void OnExpand(bool expand) {
    const int row = ToNumber(window_.GetProperty(kList, property::kListEventRow));
    if (row < 1 || row > tree_.rows()) return;
    const int error = expand ? tree_.Expand(row) : tree_.Contract(row);
    if (error != 0) return RecordLost(row);
    ui::DISPLAY();
  }

  void PopupMenu() {
    const bool root = tree_.level(Highlighted()) == TreeLevel::Root;
    const int choice = ui::POPUP(root ? "&Insert|~&Change|~&Delete" : "&Insert|&Change|&Delete");
    const int buttons[] = {kInsert, kChange, kDelete};
    if (choice >= 1 && choice <= 3) ui::POST(Event::Accepted, buttons[choice - 1]);
  }

  void OnButton(int control) {
    if (control == kClose) {
      request_.set_response(Response::Cancelled);
      ui::POST(Event::CloseWindow);
      return;
    }
    if (control != kInsert && control != kChange && control != kDelete) return;
    const int row = Highlighted();
    const TreeLevel level = tree_.level(row);
    if (control == kInsert) return Insert(row, level);
    if (level == TreeLevel::Root) return;  // the root has no record to change or delete
    if (tree_.Reget(row) != 0) return RecordLost(row);
    const TreeNode changed = tree_.node(row);  // its position stays when its keys change
    const TreeNode parent = tree_.node(tree_.ParentRow(row));
    CallForm(level, control == kChange ? Request::Change : Request::Delete);
    if (GlobalResponse() != Response::Completed) return;
    if (control == kChange) {
      Reload(changed, row);
      return;
    }
    // After a delete the row now in the deleted row's place, when it is a
    // sibling of it; else the parent.
    Reload(parent, 1);
    const int parent_row = tree_.RowOf(parent);
    const bool sibling = row <= tree_.rows() && tree_.level(row) == level && tree_.ParentRow(row) == parent_row;
    Highlight(sibling ? row : std::max(parent_row, 1));
    ui::DISPLAY();
  }

  // A new record under the highlighted row: a manufacturer under the root,
  // a set under a manufacturer, a card in a set (a card row's set is the
  // set row above it). The parent row is read again and stays expanded.
  void Insert(int row, TreeLevel level) {
    TreeLevel made = TreeLevel::Manufacturer;
    int parent_row = 1;
    if (level == TreeLevel::Root) {
      ClearForInsert(makers_.file());
    } else if (level == TreeLevel::Manufacturer) {
      parent_row = row;
      if (tree_.Reget(parent_row) != 0) return RecordLost(parent_row);
      const std::string manufacturer = makers_.file().text("MAN:MANUFACTURER");
      ClearForInsert(sets_.file());
      sets_.file().set_text("CAR:MANUFACTURER", manufacturer);
      made = TreeLevel::CardSet;
    } else {
      parent_row = level == TreeLevel::CardSet ? row : tree_.ParentRow(row);
      if (tree_.Reget(parent_row) != 0) return RecordLost(parent_row);
      const std::int32_t set = sets_.file().number("CAR:SET_NO");
      ClearForInsert(cards_.file());
      cards_.file().set_number("SET:SET_NO", set);
      made = TreeLevel::Card;
    }
    const TreeNode parent = tree_.node(parent_row);
    CallForm(made, Request::Insert);
    if (GlobalResponse() != Response::Completed) return;
    tree_.Remember(parent);
    Reload({made, driver::Position(CollectionTree::FileOf(made).file())}, row);
  }

  ProcedureRequest request_;
  DataFileUse makers_;
  DataFileUse sets_;
  DataFileUse cards_;
  CollectionTree tree_;
  ui::Window window_;
};

}  // namespace

void TREEBROWSE() {
  TreeRun run;
  run.Run();
}

}  // namespace zephcol
