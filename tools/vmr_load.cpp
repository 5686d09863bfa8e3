#include "tools/vmr_load.h"

#include <cctype>
#include <cstring>
#include <optional>

#include "runtime/message_table.h"
#include "storage/vmr/table_errors.h"
#include "tools/vmr_field_text.h"
#include "tools/vmr_store.h"

namespace tavero::tool {
namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// A row whose values do not fit its fields.
constexpr int kRowRefused = -1;

// Errors of a single row: the row is refused and the load goes on.
bool RowError(int code) { return code == vmr::error::duplicate_key || code == kRowRefused; }

class Loader {
 public:
  Loader(vmr::PhysicalFile& file, vmr::RecordStore& store, const StoredTable& stored, LoadReport& report)
      : file_(file), store_(store), stored_(stored), opened_(stored), report_(report) {}

  int Run(const std::vector<CsvRow>& rows, const LoadOptions& options) {
    if (rows.empty()) return 0;
    if (int rc = MapColumns(rows.front())) return rc;
    if (int rc = Bracket([&] { return opened_.Open(store_); })) return Fail(rc, "the table does not open");
    file_.set_in_transaction(true);  // LOGOUT
    std::size_t in_batch = 0;
    std::size_t pending = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
      const int rc = AddRow(rows[i]);
      if (rc == 0) ++pending;
      if (rc != 0 && !RowError(rc)) {
        file_.DiscardChanges();  // ROLLBACK of this transaction
        file_.set_in_transaction(false);
        return Fail(rc, "line " + std::to_string(rows[i].line) + ": " + MessageOf(rc) + "; the " +
                            std::to_string(pending) + " rows of this transaction were not stored");
      }
      if (options.progress) options.progress(i, rows.size() - 1);
      if (options.batch != 0 && ++in_batch == options.batch) {
        if (int e = CommitBatch(pending)) return e;
        in_batch = 0;
      }
    }
    if (int e = CommitBatch(pending)) return e;
    file_.set_in_transaction(false);
    return ToolErrorCode(file_.EndOperation());
  }

 private:
  static std::string MessageOf(int code) { return std::to_string(code) + " " + PostedMessageText(code); }

  int Fail(int code, std::string text) {
    report_.failure = code;
    report_.failure_text = std::move(text);
    return code;
  }

  int Bracket(const std::function<int()>& operation) {
    if (int e = store_.begin_operation(true)) return e;
    const int e = operation();
    const int ended = store_.end_operation();
    return e != 0 ? e : ended;
  }

  int CommitBatch(std::size_t& pending) {  // COMMIT
    if (int rc = ToolErrorCode(file_.Commit())) {
      file_.DiscardChanges();
      file_.set_in_transaction(false);
      return Fail(rc, "the commit failed: " + MessageOf(rc) + "; the " + std::to_string(pending) +
                          " rows of this transaction were not stored");
    }
    report_.added += pending;
    pending = 0;
    return 0;
  }

  int MapColumns(const CsvRow& header) {
    const std::vector<Column> columns = ColumnsOf(stored_.definition);
    for (const std::string& name : header.fields) {
      std::optional<Column> found;
      for (const Column& c : columns) {
        if (Upper(c.name) == Upper(name)) found = c;
      }
      if (!found) return Fail(2, "line " + std::to_string(header.line) + ": the table has no column " + name);
      columns_.push_back(*found);
    }
    return 0;
  }

  // Fills the buffers from one row and adds it; 0, a row error, or the
  // error of the file.
  int AddRow(const CsvRow& row) {
    opened_.Clear();
    if (row.fields.size() != columns_.size()) {
      report_.refused.push_back("line " + std::to_string(row.line) + ": " + std::to_string(row.fields.size()) +
                                " values for " + std::to_string(columns_.size()) + " columns");
      return kRowRefused;
    }
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      const Column& c = columns_[i];
      std::string why;
      if (!c.memo) {
        why = WriteFieldText(stored_.definition.fields[c.index], c.element, row.fields[i], opened_.record());
      } else if (stored_.definition.blobs[c.index].is_blob()) {
        opened_.table().blob_content(c.index) = row.fields[i];
      } else {
        std::string memo;
        why = WriteMemoText(row.fields[i], memo, opened_.memo(c.index).size());
        if (why.empty()) std::memcpy(opened_.memo(c.index).data(), memo.data(), memo.size());
      }
      if (!why.empty()) {
        report_.refused.push_back("line " + std::to_string(row.line) + ": " + c.name + " " + why);
        return kRowRefused;
      }
    }
    const int rc = Bracket([&] { return opened_.table().add(); });
    if (RowError(rc)) report_.refused.push_back("line " + std::to_string(row.line) + ": " + MessageOf(rc));
    return rc;
  }

  vmr::PhysicalFile& file_;
  vmr::RecordStore& store_;
  const StoredTable& stored_;
  OpenedTable opened_;
  LoadReport& report_;
  std::vector<Column> columns_;
};

}  // namespace

int LoadRows(vmr::PhysicalFile& file, vmr::RecordStore& store, const StoredTable& table,
             const std::vector<CsvRow>& rows, const LoadOptions& options, LoadReport& report) {
  return Loader(file, store, table, report).Run(rows, options);
}

}  // namespace tavero::tool
