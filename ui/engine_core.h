// The engine's state and its operations: the thread table, the engine lock,
// the windows, the ACCEPT loop and dispatch. Internal to ui/.
//
// Invariants:
//  (1) One engine lock: exactly one engine thread runs engine or procedure
//      code at a time; a thread gives it up only while it waits for platform
//      input (WaitForMessage), while it pauses between attempts at a lock
//      another station holds outside a transaction (PauseForLock), and at
//      its end, and while it waits for a message box or popup menu outside a
//      transaction (RunDialog).
//  (2) current_slot_ is the slot of the thread holding the lock; the error
//      state in the runtime belongs to that thread, every other slot keeps its
//      own copy in ThreadSlot::saved_error.
//  (3) A slot is free (!used), running, or being torn down; it is used again
//      only after its platform thread has been joined.
//  (4) modal_depth_ counts open modal windows plus synchronous deliveries in
//      progress; the engine is MODAL while it is above 0.
//  (5) At most one APPLICATION frame is open (application_).
#pragma once

#include <pthread.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/error_state.h"
#include "ui/engine.h"
#include "ui/event_trace.h"
#include "ui/message_inbox.h"
#include "ui/window_object.h"

namespace tavero::ui {

// The picture an image file holds, found as image controls find it; empty
// when it cannot be found or decoded.
images::Image LoadNamedPicture(std::string_view file);

struct ThreadSlot {
  bool used = false;
  std::thread::id id;              // platform thread id
  std::function<void()> procedure;
  std::size_t stack_size = 0;      // as START settled it
  std::vector<WindowObject*> windows;  // open windows, the top one last
  WindowObject* target = nullptr;  // an explicit target window
  int last_key_code = 0;
  int last_key_char = 0;
  ErrorState saved_error;
  bool quit = false;               // the engine is shutting down: loops end at once
};

class EngineCore final : public MessageSink {
 public:
  EngineCore(Platform& platform, Engine::Options options);
  ~EngineCore() override;

  // The engine of the process, nullptr when the window system does not run.
  static EngineCore* Installed();

  // MessageSink: any thread.
  void Post(PlatformMessage message) override;

  // Threads.
  void RunMain(const std::function<void()>& main);
  int Start(std::function<void()> procedure, int stack_size);
  void WaitUntilIdle() { inbox_.WaitUntilIdle(); }
  int LiveThreads() const { return inbox_.LiveCount(); }
  std::size_t StackSize(int thread_number);
  void SetEventTrace(bool on) { trace_.SetEnabled(on); }
  void Shutdown();
  void RequestShutdown();

  // Everything below runs on an engine thread holding the lock.
  bool LockHeld() const;
  int CurrentSlot() const { return current_slot_; }
  ThreadSlot& Slot() { return slots_[current_slot_]; }
  WindowObject* TopWindow(int slot);
  WindowObject* CurrentWindow();  // the target window, else the thread's top window

  void OpenWindow(WindowObject& window);
  void CloseWindow(WindowObject& window);
  void Accept(const LoopBody& body);
  void PostEvent(Event event, int control_number, int thread_number);
  void Select(WindowObject& window, int control_number);

  // MESSAGE and POPUP: shows the dialog and waits for its answer.
  int Message(MessageBoxSpec box);
  int Popup(PopupSpec popup);
  std::string ApplicationTitle() const;  // empty without a frame

  std::string GetProperty(WindowObject* window, int control, int property, int index);
  void SetProperty(WindowObject* window, int control, int property, std::string_view value, int index);

  // List boxes (list_box.cpp).
  void SetListFrom(WindowObject& window, int control_number, queues::Queue* queue);
  void SetListIcon(WindowObject& window, int control_number, int icon, std::string_view file);
  // Sends the rows of each list whose queue changed since it was last shown
  // (every list when `force`).
  void ShowLists(WindowObject& window, bool force);

  // Image controls (image_controls.cpp): the pictures their texts name, sent
  // when the window opens and when the text changes; a picture the program drew.
  void ShowImageControls(WindowObject& window);
  void SetImageFile(WindowObject& window, ControlSpec& control, std::string_view file);
  // An image control shows its file: a page (SetPage) or a picture (SetImage).
  void ShowImageFile(WindowObject& window, const ControlSpec& control);
  void SetPicture(WindowObject& window, int control_number, const images::Image& picture);

  Platform& platform() { return platform_; }
  // Gives up the lock while `work` runs (see WithoutEngineLock).
  void RunUnlocked(const std::function<void()>& work);

 private:
  enum class Delivery { End, Continue, Cycle };

  static void* ThreadEntry(void* argument);
  void RunThread(int slot);
  void TakeLock();
  void ReleaseLock();
  void SwitchToThisThread();
  void TearDownThread(int slot);
  InboxItem WaitForMessage();
  void PauseForLock(std::chrono::milliseconds pause);
  int RunDialog(WindowId dialog, const std::function<void()>& show);

  bool Dispatch(WindowObject& window);
  std::optional<EventRecord> NextRecord(WindowObject& window, bool& over);
  Delivery Deliver(WindowObject& window, EventRecord record);
  Delivery DeliverNow(WindowObject& window, EventRecord record);
  Delivery RunBody(WindowObject& window, EventRecord record);
  void FocusBetweenThreads();
  void HandleMessage(InboxItem item);
  void HandlePlatformMessage(WindowObject& window, const PlatformMessage& message);
  bool CoveredByPlainWindow(const WindowObject& window) const;
  void HandleCommand(WindowObject& window, ControlHandle control);
  void HandleSysCommand(WindowObject& window, SysCommand command);
  void HandleListKey(WindowObject& window, ControlHandle control, int key_code, int key_char);
  void HandleListMessage(WindowObject& window, ControlSpec& control, const PlatformMessage& message);
  bool GetListProperty(WindowObject& window, const ControlSpec& control, int property, std::string& value);
  bool SetListProperty(WindowObject& window, ControlSpec& control, int property, std::string_view value);
  void ShowThreadLists();

  EventRecord MakeRecord(WindowObject& window, Event event, ControlHandle control);
  void PostRecord(WindowObject& window, Event event, ControlHandle control);
  void SelectControl(WindowObject& window, ControlHandle control);
  bool AcceptAllRefuses(const WindowObject& window, const ControlSpec& control) const;
  void Trace(const WindowObject& window, const EventRecord& record);
  void StartTimer(WindowObject& window, int hundredths);
  void ForgetWindow(WindowObject& window);

  Platform& platform_;
  MessageInbox inbox_;
  EventTrace trace_;

  std::mutex lock_;  // the engine lock (1)
  std::atomic<std::thread::id> lock_owner_{};
  int current_slot_ = -1;  // (2)
  std::array<ThreadSlot, kThreadSlots> slots_;
  std::array<pthread_t, kThreadSlots> handles_{};
  std::array<bool, kThreadSlots> joinable_{};
  std::mutex handles_mutex_;  // handles_ and joinable_: START and the engine's end

  std::atomic<bool> shutting_down_{false};
  int last_body_thread_ = -1;
  WindowObject* application_ = nullptr;  // (5)
  int modal_depth_ = 0;                  // (4)
  int modal_windows_ = 0;
  int focus_thread_now_ = -1;
  int focus_thread_before_ = -1;
  int mouse_x_ = 0;
  int mouse_y_ = 0;
  WindowId next_window_id_ = 1;
  std::map<WindowId, WindowObject*> windows_;
};

}  // namespace tavero::ui
