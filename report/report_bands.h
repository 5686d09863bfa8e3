// A report's bands, collected by kind from its definition entry: the page
// header and footer, the form, the break groups with their headers and
// footers, and the detail bands, with each field bound to its USE variable.
//
// Variables are bound in record order, depth first: a break group takes one
// for its break value when it is met, before its children; every field of a
// band (kind 1 with the uses-variable bit or without a page-number bit) takes
// the next one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report/report_value.h"
#include "ui/definitions/window_definition.h"

namespace tavero::report {

namespace band_attribute = definitions::band_attribute;

inline constexpr int kNoVariable = -1;

// One band: its controls, where it lies (thousandths of an inch; the page
// header and footer on the page, the others relative to their place in the
// detail area) and the variables its fields read.
struct Band {
  definitions::ControlKind kind = definitions::ControlKind::Detail;
  int number = 0;                 // the number PRINT names (detail bands)
  std::uint32_t attributes = 0;   // band_attribute bits
  definitions::Rect position;     // width and height resolved (never kDefaultCoordinate)
  std::int32_t page_before = 0;   // with kPageBefore: the page number to set (0: none)
  std::int32_t page_after = 0;    // with kPageAfter
  std::vector<definitions::ControlDefinition> controls;
  std::vector<int> variables;     // one per control, kNoVariable for those that take none
  std::vector<FieldPicture> pictures;  // one per control: its picture, compiled once
  int group = -1;                 // index of the innermost break group holding it, -1 none
};

// A break group: the variable whose change closes it, its header and footer
// (indices into ReportBands::bands, -1 none) and the group around it.
struct BreakGroup {
  int variable = kNoVariable;
  int header = -1;
  int footer = -1;
  int parent = -1;
  int depth = 0;  // 0 for an outermost group
  bool keep = false;
};

struct ReportBands {
  std::vector<Band> bands;
  std::vector<BreakGroup> groups;
  int page_header = -1;
  int page_footer = -1;
  int form = -1;
  std::vector<int> details;  // in record order
  int variables = 0;         // how many USE variables the report takes

  // The detail band PRINT names, or -1.
  int DetailByNumber(int number) const;
  // True when group `g` is `inner` or holds it.
  bool Contains(int g, int inner) const;
};

// Collects the bands of a report entry. A band whose width is left to the
// engine takes the detail area's; a height left to it reaches down to its
// lowest control.
ReportBands CollectBands(const definitions::EntryDefinition& entry);

}  // namespace tavero::report
