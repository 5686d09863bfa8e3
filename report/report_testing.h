// A test report with two break levels around its detail band, like the
// collection's master report, and the rows it prints.
#pragma once

#include <string>
#include <vector>

#include "images/metafile.h"
#include "report/report.h"

namespace tavero::report::testing {

struct Row {
  std::string maker;  // break 1
  std::string set;    // break 2
  std::string name;
  std::int64_t quantity = 0;
};

// Page header: "CARD REPORT", "Page", the page number ("@n3"). Group 1 on
// the maker: header "MAKER" and the maker, footer "end of" and the maker.
// Group 2 on the set: header "SET" and the set, footer "last" and the name
// (the last card printed in the set). Detail band 1: the name ("@s20") and
// the quantity ("@n_3"), height 200. Page footer: "bottom" and the name.
// Detail area 1000, 2000, 6000 by `area_height`.
definitions::EntryDefinition TestReport(int area_height = 7000);

// The report's variables, read from `row`.
std::vector<Variable> RowVariables(const Row& row);

// The texts a page draws, in order.
std::vector<std::string> PageTexts(const images::Metafile& page);

}  // namespace tavero::report::testing
