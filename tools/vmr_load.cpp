#include "tools/vmr_load.h"

#include <cctype>
#include <cstring>
#include <optional>

#include "runtime/error_codes.h"
#include "runtime/error_state.h"
#include "storage/driver/transaction.h"
#include "tools/vmr_declared_table.h"
#include "tools/vmr_field_text.h"

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
bool RowError(int code) { return code == error_code::kCreatesDuplicateKey || code == kRowRefused; }

// The code of the last error and its posted text.
std::string PostedError(int code) {
  std::string text(ErrorText());
  return std::to_string(code) + (text.empty() ? "" : " " + text);
}

class Loader {
 public:
  // The tool loads alone: others may neither write nor read meanwhile.
  static constexpr std::uint32_t kReadWriteDenyAll = 0x12;

  Loader(driver::DriverEntry& driver, const std::string& os_file, const StoredTable& stored, LoadReport& report)
      : stored_(stored), declared_(driver, os_file, stored), report_(report) {}

  int Run(const std::vector<CsvRow>& rows, const LoadOptions& options) {
    if (rows.empty()) return 0;
    if (int rc = MapColumns(rows.front())) return rc;
    if (int rc = declared_.declaration_error()) return Fail(rc, "the table's stored definition cannot be declared");
    if (int rc = driver::Open(declared_.file(), kReadWriteDenyAll)) return Fail(rc, "OPEN: " + PostedError(rc));
    const int rc = AddAll(rows, options);
    driver::Close(declared_.file());
    return rc;
  }

 private:
  int AddAll(const std::vector<CsvRow>& rows, const LoadOptions& options) {
    const std::size_t total = rows.size() - 1;
    std::size_t first = 1;
    do {
      const std::size_t last = options.batch == 0 ? total : std::min(total, first + options.batch - 1);
      if (int rc = Transaction(rows, first, last, options, total)) return rc;
      first = last + 1;
    } while (first <= total);
    return 0;
  }

  // Rows first..last (1-based, after the header) in one transaction.
  int Transaction(const std::vector<CsvRow>& rows, std::size_t first, std::size_t last, const LoadOptions& options,
                  std::size_t total) {
    driver::FileObject* files[] = {&declared_.file()};
    records_before_ = driver::Records(declared_.file());
    if (int rc = driver::Logout(0, files)) return Fail(rc, "LOGOUT: " + PostedError(rc));
    std::size_t pending = 0;
    for (std::size_t i = first; i <= last; ++i) {
      const int rc = AddRow(rows[i]);
      if (rc == 0) ++pending;
      if (rc != 0 && !RowError(rc)) {
        std::string text = "line " + std::to_string(rows[i].line) + ": " + PostedError(rc);
        driver::Rollback();
        LeaveTransaction();
        return Fail(rc, text + "; the " + std::to_string(pending) + " rows of this transaction were not stored");
      }
      if (options.progress) options.progress(i, total);
    }
    if (int rc = driver::Commit()) return CommitFailed(rc, pending);
    report_.added += pending;
    return 0;
  }

  // A COMMIT that failed after its commit point has stored the
  // transaction, and the next open of the file finishes it; one that failed
  // before has stored nothing. The file is opened again to tell which.
  int CommitFailed(int code, std::size_t pending) {
    std::string text = "COMMIT: " + PostedError(code) + "; the " + std::to_string(pending) + " rows of this transaction ";
    LeaveTransaction();
    driver::Close(declared_.file());
    std::int64_t records = -1;
    if (driver::Open(declared_.file(), kReadWriteDenyAll) == 0) records = driver::Records(declared_.file());
    if (records == records_before_ + static_cast<std::int64_t>(pending)) {
      report_.added += pending;
      text += "were stored all the same";
    } else if (records == records_before_) {
      text += "were not stored";
    } else {
      text += "are stored all or none, as the next open of the file finds";
    }
    return Fail(code, std::move(text));
  }

  // A file whose COMMIT or ROLLBACK failed still counts itself in the
  // transaction the runtime has ended (and refuses CLOSE with 56); its own
  // ROLLBACK lets it go.
  void LeaveTransaction() {
    if (driver::Has(driver::FileStateOf(declared_.file()), driver::FileState::InTransaction)) {
      driver::Rollback(declared_.file());
    }
  }

  int Fail(int code, std::string text) {
    report_.failure = code;
    report_.failure_text = std::move(text);
    return code;
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
    const vmr::TableDefinition& d = stored_.definition;
    auto refuse = [&](const std::string& why) {
      report_.refused.push_back("line " + std::to_string(row.line) + ": " + why);
      return kRowRefused;
    };
    if (row.fields.size() != columns_.size()) {
      return refuse(std::to_string(row.fields.size()) + " values for " + std::to_string(columns_.size()) +
                    " columns");
    }
    declared_.Clear();
    std::vector<std::string_view> blobs(d.blobs.size());
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      const Column& c = columns_[i];
      std::string why;
      if (!c.memo) {
        why = WriteFieldText(d.fields[c.index], c.element, row.fields[i], declared_.record());
      } else if (d.blobs[c.index].is_blob()) {
        blobs[c.index] = row.fields[i];
      } else {
        std::string memo;
        const std::span<std::uint8_t> buffer = declared_.memo(c.index);
        why = WriteMemoText(row.fields[i], memo, buffer.size());
        if (why.empty()) std::memcpy(buffer.data(), memo.data(), memo.size());
      }
      if (!why.empty()) return refuse(c.name + " " + why);
    }
    for (std::size_t b = 0; b < blobs.size(); ++b) {
      if (!d.blobs[b].is_blob()) continue;
      if (int rc = declared_.SetBlob(b, blobs[b])) return refuse(d.blobs[b].name + " " + PostedError(rc));
    }
    const int rc = driver::Add(declared_.file());
    if (RowError(rc)) refuse(PostedError(rc));
    return rc;
  }

  const StoredTable& stored_;
  DeclaredTable declared_;
  LoadReport& report_;
  std::vector<Column> columns_;
  std::int64_t records_before_ = 0;  // of the table, when the transaction began
};

}  // namespace

int LoadRows(driver::DriverEntry& driver, const std::string& os_file, const StoredTable& table,
             const std::vector<CsvRow>& rows, const LoadOptions& options, LoadReport& report) {
  return Loader(driver, os_file, table, report).Run(rows, options);
}

}  // namespace tavero::tool
