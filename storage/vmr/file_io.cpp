#include "storage/vmr/file_io.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavero::vmr {
namespace {

int SetLock(int fd, int command, short type, std::uint64_t offset, std::uint64_t length) {
  // Locks are taken on the open file description (not the process), so two
  // opens of one file in the same process exclude each other like two
  // stations.
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(offset);
  lock.l_len = static_cast<off_t>(length);
  lock.l_pid = 0;
  for (;;) {
    if (fcntl(fd, command, &lock) == 0) return 0;
    if (errno == EINTR) continue;
    if (errno == EACCES) return EAGAIN;
    return errno;
  }
}

class PosixFile final : public File {
 public:
  // A descriptor opened for reading only can take shared locks only.
  PosixFile(int fd, bool read_write) : fd_(fd), lock_type_(read_write ? F_WRLCK : F_RDLCK) {}
  ~PosixFile() override { close(fd_); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  int ReadAt(std::uint64_t offset, std::span<std::uint8_t> out, std::size_t& read) override {
    read = 0;
    while (read < out.size()) {
      ssize_t n = pread(fd_, out.data() + read, out.size() - read, static_cast<off_t>(offset + read));
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (n == 0) break;
      read += static_cast<std::size_t>(n);
    }
    return 0;
  }

  int WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    std::size_t done = 0;
    while (done < data.size()) {
      ssize_t n = pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      done += static_cast<std::size_t>(n);
    }
    return 0;
  }

  int Sync() override { return fdatasync(fd_) == 0 ? 0 : errno; }
  int Truncate(std::uint64_t size) override {
    return ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : errno;
  }
  int Size(std::uint64_t& size) override {
    struct stat st {};
    if (fstat(fd_, &st) != 0) return errno;
    size = static_cast<std::uint64_t>(st.st_size);
    return 0;
  }
  bool CanWrite() const override { return lock_type_ == F_WRLCK; }
  int TryLock(std::uint64_t offset, std::uint64_t length) override {
    return SetLock(fd_, F_OFD_SETLK, lock_type_, offset, length);
  }
  int Lock(std::uint64_t offset, std::uint64_t length) override {
    return SetLock(fd_, F_OFD_SETLKW, lock_type_, offset, length);
  }
  int Unlock(std::uint64_t offset, std::uint64_t length) override {
    return SetLock(fd_, F_OFD_SETLK, F_UNLCK, offset, length);
  }

 private:
  int fd_;
  short lock_type_;
};

int OpenWith(const std::string& path, int flags) {
  int fd;
  do {
    fd = open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Flushes the directory that holds `path`, so that a new entry in it is
// durable. File systems that cannot flush a directory say EINVAL.
int SyncDirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = OpenWith(directory, O_RDONLY | O_DIRECTORY);
  if (fd < 0) return errno;
  const int rc = fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  close(fd);
  return rc;
}

// Opens `path` read/write, creating it when asked; `created` tells whether
// this call made it.
int OpenReadWrite(const std::string& path, bool create, bool& created) {
  created = false;
  int fd = OpenWith(path, O_RDWR);
  if (fd >= 0 || errno != ENOENT || !create) return fd;
  fd = OpenWith(path, O_RDWR | O_CREAT | O_EXCL);
  if (fd >= 0) {
    created = true;
    return fd;
  }
  // Another process created it in between.
  return errno == EEXIST ? OpenWith(path, O_RDWR) : fd;
}

class Posix final : public FileSystem {
 public:
  // Reading stations open the file read/write when they may, so that their
  // locks exclude other stations; the engine never writes through them.
  int Open(const std::string& path, OpenMode mode, std::unique_ptr<File>& file) override {
    bool created;
    int fd = OpenReadWrite(path, mode.create, created);
    bool read_write = fd >= 0;
    if (fd < 0 && !mode.write && (errno == EACCES || errno == EROFS || errno == EPERM)) {
      fd = OpenWith(path, O_RDONLY);
    }
    if (fd < 0) return errno;
    if (created) {
      if (int rc = SyncDirectoryOf(path)) {
        close(fd);
        return rc;
      }
    }
    file = std::make_unique<PosixFile>(fd, read_write);
    return 0;
  }
  int Remove(const std::string& path) override { return unlink(path.c_str()) == 0 ? 0 : errno; }
};

}  // namespace

FileSystem& PosixFileSystem() {
  static Posix posix;
  return posix;
}

}  // namespace tavero::vmr
