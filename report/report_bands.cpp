#include "report/report_bands.h"

namespace tavero::report {
namespace {

using definitions::ControlDefinition;
using definitions::ControlKind;
using definitions::kDefaultCoordinate;

// The height a band takes when its own is left to the engine: down to the
// lowest edge of its controls.
std::int32_t ContentHeight(const std::vector<ControlDefinition>& controls) {
  std::int32_t bottom = 0;
  for (const ControlDefinition& c : controls) {
    if (c.position.y == kDefaultCoordinate || c.position.height == kDefaultCoordinate) continue;
    bottom = std::max(bottom, c.position.y + std::max(c.position.height, 0));
  }
  return bottom;
}

class Collector {
 public:
  explicit Collector(const definitions::EntryDefinition& entry) : entry_(entry) {}

  ReportBands Run() {
    Walk(entry_.controls, -1);
    return std::move(out_);
  }

 private:
  int AddBand(const ControlDefinition& record, int group) {
    Band band;
    band.kind = record.kind;
    band.number = record.number;
    band.attributes = record.attributes;
    band.position = record.position;
    if (band.position.x == kDefaultCoordinate) band.position.x = 0;
    if (band.position.y == kDefaultCoordinate) band.position.y = 0;
    if (band.position.width == kDefaultCoordinate || band.position.width <= 0) {
      band.position.width = entry_.position.width;
    }
    if (band.position.height == kDefaultCoordinate || band.position.height < 0) {
      band.position.height = ContentHeight(record.children);
    }
    band.page_before = record.low;
    band.page_after = record.high;
    band.group = group;
    band.controls = record.children;
    band.variables.reserve(band.controls.size());
    band.pictures.reserve(band.controls.size());
    for (const ControlDefinition& c : band.controls) {
      band.pictures.emplace_back(c.picture);
      band.variables.push_back(c.has(definitions::control_attribute::kUsesVariable) ? out_.variables++
                                                                                      : kNoVariable);
    }
    out_.bands.push_back(std::move(band));
    return static_cast<int>(out_.bands.size()) - 1;
  }

  void Walk(const std::vector<ControlDefinition>& records, int group) {
    for (const ControlDefinition& record : records) {
      switch (record.kind) {
        case ControlKind::Header:
        case ControlKind::Footer: {
          const int band = AddBand(record, group);
          const bool header = record.kind == ControlKind::Header;
          if (group >= 0) {
            (header ? out_.groups[group].header : out_.groups[group].footer) = band;
          } else {
            (header ? out_.page_header : out_.page_footer) = band;
          }
          break;
        }
        case ControlKind::Form:
          out_.form = AddBand(record, group);
          break;
        case ControlKind::Detail:
          out_.details.push_back(AddBand(record, group));
          break;
        case ControlKind::Break: {
          BreakGroup g;
          g.variable = record.has(definitions::control_attribute::kUsesVariable) ? out_.variables++
                                                                                 : kNoVariable;
          g.parent = group;
          g.depth = group < 0 ? 0 : out_.groups[group].depth + 1;
          g.keep = record.has(band_attribute::kKeep);
          out_.groups.push_back(g);
          Walk(record.children, static_cast<int>(out_.groups.size()) - 1);
          break;
        }
        default:
          break;  // controls outside a band draw nothing
      }
    }
  }

  const definitions::EntryDefinition& entry_;
  ReportBands out_;
};

}  // namespace

int ReportBands::DetailByNumber(int number) const {
  for (int d : details) {
    if (bands[d].number == number) return d;
  }
  return -1;
}

bool ReportBands::Contains(int g, int inner) const {
  for (int k = inner; k >= 0; k = groups[k].parent) {
    if (k == g) return true;
  }
  return false;
}

ReportBands CollectBands(const definitions::EntryDefinition& entry) { return Collector(entry).Run(); }

}  // namespace tavero::report
