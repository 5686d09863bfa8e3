// The window engine as procedures use it: windows opened from their
// definitions, the ACCEPT loop, events, properties and threads.
//
//   void BrowseCards() {
//     ui::Window window("ZEPHCOL$zephc003", "BROWSECARDS$QUICKWINDOW");
//     window.Open();
//     ui::ACCEPT([&] {
//       if (ui::EVENT() == ui::Event::Accepted && ui::FIELD() == 2) return ui::LoopResult::Break;
//       return ui::LoopResult::Continue;
//     });
//     window.Close();
//   }
//
// Every function here runs on an engine thread (the main procedure's or one
// started with START) and acts on that thread's engine state; "current
// window" means the thread's top window. Faults are runtime errors reported
// through ReportRuntimeError (526 to 537), which end the program once the
// window system has started.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ui/definitions/window_definition.h"
#include "ui/event.h"
#include "ui/platform.h"

namespace tavero::queues {
class Queue;
}

namespace tavero::ui {

// How one run of the loop body ends.
enum class LoopResult {
  Continue,  // normal end: the engine performs the event's default action
  Cycle,     // CYCLE: the default action is cancelled (a vetoed close, move, size ...)
  Break,     // BREAK: leave the loop; the window stays open
};
using LoopBody = std::function<LoopResult()>;

struct WindowObject;  // the engine's side of a window

// A window of a procedure. Building it reads the definition; Open shows it;
// Close (or the destructor) closes it.
class Window {
 public:
  // Finds the definition by module and procedure label (502 when absent).
  Window(std::string_view module_label, std::string_view procedure_label);
  explicit Window(definitions::EntryDefinition definition);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Opens the window according to its kind: 526-528 for the APPLICATION
  // frame, 530-533 for an MDI child, 529 for a plain window, 535 when open.
  void Open();
  void Close();
  bool IsOpen() const;
  WindowId Id() const;

  // Properties (numbers in ui/properties.h); control 0 addresses the window
  // itself. 536 when the window is not open. Numbers are read and written as
  // their decimal text.
  std::string GetProperty(int control, int property, int index = 0) const;
  void SetProperty(int control, int property, std::string_view value, int index = 0);
  void SetProperty(int control, int property, int value, int index = 0);

  // List boxes. SetListFrom shows `queue` (nullptr: none) in list `control`:
  // the list shows the queue's entries as they stand whenever a run of the
  // loop body ends and on DISPLAY, each column formatted by its picture. The
  // queue must stay alive while it is shown. May be called before Open.
  void SetListFrom(int control, queues::Queue* queue);
  // Registers icon `icon` (1, 2 ...) of a list from an image file; the rows'
  // icon fields name it.
  void SetListIcon(int control, int icon, std::string_view file);

  // Image controls. Setting the text property of one to a file name shows
  // that picture; SetPicture shows one the program drew (a page, for one).
  void SetPicture(int control, const images::Image& picture);

