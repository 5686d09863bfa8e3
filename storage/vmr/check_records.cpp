#include "storage/vmr/check_records.h"

#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "storage/vmr/key_encoding.h"
#include "storage/vmr/memo_segments.h"
#include "storage/vmr/record_kinds.h"
#include "storage/vmr/table_definition.h"

namespace tavero::vmr {

void ProblemList::Add(const std::string& group, std::string line) {
  Group& g = groups_[group];
  if (g.shown < kLinesPerGroup) {
    ++g.shown;
    lines_.push_back(std::move(line));
  } else {
    ++g.hidden;
  }
}

void ProblemList::Finish() {
  for (auto& [name, group] : groups_) {
    if (group.hidden == 0) continue;
    lines_.push_back(name + ": ... and " + std::to_string(group.hidden) + " more like the above");
    group.hidden = 0;
  }
}

std::string Printable(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

namespace {

namespace kind = record_kind;

std::uint16_t ReadU16BigEndian(std::string_view bytes) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]));
}

// The records of one table, sorted by kind as the tree orders them.
struct TableRecords {
  TableNumber number = 0;
  std::string name;
  std::map<std::uint8_t, std::vector<const Record*>> key_entries;  // by key number
  std::vector<const Record*> data;
  std::vector<const Record*> status;
  std::vector<const Record*> definition;
  std::vector<const Record*> segments;
};

class TableCheck {
 public:
  TableCheck(const TableRecords& table, ProblemList& problems)
      : table_(table), problems_(problems), where_("table " + table.name) {}

  void Run() {
    if (!ReadDefinition()) return;
    CheckData();
    CheckStatus();
    for (std::size_t k = 0; k < definition_.keys.size() && k < max_keys; ++k) CheckKey(k);
    for (const auto& [number, entries] : table_.key_entries) {
      if (number >= definition_.keys.size()) {
        problems_.Add(where_ + ": " + std::to_string(entries.size()) + " entries of key number " +
                      std::to_string(number) + ", which the definition does not declare");
      }
    }
    CheckSegments();
  }

 private:
  // A problem line that may repeat; `group` names its kind within the table.
  void Problem(const std::string& group, std::string line) { problems_.Add(where_ + group, std::move(line)); }

  bool ReadDefinition() {
    if (table_.definition.empty()) {
      problems_.Add(where_ + ": has no definition records");
      return false;
    }
    std::string stream;
    for (std::size_t i = 0; i < table_.definition.size(); ++i) {
      const Record& r = *table_.definition[i];
      if (r.key().size() != 7 || ReadU16BigEndian(r.key().substr(5)) != i) {
        problems_.Add(where_ + ": definition chunk " + std::to_string(i) + " is missing or misnumbered");
        return false;
      }
      const bool last = i + 1 == table_.definition.size();
      if (r.data().size() > definition_chunk_size || (!last && r.data().size() != definition_chunk_size)) {
        problems_.Add(where_ + ": definition chunk " + std::to_string(i) + " has " +
                      std::to_string(r.data().size()) + " bytes");
        return false;
      }
      stream.append(r.data());
    }
    std::optional<TableDefinition> definition = decode_table_definition(stream);
    if (!definition) {
      problems_.Add(where_ + ": its definition does not decode");
      return false;
    }
    definition_ = std::move(*definition);
    return true;
  }

  void CheckData() {
    for (const Record* r : table_.data) {
      if (r->key().size() != 9) {
        Problem(" data", where_ + ": data record " + Printable(r->key()) + " has a malformed key part");
        continue;
      }
      const RecordNumber number = read_u32_big_endian(r->key().substr(5));
      const auto part = split_data_part(r->data(), definition_.record_length, definition_.blobs.size());
      if (!part) {
        Problem(" data", where_ + ": record " + std::to_string(number) + " holds " +
                             std::to_string(r->data().size()) + " bytes, the record length is " +
                             std::to_string(definition_.record_length));
        continue;
      }
      images_.emplace(number, part->image);
      if (!part->marks.empty()) marks_.emplace(number, *part);
    }
  }

