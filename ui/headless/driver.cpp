#include "ui/headless/driver.h"

#include <algorithm>
#include <cctype>

namespace tavero::ui::headless {
namespace {

const ControlSpec* FindNumber(const ScreenWindow& window, int number) {
  for (const ControlSpec& control : window.blueprint.controls) {
    if (control.number == number && number != 0) return &control;
  }
  return nullptr;
}

// The tab's place (1-based) among the tab pages of its sheet.
int TabNumber(const ScreenWindow& window, const ControlSpec& tab) {
  int number = 0;
  for (const ControlSpec& control : window.blueprint.controls) {
    if (control.parent == tab.parent && control.kind == ControlKind::Tab) ++number;
    if (control.handle == tab.handle) return number;
  }
  return 0;
}

// A person sees a control when it and every control around it are visible,
// and each tab page around it is the one chosen on its sheet; `usable` asks
// that they are all enabled too.
bool Shown(const ScreenWindow& window, const ControlSpec* control, bool usable) {
  for (const ControlSpec* c = control; c != nullptr;) {
    if (!c->visible || (usable && !c->enabled)) return false;
    const ControlSpec* parent = c->parent == kNoControl ? nullptr : &window.blueprint.controls[c->parent];
    if (c->kind == ControlKind::Tab && parent != nullptr && parent->value != TabNumber(window, *c)) return false;
    c = parent;
  }
  return control != nullptr;
}

// The popup's entries with their paths ("Title/Item"), in order.
void FlattenPopup(const std::vector<PopupItem>& items, const std::string& prefix,
                  std::vector<std::pair<std::string, const PopupItem*>>& out) {
  for (const PopupItem& item : items) {
    const std::string path = prefix + (item.kind == PopupItem::Kind::Separator ? "-" : item.text);
    if (item.kind == PopupItem::Kind::Submenu) {
      FlattenPopup(item.items, path + "/", out);
    } else {
      out.emplace_back(path, &item);
    }
  }
}

std::string_view ButtonText(int bit) {
  for (const ButtonRow& row : ButtonTable()) {
    if (row.bit == bit) return row.text;
  }
  return {};
}

}  // namespace

HeadlessDriver::HeadlessDriver(HeadlessPlatform& platform, Engine& engine) : platform_(platform), engine_(engine) {}

void HeadlessDriver::Settle() { engine_.WaitUntilIdle(); }

std::vector<ScreenWindow> HeadlessDriver::Windows() const { return platform_.Windows(); }

std::vector<std::string> HeadlessDriver::Titles() const {
  std::vector<std::string> titles;
  for (const ScreenWindow& window : platform_.Windows()) titles.push_back(window.blueprint.title);
  return titles;
}

WindowId HeadlessDriver::Find(std::string_view title) const {
  std::vector<ScreenWindow> windows = platform_.Windows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (it->blueprint.title == title) return it->blueprint.id;
  }
  return kNoWindow;
}

WindowId HeadlessDriver::Active() const { return platform_.ActiveWindow(); }

std::optional<ControlSpec> HeadlessDriver::Control(WindowId window, int number) const {
  std::optional<ScreenWindow> screen = platform_.Find(window);
  if (!screen) return std::nullopt;
  const ControlSpec* control = FindNumber(*screen, number);
  return control != nullptr ? std::optional<ControlSpec>(*control) : std::nullopt;
}

std::string HeadlessDriver::Text(WindowId window, int number) const {
  std::optional<ControlSpec> control = Control(window, number);
  return control ? control->text : std::string();
}

bool HeadlessDriver::Enabled(WindowId window, int number) const {
  std::optional<ControlSpec> control = Control(window, number);
  return control && control->enabled;
}

bool HeadlessDriver::Visible(WindowId window, int number) const {
  std::optional<ScreenWindow> screen = platform_.Find(window);
  return screen && Shown(*screen, FindNumber(*screen, number), false);
}

int HeadlessDriver::Focused(WindowId window) const {
  std::optional<ScreenWindow> screen = platform_.Find(window);
  if (!screen || screen->focused < 0 || static_cast<std::size_t>(screen->focused) >= screen->blueprint.controls.size()) {
    return 0;
  }
  return screen->blueprint.controls[screen->focused].number;
}

std::string HeadlessDriver::StatusText(WindowId window, int zone) const {
  std::optional<ScreenWindow> screen = platform_.Find(window);
  if (!screen) return {};
  auto found = screen->status_texts.find(zone);
  return found == screen->status_texts.end() ? std::string() : found->second;
}

