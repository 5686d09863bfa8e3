// The VMR driver: the DriverEntry of every file stored in the VMR format, a
// keyed single-file database of tables, rows, keys, memos and blobs. Point a
// FileObject's `entry` at `Driver()` and reach it through the file
// operations of storage/driver.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "storage/driver/driver.h"
#include "storage/vmr/commit_probe.h"

namespace tavero::vmr {

class FileSystem;
class PhysicalFileStore;

// Decides for a dynamic index with a filter whether a record belongs in it.
// The expression evaluator supplies it; without one every record does.
using RecordFilterFactory =
    std::function<std::function<bool(std::span<const std::uint8_t>)>(driver::FileObject&, std::string_view)>;

class VmrDriver final : public driver::FileDriver {
 public:
  explicit VmrDriver(FileSystem& file_system);
  ~VmrDriver();

  void set_filter_factory(RecordFilterFactory factory) { filter_factory_ = std::move(factory); }
  // Test seam: hears the steps of every commit over several files (crash
  // tests end the process at one of them). None by default.
  void set_commit_probe(CommitProbe probe) { commit_probe_ = std::move(probe); }
  const CommitProbe& commit_probe() const { return commit_probe_; }

  // The open VMR file at `path` in this process, shared by every table
  // opened in it; opened (created with `create`) when none is.
  int open_store(const std::string& path, int access_mode, bool create, std::shared_ptr<PhysicalFileStore>& store);
  FileSystem& file_system() { return file_system_; }

 protected:
  driver::StoredAs Stores(driver::FieldType type) const override;
  std::unique_ptr<driver::DriverState> NewState() const override;
  int FinishState(driver::FileObject& file, driver::DriverState& state) override;
  int Handle(driver::OperationCode code, driver::FileObject& file, driver::DriverState& state,
             const driver::OperationArgs& args, driver::OperationResult& result) override;

 private:
  FileSystem& file_system_;
  std::map<std::string, std::weak_ptr<PhysicalFileStore>> open_files_;
  RecordFilterFactory filter_factory_;
  CommitProbe commit_probe_;
};

// The process's VMR driver, over the operating system's files.
VmrDriver& Driver();

// The registration the VMR driver answers to SEND "REGISTER".
driver::DriverRegistration VmrRegistration();

}  // namespace tavero::vmr
