// The one file interface of the storage engine.
//
// Every byte the engine reads or writes, every flush, truncation and
// byte-range lock goes through `File`, and every file is opened through a
// `FileSystem`. The POSIX implementation serves the program; the
// fault-injecting one (fault_file_system.h) lets tests lose or tear writes
// that were never flushed and fail the Nth call.
//
// Failures are errno values (0 for success); nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tavero::vmr {

class File {
 public:
  virtual ~File() = default;

  // Reads up to out.size() bytes at `offset`; `read` is set to the number of
  // bytes read, short only at the end of the file.
  virtual int ReadAt(std::uint64_t offset, std::span<std::uint8_t> out, std::size_t& read) = 0;
  virtual int WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) = 0;
  // Makes every earlier write durable.
  virtual int Sync() = 0;
  virtual int Truncate(std::uint64_t size) = 0;
  virtual int Size(std::uint64_t& size) = 0;
  // Whether the file was opened so that it can be written.
  virtual bool CanWrite() const = 0;

  // Byte-range locks between stations (processes or separate opens). TryLock
  // answers EAGAIN when another holder has an overlapping range; Lock waits.
  virtual int TryLock(std::uint64_t offset, std::uint64_t length) = 0;
  virtual int Lock(std::uint64_t offset, std::uint64_t length) = 0;
  virtual int Unlock(std::uint64_t offset, std::uint64_t length) = 0;
};

struct OpenMode {
  bool write = false;   // read/write access; otherwise read only
  bool create = false;  // create the file when it is missing
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // A file that `mode.create` brings into being has its directory entry
  // made durable (its directory flushed) before Open succeeds, so that data
  // flushed into it later survives a power loss.
  virtual int Open(const std::string& path, OpenMode mode, std::unique_ptr<File>& file) = 0;
  virtual int Remove(const std::string& path) = 0;
};

// The operating system's files. Stateless; one instance serves the process.
FileSystem& PosixFileSystem();

}  // namespace tavero::vmr
