// zephc003: "Print MAIN REPORT", the master report of the collection: every
// manufacturer in MAN:MANFACT order with its card sets (joined through
// CAR:MANUFACTURERS, upper-cased) and their cards (through SET:SET_KEY).
// A manufacturer without sets and a set without cards are printed once,
// their joined fields blank, as the view delivers them.
#include "app/master_report.h"
#include "app/report_procedure.h"

namespace zephcol {
namespace {

constexpr ReportViewFile kView[] = {
    {Manufacturer, "MAN:MANFACT"},
    {Cardset, "CAR:MANUFACTURERS", "MAN:MANUFACTURER", /*case_insensitive=*/true},
    {SetInformation, "SET:SET_KEY", "CAR:SET_NO"},
};

// Record order: the break on the manufacturer, its field, the break on the
// set, the set's fields, the card's fields.
constexpr std::string_view kVariables[] = {
    "MAN:MANUFACTURER", "MAN:MANUFACTURER", "CAR:SET_NO", "CAR:TYPE_OF_CARD", "CAR:YEAR",
    "SET:PRICE_PAID",   "SET:QTY",          "SET:CARD_NO", "SET:LAST_NAME",   "SET:FIRST_NAME",
};

constexpr ReportDeclaration kMasterReport{
    .module = "ZEPHCOL$zephc003",
    .report = "PRINTCAR:SET$REPORT",
    .progress_window = "PRINTCAR:SET$PROGRESSWINDOW",
    .view = kView,
    .variables = kVariables,
    .read_error_file = "SETINFORMATION",
};

}  // namespace

const ReportDeclaration& MasterReport() { return kMasterReport; }

void PrintMasterReport() { RunReport(kMasterReport); }

}  // namespace zephcol
