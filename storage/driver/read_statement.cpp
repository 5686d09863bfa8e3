#include "storage/driver/read_statement.h"

#include <utility>
#include <vector>

namespace tavero::driver {
namespace {

struct Statements {
  int depth = 0;
  std::vector<std::function<void()>> releases;
};

Statements& ThisThread() {
  thread_local Statements statements;
  return statements;
}

}  // namespace

ReadStatement::ReadStatement() { ++ThisThread().depth; }

ReadStatement::~ReadStatement() {
  Statements& s = ThisThread();
  if (--s.depth > 0) return;
  // A release may read again (and so register anew): take the list first.
  std::vector<std::function<void()>> releases = std::move(s.releases);
  s.releases.clear();
  for (auto& release : releases) release();
}

bool InReadStatement() { return ThisThread().depth > 0; }

void AtEndOfReadStatement(std::function<void()> release) {
  Statements& s = ThisThread();
  if (s.depth == 0) {
    release();
    return;
  }
  s.releases.push_back(std::move(release));
}

}  // namespace tavero::driver
