// tavero vmr tables FILE: the names of the tables of a file, one a line, in
// name order, as the driver's SEND "PNM=" gives them.
#include <cstdio>

#include "locale/locale.h"
#include "storage/vmr/record_kinds.h"
#include "storage/vmr/vmr.h"
#include "tools/cmd_vmr.h"
#include "tools/vmr_declared_table.h"
#include "tools/vmr_store.h"
#include "tools/vmr_stored_table.h"

namespace tavero::tool {
namespace {

// The first table of the file by the record layer: SEND needs an open
// table, and a table opens only with its declaration. Empty name: none.
int FirstTable(const std::string& os_file, StoredTable& table) {
  OpenVmrFile open;
  if (int rc = OpenForReading(os_file, open)) return rc;
  std::optional<vmr::StoredRecord> found;
  const std::string prefix(1, static_cast<char>(vmr::record_kind::table_name));
  if (int rc = open.store->first_not_below(prefix, found)) return rc;
  if (!found || found->key.empty() || found->key[0] != prefix[0]) return 0;
  return ReadStoredTable(*open.store, found->key.substr(1), table);
}

}  // namespace

int RunVmrTables(std::span<const std::string_view> args) {
  if (int rc = VmrHelp(args,
                       "usage: tavero vmr tables FILE\n"
                       "Prints the names of the tables of a VMR file, one a line, in name order.\n");
      rc >= 0) {
    return rc;
  }
  const VmrTarget target = ParseVmrTarget(args[0]);
  StoredTable first;
  if (int rc = FirstTable(target.os_file, first)) return VmrFailure("tables", target.os_file, rc);
  if (first.name.empty()) return 0;
  DeclaredTable declared(vmr::Driver(), target.os_file, first);
  if (int rc = declared.declaration_error()) return VmrFailure("tables", target.os_file + "\\!" + first.name, rc);
  constexpr std::uint32_t kReadOnlyDenyNone = 0x40;
  if (int rc = driver::Open(declared.file(), kReadOnlyDenyNone)) return VmrFailure("tables", target.os_file, rc);
  // Each answer is the first name not below the text given; a 0 byte after
  // a name asks for the one after it.
  std::string from;
  for (;;) {
    const std::string name = driver::Send(declared.file(), "PNM=" + from);
    if (name.empty()) break;
    std::printf("%s\n", AnsiToUtf8(name).c_str());
    from = name + '\0';
  }
  driver::Close(declared.file());
  return 0;
}

}  // namespace tavero::tool
