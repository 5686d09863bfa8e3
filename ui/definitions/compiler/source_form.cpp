// The source form of window definitions (JSON) read into a DefinitionBlock.
// The grammar is described in windef_compiler.cpp.
#include "ui/definitions/compiler/source_form.h"

#include <set>
#include <utility>

#include <nlohmann/json.hpp>

namespace tavero::definitions {
namespace {

using nlohmann::json;

constexpr std::pair<const char*, ControlKind> kControlKinds[] = {
    {"field", ControlKind::Field},     {"string", ControlKind::String},
    {"image", ControlKind::Image},     {"box", ControlKind::Box},
    {"line", ControlKind::Line},       {"region", ControlKind::Region},
    {"group", ControlKind::Group},     {"option", ControlKind::Option},
    {"button", ControlKind::Button},   {"prompt", ControlKind::Prompt},
    {"entry", ControlKind::Entry},     {"text", ControlKind::Text},
    {"check", ControlKind::Check},     {"list", ControlKind::List},
    {"combo", ControlKind::Combo},     {"spin", ControlKind::Spin},
    {"radio", ControlKind::Radio},     {"menu", ControlKind::Menu},
    {"item", ControlKind::Item},       {"header", ControlKind::Header},
    {"footer", ControlKind::Footer},   {"break", ControlKind::Break},
    {"form", ControlKind::Form},       {"detail", ControlKind::Detail},
    {"progress", ControlKind::Progress}, {"tab", ControlKind::Tab},
    {"sheet", ControlKind::Sheet},
};

constexpr std::pair<const char*, StandardAction> kStandardActions[] = {
    {"print-setup", StandardAction::PrintSetup}, {"close", StandardAction::Close},
    {"cut", StandardAction::Cut},                {"copy", StandardAction::Copy},
    {"paste", StandardAction::Paste},            {"tile", StandardAction::Tile},
    {"cascade", StandardAction::Cascade},        {"arrange-icons", StandardAction::ArrangeIcons},
    {"help-contents", StandardAction::HelpContents}, {"help-search", StandardAction::HelpSearch},
    {"help-on-help", StandardAction::HelpOnHelp},
};

constexpr std::pair<const char*, std::uint32_t> kFlags[] = {
    {"hidden", control_attribute::kHidden},       {"disabled", control_attribute::kDisabled},
    {"page-number", control_attribute::kPageNumber}, {"default", control_attribute::kDefault},
    {"separator", control_attribute::kSeparator}, {"required", control_attribute::kRequired},
    {"read-only", control_attribute::kReadOnly},  {"vscroll", control_attribute::kVerticalScroll},
    {"immediate", control_attribute::kImmediate},
    {"page-before", band_attribute::kPageBefore}, {"page-after", band_attribute::kPageAfter},
    {"keep", band_attribute::kKeep},              {"no-page-header", band_attribute::kNoPageHeader},
    {"flow", band_attribute::kFlow},              {"no-height", band_attribute::kNoHeight},
};

// Windows-1252 bytes 80h-9Fh and the characters they stand for.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string ToWindows1252(const std::string& utf8, const std::string& where) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t c = 0;
    int extra = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      c = lead & 0x1F, extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      c = lead & 0x0F, extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      c = lead & 0x07, extra = 3;
    } else {
      throw SourceError(where + ": text is not UTF-8");
    }
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= utf8.size() || (static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) {
        throw SourceError(where + ": text is not UTF-8");
      }
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    i += 1 + extra;
    if (c == 0) throw SourceError(where + ": text holds a NUL");
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    int byte = -1;
    for (int k = 0; k < 32; ++k) {
      if (kCp1252High[k] == c) byte = 0x80 + k;
    }
    if (byte < 0) throw SourceError(where + ": a character Windows-1252 cannot hold");
    out.push_back(static_cast<char>(byte));
  }
  return out;
}

void CheckKeys(const json& object, std::initializer_list<const char*> allowed, const std::string& where) {
  if (!object.is_object()) throw SourceError(where + ": expected an object");
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (const char* a : allowed) known = known || key == a;
    if (!known) throw SourceError(where + ": unknown key \"" + key + "\"");
  }
}