std::optional<ControlSpec> HeadlessDriver::Reachable(WindowId window, int number) const {
  std::optional<ScreenWindow> screen = platform_.Find(window);
  if (!screen) return std::nullopt;
  const ControlSpec* control = FindNumber(*screen, number);
  if (!Shown(*screen, control, true)) return std::nullopt;
  return *control;
}

bool HeadlessDriver::SendAndSettle(PlatformMessage message) {
  bool sent = platform_.Send(std::move(message));
  Settle();
  return sent;
}

bool HeadlessDriver::ChooseMenu(WindowId window, int item_number) {
  std::optional<ControlSpec> item = Reachable(window, item_number);
  if (!item || item->kind != ControlKind::Item) return false;
  return SendAndSettle(MakeMessage(MessageKind::Command, window, item->handle));
}

bool HeadlessDriver::ChooseMenu(WindowId window, std::string_view item_text) {
  std::optional<ScreenWindow> screen = platform_.Find(window);
  if (!screen) return false;
  for (const ControlSpec& control : screen->blueprint.controls) {
    if (control.kind == ControlKind::Item && control.text == item_text) return ChooseMenu(window, control.number);
  }
  return false;
}

bool HeadlessDriver::Click(WindowId window, int number) {
  std::optional<ControlSpec> control = Reachable(window, number);
  if (!control) return false;
  if (control->kind == ControlKind::Check) return SetCheck(window, number, control->value == 0);
  return SendAndSettle(MakeMessage(MessageKind::Command, window, control->handle));
}

bool HeadlessDriver::Focus(WindowId window, int number) {
  std::optional<ControlSpec> control = Reachable(window, number);
  if (!control) return false;
  return SendAndSettle(MakeMessage(MessageKind::Focus, window, control->handle));
}

// The person clicks into the field (when it does not have the focus), types
// the text over what was there, and leaves the field.
bool HeadlessDriver::Type(WindowId window, int number, std::string_view text) {
  std::optional<ControlSpec> control = Reachable(window, number);
  if (!control) return false;
  if (Focused(window) != number) Focus(window, number);
  PlatformMessage edit = MakeMessage(MessageKind::Edit, window, control->handle);
  edit.text = text;
  return SendAndSettle(std::move(edit));
}

bool HeadlessDriver::PressKey(WindowId window, int number, int key_code, int key_char) {
  std::optional<ControlSpec> control = Reachable(window, number);
  if (!control) return false;
  PlatformMessage key = MakeMessage(MessageKind::Key, window, control->handle);
  key.key_code = key_code;
  key.key_char = key_char;
  return SendAndSettle(std::move(key));
}

bool HeadlessDriver::SetCheck(WindowId window, int number, bool checked) {
  std::optional<ControlSpec> control = Reachable(window, number);
  if (!control) return false;
  return SendAndSettle(MakeMessage(MessageKind::Check, window, control->handle, checked ? 1 : 0));
}

bool HeadlessDriver::SetSpin(WindowId window, int number, int value) {
  std::optional<ControlSpec> control = Reachable(window, number);
  if (!control || control->kind != ControlKind::Spin) return false;
  if (control->high > control->low) value = std::clamp(value, control->low, control->high);
  return SendAndSettle(MakeMessage(MessageKind::Check, window, control->handle, value));
}

bool HeadlessDriver::PickTab(WindowId window, int sheet_number, int tab) {
  std::optional<ControlSpec> sheet = Reachable(window, sheet_number);
  if (!sheet || sheet->kind != ControlKind::Sheet || tab < 1) return false;
  return SendAndSettle(MakeMessage(MessageKind::TabSelect, window, sheet->handle, tab));
}

bool HeadlessDriver::SelectRow(WindowId window, int list_number, int row) {
  std::optional<ControlSpec> list = Reachable(window, list_number);
  if (!list || list->kind != ControlKind::List) return false;
  return SendAndSettle(MakeMessage(MessageKind::ListSelect, window, list->handle, row));
}

std::optional<ShownList> HeadlessDriver::List(WindowId window, int number) const {
  std::optional<ControlSpec> control = Control(window, number);
  if (!control || control->kind != ControlKind::List) return std::nullopt;
  return platform_.List(window, control->handle);
}

std::optional<ShownPicture> HeadlessDriver::Picture(WindowId window, int number) const {
  std::optional<ScreenWindow> screen = platform_.Find(window);
  if (!screen) return std::nullopt;
  const ControlSpec* control = FindNumber(*screen, number);
  if (control == nullptr || control->kind != ControlKind::Image) return std::nullopt;
  auto shown = screen->pictures.find(control->handle);
  return shown != screen->pictures.end() ? shown->second : ShownPicture{};
}

