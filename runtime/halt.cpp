#include "runtime/halt.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace tavero {
namespace {

struct TerminationHandler {
  int priority;
  std::function<void(int)> handler;
};

// Process-wide: what the program registered to run when it ends.
struct HaltRegistry {
  std::mutex mutex;
  std::vector<std::function<void()>> exit_procedures;
  std::vector<TerminationHandler> termination_handlers;
};

HaltRegistry& Registry() {
  static HaltRegistry registry;
  return registry;
}

std::atomic<bool> halting{false};

[[noreturn]] void ExitProcess(int exit_code) {
  std::fflush(nullptr);
  std::_Exit(exit_code);
}

}  // namespace

void Halt(int exit_code) {
  if (halting.exchange(true)) ExitProcess(exit_code);  // invariant (2)

  std::vector<std::function<void()>> procedures;
  std::vector<TerminationHandler> handlers;
  {
    HaltRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    procedures = registry.exit_procedures;
    handlers = registry.termination_handlers;
  }
  for (auto it = procedures.rbegin(); it != procedures.rend(); ++it) (*it)();
  std::ranges::stable_sort(handlers, {}, &TerminationHandler::priority);
  for (TerminationHandler& h : handlers) h.handler(1);
  ExitProcess(exit_code);
}

bool Halting() { return halting.load(); }

void RegisterExitProcedure(std::function<void()> procedure) {
  HaltRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  registry.exit_procedures.push_back(std::move(procedure));
}

void RegisterTerminationHandler(int priority, std::function<void(int)> handler) {
  assert(priority >= 0 && priority <= 255);
  HaltRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  registry.termination_handlers.push_back({priority, std::move(handler)});
}

}  // namespace tavero