std::int64_t Number(const json& value, const std::string& where) {
  if (value.is_number_integer()) return value.get<std::int64_t>();
  if (value.is_string()) {
    const std::string s = value.get<std::string>();
    try {
      std::size_t used = 0;
      const std::int64_t n = std::stoll(s, &used, 0);
      if (used == s.size()) return n;
    } catch (const std::exception&) {
    }
  }
  throw SourceError(where + ": expected a number");
}

std::int32_t Int(const json& object, const char* key, const std::string& where, std::int32_t fallback = 0) {
  if (!object.contains(key)) return fallback;
  const std::int64_t n = Number(object[key], where + "." + key);
  if (n < INT32_MIN || n > static_cast<std::int64_t>(UINT32_MAX)) throw SourceError(where + "." + key + ": out of range");
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
}

std::string Text(const json& object, const char* key, const std::string& where) {
  if (!object.contains(key)) return {};
  if (!object[key].is_string()) throw SourceError(where + "." + key + ": expected a text");
  return ToWindows1252(object[key].get<std::string>(), where + "." + key);
}

Rect Position(const json& object, const std::string& where) {
  if (!object.contains("at")) return {};
  const json& at = object["at"];
  if (!at.is_array() || at.size() != 4) throw SourceError(where + ".at: expected [x, y, width, height]");
  auto coordinate = [&](std::size_t i) {
    if (at[i].is_string() && at[i].get<std::string>() == "default") return kDefaultCoordinate;
    return static_cast<std::int32_t>(Number(at[i], where + ".at"));
  };
  return Rect{coordinate(0), coordinate(1), coordinate(2), coordinate(3)};
}

std::optional<FontDefinition> Font(const json& object, const std::string& where) {
  if (!object.contains("font")) return std::nullopt;
  const json& f = object["font"];
  const std::string at = where + ".font";
  CheckKeys(f, {"typeface", "size", "colour", "style"}, at);
  FontDefinition font;
  font.typeface = Text(f, "typeface", at);
  font.point_size = Int(f, "size", at);
  font.colour = static_cast<std::uint32_t>(Int(f, "colour", at, -1));
  font.style = static_cast<std::uint32_t>(Int(f, "style", at, -1));
  return font;
}

std::vector<ControlDefinition> Controls(const json& object, const char* key, const std::string& where);

ControlDefinition Control(const json& object, const std::string& where) {
  CheckKeys(object,
            {"kind", "number", "attributes", "flags", "at", "text", "picture", "tip", "message", "source",
             "format", "use", "break_on", "key_code", "low", "high", "standard", "font", "children"},
            where);
  ControlDefinition c;
  const std::string kind = object.value("kind", "");
  bool known = false;
  for (const auto& [name, value] : kControlKinds) {
    if (kind == name) c.kind = value, known = true;
  }
  if (!known) throw SourceError(where + ": unknown control kind \"" + kind + "\"");
  c.number = Int(object, "number", where);
  c.attributes = static_cast<std::uint32_t>(Int(object, "attributes", where));
  if (object.contains("flags")) {
    for (const json& flag : object["flags"]) {
      bool found = false;
      for (const auto& [name, bit] : kFlags) {
        if (flag.is_string() && flag.get<std::string>() == name) c.attributes |= bit, found = true;
      }
      if (!found) throw SourceError(where + ": unknown flag " + flag.dump());
    }
  }
  c.position = Position(object, where);
  c.text = Text(object, "text", where);
  c.picture = Text(object, "picture", where);
  c.tip = Text(object, "tip", where);
  c.message = Text(object, "message", where);
  c.source = Text(object, "source", where);
  c.format = Text(object, "format", where);
  if (object.contains("use")) {
    c.variable = Text(object, "use", where);
    c.attributes |= control_attribute::kUsesVariable;
  }
  if (object.contains("break_on")) {
    c.variable = Text(object, "break_on", where);
    c.attributes |= control_attribute::kUsesVariable;  // the break value is a USE variable
  }
  c.key_code = Int(object, "key_code", where);
  c.low = Int(object, "low", where);
  c.high = Int(object, "high", where);
  if (object.contains("standard")) {
    const std::string action = object.value("standard", "");
    bool found = false;
    for (const auto& [name, value] : kStandardActions) {
      if (action == name) c.standard = value, found = true;
    }
    if (!found) throw SourceError(where + ": unknown standard action \"" + action + "\"");
  }
  c.font = Font(object, where);
  c.children = Controls(object, "children", where);
  return c;
}