bool HeadlessDriver::ClickRow(WindowId window, int list_number, int row, bool right_button) {
  std::optional<ControlSpec> list = Reachable(window, list_number);
  std::optional<ShownList> shown = List(window, list_number);
  if (!list || !shown || row <= shown->top || row > shown->top + static_cast<int>(shown->rows.size())) return false;
  if (Focused(window) != list_number) Focus(window, list_number);
  if (!right_button && row == shown->selected) return true;  // the highlight does not move
  PlatformMessage click = MakeMessage(MessageKind::ListSelect, window, list->handle, row);
  click.key_code = right_button ? kKeyMouseRight : kKeyMouseLeft;
  // The pointer rests in the middle of the row's first column.
  const bool headings = !shown->headings.empty() && std::any_of(shown->headings.begin(), shown->headings.end(),
                                                                [](const std::string& h) { return !h.empty(); });
  click.mouse_x = list->position.x + 4;
  click.mouse_y = list->position.y + 1 + (headings ? ScreenList::kRowHeight : 0) +
                  (row - shown->top - 1) * ScreenList::kRowHeight + ScreenList::kRowHeight / 2;
  return SendAndSettle(std::move(click));
}

bool HeadlessDriver::Scroll(WindowId window, int list_number, ScrollAction action) {
  std::optional<ControlSpec> list = Reachable(window, list_number);
  std::optional<ShownList> shown = List(window, list_number);
  if (!list || !shown || !shown->scroll_bar) return false;
  return SendAndSettle(MakeMessage(MessageKind::ListScroll, window, list->handle, static_cast<int>(action)));
}

bool HeadlessDriver::DragThumb(WindowId window, int list_number, int position) {
  std::optional<ControlSpec> list = Reachable(window, list_number);
  std::optional<ShownList> shown = List(window, list_number);
  if (!list || !shown || !shown->scroll_bar) return false;
  return SendAndSettle(MakeMessage(MessageKind::ListThumb, window, list->handle, position));
}

bool HeadlessDriver::TypeChar(WindowId window, int list_number, char character) {
  const auto c = static_cast<unsigned char>(character);
  const int key_code = std::isalnum(c) != 0 && c < 0x80 ? std::toupper(c) : c == ' ' || c == '\b' ? c : 0;
  return PressKey(window, list_number, key_code, c);
}

// The box of a tree row in sight, when it shows `box`.
bool HeadlessDriver::ClickTreeBox(WindowId window, int list_number, int row, TreeBox box, MessageKind kind) {
  std::optional<ControlSpec> list = Reachable(window, list_number);
  std::optional<ScreenWindow> screen = platform_.Find(window);
  if (!list || !screen) return false;
  const ScreenList& shown = screen->lists.at(list->handle);
  const int count = static_cast<int>(shown.rows.size());
  if (row <= shown.top || row > std::min(count, shown.top + shown.rows_visible)) return false;
  const int next = row < count ? shown.rows[static_cast<std::size_t>(row)].level : 0;
  if (TreeBoxOf(shown.rows[static_cast<std::size_t>(row - 1)].level, next) != box) return false;
  return SendAndSettle(MakeMessage(kind, window, list->handle, row));
}

bool HeadlessDriver::Expand(WindowId window, int list_number, int row) {
  return ClickTreeBox(window, list_number, row, TreeBox::Contracted, MessageKind::ListExpand);
}

bool HeadlessDriver::Contract(WindowId window, int list_number, int row) {
  return ClickTreeBox(window, list_number, row, TreeBox::Expanded, MessageKind::ListContract);
}

bool HeadlessDriver::ResizeList(WindowId window, int list_number, int height) {
  std::optional<ControlSpec> list = Control(window, list_number);
  if (!list || list->kind != ControlKind::List) return false;
  const bool done = platform_.ResizeList(window, list->handle, height);
  Settle();
  return done;
}

bool HeadlessDriver::Activate(WindowId window) {
  bool done = platform_.Activate(window);
  Settle();
  return done;
}

bool HeadlessDriver::Close(WindowId window) { return SendAndSettle(MakeMessage(MessageKind::Close, window)); }

bool HeadlessDriver::SystemCommand(WindowId window, SysCommand command) {
  return SendAndSettle(MakeMessage(MessageKind::SysCommand, window, kNoControl, static_cast<int>(command)));
}

// Timers count in hundredths of a second: time passes in steps of 10 ms, and
// the engine reacts to each step's ticks before the next, as it would keep up
// with a real clock.
void HeadlessDriver::PassTime(int milliseconds) {
  constexpr int kStep = 10;
  for (int passed = 0; passed < milliseconds; passed += kStep) {
    platform_.PassTime(std::min(kStep, milliseconds - passed));
    Settle();
  }
}

