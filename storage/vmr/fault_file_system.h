// A file system in memory that can crash: for tests of crash safety.
//
// Each file keeps the bytes a reader sees now and the bytes that are durable
// (flushed). Every write since the last flush is remembered; Crash() throws
// the present away and rebuilds each file from its durable bytes plus some
// of the unflushed writes: none, all, or a random choice in which each write
// is kept, lost or torn (only a prefix of its 512-byte sectors survives).
// Directory entries are modelled too: a file created by Open() is durable
// only once its directory has been flushed (Open does so, as one call that
// can fail); a crash before that loses the file. Independently, any one call
// (read, write, flush, truncate, size, directory flush) can be made to fail
// with an I/O error, once or from then on.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "storage/vmr/file_io.h"

namespace tavero::vmr {

class FaultFileSystem final : public FileSystem {
 public:
  enum class CrashMode { kLoseUnsynced, kKeepUnsynced, kRandom };

  int Open(const std::string& path, OpenMode mode, std::unique_ptr<File>& file) override;
  int Remove(const std::string& path) override;

  // Rebuilds every file from its durable state and the unflushed writes that
  // `mode` keeps. Handles opened before the crash must not be used again.
  void Crash(CrashMode mode, std::uint32_t seed = 0);

  // The `n`th call from now (1 = the next) fails with EIO; with `persistent`
  // every later call fails as well. n = 0 switches failures off.
  void FailCall(std::uint64_t n, bool persistent = false);
  bool failure_happened() const { return failed_; }
  // Calls made so far, for sizing an I/O-error loop.
  std::uint64_t calls() const { return calls_; }

  // Direct access to a file's present bytes (empty when missing).
  std::vector<std::uint8_t> Contents(const std::string& path) const;
  void SetContents(const std::string& path, std::vector<std::uint8_t> bytes);
  bool Exists(const std::string& path) const { return files_.contains(path); }

  struct Write {
    std::uint64_t offset;
    std::vector<std::uint8_t> bytes;
    bool truncate;  // a truncation to `offset`
  };
  struct Data {
    std::vector<std::uint8_t> current;
    std::vector<std::uint8_t> durable;
    std::vector<Write> unsynced;
    // Locked ranges: (offset, length, owner).
    struct Range {
      std::uint64_t offset, length;
      const void* owner;
    };
    std::vector<Range> locks;
    // The directory entry survives a crash.
    bool entry_durable = true;
  };

  // Counts a call; true when it must fail.
  bool CountCall();

 private:
  std::map<std::string, std::shared_ptr<Data>> files_;
  std::uint64_t calls_ = 0;
  std::uint64_t fail_at_ = 0;
  bool persistent_ = false;
  bool failed_ = false;
};

}  // namespace tavero::vmr
