// Read statements: reads that belong together (the rows of one page a
// browse fills, one row of a joined view, a batch of a sequential scan).
//
// Inside a statement a driver may keep what it takes for every read from one
// read to the next, instead of taking and giving it back per operation: the
// VMR driver keeps a shared file's reader slot, and with it the header it
// checked, so that the whole statement sees one committed state of the file
// and pays for the lock once. The driver bounds what it keeps (in operations
// and in time), so that another station's writer waits at most about one
// page of reads; a commit made meanwhile is seen by the next statement.
//
// Only reads happen inside a statement. A procedure ends it before anything
// else (a message box, a form, a write): the statement is a scope in code,
// never left open across an event.
//
// Statements nest: an inner one is part of the outer; the end of the
// outermost one runs every release registered during it. The nesting and
// the releases are kept per thread (each procedure thread reads on its own).
#pragma once

#include <functional>

namespace tavero::driver {

class ReadStatement {
 public:
  ReadStatement();
  ~ReadStatement();
  ReadStatement(const ReadStatement&) = delete;
  ReadStatement& operator=(const ReadStatement&) = delete;
};

// Whether a read statement is open on this thread.
bool InReadStatement();

// Registers `release` to run when the outermost open statement ends. A
// driver calls it once per thing it keeps; `release` must cope with that
// thing having gone meanwhile. Without an open statement it runs at once.
void AtEndOfReadStatement(std::function<void()> release);

}  // namespace tavero::driver