 private:
  friend void SELECT(Window& window, int control);
  std::unique_ptr<WindowObject> object_;
};

void SELECT(Window& window, int control);

// Runs the loop over the current window, calling `body` once per event, and
// returns when the loop is over. 537 when the thread has no window.
void ACCEPT(const LoopBody& body);

Event EVENT();     // the current event, Event::None if none
int FIELD();       // number of the event's control when it is a numbered field, else 0
int ACCEPTED();    // the control number when the current event is EVENT:Accepted, else 0
int SELECTED();    // the control whose EVENT:Selected was delivered last in the current window
int KEYCODE();     // key code of the current event (or the thread's last key), masked with 7FFh
int KEYCHAR();     // character of that key
int THREAD();      // the calling thread's number (1-64)
// True on an engine thread that runs procedure code (it holds the engine
// lock); false on any other thread and while the window system does not run.
bool OnEngineThread();

// Queues `event` for `control` (0: none) at the top window of thread
// `thread` (0: the calling thread, else a thread number).
void POST(Event event, int control = 0, int thread = 0);

// Focuses `control` of the current window; 0 starts accept-all.
void SELECT(int control = 0);
// Makes `key_code` an alert key of `control` of the current window (0: of
// every control): when the key is pressed there, EVENT:PreAlert is delivered
// at once and, unless the body answers CYCLE, the key goes no further and
// EVENT:AlertKey follows.
void ALERT(int control, int key_code);

// Shows the current window's controls again as they stand (texts, values,
// enabled and visible state).
void DISPLAY();

// Starts `procedure` on a new thread and returns its thread number, or 0
// while the engine is MODAL, when all 63 started slots are taken or the
// platform refuses the thread. A stack size of 0 means 10000 bytes; less
// than 5000 is raised to 5000.
int START(std::function<void()> procedure, int stack_size = 0);

// Shows a message box over the current window and waits for it: `buttons`
// and `default_button` are bits of ui/message_box.h's button table (0: OK
// alone), `icon` an icon description; "|" in `text` breaks the line.
// Answers the bit of the button pressed; Escape and the close box answer
// Cancel's bit, 64. Other threads run meanwhile.
int MESSAGE(std::string_view text, std::string_view caption = {}, std::string_view icon = {}, int buttons = 0,
            int default_button = 0, bool system_modal = false);
// Shows a popup menu built from `description` (ui/popup_menu.h) with its
// left edge at screen position x, y (kAtPointer: the mouse pointer's) and
// answers the number of the item chosen, 0 when none was.
int POPUP(std::string_view description, int x = kAtPointer, int y = kAtPointer);

// Shows `text` in a box with the stop icon and OK, titled like the
// APPLICATION frame, and then ends the program with `exit_code`.
[[noreturn]] void HALT(int exit_code, std::string_view text);

// The mouse cursor: kWaitCursor while a long step runs, 0 for the normal one.
void SETCURSOR(int stock_cursor = 0);
// The wait cursor for the lifetime of the object.
class BusyCursor {
 public:
  BusyCursor() { SETCURSOR(kWaitCursor); }
  ~BusyCursor() { SETCURSOR(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// Properties of the current window (see Window::GetProperty).
std::string GetProperty(int control, int property, int index = 0);
void SetProperty(int control, int property, std::string_view value, int index = 0);
void SetProperty(int control, int property, int value, int index = 0);

// The running engine's printer (Platform::Printer); nullptr when the window
// system does not run or its platform cannot print.
PrinterPort* CurrentPrinter();

// The platform's error box (stop icon, OK), without halting; standard error
// when the window system does not run.
void ShowErrorBox(std::string_view title, std::string_view text);

// Runs `work` with the engine lock given up, so that other threads handle
// their windows meanwhile (a report between two printed pages). `work` must
// touch no engine or runtime state. Outside an engine thread it just runs.
void WithoutEngineLock(const std::function<void()>& work);

class EngineCore;

// The engine itself: one per process while the window system runs. Creating
// it starts the window system (runtime errors from then on end the program
// and appear in the platform's error box); destroying it asks every
// remaining thread to leave its loops, waits for them, and stops it again.
class Engine {
 public:
  struct Options {
    bool trace = false;                         // event trace on from the start
    std::filesystem::path trace_directory = ".";  // where "TVLOG.TXT" is written
  };

  explicit Engine(Platform& platform);
  Engine(Platform& platform, Options options);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // The sink the platform posts user input to (also attached on creation).
  MessageSink& Sink();

  // Runs `main` as thread 1 (slot 0) on the calling thread and returns when
  // it returns. A Qt program calls this from a thread of its own, leaving
  // the GUI thread free.
  void RunMain(const std::function<void()>& main);

  // For drivers outside the engine threads (tests, the headless driver):
  // blocks until every engine thread waits for platform input with nothing
  // queued, or has ended. Never call it from an engine thread.
  void WaitUntilIdle();
  // Number of engine threads alive (the main one included).
  int LiveThreads() const;

  // Asks every engine thread to leave its ACCEPT loops (their procedures
  // then run to their end) and waits until all have ended. The destructor
  // does this too. Never call it from an engine thread.
  void Shutdown();
  // The asking half of Shutdown, without the wait: for the GUI thread, which
  // must go on serving the loop while the engine threads end.
  void RequestShutdown();

  // The event trace to "TVLOG.TXT".
  void SetEventTrace(bool on);

  // The stack size a started thread was given (after the rules of START),
  // 0 when the thread number is not in use.
  std::size_t StackSize(int thread_number) const;

 private:
  std::unique_ptr<EngineCore> core_;
};

}  // namespace tavero::ui
