// tavero vmr recover FILE...: finishes or rolls back an interrupted commit
// now, as the next open for writing would, and says which for each file.
#include <cstdio>
#include <memory>
#include <string>

#include "storage/vmr/physical_file.h"
#include "tools/cmd_vmr.h"

namespace tavero::tool {

int RunVmrRecover(std::span<const std::string_view> args) {
  if (int done = VmrHelp(args,
                         "usage: tavero vmr recover FILE...\n"
                         "Opens each VMR file for writing, as the program would, so that a commit\n"
                         "interrupted between its phases is finished, or rolled back when it\n"
                         "belongs to a transaction over several files that never reached its\n"
                         "commit point. Prints one line per file saying which; exits 1 when a\n"
                         "file cannot be opened.\n");
      done >= 0) {
    return done;
  }
  int exit_code = 0;
  for (std::string_view arg : args) {
    const std::string path(arg);
    std::unique_ptr<vmr::PhysicalFile> file;
    // Read/write and shared: the station locks keep other stations out while
    // the commit is finished.
    const vmr::Status status = vmr::PhysicalFile::Open(vmr::PosixFileSystem(), path, 0x42, file);
    if (!status.ok()) {
      exit_code = 1;
      if (status.is_internal()) {
        VmrFailure("recover", path, 0, "damaged (internal check " + std::to_string(status.value()) + ")");
      } else {
        VmrFailure("recover", path, vmr::ErrorCodeOf(status));
      }
      continue;
    }
    const char* outcome = "no interrupted commit";
    switch (file->recovered()) {
      case vmr::PhysicalFile::Recovered::kNothing: break;
      case vmr::PhysicalFile::Recovered::kFinished: outcome = "the interrupted commit was finished"; break;
      case vmr::PhysicalFile::Recovered::kRolledBack:
        outcome = "the interrupted commit was rolled back (its transaction never reached its commit point)";
        break;
    }
    std::printf("%s: %s\n", path.c_str(), outcome);
  }
  return exit_code;
}

}  // namespace tavero::tool
