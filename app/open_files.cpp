#include "app/open_files.h"

#include <cassert>

#include "app/warnings.h"
#include "eval/eval.h"
#include "runtime/error_codes.h"

namespace zephcol {
namespace {

namespace driver = tavero::driver;

// Open with read/write access, deny none.
constexpr std::uint32_t kSharedAccess = driver::access_mode::kReadWrite | driver::access_mode::kDenyNone;

using tavero::error_code::kFileAlreadyOpen;
using tavero::error_code::kFileNotFound;
using tavero::error_code::kInvalidRecordDeclaration;
using tavero::error_code::kKeyFileMustBeRebuilt;

bool Opened(int error) { return error == 0 || error == kFileAlreadyOpen; }

}  // namespace

void OpenDataFile(DataFile& data_file, bool create_allowed, bool skip_missing, std::uint32_t access_mode,
                  bool shared) {
  driver::FileObject& file = data_file.file();
  const std::uint32_t mode = shared ? kSharedAccess : access_mode;
  const auto open = [&] { return driver::Open(file, mode); };
  const std::string name = driver::Name(file);

  int error = open();
  if (Opened(error)) return;
  if (error == kFileNotFound && !skip_missing) {
    // A missing file is created empty without asking, when that is allowed.
    if (!create_allowed) ShowWarning(22, name);
    if (driver::Create(file) != 0) ShowWarning(4, name);
    if (!Opened(open())) ShowWarning(5, name);
    return;
  }
  if (error == kInvalidRecordDeclaration) ShowWarning(1, name);
  if (error == kKeyFileMustBeRebuilt) {
    ShowWarning(2, name);  // returns only when the person agreed
    if (driver::Build(file) != 0) ShowWarning(3, name);
    // An open that fails again ends at warning 30 below, never in a loop.
    if (Opened(open())) return;
  }
  ShowWarning(30, name);
  HaltWithText("Disk Error");
}

void BindDataFile(DataFile& data_file) {
  driver::FileObject& file = data_file.file();
  tavero::eval::BindGroup(file.record_layout, file.record);
  for (std::size_t i = 0; i < data_file.memo_count(); ++i) {
    const std::span<std::uint8_t> memo = data_file.memo(i);
    tavero::eval::Variable variable;
    variable.address = memo.data();
    variable.type = static_cast<std::uint8_t>(driver::FieldType::FIXSTR);
    variable.size = static_cast<std::uint32_t>(memo.size());
    tavero::eval::Bind(file.blobs[i]->name, variable);
  }
}

DataFileUse::DataFileUse(DataFile& file) : file_(file) {
  if (file_.open_count() == 0) {
    OpenDataFile(file_);
    BindDataFile(file_);
  }
  ++file_.open_count();
}

DataFileUse::~DataFileUse() {
  assert(file_.open_count() > 0);  // invariant (3)
  if (--file_.open_count() == 0) driver::Close(file_.file());
}

}  // namespace zephcol
