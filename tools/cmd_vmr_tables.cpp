// tavero vmr tables FILE: the names of the tables of a file, one a line, in
// name order.
#include <cstdio>

#include "locale/locale.h"
#include "tools/cmd_vmr.h"
#include "tools/vmr_store.h"
#include "tools/vmr_stored_table.h"

namespace tavero::tool {

int RunVmrTables(std::span<const std::string_view> args) {
  if (int rc = VmrHelp(args,
                       "usage: tavero vmr tables FILE\n"
                       "Prints the names of the tables of a VMR file, one a line, in name order.\n");
      rc >= 0) {
    return rc;
  }
  const VmrTarget target = ParseVmrTarget(args[0]);
  OpenVmrFile open;
  if (int rc = OpenForReading(target.os_file, open)) return VmrFailure("tables", target.os_file, rc);
  std::vector<std::string> names;
  if (int rc = ListTableNames(*open.store, names)) return VmrFailure("tables", target.os_file, rc);
  for (const std::string& name : names) std::printf("%s\n", AnsiToUtf8(name).c_str());
  return 0;
}

}  // namespace tavero::tool
