// tavero vmr dump FILE[\!TABLE] [--key NAME] [--format csv|json]
#include <iostream>
#include <string>

#include "tools/cmd_vmr.h"
#include "tools/commands.h"
#include "tools/vmr_dump.h"
#include "tools/vmr_store.h"

namespace tavero::tool {

int RunVmrDump(std::span<const std::string_view> args) {
  if (int rc = VmrHelp(args,
                       "usage: tavero vmr dump FILE[\\!TABLE] [--key NAME] [--format csv|json]\n"
                       "Prints every record of one table, or of every table, with its memos, in\n"
                       "record order or in the order of the key NAME, decoded by the stored\n"
                       "definition. Text leaves as UTF-8 without trailing blanks; PACKED values\n"
                       "keep exactly their places.\n"
                       "  --format json  (the default) {\"tables\":[{\"name\":...,\"records\":[{\"recno\":N,\n"
                       "                 \"fields\":{...},\"memos\":{...}}]}]}\n"
                       "  --format csv   one table, RFC 4180, a header row of the column names\n");
      rc >= 0) {
    return rc;
  }
  DumpOptions options;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--key" && i + 1 < args.size()) {
      options.key = std::string(args[++i]);
    } else if (args[i] == "--format" && i + 1 < args.size()) {
      const std::string_view format = args[++i];
      if (format == "csv") {
        options.format = DumpFormat::kCsv;
      } else if (format == "json") {
        options.format = DumpFormat::kJson;
      } else {
        return UsageError("vmr dump", "--format is csv or json");
      }
    } else {
      return UsageError("vmr dump", "unknown argument '" + std::string(args[i]) + "'");
    }
  }
  const VmrTarget target = ParseVmrTarget(args[0]);
  OpenVmrFile open;
  if (int rc = OpenForReading(target.os_file, open)) return VmrFailure("dump", target.os_file, rc);
  std::vector<StoredTable> tables;
  if (int rc = ReadStoredTables(*open.store, target.table, tables)) {
    return VmrFailure("dump", std::string(args[0]), rc);
  }
  std::string message;
  const int rc = DumpTables(*open.store, tables, options, std::cout, message);
  std::cout.flush();
  if (rc != 0) return VmrFailure("dump", std::string(args[0]), rc, message);
  return 0;
}

}  // namespace tavero::tool
