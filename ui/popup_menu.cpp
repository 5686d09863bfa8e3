#include "ui/popup_menu.h"

#include <cassert>

namespace tavero::ui {
namespace {

class PopupParser {
 public:
  explicit PopupParser(std::string_view text) : text_(text) {}

  std::vector<PopupItem> Parse() {
    std::vector<PopupItem> items;
    while (at_ < text_.size()) ParseMenu(items, 0);
    return items;
  }

 private:
  // menu -> entry { "|" entry }, ending at the "}" that closes it (depth > 0)
  // or at the end of the text.
  void ParseMenu(std::vector<PopupItem>& items, int depth) {
    while (at_ < text_.size()) {
      const char ch = text_[at_];
      if (ch == '|') {
        ++at_;
        continue;
      }
      if (ch == '}') {
        ++at_;
        if (unopened_ > 0) {  // closes a brace taken as text
          --unopened_;
          continue;
        }
        if (depth > 0) return;
        continue;  // stray: no submenu open
      }
      ParseEntry(items, depth);
    }
  }

  // entry -> "-" | ["~"] ["+" | "-"] text ["{" menu "}"]; the text runs to
  // the next "|", "{" or "}".
  void ParseEntry(std::vector<PopupItem>& items, int depth) {
    const std::size_t end = EntryEnd();
    PopupItem item;
    if (text_.substr(at_, end - at_) == "-" && (end == text_.size() || text_[end] != '{')) {
      item.kind = PopupItem::Kind::Separator;
      at_ = end;
      items.push_back(std::move(item));
      return;
    }
    if (at_ < end && text_[at_] == '~') {
      item.greyed = true;
      ++at_;
    }
    if (at_ < end && (text_[at_] == '+' || text_[at_] == '-')) {
      item.checked = text_[at_] == '+';
      ++at_;
    }
    item.text = std::string(text_.substr(at_, end - at_));
    at_ = end;
    if (at_ < text_.size() && text_[at_] == '{') {
      ++at_;
      if (depth < kPopupDepthLimit) {
        item.kind = PopupItem::Kind::Submenu;
        item.checked = false;
        ParseMenu(item.items, depth + 1);
        items.push_back(std::move(item));
        return;
      }
      // Too deep: the brace is text, the entries that follow stay at this level.
      item.text += '{';
      ++unopened_;
    }
    item.number = ++numbered_;
    items.push_back(std::move(item));
  }

  std::size_t EntryEnd() const {
    std::size_t end = at_;
    while (end < text_.size() && text_[end] != '|' && text_[end] != '{' && text_[end] != '}') ++end;
    return end;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  int numbered_ = 0;
  int unopened_ = 0;  // "{" taken as text whose "}" is still to come
};

}  // namespace

std::vector<PopupItem> ParsePopup(std::string_view description) { return PopupParser(description).Parse(); }

const PopupItem* NumberedItem(const std::vector<PopupItem>& items, int number) {
  for (const PopupItem& item : items) {
    if (item.number == number && item.kind == PopupItem::Kind::Item) return &item;
    if (const PopupItem* inner = NumberedItem(item.items, number)) return inner;
  }
  return nullptr;
}

}  // namespace tavero::ui
