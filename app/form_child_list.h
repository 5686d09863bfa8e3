// The child records of a form's record (the cards of a set, the sets of a
// manufacturer or type) as a page browse on a tab of the form's window, with
// its Insert, Change and Delete buttons calling the child's own form.
//
// The page's range and filter read the parent's values from the parent
// file's record buffer: the form puts its working copy there (`load_parent`)
// before every rebuild, since a nested form may have read other records of
// that file meanwhile.
#pragma once

#include <functional>
#include <memory>

#include "app/global_request.h"
#include "app/page_browse.h"
#include "app/update_form.h"
#include "ui/engine.h"

namespace zephcol {

class FormChildList {
 public:
  FormChildList(const ChildListDeclaration& declaration, tavero::ui::Window& window,
                std::function<void()> load_parent);
  ~FormChildList();
  FormChildList(const FormChildList&) = delete;
  FormChildList& operator=(const FormChildList&) = delete;

  // After the window opened: the page shown in the list, its alert keys.
  void Open();
  // Shows the page, rebuilt first when the parent's values changed, on the
  // first call, and when `reread` (another window may have changed the
  // file).
  void Refresh(bool reread = false);
  // Whether `control` is the list or one of its buttons.
  bool Owns(int control) const;
  // An event of the list or one of its buttons.
  void OnEvent(tavero::ui::Event event, int control);

 private:
  int VisibleRows();
  void Show();
  void AfterMove();
  void OnKey(int key_code);
  bool ReloadHighlighted();
  void CallForm(Request request);

  const ChildListDeclaration& declaration_;
  tavero::ui::Window& window_;
  std::function<void()> load_parent_;
  std::unique_ptr<BrowsePage> page_;
};

}  // namespace zephcol
