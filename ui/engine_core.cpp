// Threads, the engine lock and the switch of thread-private runtime state.
#include "ui/engine_core.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

#include "runtime/runtime_error.h"
#include "storage/driver/lock_wait.h"
#include "storage/driver/transaction.h"

namespace tavero::ui {
namespace {

std::atomic<EngineCore*> installed_engine{nullptr};

// START's stack rules: 0 means 10000 bytes, less than 5000 is raised to 5000.
constexpr std::size_t kDefaultStack = 10000;
constexpr std::size_t kSmallestStack = 5000;
// What the platform thread actually gets at least: a few thousand bytes
// cannot hold a C++ call chain on this platform, so the size START settles
// is kept for the record and the thread's real stack is never below this.
constexpr std::size_t kPlatformStackFloor = 1 << 20;

}  // namespace

EngineCore::EngineCore(Platform& platform, Engine::Options options)
    : platform_(platform), trace_(options.trace_directory) {
  trace_.SetEnabled(options.trace);
  EngineCore* expected = nullptr;
  [[maybe_unused]] bool first = installed_engine.compare_exchange_strong(expected, this);
  assert(first && "one window engine per process");
  platform_.Attach(this);
  SetRuntimeErrorBox([this](std::string_view title, std::string_view text) {
    platform_.ShowErrorBox(title, text);
  });
  SetWindowSystemStarted(true);
  driver::SetLockWaitPause([this](std::chrono::milliseconds pause) { PauseForLock(pause); });
}

EngineCore::~EngineCore() {
  Shutdown();
  driver::SetLockWaitPause({});
  SetWindowSystemStarted(false);
  SetRuntimeErrorBox({});
  platform_.Attach(nullptr);
  installed_engine = nullptr;
}

void EngineCore::Shutdown() {
  assert(!LockHeld());
  // It waits for the engine threads, which may wait for the GUI thread.
  assert((!platform_.OnGuiThread() || inbox_.LiveCount() == 0) && "a blocking call on the GUI thread");
  RequestShutdown();
  inbox_.WaitUntilNoneLive();
  {
    std::lock_guard handles(handles_mutex_);
    for (int slot = 0; slot < kThreadSlots; ++slot) {
      if (joinable_[slot]) pthread_join(handles_[slot], nullptr);
      joinable_[slot] = false;
    }
  }
}

void EngineCore::RequestShutdown() {
  shutting_down_ = true;
  for (int slot = 0; slot < kThreadSlots; ++slot) inbox_.Push(slot, InboxItem{InboxItem::Kind::Quit, {}, {}});
}

EngineCore* EngineCore::Installed() { return installed_engine.load(); }

void EngineCore::Post(PlatformMessage message) { inbox_.PostPlatform(std::move(message)); }

bool EngineCore::LockHeld() const { return lock_owner_.load() == std::this_thread::get_id(); }

void EngineCore::TakeLock() {
  lock_.lock();
  lock_owner_ = std::this_thread::get_id();
  SwitchToThisThread();
}

void EngineCore::ReleaseLock() {
  assert(LockHeld());
  lock_owner_ = std::thread::id{};
  lock_.unlock();
}

// (2): the thread that ran before leaves its error state in its slot; this
// thread's own comes back.
void EngineCore::SwitchToThisThread() {
  assert(LockHeld());
  const std::thread::id me = std::this_thread::get_id();
  int slot = -1;
  for (int s = 0; s < kThreadSlots; ++s) {
    if (slots_[s].used && slots_[s].id == me) {
      slot = s;
      break;
    }
  }
  assert(slot >= 0 && "the calling thread is not an engine thread");
  if (slot == current_slot_) return;
  if (current_slot_ >= 0 && slots_[current_slot_].used) slots_[current_slot_].saved_error = CurrentErrorState();
  CurrentErrorState() = slots_[slot].saved_error;
  current_slot_ = slot;
}

// A procedure waiting for a record or table another station holds gives up
// the engine lock for the pause, as it would waiting for input: the other
// threads handle their windows' messages meanwhile. Not while a transaction
// is active (LOGOUT waiting for a file's lock): the other threads' changes to
// a file already in it would silently share its fate.
void EngineCore::PauseForLock(std::chrono::milliseconds pause) {
  if (!LockHeld() || driver::TransactionActive()) {
    std::this_thread::sleep_for(pause);
    return;
  }
  ReleaseLock();
  std::this_thread::sleep_for(pause);
  TakeLock();
}

void EngineCore::RunUnlocked(const std::function<void()>& work) {
  if (!LockHeld()) {
    work();
    return;
  }
  ReleaseLock();
  work();
  TakeLock();
}

InboxItem EngineCore::WaitForMessage() {
  const int slot = current_slot_;
  ReleaseLock();
  InboxItem item = inbox_.Wait(slot);
  TakeLock();
  return item;
}

void EngineCore::RunMain(const std::function<void()>& main) {
  lock_.lock();
  lock_owner_ = std::this_thread::get_id();
  assert(!slots_[0].used && "the main procedure runs once at a time");
  slots_[0] = ThreadSlot{};
  slots_[0].used = true;
  slots_[0].id = std::this_thread::get_id();
  inbox_.SetLive(0, true);
  SwitchToThisThread();
  main();
  TearDownThread(0);
}

int EngineCore::Start(std::function<void()> procedure, int stack_size) {
  assert(LockHeld());
  if (modal_depth_ > 0 || shutting_down_) return 0;
  std::size_t stack = stack_size == 0 ? kDefaultStack
                                      : std::max<std::size_t>(stack_size < 0 ? 0 : stack_size, kSmallestStack);
  int slot = -1;
  for (int s = 1; s < kThreadSlots; ++s) {
    if (!slots_[s].used) {
      slot = s;
      break;
    }
  }
  if (slot < 0) return 0;

  std::lock_guard handles(handles_mutex_);
  if (joinable_[slot]) {  // (3): its last thread has given up the lock and is ending
    pthread_join(handles_[slot], nullptr);
    joinable_[slot] = false;
  }
  ThreadSlot& started = slots_[slot];
  started = ThreadSlot{};
  started.used = true;
  started.procedure = std::move(procedure);
  started.stack_size = stack;
  inbox_.SetLive(slot, true);
  // A shutdown begun since the check above told only the slots live then.
  if (shutting_down_) started.quit = true;

  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, std::max(stack, kPlatformStackFloor));
  int failed = pthread_create(&handles_[slot], &attributes, &EngineCore::ThreadEntry,
                              reinterpret_cast<void*>(static_cast<std::intptr_t>(slot)));
  pthread_attr_destroy(&attributes);
  if (failed != 0) {
    started = ThreadSlot{};
    inbox_.SetLive(slot, false);
    return 0;
  }
  joinable_[slot] = true;
  return slot + 1;
}

