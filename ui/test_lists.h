// Test procedures with list boxes, run the same way on the headless and the
// Qt platform: a list that scrolls itself over a 10 000-row queue, an
// immediate list whose page the procedure refills on the scroll events, and
// a tree.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "storage/queues/queue.h"
#include "ui/definitions/window_definition.h"
#include "ui/event.h"
#include "ui/platform.h"
#include "ui/test_windows.h"

namespace tavero::ui::testing {

// A list control with its format; `attributes` the control attribute bits.
definitions::ControlDefinition ListBox(int number, std::string format, definitions::Rect at,
                                       std::uint32_t attributes = 0);

// A queue of cards: NO (INT32), NAME (20 characters), PRICE (PACKED, 2
// places), BOUGHT (a day number).
class CardQueue {
 public:
  CardQueue();
  void Add(int number, std::string_view name, std::int64_t cents, std::int32_t day);
  queues::Queue& queue() { return *queue_; }

 private:
  std::vector<std::uint8_t> record_;
  std::vector<std::uint8_t> layout_;
  std::unique_ptr<queues::Queue> queue_;
};

// The name of card `number` of the demo collection.
std::string CardName(int number);

inline constexpr int kDemoCards = 10000;

// "Lists": list 1 shows all kDemoCards cards and scrolls itself; list 2 is
// an immediate list showing one page of the same cards, which the procedure
// refills on every scroll event; 3 "&Close", which asks "Close the lists?"
// (Yes, No; logged as "MESSAGE " and the answer). Each event of list 2 is
// logged with what it carries (KEYCODE, KEYCHAR, the thumb).
definitions::EntryDefinition ListsWindow();
void ListsProcedure(EventLog& log);

// "Tree": list 1 a tree of "ROOT" with "TOPPS" (children loaded when it is
// expanded, removed when contracted) and "FLEER" (none); 2 "&Close".
definitions::EntryDefinition TreeWindow();
void TreeProcedure(EventLog& log);

}  // namespace tavero::ui::testing

namespace tavero::ui::testing {

// What a person does to the immediate list of ListsWindow, written once for
// both drivers: `press(key_code)` presses a key in list 2. Returns the lines
// the procedure is expected to log.
template <typename Driver, typename Press>
std::vector<std::string> ImmediateListScript(Driver& driver, WindowId window, const Press& press) {
  press(kKeyDown);
  press(kKeyPageDown);
  press(kKeyPageDown | kKeyCtrl);
  press(kKeyHome);
  driver.Scroll(window, 2, ScrollAction::LineDown);
  driver.Scroll(window, 2, ScrollAction::PageDown);
  driver.Scroll(window, 2, ScrollAction::PageUp);
  driver.Scroll(window, 2, ScrollAction::LineUp);
  driver.Scroll(window, 2, ScrollAction::Bottom);
  driver.Scroll(window, 2, ScrollAction::Top);
  driver.DragThumb(window, 2, 50);
  driver.TypeChar(window, 2, 'b');
  driver.TypeChar(window, 2, '\b');
  driver.ClickRow(window, 2, 3, true);
  return {"EVENT:ScrollDown",  "EVENT:PageDown",   "EVENT:ScrollBottom",    "EVENT:ScrollTop",
          "EVENT:ScrollDown",  "EVENT:PageDown",   "EVENT:PageUp",          "EVENT:ScrollUp",
          "EVENT:ScrollBottom", "EVENT:ScrollTop", "EVENT:ScrollDrag thumb 50", "EVENT:AlertKey KEYCHAR 98",
          "EVENT:AlertKey KEYCHAR 8", "EVENT:NewSelection KEYCODE 2"};
}

// "&Close" of ListsWindow pressed twice: the box answered No, then Yes. The
// lines expected, the box's looks (caption, text, buttons, default) first.
template <typename Driver>
std::vector<std::string> CloseListsScript(Driver& driver, WindowId window, std::vector<std::string>& looks) {
  driver.Click(window, 3);
  looks.push_back(driver.MessageCaption());
  looks.push_back(driver.MessageText());
  for (const std::string& text : driver.MessageButtons()) looks.push_back(text);
  looks.push_back(driver.MessageDefault());
  driver.PressButton("&No");
  driver.Click(window, 3);
  driver.PressButton("&Yes");
  return {"MESSAGE 4", "MESSAGE 2"};
}
inline const std::vector<std::string> kCloseListsLooks = {"Lists", "Close the lists?", "&Yes", "&No", "&No"};

// The tree of TreeWindow expanded and contracted; the lines expected.
template <typename Driver>
std::vector<std::string> TreeScript(Driver& driver, WindowId window) {
  driver.Expand(window, 1, 2);
  driver.Contract(window, 1, 2);
  driver.Expand(window, 1, 3);  // FLEER has no children: no box to click
  return {"EVENT:Expanded row 2", "EVENT:Contracted row 2"};
}

}  // namespace tavero::ui::testing
