#include "runtime/startup.h"

#include <algorithm>
#include <cassert>
#include <mutex>
#include <vector>

namespace tavero {
namespace {

struct Initialiser {
  int priority;
  std::function<void()> run;
};

// Process-wide: initialisers not yet run.
struct Pending {
  std::mutex mutex;
  std::vector<Initialiser> initialisers;
};

Pending& PendingInitialisers() {
  static Pending pending;
  return pending;
}

}  // namespace

void RegisterModuleInitialiser(int priority, std::function<void()> initialiser) {
  assert(priority >= 0 && priority <= 255);
  Pending& pending = PendingInitialisers();
  std::lock_guard lock(pending.mutex);
  pending.initialisers.push_back({priority, std::move(initialiser)});
}

void RunModuleInitialisers() {
  std::vector<Initialiser> batch;
  {
    Pending& pending = PendingInitialisers();
    std::lock_guard lock(pending.mutex);
    batch.swap(pending.initialisers);
  }
  std::ranges::stable_sort(batch, {}, &Initialiser::priority);
  for (Initialiser& initialiser : batch) initialiser.run();
}

}  // namespace tavero