// The platform thread's parameter is its slot number.
void* EngineCore::ThreadEntry(void* argument) {
  EngineCore* engine = Installed();
  assert(engine != nullptr);
  engine->RunThread(static_cast<int>(reinterpret_cast<std::intptr_t>(argument)));
  return nullptr;
}

void EngineCore::RunThread(int slot) {
  lock_.lock();
  lock_owner_ = std::this_thread::get_id();
  slots_[slot].id = std::this_thread::get_id();
  SwitchToThisThread();
  std::function<void()> procedure = std::move(slots_[slot].procedure);
  procedure();
  TearDownThread(slot);
}

// Closes the windows the thread still has (top first), forgets it as focus
// owner, frees the slot and gives up the lock.
void EngineCore::TearDownThread(int slot) {
  assert(LockHeld() && current_slot_ == slot);
  while (!slots_[slot].windows.empty()) CloseWindow(*slots_[slot].windows.back());
  if (focus_thread_now_ == slot) focus_thread_now_ = -1;
  if (focus_thread_before_ == slot) focus_thread_before_ = -1;
  if (last_body_thread_ == slot) last_body_thread_ = -1;
  slots_[slot] = ThreadSlot{};
  current_slot_ = -1;
  inbox_.SetLive(slot, false);
  ReleaseLock();
}

std::size_t EngineCore::StackSize(int thread_number) {
  auto read = [&] {
    int slot = thread_number - 1;
    if (slot < 0 || slot >= kThreadSlots || !slots_[slot].used) return std::size_t{0};
    return slots_[slot].stack_size;
  };
  if (LockHeld()) return read();
  assert(!platform_.OnGuiThread() && "a blocking call on the GUI thread");
  std::lock_guard guard(lock_);
  return read();
}

WindowObject* EngineCore::TopWindow(int slot) {
  if (slot < 0 || slot >= kThreadSlots || slots_[slot].windows.empty()) return nullptr;
  return slots_[slot].windows.back();
}

WindowObject* EngineCore::CurrentWindow() {
  assert(LockHeld());
  ThreadSlot& slot = Slot();
  if (slot.target != nullptr && slot.target->open()) return slot.target;
  return TopWindow(current_slot_);
}

// Engine: the public face.

Engine::Engine(Platform& platform) : Engine(platform, Options{}) {}
Engine::Engine(Platform& platform, Options options)
    : core_(std::make_unique<EngineCore>(platform, std::move(options))) {}
Engine::~Engine() = default;
MessageSink& Engine::Sink() { return *core_; }
void Engine::RunMain(const std::function<void()>& main) { core_->RunMain(main); }
void Engine::WaitUntilIdle() { core_->WaitUntilIdle(); }
int Engine::LiveThreads() const { return core_->LiveThreads(); }
void Engine::SetEventTrace(bool on) { core_->SetEventTrace(on); }
void Engine::Shutdown() { core_->Shutdown(); }
void Engine::RequestShutdown() { core_->RequestShutdown(); }
std::size_t Engine::StackSize(int thread_number) const { return core_->StackSize(thread_number); }

}  // namespace tavero::ui