  void CheckStatus() {
    for (const Record* r : table_.status) {
      if (r->key().size() != 6 || !decode_status(r->data())) {
        problems_.Add(where_ + ": status record " + Printable(r->key()) + " is malformed");
        continue;
      }
      const std::uint8_t index = static_cast<std::uint8_t>(r->key()[5]);
      const StatusCounters counters = *decode_status(r->data());
      if (index == kind::data) {
        table_status_ = counters;
      } else if (index < definition_.keys.size()) {
        key_status_[index] = counters;
      } else {
        problems_.Add(where_ + ": status record for key number " + std::to_string(index) +
                      ", which the definition does not declare");
      }
    }
    if (!table_status_) {
      problems_.Add(where_ + ": has no status record");
    } else if (table_status_->count != table_.data.size()) {
      problems_.Add(where_ + ": status counts " + std::to_string(table_status_->count) + " records, the table holds " +
                    std::to_string(table_.data.size()));
    }
  }

  // Every key holds exactly the entries its data records make.
  void CheckKey(std::size_t k) {
    const KeyDefinition& key = definition_.keys[k];
    const std::string where = where_ + " key " + key.name;
    const auto found = table_.key_entries.find(static_cast<std::uint8_t>(k));
    static const std::vector<const Record*> kNone;
    const std::vector<const Record*>& entries = found == table_.key_entries.end() ? kNone : found->second;
    if (key.is_dynamic()) {
      // A dynamic index keeps its entries and status in a file of its own.
      if (!entries.empty()) problems_.Add(where + ": dynamic index has entries in the table's file");
      return;
    }
    const auto status = key_status_.find(k);
    RecordNumber deferred_from = 0;
    if (status == key_status_.end()) {
      problems_.Add(where + ": has no status record");
    } else {
      if (status->second.count != entries.size()) {
        problems_.Add(where + ": status counts " + std::to_string(status->second.count) + " entries, the key holds " +
                      std::to_string(entries.size()));
      }
      deferred_from = status->second.second;
    }
    const auto deferred = [&](RecordNumber record) { return deferred_from != 0 && record >= deferred_from; };

    // The entries the data records make: key part -> (data part, record).
    std::map<std::string, std::pair<std::string, RecordNumber>> expected;
    for (const auto& [record, image] : images_) {
      if (deferred(record)) continue;
      const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(image.data()), image.size());
      if (key.excludes_blank() && key_value_is_blank(definition_, key, bytes)) continue;
      const std::string value = encode_key_value(definition_, key, bytes, {});
      std::string data;
      std::optional<RecordNumber> in_key;
      if (key.allows_duplicates()) {
        in_key = record;
      } else {
        append_u32_big_endian(data, record);
      }
      std::string part = key_entry_key(table_.number, static_cast<std::uint8_t>(k), value, in_key);
      auto [at, inserted] = expected.emplace(std::move(part), std::make_pair(std::move(data), record));
      if (!inserted) {
        Problem(" key " + key.name + " duplicates",
                where + ": records " + std::to_string(at->second.second) + " and " + std::to_string(record) +
                    " share one value of this unique key");
      }
    }
    std::set<std::string_view> seen;
    for (const Record* entry : entries) {
      const std::string whole(entry->bytes());
      const RecordNumber record = whole.size() >= 9 ? read_u32_big_endian(std::string_view(whole).substr(whole.size() - 4)) : 0;
      const auto match = expected.find(std::string(entry->key()));
      if (match != expected.end() && match->second.first == entry->data()) {
        seen.insert(match->first);
        continue;
      }
      if (deferred(record)) continue;
      Problem(" key " + key.name + " stray",
              where + ": entry " + Printable(entry->key()) + " for record " + std::to_string(record) +
                  (images_.count(record) ? " does not match that record" : ", which does not exist"));
    }
    for (const auto& [part, wanted] : expected) {
      if (seen.count(part) == 0) {
        Problem(" key " + key.name + " missing",
                where + ": no entry for record " + std::to_string(wanted.second));
      }
    }
  }

  // Memo and blob segments: numbered from 0, full but for the last, of a
  // record that exists and a blob the definition declares.
  void CheckSegments() {
    std::vector<std::string> contents;
    auto finish = [&](RecordNumber record, std::size_t blob) {
      if (contents.empty() || blob >= definition_.blobs.size()) return;
      const BlobDefinition& b = definition_.blobs[blob];
      if (b.is_blob()) {
        std::string joined;
        std::size_t stored = 0;
        for (const auto& c : contents) stored += c.size();
        if (!join_blob_segments(contents, joined) || joined.size() + blob_length_prefix != stored) {
          Problem(" segments", where_ + ": blob " + b.name + " of record " + std::to_string(record) +
                                   ": its stored length does not match its segments");
        }
      } else {
        std::size_t length = 0;
        for (const auto& c : contents) length += c.size();
        if (length > b.declared_size) {
          Problem(" segments", where_ + ": memo " + b.name + " of record " + std::to_string(record) + " holds " +
                                   std::to_string(length) + " bytes, more than its " +
                                   std::to_string(b.declared_size));
        }
      }
      contents.clear();
    };
    std::optional<std::pair<RecordNumber, std::size_t>> current;
    for (const Record* r : table_.segments) {
      if (r->key().size() != 12) {
        Problem(" segments", where_ + ": segment record " + Printable(r->key()) + " has a malformed key part");
        continue;
      }
      const RecordNumber record = read_u32_big_endian(r->key().substr(5));
      const std::size_t blob = static_cast<unsigned char>(r->key()[9]);
      const std::uint16_t segment = ReadU16BigEndian(r->key().substr(10));
      if (!current || current->first != record || current->second != blob) {
        if (current) finish(current->first, current->second);
        current.emplace(record, blob);
        if (images_.count(record) == 0) {
          Problem(" segments", where_ + ": memo segments of record " + std::to_string(record) +
                                   ", which does not exist");
        }
        if (blob >= definition_.blobs.size()) {
          Problem(" segments", where_ + ": segments of blob number " + std::to_string(blob + 1) +
                                   ", which the definition does not declare");
        }
      }
      if (segment != contents.size()) {
        Problem(" segments", where_ + Format(": segment %u of record %u blob %zu follows segment %zu", segment,
                                             record, blob + 1, contents.size()));
      }
      const bool is_blob = blob < definition_.blobs.size() && definition_.blobs[blob].is_blob();
      const std::size_t full = segment_content_size + (is_blob && segment == 0 ? blob_length_prefix : 0);
      if (r->data().empty() || r->data().size() > full) {
        Problem(" segments", where_ + Format(": segment %u of record %u blob %zu holds %zu bytes", segment, record,
                                             blob + 1, r->data().size()));
      }
      // Only the last segment of a memo or blob may be short.
      if (!contents.empty() && contents.back().size() < segment_content_size + (contents.size() == 1 && is_blob ? 4 : 0)) {
        Problem(" segments", where_ + Format(": segment %zu of record %u blob %zu is short but not the last",
                                             contents.size() - 1, record, blob + 1));
      }
      contents.emplace_back(r->data());
    }
    if (current) finish(current->first, current->second);
    CheckMarks();
  }

  // A data record's segment marks name exactly the memos and blobs that
  // have segments: a reader believes them and does not look.
  void CheckMarks() {
    std::set<std::pair<RecordNumber, std::size_t>> stored;
    for (const Record* r : table_.segments) {
      if (r->key().size() == 12) {
        stored.emplace(read_u32_big_endian(r->key().substr(5)), static_cast<unsigned char>(r->key()[9]));
      }
    }
    for (const auto& [record, part] : marks_) {
      for (std::size_t blob = 0; blob < part.marks.size() * 8; ++blob) {
        const bool marked = part.may_have_segments(blob);
        if (blob >= definition_.blobs.size()) {
          if (marked) {
            Problem(" marks", where_ + Format(": record %u marks blob number %zu, which the definition does not declare",
                                              record, blob + 1));
          }
          continue;
        }
        if (marked == (stored.count({record, blob}) != 0)) continue;
        Problem(" marks", where_ + ": record " + std::to_string(record) + " marks " + definition_.blobs[blob].name +
                              (marked ? " as stored, but it has no segments" : " as empty, but it has segments"));
      }
    }
  }

  static std::string Format(const char* format, auto... values) {
    char line[200];
    std::snprintf(line, sizeof line, format, values...);
    return line;
  }

  const TableRecords& table_;
  ProblemList& problems_;
  std::string where_;
  TableDefinition definition_;
  std::map<RecordNumber, std::string_view> images_;
  std::map<RecordNumber, DataPart> marks_;  // of the records that carry segment marks
  std::optional<StatusCounters> table_status_;
  std::map<std::size_t, StatusCounters> key_status_;
};

}  // namespace

