#include "app/warnings.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <mutex>

#include "locale/locale.h"
#include "runtime/error_state.h"
#include "runtime/halt.h"
#include "ui/engine.h"

namespace zephcol {
namespace {

using button::kCancel;
using button::kNo;
using button::kOk;
using button::kRetry;
using button::kYes;
constexpr std::string_view X = kExclamationIcon;
constexpr std::string_view Q = kQuestionIcon;
constexpr WarningCase kAlways = WarningCase::Always;

// The texts exactly as the person reads them: two blanks after each full
// stop inside a text, none after the last.
constexpr WarningDeclaration kCatalogue[] = {
    {1, kAlways, "Invalid File", X, kOk, kOk,
     "Error: ({E}) accessing {1}.  Press OK to end this application.", "Invalid File!"},
    {2, kAlways, "Invalid Key", Q, kYes | kNo, kYes,
     "{1} key file is invalid.  Do you want to rebuild the key?", "Invalid Key!", kYes},
    {3, kAlways, "Key Rebuild Error", X, kOk, kOk,
     "Error: ({E}) repairing key for {1}.  Press OK to end this application.", "Error Rebuilding Key!"},
    {4, kAlways, "File Creation Error", X, kOk, kOk,
     "Error: ({E}) creating {1}.  Press OK to end this application.", "File Creation Error!"},
    {5, kAlways, "File Creation Error", X, kOk, kOk,
     "Error: ({E}) opening created file:{1}.  Press OK to end this application.", "File Creation Error!"},
    {6, kAlways, "Procedure not defined", X, kOk, kOk, "The Procedure {1} has not been defined.", {}},
    {7, kAlways, "Record Read Error", X, kOk, kOk, "Unable to read keyed record.  Error: {E}.  Insert Aborted", {}},
    {8, kAlways, "Range Error", X, kOk, kOk, "The value of {1} must be lower than {2}.", {}},
    {9, kAlways, "Range Error", X, kOk, kOk, "The value of {1} must be higher than {2}.", {}},
    {10, kAlways, "Range Error", X, kOk, kOk, "The value of {1} must be between {2} and {3}.", {}},
    {11, kAlways, "Field Contents Error", X, kOk, kOk, "The value for {1} must be found in the {2} file.", {}},
    {12, kAlways, "Referential Integrity Update Error", X, kOk, kOk,
     "This record is referenced from the file {1}.  Linking field(s) have been restricted from change and "
     "have been reset to original values.",
     {}},
    {13, kAlways, "Referential Integrity Delete Error", X, kOk, kOk,
     "This record is referenced from the file {1}.  This record cannot be deleted while these references exist.",
     {}},
    {14, kAlways, "Record Insert Error", X, kOk, kOk,
     "An error was experienced during the update of record.  Error: {E}.", {}},
    {15, WarningCase::NoError, "Update Operation Error", X, kOk, kOk, "This record was changed by another station.",
     {}},
    {15, kAlways, "Update Operation Error", X, kOk, kOk,
     "An error ({E}) was experienced when attempting to update a record from the file.  Probable Cause: {1}.", {}},
    {16, kAlways, "Record Update Error", X, kYes | kNo | kCancel, kCancel,
     "An error was experienced changing this record.  Do you want to try to save again?", {}},
    {17, kAlways, "Delete Operation Error", X, kOk, kOk,
     "An error ({E}) was experienced when attempting to delete a record from the file {1}.", {}},
    {18, kAlways, "Record Update Error", X, kYes | kNo | kCancel, kCancel,
     "An error was experienced deleting this record.  Do you want to try to save again?", {}},
    {19, kAlways, "Invalid Request", X, kOk, kOk,
     "This procedure was called to insert a record, however inserts are not allowed for this procedure"
     ".  Press OK to return to the calling procedure",
     {}},
    {20, kAlways, "Invalid Request", X, kOk, kOk,
     "This procedure was called to change a record, however changes are not allowed for this procedure"
     ".  Press OK to return to the calling procedure",
     {}},
    {21, kAlways, "Invalid Request", X, kOk, kOk,
     "This procedure was called to delete a record, however deletions are not allowed for this procedure"
     ".  Press OK to return to the calling procedure",
     {}},
    {22, kAlways, "File Creation Not Allowed", X, kOk, kOk,
     "The File {1}was not found, and creation of the file is not allowed.  Press OK to end this application.",
     "File Creation Error!"},
    {23, kAlways, "Update Cancelled", Q, kYes | kNo, kNo, "Are you sure you want to cancel?", {}},
    {24, kAlways, "Duplicate Key Error", X, kOk, kOk, "Adding this record creates a duplicate entry for the key:{1}", {}},
    {25, kAlways, "Auto Increment Error", X, kRetry | kCancel, kCancel,
     "Attempts to automatically number this record have failed.  Error: {E}.", {}},
    {26, kAlways, "File Load Error", X, kOk, kOk, "{1} File Load Error.  Error: {E}.", {}},
    {27, kAlways, "Cancel Request", Q, kOk | kCancel, kCancel, "Are you certain you want to stop loading {1}?", {}},
    {28, kAlways, "File Load Error", X, kOk, kOk,
     "{1} File Load Error.  The file you've requested contains no text.", {}},
    {29, WarningCase::T1IsDown, "End of File Error", Q, kYes | kNo, kYes,
     "The end of the viewed file was encountered.  Do you want to start again from the beginning?", {}},
    {29, kAlways, "Beginning of File Error", Q, kYes | kNo, kYes,
     "The beginning of the viewed file was encountered.  Do you want to start again from the end of the file?",
     {}},
    {30, kAlways, "File Access Error", X, kOk, kOk, "File ({1}) could not be opened.  Error: {E}.", {}},
    {31, WarningCase::T1IsPut, "Process PUT Error", X, kOk, kOk,
     "An error was experienced when making changes to the {2} file.  Error: {E}", {}},
    {31, kAlways, "Process DELETE Error", X, kOk, kOk,
     "An error was experienced when deleting a record from the {2} file.  Error: {E}", {}},
    {32, kAlways, "Confirm Delete", Q, kOk | kCancel, kCancel,
     "You've selected to delete the highlighted record.  Press OK to confirm deletion of this record.", {}},
    {33, kAlways, "Update Cancelled", Q, kYes | kNo | kCancel, kNo,
     "Do you want to save the changes to this record?", {}},
    {34, kAlways, "Transaction Framing Error", X, kOk, kOk,
     "Error: ({E}) attempting to frame the {1l} transaction on {2}.  {1} transaction cancelled.", {}},
    {35, kAlways, "Record Retrieval Error", X, kOk, kOk,
     "Error: ({E}) attempting to access a record from the {1} file.  returning to previous window.", {}},
};

constexpr std::size_t kMaxErrorText = 150;
constexpr std::string_view kHaltCaption = "ZEPHYRA";

std::string_view WithoutTrailingBlanks(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

bool Applies(WarningCase when, std::string_view t1) {
  switch (when) {
    case WarningCase::Always: return true;
    case WarningCase::NoError: return tavero::ErrorCode() == 0;
    case WarningCase::T1IsDown: return t1 == "Down";
    case WarningCase::T1IsPut: return t1 == "Put";
  }
  return false;
}

// Puts the error text and the text arguments into a catalogue text.
std::string Fill(std::string_view text, std::span<const std::string_view, 4> arguments) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find('{', at);
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find('}', open);
    out.append(text.substr(at, open - at));
    const std::string_view name = text.substr(open + 1, close - open - 1);
    if (name == "E") {
      out += WarningErrorText();
    } else {
      std::string value(arguments[name[0] - '1']);
      if (name.size() == 2) tavero::ToLowerInPlace(value);
      out += value;
    }
    at = close + 1;
  }
  out.append(text.substr(at));
  return out;
}

// Where the boxes go: the window engine's message box on an engine thread;
// elsewhere (no window system) standard error, answered by the default
// button.
int ShowInMessageBox(const MessageBoxContent& box) {
  if (tavero::ui::OnEngineThread()) {
    return tavero::ui::MESSAGE(box.text, box.caption, box.icon, box.buttons, box.default_button);
  }
  const std::string line = tavero::AnsiToUtf8(box.caption) + ": " + tavero::AnsiToUtf8(box.text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return box.default_button != 0 ? box.default_button : button::kOk;
}

struct ShowerSeam {
  std::mutex mutex;
  MessageBoxShower shower = ShowInMessageBox;
};

ShowerSeam& Seam() {
  static ShowerSeam seam;
  return seam;
}

int Show(const MessageBoxContent& box) {
  MessageBoxShower shower;
  {
    ShowerSeam& seam = Seam();
    std::lock_guard lock(seam.mutex);
    shower = seam.shower;
  }
  return shower(box);
}

}  // namespace

std::span<const WarningDeclaration> WarningCatalogue() { return kCatalogue; }

std::string WarningErrorText() {
  std::string text(WithoutTrailingBlanks(tavero::ErrorText()));
  text += " (";
  text += std::to_string(tavero::ErrorCode());
  text += ')';
  if (text.size() > kMaxErrorText) text.resize(kMaxErrorText);
  return std::string(WithoutTrailingBlanks(text));
}

std::optional<WarningBox> ComposeWarning(int number, std::string_view t1, std::string_view t2, std::string_view t3,
                                         std::string_view t4) {
  const std::array<std::string_view, 4> arguments{WithoutTrailingBlanks(t1), WithoutTrailingBlanks(t2),
                                                  WithoutTrailingBlanks(t3), WithoutTrailingBlanks(t4)};
  for (const WarningDeclaration& row : kCatalogue) {
    if (row.number != number || !Applies(row.when, arguments[0])) continue;
    WarningBox warning;
    warning.box.text = Fill(row.text, arguments);
    warning.box.caption = row.caption;
    warning.box.icon = row.icon;
    warning.box.buttons = row.buttons;
    warning.box.default_button = row.default_button;
    warning.halt_text = row.halt_text;
    warning.affirmative = row.affirmative;
    return warning;
  }
  return std::nullopt;
}

int ShowWarning(int number, std::string_view t1, std::string_view t2, std::string_view t3, std::string_view t4) {
  const std::optional<WarningBox> warning = ComposeWarning(number, t1, t2, t3, t4);
  if (!warning) return 0;
  const int answer = Show(warning->box);
  if (!warning->halt_text.empty() && (warning->affirmative == 0 || answer != warning->affirmative)) {
    HaltWithText(warning->halt_text);
  }
  return answer;
}

void HaltWithText(std::string_view text) {
  MessageBoxContent box;
  box.text = text;
  box.caption = kHaltCaption;
  box.icon = kStopIcon;
  box.buttons = button::kOk;
  box.default_button = button::kOk;
  Show(box);
  tavero::Halt(1);
}

void SetMessageBoxShower(MessageBoxShower shower) {
  ShowerSeam& seam = Seam();
  std::lock_guard lock(seam.mutex);
  seam.shower = shower ? std::move(shower) : MessageBoxShower(ShowInMessageBox);
}

}  // namespace zephcol
