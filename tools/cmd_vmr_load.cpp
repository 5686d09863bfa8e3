// tavero vmr load FILE[\!TABLE] --csv IN [--batch N]
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "storage/vmr/vmr.h"
#include "tools/cmd_vmr.h"
#include "tools/commands.h"
#include "tools/vmr_load.h"
#include "tools/vmr_store.h"

namespace tavero::tool {
namespace {

// A bar on the terminal, redrawn when the percentage moves.
class ProgressBar {
 public:
  void Show(std::size_t done, std::size_t total) {
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    if (percent == last_ && done != total) return;
    last_ = percent;
    const int filled = percent / 4;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%% %zu/%zu", filled, "#########################", 25 - filled, "",
                 percent, done, total);
    if (done == total) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

 private:
  int last_ = -1;
};

}  // namespace

int RunVmrLoad(std::span<const std::string_view> args) {
  if (int rc = VmrHelp(args,
                       "usage: tavero vmr load FILE[\\!TABLE] --csv IN [--batch N]\n"
                       "Adds the rows of the CSV file IN (RFC 4180, UTF-8, a header row naming\n"
                       "fields and memos as 'tavero vmr dump' writes them) to the table (UNNAMED\n"
                       "when none is named, as the driver has it) through ADD, keys checked. A\n"
                       "row that cannot be stored is reported with its line number and the\n"
                       "others go in. The load is one transaction, or one per N rows with\n"
                       "--batch (LOGOUT and COMMIT); a failure of the file rolls back the\n"
                       "transaction it happened in. Exits 0 when every row went in, 1 otherwise.\n");
      rc >= 0) {
    return rc;
  }
  std::string csv_path;
  std::size_t batch = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--csv" && i + 1 < args.size()) {
      csv_path = std::string(args[++i]);
    } else if (args[i] == "--batch" && i + 1 < args.size()) {
      const std::string_view n = args[++i];
      const auto [end, error] = std::from_chars(n.data(), n.data() + n.size(), batch);
      if (error != std::errc() || end != n.data() + n.size() || batch == 0) {
        return UsageError("vmr load", "--batch takes a number of rows above 0");
      }
    } else {
      return UsageError("vmr load", "unknown argument '" + std::string(args[i]) + "'");
    }
  }
  const VmrTarget target = ParseVmrTarget(args[0]);
  if (csv_path.empty()) return UsageError("vmr load", "give FILE[\\!TABLE] and --csv IN");
  // As the driver names a file's table when the name has none.
  const std::string table_name = target.table.empty() ? vmr::SplitFileName(args[0]).table : target.table;

  std::ifstream in(csv_path, std::ios::binary);
  if (!in) return VmrFailure("load", csv_path, 2);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<CsvRow> rows;
  std::string error;
  if (!ParseCsv(text, rows, error)) return VmrFailure("load", csv_path, 0, error);

  StoredTable table;
  {
    OpenVmrFile open;
    if (int rc = OpenForReading(target.os_file, open)) return VmrFailure("load", target.os_file, rc);
    if (int rc = ReadStoredTable(*open.store, table_name, table)) {
      return VmrFailure("load", target.os_file + "\\!" + table_name, rc);
    }
  }
  LoadOptions options;
  options.batch = batch;
  ProgressBar bar;
  if (isatty(STDERR_FILENO)) options.progress = [&bar](std::size_t done, std::size_t total) { bar.Show(done, total); };
  LoadReport report;
  LoadRows(vmr::Driver(), target.os_file, table, rows, options, report);
  for (const std::string& refused : report.refused) std::printf("%s: %s\n", csv_path.c_str(), refused.c_str());
  std::printf("%zu rows added, %zu refused\n", report.added, report.refused.size());
  if (report.failure != 0) return VmrFailure("load", csv_path, report.failure, report.failure_text);
  return report.refused.empty() ? 0 : 1;
}

}  // namespace tavero::tool
