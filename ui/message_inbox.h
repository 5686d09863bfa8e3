// The message queues of the engine threads: where platform input and posted
// event records wait until their thread takes them.
//
// Invariants (all under `mutex_`, never held while taking the engine lock):
//  (1) A thread slot is live from START (or RunMain) until its teardown.
//  (2) waiting_[s] is true only while slot s blocks in Wait with an empty queue.
//  (3) The engine is idle when every live slot is waiting (so its queue is empty).
//  (4) routes_ maps each open window to the slot that owns it; a message for a
//      window without a route is dropped.
#pragma once

#include <array>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>

#include "ui/event.h"
#include "ui/platform.h"

namespace tavero::ui {

inline constexpr int kThreadSlots = 64;

// One item of a thread's queue: a platform message, an event record posted to
// a window (the engine's message 241Bh), or an engine request.
struct InboxItem {
  enum class Kind { Platform, Posted, Wake, Quit };
  Kind kind = Kind::Platform;
  PlatformMessage message;
  EventRecord record;  // Kind::Posted
};

class MessageInbox {
 public:
  // Routing of platform messages by window (any thread).
  void Route(WindowId window, int slot);
  void Unroute(WindowId window);
  // A platform message for the slot that owns its window.
  void PostPlatform(PlatformMessage message);
  void Push(int slot, InboxItem item);

  // Blocks until the slot's queue holds an item and takes it.
  InboxItem Wait(int slot);

  void SetLive(int slot, bool live);
  int LiveCount() const;
  void WaitUntilIdle();
  void WaitUntilNoneLive();

 private:
  bool IdleLocked() const;

  mutable std::mutex mutex_;
  std::condition_variable idle_changed_;
  std::array<std::condition_variable, kThreadSlots> arrived_;
  std::array<std::deque<InboxItem>, kThreadSlots> queues_;
  std::array<bool, kThreadSlots> live_{};
  std::array<bool, kThreadSlots> waiting_{};
  std::map<WindowId, int> routes_;
};

}  // namespace tavero::ui
