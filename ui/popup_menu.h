// The popup menu of POPUP: its description read into items.
//
// Grammar (a description that breaks it still gives a menu, never an error):
//   menu  -> entry { "|" entry }
//   entry -> ""                         skipped
//          | "-"                        a separator line
//          | ["~"] ["+" | "-"] text ["{" menu "}"]
// "~" greys the item, "+" checks it, "-" states it unchecked; text followed
// by "{" titles a submenu. Submenus nest at most kPopupDepthLimit deep: a
// "{" deeper than that is taken as text. A "}" with no submenu open is
// ignored; submenus still open at the end close there. Choosable items are
// numbered from 1 in the order they appear, across submenus; separators and
// submenu titles get no number.
#pragma once

#include <string_view>
#include <vector>

#include "ui/platform.h"

namespace tavero::ui {

inline constexpr int kPopupDepthLimit = 16;

std::vector<PopupItem> ParsePopup(std::string_view description);

// The item that answers `number`, nullptr when none does.
const PopupItem* NumberedItem(const std::vector<PopupItem>& items, int number);

}  // namespace tavero::ui
