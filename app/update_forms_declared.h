// The four update forms of the program, each a declaration over the update
// form (app/update_form.h) in a module of its own:
//   zephc013 the card set form, zephc014 the manufacturer form, zephc015 the
//   type form, zephc016 the card form.
// Each is called on its caller's thread with GlobalRequest 1, 2 or 3 and
// leaves GlobalResponse (app/update_form.h).
#pragma once

namespace zephcol {

void UpdateCARDSETForm();
void UpdateMANUFACTURERForm();
void UpdateTYPESForm();
void UpdateSETINFORMATIONForm();

// The selects the card set form's lookups open (SelectMANUFACTURER and
// SelectTYPES once the program installs them; none: a name not on file is
// reported without a list).
using SelectProcedure = void (*)();
void InstallLookupSelects(SelectProcedure manufacturers, SelectProcedure types);

// Installs the four forms as the ones the browses and the tree call
// (app/update_forms.h) and the program's selects for the lookups. Called at
// the program's start, before any procedure runs.
void InstallUpdateForms();

}  // namespace zephcol
