// Reading a definition block into its decoded form. Nothing in the block is
// trusted: every word, record and string is checked against the body before
// it is read, chains that loop and nesting deeper than kMaxDepth are refused.
#include <algorithm>
#include <cstring>

#include "ui/definitions/definitions.h"
#include "ui/definitions/record_layout.h"

namespace tavero::definitions {
namespace {

// Menus in menus, tabs in sheets, groups in groups: deeper than this is damage.
constexpr int kMaxDepth = 16;

// Reads values at body offsets. The first failure is kept; later reads give
// zeros and empty strings, and the walkers stop at their next check of ok().
class BodyReader {
 public:
  explicit BodyReader(std::span<const std::uint8_t> body)
      : body_(body), visited_(body.size(), false) {}

  bool ok() const { return !damage_.has_value(); }
  BlockDamage damage() const { return *damage_; }

  void Fail(std::string reason, std::uint32_t offset) {
    if (!damage_) damage_ = BlockDamage{std::move(reason), offset};
  }

  // True when `size` bytes from body offset `offset` lie inside the body.
  bool Fits(std::uint32_t offset, std::uint32_t size) const {
    return offset >= layout::kBodyBase &&
           static_cast<std::uint64_t>(offset - layout::kBodyBase) + size <= body_.size();
  }

  // Checks that a record of `size` bytes lies at `offset` and was not met
  // before on any chain (a chain through it would loop).
  bool EnterRecord(std::uint32_t offset, std::uint32_t size, const char* what) {
    if (!Fits(offset, size)) {
      Fail(std::string(what) + " outside the block", offset);
      return false;
    }
    if (visited_[offset - layout::kBodyBase]) {
      Fail(std::string(what) + " chain loops", offset);
      return false;
    }
    visited_[offset - layout::kBodyBase] = true;
    return true;
  }

  std::uint8_t Byte(std::uint32_t offset) {
    if (!Fits(offset, 1)) {
      Fail("byte outside the block", offset);
      return 0;
    }
    return body_[offset - layout::kBodyBase];
  }

  std::uint32_t Word(std::uint32_t offset) {
    if (!Fits(offset, 4)) {
      Fail("word outside the block", offset);
      return 0;
    }
    const std::uint8_t* p = &body_[offset - layout::kBodyBase];
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
  }
  std::int32_t Int(std::uint32_t offset) { return static_cast<std::int32_t>(Word(offset)); }

  // The NUL-terminated string at body offset `offset`; 0 is the empty string.
  std::string String(std::uint32_t offset) {
    if (offset == 0) return {};
    if (!Fits(offset, 1)) {
      Fail("string outside the block", offset);
      return {};
    }
    auto begin = body_.begin() + (offset - layout::kBodyBase);
    auto nul = std::find(begin, body_.end(), std::uint8_t{0});
    if (nul == body_.end()) {
      Fail("string without its NUL", offset);
      return {};
    }
    return std::string(begin, nul);
  }

