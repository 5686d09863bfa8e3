#include "tools/vmr_dump.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "runtime/error_codes.h"
#include "storage/vmr/memo_segments.h"
#include "tools/vmr_field_text.h"

namespace tavero::tool {
namespace {

// The memos and blobs of one record, as UTF-8 text by blob index.
int ReadMemos(vmr::RecordStore& store, const StoredTable& table, vmr::RecordNumber record,
              std::vector<std::string>& memos) {
  const auto& blobs = table.definition.blobs;
  std::vector<std::vector<std::string>> segments(blobs.size());
  if (int rc = vmr::for_each_with_prefix(store, vmr::segment_prefix(table.number, record), [&](const vmr::StoredRecord& r) {
        const std::size_t blob = r.key.size() > 9 ? static_cast<unsigned char>(r.key[9]) : blobs.size();
        if (blob < blobs.size()) segments[blob].push_back(r.data);
        return 0;
      })) {
    return rc;
  }
  memos.assign(blobs.size(), {});
  for (std::size_t b = 0; b < blobs.size(); ++b) {
    if (blobs[b].is_blob()) {
      std::string content;
      if (!segments[b].empty()) vmr::join_blob_segments(segments[b], content);
      memos[b] = MemoText(content);
    } else {
      memos[b] = MemoText(vmr::join_memo_segments(segments[b], blobs[b].declared_size));
    }
  }
  return 0;
}

class Writer {
 public:
  Writer(std::ostream& out, DumpFormat format) : out_(out), format_(format) {}

  void BeginTables() {
    if (format_ == DumpFormat::kJson) out_ << "{\"tables\":[";
  }
  void EndTables() {
    if (format_ == DumpFormat::kJson) out_ << "\n]}\n";
  }

  void BeginTable(const StoredTable& table, const std::vector<Column>& columns) {
    if (format_ == DumpFormat::kJson) {
      out_ << (tables_++ ? ",\n" : "\n") << "{\"name\":" << JsonString(table.name) << ",\"records\":[";
      records_ = 0;
      return;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) out_ << (i ? "," : "") << CsvField(columns[i].name);
    out_ << "\r\n";
  }
  void EndTable() {
    if (format_ == DumpFormat::kJson) out_ << (records_ ? "\n" : "") << "]}";
  }

  void Record(const StoredTable& table, const std::vector<Column>& columns, vmr::RecordNumber record,
              std::span<const std::uint8_t> image, const std::vector<std::string>& memos) {
    if (format_ == DumpFormat::kCsv) {
      for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        out_ << (i ? "," : "")
             << CsvField(c.memo ? memos[c.index]
                                : ReadFieldText(table.definition.fields[c.index], c.element, image).text);
      }
      out_ << "\r\n";
      return;
    }
    out_ << (records_++ ? ",\n" : "\n") << "{\"recno\":" << record << ",\"fields\":{";
    bool first = true;
    for (const Column& c : columns) {
      if (c.memo) continue;
      const FieldText value = ReadFieldText(table.definition.fields[c.index], c.element, image);
      out_ << (first ? "" : ",") << JsonString(c.name) << ":" << (value.number ? value.text : JsonString(value.text));
      first = false;
    }
    out_ << "},\"memos\":{";
    first = true;
    for (const Column& c : columns) {
      if (!c.memo) continue;
      out_ << (first ? "" : ",") << JsonString(c.name) << ":" << JsonString(memos[c.index]);
      first = false;
    }
    out_ << "}}";
  }

 private:
  std::ostream& out_;
  DumpFormat format_;
  std::size_t tables_ = 0;
  std::size_t records_ = 0;
};

}  // namespace

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

int ForEachDataRecord(vmr::RecordStore& store, const StoredTable& table, std::optional<std::size_t> key,
                      const RecordVisit& visit) {
  if (!key) {
    return vmr::for_each_with_prefix(store, vmr::kind_prefix(table.number, vmr::record_kind::data),
                             [&](const vmr::StoredRecord& r) {
                               if (r.key.size() != 9) return 0;
                               return visit(vmr::read_u32_big_endian(std::string_view(r.key).substr(5)), r.data);
                             });
  }
  // Key order: each entry names its record in its last four bytes; an
  // entry whose record has gone is passed over, as NEXT passes it over.
  return vmr::for_each_with_prefix(store, vmr::key_prefix(table.number, static_cast<std::uint8_t>(*key)),
                           [&](const vmr::StoredRecord& entry) {
                             const std::string whole = entry.key + entry.data;
                             if (whole.size() < 9) return 0;
                             const vmr::RecordNumber record =
                                 vmr::read_u32_big_endian(std::string_view(whole).substr(whole.size() - 4));
                             std::optional<vmr::StoredRecord> data;
                             if (int rc = store.find(vmr::data_key(table.number, record), data)) return rc;
                             return data ? visit(record, data->data) : 0;
                           });
}

int DumpTables(vmr::RecordStore& store, std::span<const StoredTable> tables, const DumpOptions& options,
               std::ostream& out, std::string& message) {
  if (options.format == DumpFormat::kCsv && tables.size() != 1) {
    message = "a CSV dump holds one table: name it as FILE\\!TABLE";
    return 2;
  }
  std::vector<std::optional<std::size_t>> keys;
  for (const StoredTable& table : tables) {
    std::optional<std::size_t> key;
    if (options.key) {
      key = table.FindKey(*options.key);
      if (!key) {
        message = "table " + table.name + " has no key " + *options.key;
        return 2;
      }
      if (table.definition.keys[*key].is_dynamic()) {
        message = "key " + *options.key + " is a dynamic index, kept outside the file";
        return 2;
      }
    }
    keys.push_back(key);
  }
  Writer writer(out, options.format);
  writer.BeginTables();
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const StoredTable& table = tables[t];
    const std::vector<Column> columns = ColumnsOf(table.definition);
    writer.BeginTable(table, columns);
    std::vector<std::uint8_t> image(table.definition.record_length);
    std::vector<std::string> memos;
    if (int rc = ForEachDataRecord(store, table, keys[t], [&](vmr::RecordNumber record, std::string_view data) {
          // A stored image of the wrong length is shown zero filled or cut.
          std::fill(image.begin(), image.end(), 0);
          std::copy_n(data.begin(), std::min(data.size(), image.size()), image.begin());
          if (int e = ReadMemos(store, table, record, memos)) return e;
          writer.Record(table, columns, record, image, memos);
          return 0;
        })) {
      return rc;
    }
    writer.EndTable();
  }
  writer.EndTables();
  return out ? 0 : 2;
}

}  // namespace tavero::tool
