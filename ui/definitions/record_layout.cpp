#include "ui/definitions/record_layout.h"

namespace tavero::definitions::layout {

std::optional<ControlLayout> LayoutOf(std::uint8_t kind) {
  ControlLayout l;  // the general layout; kinds below move what they keep elsewhere
  switch (static_cast<ControlKind>(kind)) {
    case ControlKind::Field:
      l.position = 25;
      l.picture = 45;
      return l;
    case ControlKind::String:
      l.text = 41;
      l.font = 45;
      return l;
    case ControlKind::Image:
      l.text = 37;  // the file name
      return l;
    case ControlKind::Button:
      l.tip = 37;
      l.text = 65;
      return l;
    case ControlKind::Prompt:
      l.text = 41;
      return l;
    case ControlKind::List:
    case ControlKind::Combo:
      l.source = 21;
      l.format = 25;
      l.position = 29;
      l.message = 45;
      return l;
    case ControlKind::Spin:
      l.position = 25;
      l.message = 41;
      return l;
    case ControlKind::Menu:
      l.position = -1;
      l.text = 25;
      l.message = 29;
      l.first_child = 53;
      return l;
    case ControlKind::Item:
      l.position = -1;
      l.text = 25;
      l.message = 29;
      l.key_code = 41;
      return l;
    case ControlKind::MenuBar:
      l.number = -1;
      l.position = -1;
      l.first_child = 13;
      return l;
    case ControlKind::Header:
    case ControlKind::Footer:
    case ControlKind::Form:
    case ControlKind::Detail:
      l.first_child = 21;
      l.position = 29;
      return l;
    case ControlKind::Break:
      l.number = -1;
      l.position = -1;
      l.first_child = 13;
      l.variable = 17;
      return l;
    case ControlKind::Progress:
    case ControlKind::Sheet:
      l.position = 25;
      return l;
    case ControlKind::Box:
    case ControlKind::Line:
    case ControlKind::Region:
    case ControlKind::Group:
    case ControlKind::Option:
    case ControlKind::Entry:
    case ControlKind::Text:
    case ControlKind::Check:
    case ControlKind::Radio:
    case ControlKind::Tab:
      return l;
  }
  return std::nullopt;
}

}  // namespace tavero::definitions::layout
