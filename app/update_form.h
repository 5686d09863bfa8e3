// The update form: one record of one file inserted, changed or deleted in a
// window of entries. Every form of the program is an UpdateFormDeclaration
// run by RunUpdateForm.
//
// A form is called on its caller's thread with GlobalRequest 1 (insert), 2
// (change) or 3 (delete) and the record to work on in the file's record
// buffer (for a change or delete, the file's current record). It leaves
// GlobalResponse 1 when the file changed, 2 when nothing was saved.
//
// The form edits a private working copy of the record and its memo: the
// entries show the copy and parse into it; the file's record buffer is
// loaded from the copy only just before the ADD, PUT or DELETE (and before
// the child list reads the parent's values), because lookups and nested
// forms read the same files while the form is open. A change or delete goes
// through the integrity routines (app/integrity.h) with the record's
// position and the copy taken when the form loaded it.
//
// Typed values are checked before anything is stored: numbers are read as a
// free-form number (grouping characters and blanks removed, one decimal
// point, an optional sign) and must fit the entry's range or the field
// (warning 10 naming the entry's tip and the limits); dates are read by
// their picture; text is cut to the field's width. After a value is taken
// the entry shows it again as stored, so what a person sees is what the
// file gets.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "app/dictionary/dictionary.h"
#include "app/page_browse.h"

namespace zephcol {

// An entry whose text must name a record of another file (a card set's
// manufacturer or type).
struct LookupDeclaration {
  DataFile& (*file)();          // Manufacturer
  std::string_view key;         // its unique key: "MAN:MANFACT"
  std::string_view field;       // the key's field: "MAN:MANUFACTURER"
  void (*select)();             // the select list opened when the text is not on file
  std::string_view file_name;   // warning 11's file: "MANUFACTURER"
};

// One entry of the form, bound to a field of the form's file.
struct EntryDeclaration {
  int control;
  std::string_view field;  // "CAR:SET_NO"; its picture is the field's
  std::string_view tip;    // names the entry in warnings: "UNIQUE IDENTIFIER FOR SET"
  // Whole numbers: the values allowed (both 0: the field's own range).
  std::int32_t low = 0;
  std::int32_t high = 0;
  const LookupDeclaration* lookup = nullptr;
};

// A text box bound to a memo of the form's file.
struct MemoEntryDeclaration {
  int control;
  std::size_t memo;    // index of the memo in the file
  std::size_t limit;   // characters it takes
};

// The page browse of the form's child records, on a tab of its own.
struct ChildListDeclaration {
  const PageBrowseDeclaration& page;  // one sort order, its range taken from the form's file
  int list;
  int insert;
  int change;
  int remove;
  void (*form)();  // the child's update form
};

// Numbering of a new record on entry (card sets): the last key value plus
// one, the record added at once and edited in place.
struct AutoNumberDeclaration {
  std::string_view key;    // "CAR:SET"
  std::string_view field;  // "CAR:SET_NO"
  std::int32_t high;       // the largest number
};

struct UpdateFormDeclaration {
  std::string_view module;     // "ZEPHCOL$zephc013"
  std::string_view procedure;  // "UPDATECARDSET$QUICKWINDOW"
  DataFile& (*file)();
  std::span<DataFile& (*const)()> counted_files;  // counted while the form runs, its own among them
  std::string_view insert_caption;  // "Adding a CARDSET Record"
  std::string_view change_caption;  // "Changing a CARDSET Record"
  std::string_view unique_key;      // the key whose duplicate is warning 24; empty: none
  std::span<const EntryDeclaration> entries;  // in window order, the first selected on opening
  const MemoEntryDeclaration* memo_entry = nullptr;
  int ok = 0;
  int cancel = 0;
  int add_another = 0;  // 0: no "add another" button
  int sheet = 0;
  const ChildListDeclaration* child = nullptr;
  const AutoNumberDeclaration* auto_number = nullptr;
  // A new record (and the next one after "add another") starts with this
  // whole number in this field (a card's QTY 1); empty: a new record after
  // "add another" starts blank.
  std::string_view primed_field = {};
  std::int32_t primed_value = 0;
};

// Runs the form for GlobalRequest and leaves GlobalResponse.
void RunUpdateForm(const UpdateFormDeclaration& form);

}  // namespace zephcol
