// The update forms the browses (and the tree) call, one per file, reached
// through one hook so that the callers build and run before and without the
// forms themselves.
//
// The contract of a form, as the caller keeps it:
//  - It is called directly on the caller's thread (never STARTed), with
//    GlobalRequest 1 (insert), 2 (change) or 3 (delete). It takes the
//    request on entry with a ProcedureRequest (app/global_request.h) and
//    hands back GlobalResponse: 1 when it changed the file, 2 when it was
//    cancelled (the ProcedureRequest's default).
//  - The record to work on is in the calling thread's record buffer of the
//    file (Cardset(), Manufacturer(), Types(), SetInformation(); for
//    SETINFORMATION its memo too): for a change or delete, the record as
//    just re-read by its position (the file's current record); for an
//    insert, a cleared record and memo with no current record (GET by
//    pointer 0) holding only what the caller primes (the range value of a
//    browse's tab: a card set's manufacturer or type; the tree's parent: a
//    set's manufacturer, a card's set number).
//  - The caller's view over the file is closed while the form runs; the
//    form opens what it needs through the open counts (app/open_files.h)
//    and writes only through the integrity routines (app/integrity.h).
//  - On a completed insert or change the form leaves the written record in
//    the record buffer and as the file's current record: a browse locates
//    on its key values, the tree on its position (POSITION of the file), to
//    highlight it. On a completed delete the buffer's contents do not
//    matter.
//  - The form may open its own window (an MDI child) and run its own ACCEPT
//    loop; the caller waits meanwhile and refreshes afterwards.
//
// Installing: the form's module calls InstallUpdateForm once, before any
// caller can run (the program does it in Main before the frame opens; a
// test in its set-up). Until a form is installed its Update... call takes
// the request and answers "cancelled", so Insert, Change and Delete change
// nothing.
#pragma once

namespace zephcol {

// The calls the browses and the tree make.
void UpdateCARDSET();
void UpdateMANUFACTURER();
void UpdateTYPES();
void UpdateSETINFORMATION();

enum class FormFile { Cardset, Manufacturer, Types, SetInformation };
using UpdateForm = void (*)();
// Installs the form of `file` (nullptr: none). Process-wide; never called
// while a caller of the form runs.
void InstallUpdateForm(FormFile file, UpdateForm form);

}  // namespace zephcol
