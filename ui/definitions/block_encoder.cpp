// Writing a definition block from its decoded form: the module label, then
// the body with the first-entry word, the entries with their controls, font
// records and strings. Equal strings are written once and shared.
#include <cassert>
#include <map>

#include "ui/definitions/definitions.h"
#include "ui/definitions/record_layout.h"

namespace tavero::definitions {
namespace {

class BodyWriter {
 public:
  BodyWriter() { Reserve(4); }  // the first-entry word at body offset 2

  std::vector<std::uint8_t>& bytes() { return body_; }

  // Space for `size` zero bytes; gives its body offset.
  std::uint32_t Reserve(std::size_t size) {
    const auto offset = static_cast<std::uint32_t>(body_.size() + layout::kBodyBase);
    body_.resize(body_.size() + size, 0);
    return offset;
  }

  void Byte(std::uint32_t offset, std::uint8_t value) { body_[offset - layout::kBodyBase] = value; }

  void Word(std::uint32_t offset, std::uint32_t value) {
    std::uint8_t* p = &body_[offset - layout::kBodyBase];
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  void Int(std::uint32_t offset, std::int32_t value) { Word(offset, static_cast<std::uint32_t>(value)); }

  // The body offset of `text` (0 for the empty string).
  std::uint32_t String(const std::string& text) {
    if (text.empty()) return 0;
    assert(text.find('\0') == std::string::npos);
    if (auto it = strings_.find(text); it != strings_.end()) return it->second;
    const std::uint32_t offset = Reserve(text.size() + 1);
    std::copy(text.begin(), text.end(), body_.begin() + (offset - layout::kBodyBase));
    strings_.emplace(text, offset);
    return offset;
  }

 private:
  std::vector<std::uint8_t> body_;
  std::map<std::string, std::uint32_t> strings_;
};

void WordAt(BodyWriter& w, std::uint32_t record, int field, std::uint32_t value) {
  if (field >= 0) w.Word(record + static_cast<std::uint32_t>(field), value);
}

std::uint32_t WriteFont(BodyWriter& w, const std::optional<FontDefinition>& font) {
  if (!font) return 0;
  const std::uint32_t offset = w.Reserve(layout::kFontSize);
  w.Word(offset + layout::kFontTypeface, w.String(font->typeface));
  w.Int(offset + layout::kFontPointSize, font->point_size);
  w.Word(offset + layout::kFontColour, font->colour);
  w.Word(offset + layout::kFontStyle, font->style);
  return offset;
}

std::uint32_t WriteChain(BodyWriter& w, const std::vector<ControlDefinition>& chain);

std::uint32_t WriteControl(BodyWriter& w, const ControlDefinition& c) {
  const std::optional<layout::ControlLayout> l = layout::LayoutOf(static_cast<std::uint8_t>(c.kind));
  assert(l);
  const std::uint32_t offset = w.Reserve(layout::kControlRecordSize);
  w.Byte(offset + layout::kControlKind, static_cast<std::uint8_t>(c.kind));
  w.Word(offset + layout::kControlAttributes, c.attributes);
  WordAt(w, offset, l->number, static_cast<std::uint32_t>(c.number));
  if (l->position >= 0) {
    const std::uint32_t p = offset + static_cast<std::uint32_t>(l->position);
    w.Int(p, c.position.x);
    w.Int(p + 4, c.position.y);
    w.Int(p + 8, c.position.width);
    w.Int(p + 12, c.position.height);
  }
  WordAt(w, offset, l->text, w.String(c.text));
  WordAt(w, offset, l->picture, w.String(c.picture));
  WordAt(w, offset, l->tip, w.String(c.tip));
  WordAt(w, offset, l->message, w.String(c.message));
  WordAt(w, offset, l->source, w.String(c.source));
  WordAt(w, offset, l->format, w.String(c.format));
  WordAt(w, offset, l->variable, w.String(c.variable));
  WordAt(w, offset, l->key_code, static_cast<std::uint32_t>(c.key_code));
  WordAt(w, offset, l->low, static_cast<std::uint32_t>(c.low));
  WordAt(w, offset, l->high, static_cast<std::uint32_t>(c.high));
  WordAt(w, offset, l->standard, static_cast<std::uint32_t>(c.standard));
  WordAt(w, offset, l->font, WriteFont(w, c.font));
  if (l->first_child >= 0) WordAt(w, offset, l->first_child, WriteChain(w, c.children));
  return offset;
}

// Writes the records of `chain` linked in order; gives the first's offset.
std::uint32_t WriteChain(BodyWriter& w, const std::vector<ControlDefinition>& chain) {
  std::uint32_t first = 0;
  std::uint32_t previous = 0;
  for (const ControlDefinition& c : chain) {
    const std::uint32_t offset = WriteControl(w, c);
    if (previous == 0) {
      first = offset;
    } else {
      w.Word(previous + layout::kControlNext, offset);
    }
    previous = offset;
  }
  return first;
}

std::uint32_t WriteEntry(BodyWriter& w, const EntryDefinition& e) {
  const std::uint32_t offset = w.Reserve(layout::kEntrySize);
  w.Byte(offset + layout::kEntryKind, static_cast<std::uint8_t>(e.kind));
  w.Word(offset + layout::kEntryAttributes, e.attributes);
  w.Int(offset + layout::kEntryX, e.position.x);
  w.Int(offset + layout::kEntryY, e.position.y);
  w.Int(offset + layout::kEntryWidth, e.position.width);
  w.Int(offset + layout::kEntryHeight, e.position.height);
  w.Word(offset + layout::kEntryLabel, w.String(e.label));
  w.Word(offset + layout::kEntryFont, WriteFont(w, e.font));
  w.Word(offset + layout::kEntryTitle, w.String(e.title));
  w.Word(offset + layout::kEntryIcon, e.icon);
  w.Word(offset + layout::kEntryHelp, w.String(e.help));
  w.Word(offset + layout::kEntryState, e.state);
  w.Word(offset + layout::kEntryCursor, e.cursor);
  if (e.kind == EntryKind::Report) {
    for (int i = 0; i < 4; ++i) w.Int(offset + layout::kEntryPaper + 4 * i, e.paper[i]);
  } else {
    w.Word(offset + layout::kEntryWindowType, static_cast<std::uint32_t>(e.type));
    w.Int(offset + layout::kEntryStatusZones, e.status_zones);
    w.Int(offset + layout::kEntryTimer, e.timer);
    if (e.menu_bar) w.Word(offset + layout::kEntryMenuBar, WriteControl(w, *e.menu_bar));
  }
  w.Word(offset + layout::kEntryFirstControl, WriteChain(w, e.controls));
  return offset;
}

}  // namespace

std::vector<std::uint8_t> EncodeBlock(const DefinitionBlock& block) {
  assert(block.module_label.find('\0') == std::string::npos);
  BodyWriter w;
  std::uint32_t previous = 0;
  for (const EntryDefinition& e : block.entries) {
    const std::uint32_t offset = WriteEntry(w, e);
    w.Word(previous == 0 ? layout::kFirstEntryWord : previous + layout::kEntryNext, offset);
    previous = offset;
  }
  std::vector<std::uint8_t> out(block.module_label.begin(), block.module_label.end());
  out.push_back(0);
  out.insert(out.end(), w.bytes().begin(), w.bytes().end());
  return out;
}

}  // namespace tavero::definitions
