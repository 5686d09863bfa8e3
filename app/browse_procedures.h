// The browse and select procedures: each shows one file as a page browse
// (app/browse_procedure.h) in its own window.
//
// Browses, started from the frame's menu on threads of their own or called
// by another procedure on its thread; they take no parameters and set
// GlobalResponse on leaving. Selects are called with GlobalRequest 4 and
// leave the chosen record in their file's record buffer, with
// GlobalResponse 1 when one was chosen, 2 otherwise.
#pragma once

namespace zephcol {

void BrowseCARDSET();
void BrowseMANUFACTURER();
void BrowseTYPES();
void BrowseSETINFORMATION();
void BrowseSET_SET_KEY();        // `BrowseSET:SET_KEY`: the cards of CARDSET's current set
void BrowseCAR_MANUFACTURERS();  // `BrowseCAR:MANUFACTURERS`: the sets of MANUFACTURER's current maker
void BrowseCAR_TYPES();          // `BrowseCAR:TYPES`: the sets of TYPES' current type
void SelectTYPES();
void SelectMANUFACTURER();
void SelectCARDSET();

}  // namespace zephcol