 private:
  std::span<const std::uint8_t> body_;
  std::vector<bool> visited_;
  std::optional<BlockDamage> damage_;
};

// Reads the word at `record + field` when the layout has that field.
std::uint32_t WordAt(BodyReader& r, std::uint32_t record, int field) {
  return field < 0 ? 0 : r.Word(record + static_cast<std::uint32_t>(field));
}

std::optional<FontDefinition> ReadFont(BodyReader& r, std::uint32_t offset) {
  if (offset == 0) return std::nullopt;
  if (!r.Fits(offset, layout::kFontSize)) {
    r.Fail("font record outside the block", offset);
    return std::nullopt;
  }
  FontDefinition f;
  f.typeface = r.String(r.Word(offset + layout::kFontTypeface));
  f.point_size = r.Int(offset + layout::kFontPointSize);
  f.colour = r.Word(offset + layout::kFontColour);
  f.style = r.Word(offset + layout::kFontStyle);
  return f;
}

std::vector<ControlDefinition> ReadChain(BodyReader& r, std::uint32_t offset, int depth);

// One control record at `offset`, its children included.
ControlDefinition ReadControl(BodyReader& r, std::uint32_t offset, int depth) {
  ControlDefinition c;
  if (!r.EnterRecord(offset, layout::kControlRecordSize, "control record")) return c;
  const std::uint8_t kind = r.Byte(offset + layout::kControlKind);
  const std::optional<layout::ControlLayout> l = layout::LayoutOf(kind);
  if (!l) {
    r.Fail("unknown control kind " + std::to_string(kind), offset);
    return c;
  }
  c.kind = static_cast<ControlKind>(kind);
  c.attributes = r.Word(offset + layout::kControlAttributes);
  c.number = static_cast<std::int32_t>(WordAt(r, offset, l->number));
  if (l->position >= 0) {
    const std::uint32_t p = offset + static_cast<std::uint32_t>(l->position);
    c.position = Rect{r.Int(p), r.Int(p + 4), r.Int(p + 8), r.Int(p + 12)};
  }
  c.text = r.String(WordAt(r, offset, l->text));
  c.picture = r.String(WordAt(r, offset, l->picture));
  c.tip = r.String(WordAt(r, offset, l->tip));
  c.message = r.String(WordAt(r, offset, l->message));
  c.source = r.String(WordAt(r, offset, l->source));
  c.format = r.String(WordAt(r, offset, l->format));
  c.variable = r.String(WordAt(r, offset, l->variable));
  c.key_code = static_cast<std::int32_t>(WordAt(r, offset, l->key_code));
  c.low = static_cast<std::int32_t>(WordAt(r, offset, l->low));
  c.high = static_cast<std::int32_t>(WordAt(r, offset, l->high));
  const std::uint32_t standard = WordAt(r, offset, l->standard);
  if (standard > static_cast<std::uint32_t>(StandardAction::HelpOnHelp)) {
    r.Fail("unknown standard action " + std::to_string(standard), offset);
    return c;
  }
  c.standard = static_cast<StandardAction>(standard);
  c.font = ReadFont(r, WordAt(r, offset, l->font));
  if (l->first_child >= 0 && r.ok()) c.children = ReadChain(r, WordAt(r, offset, l->first_child), depth + 1);
  return c;
}

// The chain of control records starting at `offset` (0 = none).
std::vector<ControlDefinition> ReadChain(BodyReader& r, std::uint32_t offset, int depth) {
  std::vector<ControlDefinition> chain;
  if (offset != 0 && depth > kMaxDepth) {
    r.Fail("controls nested too deep", offset);
    return chain;
  }
  while (offset != 0 && r.ok()) {
    chain.push_back(ReadControl(r, offset, depth));
    offset = r.ok() ? r.Word(offset + layout::kControlNext) : 0;
  }
  return chain;
}

EntryDefinition ReadEntry(BodyReader& r, std::uint32_t offset) {
  EntryDefinition e;
  if (!r.EnterRecord(offset, layout::kEntrySize, "entry")) return e;
  const std::uint8_t kind = r.Byte(offset + layout::kEntryKind);
  if (kind != static_cast<std::uint8_t>(EntryKind::Window) &&
      kind != static_cast<std::uint8_t>(EntryKind::Report)) {
    r.Fail("unknown entry kind " + std::to_string(kind), offset);
    return e;
  }
  e.kind = static_cast<EntryKind>(kind);
  e.attributes = r.Word(offset + layout::kEntryAttributes);
  e.position = Rect{r.Int(offset + layout::kEntryX), r.Int(offset + layout::kEntryY),
                    r.Int(offset + layout::kEntryWidth), r.Int(offset + layout::kEntryHeight)};
  e.label = r.String(r.Word(offset + layout::kEntryLabel));
  e.font = ReadFont(r, r.Word(offset + layout::kEntryFont));
  e.title = r.String(r.Word(offset + layout::kEntryTitle));
  e.icon = r.Word(offset + layout::kEntryIcon);
  e.help = r.String(r.Word(offset + layout::kEntryHelp));
  e.state = r.Word(offset + layout::kEntryState);
  e.cursor = r.Word(offset + layout::kEntryCursor);
  if (e.kind == EntryKind::Report) {
    for (int i = 0; i < 4; ++i) e.paper[i] = r.Int(offset + layout::kEntryPaper + 4 * i);
  } else {
    const std::uint32_t type = r.Word(offset + layout::kEntryWindowType);
    if (type > static_cast<std::uint32_t>(WindowType::MdiChild)) {
      r.Fail("unknown window type " + std::to_string(type), offset);
      return e;
    }
    e.type = static_cast<WindowType>(type);
    e.status_zones = r.Int(offset + layout::kEntryStatusZones);
    e.timer = r.Int(offset + layout::kEntryTimer);
    if (const std::uint32_t bar = r.Word(offset + layout::kEntryMenuBar); bar != 0 && r.ok()) {
      ControlDefinition menu_bar = ReadControl(r, bar, 0);
      if (r.ok() && menu_bar.kind != ControlKind::MenuBar) r.Fail("menu bar of another kind", bar);
      e.menu_bar = std::move(menu_bar);
    }
  }
  if (r.ok()) e.controls = ReadChain(r, r.Word(offset + layout::kEntryFirstControl), 0);
  return e;
}

}  // namespace

std::optional<std::string_view> BlockModuleLabel(std::span<const std::uint8_t> block) {
  auto nul = std::find(block.begin(), block.end(), std::uint8_t{0});
  if (nul == block.end()) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(block.data()),
                          static_cast<std::size_t>(nul - block.begin()));
}

std::variant<DefinitionBlock, BlockDamage> DecodeBlock(std::span<const std::uint8_t> block) {
  const std::optional<std::string_view> label = BlockModuleLabel(block);
  if (!label) return BlockDamage{"module label without its NUL", 0};
  DefinitionBlock decoded;
  decoded.module_label = std::string(*label);
  BodyReader r(block.subspan(label->size() + 1));
  std::uint32_t offset = r.Word(layout::kFirstEntryWord);
  while (offset != 0 && r.ok()) {
    decoded.entries.push_back(ReadEntry(r, offset));
    offset = r.ok() ? r.Word(offset + layout::kEntryNext) : 0;
  }
  if (!r.ok()) return r.damage();
  return decoded;
}

}  // namespace tavero::definitions