std::size_t CheckTableRecords(std::span<const Record> records, ProblemList& problems) {
  std::map<TableNumber, TableRecords> tables;
  std::map<TableNumber, std::size_t> unnamed;  // record counts of unnamed table numbers
  std::size_t names = 0;
  // Table-name records sort after every table's records; read them first.
  for (const Record& r : records) {
    const std::string_view key = r.key();
    if (key.empty() || static_cast<unsigned char>(key[0]) != kind::table_name) continue;
    ++names;
    const std::string name(key.substr(1));
    if (r.data().size() != 4) {
      problems.Add("table " + Printable(name) + ": its name record does not hold a table number");
      continue;
    }
    const TableNumber number = read_u32_big_endian(r.data());
    auto [at, inserted] = tables.try_emplace(number);
    if (!inserted) {
      problems.Add("tables " + Printable(at->second.name) + " and " + Printable(name) + " share table number " +
                   std::to_string(number));
      continue;
    }
    at->second.number = number;
    at->second.name = Printable(name);
  }
  // Without tables the file may be a transaction control file.
  const auto control_record = [names](std::string_view key) {
    return names == 0 && (key.size() == 4 || key == std::string_view("\xFF" "LAST", 5));
  };
  for (const Record& r : records) {
    const std::string_view key = r.key();
    if (control_record(key)) continue;
    if (!key.empty() && static_cast<unsigned char>(key[0]) >= kind::table_name) {
      if (static_cast<unsigned char>(key[0]) == kind::marker && key.size() != 1) {
        problems.Add("record " + Printable(key) + " is of no known kind");
      }
      continue;
    }
    if (key.size() < 5) {
      problems.Add("record " + Printable(key) + " is too short for any kind");
      continue;
    }
    const TableNumber number = read_u32_big_endian(key);
    const auto table = tables.find(number);
    if (table == tables.end()) {
      ++unnamed[number];
      continue;
    }
    TableRecords& t = table->second;
    const std::uint8_t k = static_cast<std::uint8_t>(key[4]);
    if (k < max_keys) {
      t.key_entries[k].push_back(&r);
    } else if (k == kind::data) {
      t.data.push_back(&r);
    } else if (k == kind::status) {
      t.status.push_back(&r);
    } else if (k == kind::definition) {
      t.definition.push_back(&r);
    } else if (k == kind::segment) {
      t.segments.push_back(&r);
    } else {
      problems.Add("table " + t.name + ": record " + Printable(key) + " is of no known kind");
    }
  }
  for (const auto& [number, count] : unnamed) {
    problems.Add(std::to_string(count) + " records of table number " + std::to_string(number) +
                 ", which no table name names");
  }
  for (const auto& [number, table] : tables) TableCheck(table, problems).Run();
  return names;
}

}  // namespace tavero::vmr
