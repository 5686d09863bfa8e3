// The program's forms plugged into the calls of the browses and the tree,
// and the selects into the card set form's lookups.
#include "app/browse_procedures.h"
#include "app/update_forms.h"
#include "app/update_forms_declared.h"

namespace zephcol {

void InstallUpdateForms() {
  InstallUpdateForm(FormFile::Cardset, UpdateCARDSETForm);
  InstallUpdateForm(FormFile::Manufacturer, UpdateMANUFACTURERForm);
  InstallUpdateForm(FormFile::Types, UpdateTYPESForm);
  InstallUpdateForm(FormFile::SetInformation, UpdateSETINFORMATIONForm);
  InstallLookupSelects(SelectMANUFACTURER, SelectTYPES);
}

}  // namespace zephcol
