#include "ui/message_inbox.h"

#include <cassert>

namespace tavero::ui {

void MessageInbox::Route(WindowId window, int slot) {
  std::lock_guard lock(mutex_);
  routes_[window] = slot;
}

void MessageInbox::Unroute(WindowId window) {
  std::lock_guard lock(mutex_);
  routes_.erase(window);
}

void MessageInbox::PostPlatform(PlatformMessage message) {
  std::lock_guard lock(mutex_);
  auto route = routes_.find(message.window);
  if (route == routes_.end()) return;  // (4)
  int slot = route->second;
  if (!live_[slot]) return;
  InboxItem item;
  item.message = std::move(message);
  queues_[slot].push_back(std::move(item));
  arrived_[slot].notify_one();
}

void MessageInbox::Push(int slot, InboxItem item) {
  assert(slot >= 0 && slot < kThreadSlots);
  std::lock_guard lock(mutex_);
  if (!live_[slot]) return;
  queues_[slot].push_back(std::move(item));
  arrived_[slot].notify_one();
}

InboxItem MessageInbox::Wait(int slot) {
  std::unique_lock lock(mutex_);
  if (queues_[slot].empty()) {
    waiting_[slot] = true;  // (2)
    if (IdleLocked()) idle_changed_.notify_all();
    arrived_[slot].wait(lock, [&] { return !queues_[slot].empty(); });
    waiting_[slot] = false;
  }
  InboxItem item = std::move(queues_[slot].front());
  queues_[slot].pop_front();
  return item;
}

void MessageInbox::SetLive(int slot, bool live) {
  std::lock_guard lock(mutex_);
  live_[slot] = live;
  waiting_[slot] = false;
  if (!live) {
    queues_[slot].clear();
    for (auto it = routes_.begin(); it != routes_.end();) {
      it = it->second == slot ? routes_.erase(it) : std::next(it);
    }
  }
  idle_changed_.notify_all();
}

int MessageInbox::LiveCount() const {
  std::lock_guard lock(mutex_);
  int count = 0;
  for (bool live : live_) count += live ? 1 : 0;
  return count;
}

bool MessageInbox::IdleLocked() const {
  for (int slot = 0; slot < kThreadSlots; ++slot) {
    if (live_[slot] && (!waiting_[slot] || !queues_[slot].empty())) return false;  // (3)
  }
  return true;
}

void MessageInbox::WaitUntilIdle() {
  std::unique_lock lock(mutex_);
  idle_changed_.wait(lock, [&] { return IdleLocked(); });
}

void MessageInbox::WaitUntilNoneLive() {
  std::unique_lock lock(mutex_);
  idle_changed_.wait(lock, [&] {
    for (bool live : live_) {
      if (live) return false;
    }
    return true;
  });
}

}  // namespace tavero::ui
