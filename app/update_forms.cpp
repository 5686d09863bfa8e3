#include <array>
#include <atomic>

#include "app/global_request.h"
#include "app/update_forms.h"

namespace zephcol {
namespace {

// The installed forms, by FormFile. Process-wide: set at start, read by the
// browses of every thread.
std::array<std::atomic<UpdateForm>, 4> installed{};

void Call(FormFile file) {
  if (const UpdateForm form = installed[static_cast<std::size_t>(file)].load()) return form();
  ProcedureRequest request;  // taken and answered "cancelled"
}

}  // namespace

void InstallUpdateForm(FormFile file, UpdateForm form) { installed[static_cast<std::size_t>(file)].store(form); }

void UpdateCARDSET() { Call(FormFile::Cardset); }
void UpdateMANUFACTURER() { Call(FormFile::Manufacturer); }
void UpdateTYPES() { Call(FormFile::Types); }
void UpdateSETINFORMATION() { Call(FormFile::SetInformation); }

}  // namespace zephcol
