// The master report, "Print MAIN REPORT" (module "ZEPHCOL$zephc003").
#pragma once

namespace zephcol {

struct ReportDeclaration;

// The report's declaration: its view, definitions and variables.
const ReportDeclaration& MasterReport();

// The procedure the frame's menu item starts on a thread of its own.
void PrintMasterReport();

}  // namespace zephcol
