#include "report/report_testing.h"

namespace tavero::report::testing {
namespace {

using definitions::ControlDefinition;
using definitions::ControlKind;

ControlDefinition Text(std::string text, int x, int y) {
  ControlDefinition c;
  c.kind = ControlKind::String;
  c.text = std::move(text);
  c.position = {x, y, 1000, 200};
  return c;
}

ControlDefinition Field(std::string picture, int x, int y, std::uint32_t extra = 0) {
  ControlDefinition c;
  c.kind = ControlKind::Field;
  c.picture = std::move(picture);
  c.attributes = extra | (extra & definitions::control_attribute::kPageNumber ? 0 : definitions::control_attribute::kUsesVariable);
  c.position = {x, y, 1000, 200};
  return c;
}

ControlDefinition Band(ControlKind kind, definitions::Rect at, std::vector<ControlDefinition> children,
                       int number = 0) {
  ControlDefinition c;
  c.kind = kind;
  c.number = number;
  c.position = at;
  c.children = std::move(children);
  return c;
}

ControlDefinition Line(int y) {
  ControlDefinition c;
  c.kind = ControlKind::Line;
  c.position = {100, y, 5700, 0};
  return c;
}

}  // namespace

definitions::EntryDefinition TestReport(int area_height) {
  using definitions::kDefaultCoordinate;
  definitions::EntryDefinition e;
  e.kind = definitions::EntryKind::Report;
  e.attributes = definitions::entry_attribute::kReport;
  e.position = {1000, 2000, 6000, area_height};
  e.label = "TEST$REPORT";
  e.title = "Test report";
  e.font = definitions::FontDefinition{"Arial", 10, 0xFFFFFFFF, 0xFFFFFFFF};

  ControlDefinition group2;
  group2.kind = ControlKind::Break;
  group2.attributes = definitions::control_attribute::kUsesVariable;  // variable 2: the set
  group2.variable = "SET";
  group2.children = {
      Band(ControlKind::Header, {0, 0, 0, 400}, {Text("SET", 100, 50), Field("s10", 1500, 50), Line(350)}),
      Band(ControlKind::Detail, {kDefaultCoordinate, kDefaultCoordinate, kDefaultCoordinate, 200},
           {Field("s20", 300, 0), Field("n_3", 4000, 0)}, 1),
      Band(ControlKind::Footer, {0, 0, 0, 300}, {Text("last", 100, 50), Field("s20", 1500, 50)}),
  };
  ControlDefinition group1;
  group1.kind = ControlKind::Break;
  group1.attributes = definitions::control_attribute::kUsesVariable;  // variable 0: the maker
  group1.variable = "MAKER";
  group1.children = {
      Band(ControlKind::Header, {0, 0, 0, 500}, {Text("MAKER", 100, 50), Field("s20", 1500, 50)}),
      group2,
      Band(ControlKind::Footer, {0, 0, 0, 400}, {Text("end of", 100, 50), Field("s20", 1500, 50)}),
  };
  e.controls = {
      Band(ControlKind::Header, {1000, 1000, 6000, 1000},
           {Text("CARD REPORT", 1000, 100), Text("Page", 1000, 600),
            Field("n3", 2000, 600, definitions::control_attribute::kPageNumber)}),
      group1,
      Band(ControlKind::Footer, {1000, 9200, 6000, 500}, {Text("bottom", 100, 100), Field("s20", 1500, 100)}),
  };
  return e;
}

// Record order: maker (break 1), maker, set (break 2), set, name, quantity,
// name (set footer), maker (maker footer), name (page footer).
std::vector<Variable> RowVariables(const Row& row) {
  const Row* r = &row;
  Variable maker = [r] { return Value{r->maker}; };
  Variable set = [r] { return Value{r->set}; };
  Variable name = [r] { return Value{r->name}; };
  Variable quantity = [r] { return Value{r->quantity}; };
  return {maker, maker, set, set, name, quantity, name, maker, name};
}

std::vector<std::string> PageTexts(const images::Metafile& page) {
  std::vector<std::string> texts;
  for (const images::MetaRecord& r : page.records) {
    if (const auto* text = std::get_if<images::record::TextOut>(&r)) {
      std::string t = text->text;
      while (!t.empty() && t.back() == ' ') t.pop_back();
      const std::size_t lead = t.find_first_not_of(' ');
      texts.push_back(lead == std::string::npos ? std::string() : t.substr(lead));
    }
  }
  return texts;
}

}  // namespace tavero::report::testing