std::vector<ControlDefinition> Controls(const json& object, const char* key, const std::string& where) {
  std::vector<ControlDefinition> controls;
  if (!object.contains(key)) return controls;
  if (!object[key].is_array()) throw SourceError(where + "." + key + ": expected a list");
  for (std::size_t i = 0; i < object[key].size(); ++i) {
    controls.push_back(Control(object[key][i], where + "." + key + "[" + std::to_string(i) + "]"));
  }
  return controls;
}

EntryDefinition Entry(const json& object, const std::string& where) {
  CheckKeys(object,
            {"kind", "label", "type", "title", "help", "attributes", "state", "icon", "cursor", "timer",
             "status_zones", "paper", "at", "font", "menu_bar", "controls"},
            where);
  EntryDefinition e;
  const std::string kind = object.value("kind", "window");
  if (kind == "report") {
    e.kind = EntryKind::Report;
  } else if (kind != "window") {
    throw SourceError(where + ": kind must be \"window\" or \"report\"");
  }
  const std::string type = object.value("type", "window");
  if (type == "application") {
    e.type = WindowType::Application;
  } else if (type == "mdi") {
    e.type = WindowType::MdiChild;
  } else if (type != "window") {
    throw SourceError(where + ": type must be \"application\", \"mdi\" or \"window\"");
  }
  e.label = Text(object, "label", where);
  if (e.label.empty()) throw SourceError(where + ": an entry needs its label");
  e.title = Text(object, "title", where);
  e.help = Text(object, "help", where);
  e.attributes = static_cast<std::uint32_t>(Int(object, "attributes", where));
  e.state = static_cast<std::uint32_t>(Int(object, "state", where));
  e.icon = static_cast<std::uint32_t>(Int(object, "icon", where));
  e.cursor = static_cast<std::uint32_t>(Int(object, "cursor", where));
  e.timer = Int(object, "timer", where);
  e.status_zones = Int(object, "status_zones", where);
  if (object.contains("paper")) {
    const json& paper = object["paper"];
    if (!paper.is_array() || paper.size() != 4) throw SourceError(where + ".paper: expected four numbers");
    for (int i = 0; i < 4; ++i) e.paper[i] = static_cast<std::int32_t>(Number(paper[i], where + ".paper"));
  }
  e.position = Position(object, where);
  e.font = Font(object, where);
  if (object.contains("menu_bar")) {
    ControlDefinition bar;
    bar.kind = ControlKind::MenuBar;
    bar.children = Controls(object, "menu_bar", where);
    e.menu_bar = std::move(bar);
  }
  e.controls = Controls(object, "controls", where);
  return e;
}

}  // namespace

DefinitionBlock ParseSource(const std::string& text, const std::string& file) {
  json source;
  try {
    source = json::parse(text);
  } catch (const json::exception& e) {
    throw SourceError(file + ": " + e.what());
  }
  CheckKeys(source, {"module", "entries"}, file);
  DefinitionBlock block;
  block.module_label = Text(source, "module", file);
  if (block.module_label.find('$') == std::string::npos) {
    throw SourceError(file + ": module label needs the form PROGRAM$module");
  }
  std::set<std::string> labels;
  if (!source.contains("entries") || !source["entries"].is_array()) throw SourceError(file + ": no entries");
  for (std::size_t i = 0; i < source["entries"].size(); ++i) {
    block.entries.push_back(Entry(source["entries"][i], file + ": entries[" + std::to_string(i) + "]"));
    if (!labels.insert(block.entries.back().label).second) {
      throw SourceError(file + ": label " + block.entries.back().label + " appears twice");
    }
  }
  return block;
}

}  // namespace tavero::definitions
