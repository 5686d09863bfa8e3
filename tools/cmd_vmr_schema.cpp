// tavero vmr schema FILE[\!TABLE]: the fields, keys and memos of tables as
// their stored definitions give them.
#include <cstdio>
#include <string>

#include "locale/locale.h"
#include "tools/cmd_vmr.h"
#include "tools/vmr_field_text.h"
#include "tools/vmr_store.h"
#include "tools/vmr_stored_table.h"

namespace tavero::tool {
namespace {

void PrintSchema(const StoredTable& table) {
  const vmr::TableDefinition& d = table.definition;
  std::printf("table %s: record length %u, version %u, %zu fields, %zu keys, %zu memos\n",
              AnsiToUtf8(table.name).c_str(), d.record_length, d.version(), d.fields.size(), d.keys.size(),
              d.blobs.size());
  for (std::size_t i = 0; i < d.fields.size(); ++i) {
    const vmr::FieldDefinition& f = d.fields[i];
    std::string extra;
    if (f.type == vmr::field_type::packed || f.type == vmr::field_type::packed2) {
      extra += " places " + std::to_string(f.places);
    }
    if (vmr::is_text_type(f.type)) extra += " length " + std::to_string(f.declared_length);
    if (f.element_count > 1) extra += " elements " + std::to_string(f.element_count);
    if (f.overlaid) extra += " overlaid";
    std::printf("  field %zu %s %s offset %u size %u%s\n", i + 1, AnsiToUtf8(f.name).c_str(),
                TypeName(f.type).c_str(), f.offset, f.size, extra.c_str());
  }
  for (const vmr::KeyDefinition& k : d.keys) {
    std::string components;
    for (const vmr::KeyComponent& c : k.components) {
      components += components.empty() ? " " : ", ";
      if (c.descending) components += "-";
      components += c.field < d.fields.size() ? AnsiToUtf8(d.fields[c.field].name) : "?";
    }
    std::printf("  key %s attributes 0x%02X %s%s%s%s:%s\n", AnsiToUtf8(k.name).c_str(), k.attributes,
                k.allows_duplicates() ? "duplicates" : "unique", k.excludes_blank() ? ", blanks left out" : "",
                k.ignores_case() ? ", case ignored" : "",
                k.is_dynamic() ? ", dynamic index" : (k.is_index() ? ", index" : ""),
                components.empty() ? " (none)" : components.c_str());
  }
  for (const vmr::BlobDefinition& b : d.blobs) {
    std::printf("  %s %s size %u\n", b.is_blob() ? "blob" : "memo", AnsiToUtf8(b.name).c_str(), b.declared_size);
  }
}

}  // namespace

int RunVmrSchema(std::span<const std::string_view> args) {
  if (int rc = VmrHelp(args,
                       "usage: tavero vmr schema FILE[\\!TABLE]\n"
                       "Prints the fields (name, type, offset, size, places or length), the keys\n"
                       "(name, attributes, components; '-' marks a descending one) and the memos\n"
                       "of one table or of every table of the file, from the definitions the file\n"
                       "stores.\n");
      rc >= 0) {
    return rc;
  }
  const VmrTarget target = ParseVmrTarget(args[0]);
  OpenVmrFile open;
  if (int rc = OpenForReading(target.os_file, open)) return VmrFailure("schema", target.os_file, rc);
  std::vector<StoredTable> tables;
  if (int rc = ReadStoredTables(*open.store, target.table, tables)) {
    return VmrFailure("schema", std::string(args[0]), rc);
  }
  for (const StoredTable& table : tables) PrintSchema(table);
  return 0;
}

}  // namespace tavero::tool
