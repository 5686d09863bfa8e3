#include "report/page_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tavero::report {
namespace {

std::string SystemWords(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes and tells whether the close succeeded (a delayed write error shows here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

std::filesystem::path TemporaryDirectory() {
  const char* tmpdir = std::getenv("TMPDIR");
  if (tmpdir != nullptr && *tmpdir != '\0') return tmpdir;
  return "/tmp";
}

PageFiles::PageFiles(std::filesystem::path directory)
    : directory_(directory.empty() ? TemporaryDirectory() : std::move(directory)) {}

PageFiles::~PageFiles() { DeleteAll(); }

std::variant<std::filesystem::path, std::string> PageFiles::Write(std::span<const std::uint8_t> bytes) {
  std::string name = (directory_ / "TAVXXXXXX.wmf").string();
  // mkstemps: a new file (O_CREAT | O_EXCL), mode 0600, random characters in
  // place of the X's.
  Descriptor fd(::mkstemps(name.data(), 4));
  if (fd.get() < 0) return SystemWords("cannot create a page file", errno);
  const std::filesystem::path path = name;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      ::unlink(name.c_str());
      return SystemWords("cannot write a page file", error);
    }
    done += static_cast<std::size_t>(n);
  }
  if (!fd.Close()) {
    const int error = errno;
    ::unlink(name.c_str());
    return SystemWords("cannot write a page file", error);
  }
  files_.push_back(path);
  return path;
}

void PageFiles::DeleteAll() {
  for (const std::filesystem::path& file : files_) ::unlink(file.c_str());
  files_.clear();
}

std::variant<images::Metafile, std::string> ReadPageFile(const std::filesystem::path& path) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) return SystemWords("cannot open a page file", errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return SystemWords("cannot read a page file", errno);
  if (!S_ISREG(info.st_mode) || static_cast<std::uintmax_t>(info.st_size) > kMaxPageFileBytes) {
    return std::string("a page file is not a plain file of a page's size");
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return SystemWords("cannot read a page file", errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  images::MetafileReadResult read = images::ReadMetafile(bytes);
  if (!read.ok()) return "a damaged page file: " + read.message;
  return std::move(read.metafile);
}

}  // namespace tavero::report