std::optional<ScreenMessageBox> HeadlessDriver::MessageBox() const {
  std::vector<ScreenMessageBox> boxes = platform_.MessageBoxes();
  if (boxes.empty()) return std::nullopt;
  return boxes.back();
}

std::string HeadlessDriver::MessageCaption() const {
  std::optional<ScreenMessageBox> box = MessageBox();
  return box ? box->box.caption : std::string();
}

std::string HeadlessDriver::MessageText() const {
  std::optional<ScreenMessageBox> box = MessageBox();
  if (!box) return {};
  std::string text = box->box.text;
  for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.replace(at, 2, "\n");
  return text;
}

std::vector<std::string> HeadlessDriver::MessageButtons() const {
  std::vector<std::string> texts;
  if (std::optional<ScreenMessageBox> box = MessageBox()) {
    for (int bit : box->box.buttons) texts.emplace_back(ButtonText(bit));
  }
  return texts;
}

std::string HeadlessDriver::MessageDefault() const {
  std::optional<ScreenMessageBox> box = MessageBox();
  return box ? std::string(ButtonText(box->box.default_button)) : std::string();
}

std::vector<std::string> HeadlessDriver::PopupItems() const {
  std::vector<ScreenPopup> popups = platform_.Popups();
  std::vector<std::string> paths;
  if (popups.empty()) return paths;
  std::vector<std::pair<std::string, const PopupItem*>> flat;
  FlattenPopup(popups.back().popup.items, "", flat);
  for (const auto& [path, item] : flat) paths.push_back(path);
  return paths;
}

bool HeadlessDriver::PopupItemEnabled(std::string_view path) const {
  std::vector<ScreenPopup> popups = platform_.Popups();
  if (popups.empty()) return false;
  std::vector<std::pair<std::string, const PopupItem*>> flat;
  FlattenPopup(popups.back().popup.items, "", flat);
  for (const auto& [item_path, item] : flat) {
    if (item_path == path) return item->kind == PopupItem::Kind::Item && !item->greyed;
  }
  return false;
}

bool HeadlessDriver::PopupItemChecked(std::string_view path) const {
  std::vector<ScreenPopup> popups = platform_.Popups();
  if (popups.empty()) return false;
  std::vector<std::pair<std::string, const PopupItem*>> flat;
  FlattenPopup(popups.back().popup.items, "", flat);
  for (const auto& [item_path, item] : flat) {
    if (item_path == path) return item->checked;
  }
  return false;
}

bool HeadlessDriver::PressButton(std::string_view text) {
  std::optional<ScreenMessageBox> box = MessageBox();
  if (!box) return false;
  for (int bit : box->box.buttons) {
    if (ButtonText(bit) != text) continue;
    const bool done = platform_.AnswerDialog(box->id, bit);
    Settle();
    return done;
  }
  return false;
}

bool HeadlessDriver::PressEscape() {
  std::optional<ScreenMessageBox> box = MessageBox();
  if (box) {
    const bool done = platform_.AnswerDialog(box->id, kEscapeAnswer);
    Settle();
    return done;
  }
  return DismissPopup();
}

bool HeadlessDriver::ChoosePopupItem(std::string_view path) {
  std::vector<ScreenPopup> popups = platform_.Popups();
  if (popups.empty()) return false;
  std::vector<std::pair<std::string, const PopupItem*>> flat;
  FlattenPopup(popups.back().popup.items, "", flat);
  for (const auto& [item_path, item] : flat) {
    if (item_path != path) continue;
    if (item->kind != PopupItem::Kind::Item || item->greyed) return false;
    const bool done = platform_.AnswerDialog(popups.back().id, item->number);
    Settle();
    return done;
  }
  return false;
}

bool HeadlessDriver::DismissPopup() {
  std::vector<ScreenPopup> popups = platform_.Popups();
  if (popups.empty()) return false;
  const bool done = platform_.AnswerDialog(popups.back().id, 0);
  Settle();
  return done;
}

HeadlessProgram::HeadlessProgram(std::function<void()> main, Engine::Options options)
    : engine_(platform_, std::move(options)), driver_(platform_, engine_) {
  std::atomic<bool> started{false};
  main_ = std::thread([this, &started, main = std::move(main)] {
    engine_.RunMain([&] {
      started = true;
      started.notify_one();
      main();
      finished_ = true;
    });
  });
  started.wait(false);
  driver_.Settle();
}

HeadlessProgram::~HeadlessProgram() {
  engine_.Shutdown();
  main_.join();
}

}  // namespace tavero::ui::headless
