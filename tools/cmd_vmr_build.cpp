// tavero vmr build FILE[\!TABLE]: makes every key again from the records.
#include <cstdio>

#include "locale/locale.h"
#include "tools/cmd_vmr.h"
#include "tools/vmr_rebuild.h"
#include "tools/vmr_store.h"

namespace tavero::tool {

int RunVmrBuild(std::span<const std::string_view> args) {
  if (int rc = VmrHelp(args,
                       "usage: tavero vmr build FILE[\\!TABLE]\n"
                       "Makes every key of the table, or of every table, again from its data\n"
                       "records and sets each status count to what the file holds. Dynamic\n"
                       "indexes, kept in files of their own, are left alone. Needs the file to\n"
                       "itself.\n");
      rc >= 0) {
    return rc;
  }
  const VmrTarget target = ParseVmrTarget(args[0]);
  OpenVmrFile open;
  if (int rc = OpenForWriting(target.os_file, false, open)) return VmrFailure("build", target.os_file, rc);
  std::vector<StoredTable> tables;
  if (int rc = ReadStoredTables(*open.store, target.table, tables)) {
    return VmrFailure("build", std::string(args[0]), rc);
  }
  for (const StoredTable& table : tables) {
    std::uint32_t records = 0;
    if (int rc = RebuildKeys(*open.store, table, records)) return VmrFailure("build", AnsiToUtf8(table.name), rc);
    std::printf("%s: %zu keys built over %u records\n", AnsiToUtf8(table.name).c_str(), table.definition.keys.size(),
                records);
  }
  return 0;
}

}  // namespace tavero::tool
