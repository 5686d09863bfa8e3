// A browse or select procedure: a page browse (app/page_browse.h) in its
// window, with the window's events, its buttons and the calls of the update
// form. Each procedure of the program is a BrowseProcedure declaration run
// by RunPageBrowse.
//
// The window's controls, by number: the list, the sheet whose tabs choose
// the sort order, the Insert, Change and Delete buttons (browses), the
// Select button (selects), Close, and buttons that call other procedures.
// A number of 0 means the window has no such control.
#pragma once

#include <span>
#include <string_view>

#include "app/global_request.h"
#include "app/page_browse.h"

namespace zephcol {

// A button that calls another procedure directly on this thread.
struct CallButton {
  int control;
  void (*procedure)();
  Request request = Request::None;  // GlobalRequest for the call (Select for a lookup)
  // The call works on the highlighted record (the cards of this set): it is
  // reloaded first, and a failed reload calls nothing.
  bool uses_highlighted = false;
};

struct BrowseProcedure {
  std::string_view module;     // "ZEPHCOL$zephc002"
  std::string_view procedure;  // "BROWSECARDSET$QUICKWINDOW"
  const PageBrowseDeclaration& page;
  // The files the procedure counts (opened through the open counts while it
  // runs), the browsed one among them.
  std::span<DataFile& (*const)()> counted_files;
  int list = 1;
  int sheet = 0;
  int insert = 0;
  int change = 0;
  int remove = 0;
  int select = 0;
  int close = 0;
  void (*update_form)() = nullptr;  // Insert, Change and Delete call it
  std::span<const CallButton> calls = {};
};

// The two window layouts the procedures share. A browse: the list 1,
// "&Insert" 2, "&Change" 3, "&Delete" 4, the sheet 5 and "Close" `close`,
// its update form and its calling buttons.
constexpr BrowseProcedure BrowseWindow(std::string_view module, std::string_view procedure,
                                       const PageBrowseDeclaration& page,
                                       std::span<DataFile& (*const)()> counted_files, void (*update_form)(),
                                       std::span<const CallButton> calls = {}, int close = 7) {
  return {.module = module,
          .procedure = procedure,
          .page = page,
          .counted_files = counted_files,
          .sheet = 5,
          .insert = 2,
          .change = 3,
          .remove = 4,
          .close = close,
          .update_form = update_form,
          .calls = calls};
}
// A select: the list 1, "&Select" 2, the sheet 3 and "Close" 4.
constexpr BrowseProcedure SelectWindow(std::string_view module, std::string_view procedure,
                                       const PageBrowseDeclaration& page,
                                       std::span<DataFile& (*const)()> counted_files) {
  return {.module = module, .procedure = procedure, .page = page, .counted_files = counted_files, .sheet = 3,
          .select = 2, .close = 4};
}

// Runs the procedure until its window closes: takes GlobalRequest on entry
// and leaves GlobalResponse (1 when a select chose a record).
void RunPageBrowse(const BrowseProcedure& procedure);

}  // namespace zephcol
