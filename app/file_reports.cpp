// The eight reports of one file each: one declaration a module, as data
// over the report procedure. The variables are the detail's fields in the
// order its controls bind them.
#include "app/file_reports.h"

#include "app/report_procedure.h"

namespace zephcol {
namespace {

constexpr std::string_view kCardsetFields[] = {"CAR:SET_NO", "CAR:MANUFACTURER", "CAR:YEAR", "CAR:TYPE_OF_CARD"};
constexpr std::string_view kTypesFields[] = {"TYP:TYPE_OF_CARD"};
constexpr std::string_view kSetInformationFields[] = {
    "SET:SET_NO",     "SET:CARD_NO",    "SET:FIRST_NAME", "SET:LAST_NAME",       "SET:QTY",         "SET:LOW_VALUE",
    "SET:HIGH_VALUE", "SET:PRICE_PAID", "SET:PRICE_CARD_SOLD", "SET:DATE_BOUGHT", "SET:DATE_SOLD",
};

constexpr ReportViewFile kByManufacturers[] = {{Cardset, "CAR:MANUFACTURERS"}};
constexpr ReportViewFile kByTypes[] = {{Cardset, "CAR:TYPES"}};
constexpr ReportViewFile kBySeason[] = {{Cardset, "CAR:SEASON"}};
constexpr ReportViewFile kByType[] = {{Types, "TYP:TYPE"}};
constexpr ReportViewFile kBySetKey[] = {{SetInformation, "SET:SET_KEY"}};
constexpr ReportViewFile kByNameKey[] = {{SetInformation, "SET:NAME_KEY"}};
constexpr ReportViewFile kByBought[] = {{SetInformation, "SET:BOUGHT"}};
constexpr ReportViewFile kBySold[] = {{SetInformation, "SET:SOLD"}};

constexpr ReportDeclaration kFileReports[] = {
    {"ZEPHCOL$zephc018", "PRINTCAR:MANUFACTURERS$REPORT", "PRINTCAR:MANUFACTURERS$PROGRESSWINDOW", kByManufacturers,
     kCardsetFields, "CARDSET"},
    {"ZEPHCOL$zephc019", "PRINTCAR:TYPES$REPORT", "PRINTCAR:TYPES$PROGRESSWINDOW", kByTypes, kCardsetFields,
     "CARDSET"},
    {"ZEPHCOL$zephc020", "PRINTCAR:SEASON$REPORT", "PRINTCAR:SEASON$PROGRESSWINDOW", kBySeason, kCardsetFields,
     "CARDSET"},
    {"ZEPHCOL$zephc021", "PRINTTYP:TYPE$REPORT", "PRINTTYP:TYPE$PROGRESSWINDOW", kByType, kTypesFields, "TYPES"},
    {"ZEPHCOL$zephc022", "PRINTSET:SET_KEY$REPORT", "PRINTSET:SET_KEY$PROGRESSWINDOW", kBySetKey,
     kSetInformationFields, "SETINFORMATION"},
    {"ZEPHCOL$zephc023", "PRINTSET:NAME_KEY$REPORT", "PRINTSET:NAME_KEY$PROGRESSWINDOW", kByNameKey,
     kSetInformationFields, "SETINFORMATION"},
    {"ZEPHCOL$zephc024", "PRINTSET:BOUGHT$REPORT", "PRINTSET:BOUGHT$PROGRESSWINDOW", kByBought,
     kSetInformationFields, "SETINFORMATION"},
    {"ZEPHCOL$zephc025", "PRINTSET:SOLD$REPORT", "PRINTSET:SOLD$PROGRESSWINDOW", kBySold, kSetInformationFields,
     "SETINFORMATION"},
};

}  // namespace

std::span<const ReportDeclaration> FileReports() { return kFileReports; }

}  // namespace zephcol
