// Any bytes given as a VMR file: opening, reading every record and checking
// the whole structure end with a status, never outside a buffer.
#include <cstdint>
#include <optional>
#include <string>

#include "storage/vmr/fault_file_system.h"
#include "storage/vmr/physical_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavero::vmr;
  FaultFileSystem fs;
  fs.SetContents("F.VMR", {data, data + size});
  // Read/write, so that an interrupted commit is recovered on disk as well.
  std::unique_ptr<PhysicalFile> file;
  if (!PhysicalFile::Open(fs, "F.VMR", 0x12, file).ok()) return 0;
  if (!file->RefreshHeader().ok()) return 0;
  std::optional<RecordCopy> record;
  std::string key;
  Status status = file->Find(FindMode::kFirstNotBelow, key, record);
  for (int steps = 0; status.ok() && record && steps < 100000; ++steps) {
    key = record->key();
    status = file->Find(FindMode::kFirstAbove, key, record);
  }
  if (status.ok()) {
    TreeStatistics statistics;
    (void)file->Validate(statistics);
  }
  if (status.ok() && file->BeginWrite().ok() && file->RefreshHeader().ok()) {
    // A change and a commit on whatever the file holds.
    if (file->Insert(std::string("\x01\x02", 2), "fuzz").ok()) (void)file->EndOperation();
  }
  return 0;
}
