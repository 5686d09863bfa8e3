#include "app/program.h"

#include "app/index_filters.h"
#include "app/main_frame.h"
#include "app/update_forms_declared.h"
#include "app/window_blocks.h"
#include "locale/locale.h"
#include "runtime/startup.h"
#include "ui/definitions/definitions.h"
#include "ui/engine.h"

namespace zephcol {

int RunProgram(tavero::ui::Platform& platform) {
  tavero::RunModuleInitialisers();
  // A missing environment file is no fault: the settings keep their defaults.
  (void)tavero::LoadLocale();
  tavero::definitions::RegisterBlocks(WindowDefinitionBlocks());
  InstallIndexFilters(tavero::vmr::Driver());
  InstallUpdateForms();
  tavero::ui::Engine engine(platform);
  engine.RunMain(Main);
  return 0;
}

}  // namespace zephcol
