// The ASCII driver's operations. The shared dispatch sequence (state
// building, OperationRules, error posting) runs in driver::FileDriver; the
// handlers here do the file work.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "runtime/error_codes.h"
#include "runtime/system_error.h"
#include "storage/ascii/ascii.h"
#include "storage/ascii/ascii_state.h"

namespace tavero::ascii {
namespace {

using driver::OperationCode;
using Code = OperationCode;


constexpr std::uint32_t kDenyAll = driver::access_mode::kDenyAll;
constexpr std::uint32_t kDenyWrite = driver::access_mode::kDenyWrite;

// The error of a failed open, create, remove, copy or rename: the system
// error itself where the table has a file error of that number (2, 3, 4,
// 5), else 300 plus it.
int FileFailure(int errno_value) {
  NoteSystemError(errno_value);
  const int system = SystemErrorFromErrno(errno_value);
  return system >= 2 && system <= 5 ? system : ErrorFromErrno(errno_value);
}

// A position text: the record pointer, 4 bytes little-endian.
std::string PositionText(std::uint32_t pointer) {
  std::string text(4, '\0');
  for (int i = 0; i < 4; ++i) text[static_cast<std::size_t>(i)] = static_cast<char>(pointer >> (8 * i));
  return text;
}
bool PointerOfText(std::string_view text, std::uint32_t& pointer) {
  if (text.size() != 4) return false;
  pointer = 0;
  for (int i = 3; i >= 0; --i) pointer = pointer << 8 | static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
  return true;
}

bool LockFirstByte(int fd, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

int CopyFile(const std::string& from, const std::string& to) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FileFailure(errno);
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    const int error = FileFailure(errno);
    close(in);
    return error;
  }
  char buffer[64 * 1024];
  int error = 0;
  for (;;) {
    const ssize_t got = read(in, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0 || write(out, buffer, static_cast<std::size_t>(got)) != got) {
      error = FileFailure(errno);
      break;
    }
  }
  close(in);
  if (close(out) != 0 && error == 0) error = FileFailure(errno);
  return error;
}

class Driver final : public driver::FileDriver {
 public:
  Driver()
      : FileDriver({.name = "ASCII",
                    .library = "TVASC16.DLL",
                    .notice = "",
                    .description = "Ascii File Driver 1.0",
                    .operations = {1,  51, 4,  59, 52, 14, 7,  9,  10, 13, 29, 53, 16, 20, 21, 23,
                                   24, 25, 27, 61, 30, 54, 55, 66, 37, 38, 63, 60, 41, 43, 48, 50},
                    .field_types = {18, 22},
                    .sizes = {37, 25, 24, 121}}) {}

 protected:
  driver::StoredAs Stores(driver::FieldType type) const override {
    return type == driver::FieldType::FIXSTR || type == driver::FieldType::GROUP
               ? driver::StoredAs::Yes
               : driver::StoredAs::OverlaidOnly;
  }
  std::unique_ptr<driver::DriverState> NewState() const override { return std::make_unique<AsciiState>(); }
  int FinishState(driver::FileObject& file, driver::DriverState&) override {
    return file.keys.empty() && file.blobs.empty() ? 0 : error_code::kInvalidRecordDeclaration;
  }

  int Handle(Code code, driver::FileObject& file, driver::DriverState& base, const driver::OperationArgs& args,
             driver::OperationResult& result) override {
    AsciiState& s = static_cast<AsciiState&>(base);
    const std::size_t record_length = s.record.size();
    switch (code) {
      case Code::Open:
      case Code::Share: return Open(s, static_cast<std::uint32_t>(args.number));
      case Code::Create: return Create(s);
      case Code::Close: return Close(s);
      case Code::SetRecordOrder: return SetAt(s, 0);
      case Code::SetRecordOrderFromPointer: return SetAt(s, args.pointer == 0 ? 0 : args.pointer - 1);
      case Code::Reset: {
        std::uint32_t pointer = 0;
        if (!PointerOfText(args.text, pointer)) return error_code::kRecordNotAvailable;
        return SetAt(s, pointer == 0 ? 0 : pointer - 1);
      }
      case Code::Next: return ReadLine(s, s.next_position, record_length);
      case Code::Eof: {
        if (!s.quick_scan) s.DropBuffer();
        const int c = s.ByteAt(s.next_position);
        result.value = c < 0 || c == 26 ? 1 : 0;
        return 0;
      }
      case Code::GetByPointer: return GetAt(s, args.pointer, record_length);
      case Code::GetByPointerWithLength: return GetAt(s, args.pointer, Length(args.number, record_length));
      case Code::Reget: {
        std::uint32_t pointer = 0;
        if (!PointerOfText(args.text, pointer)) return error_code::kRecordNotAvailable;
        return GetAt(s, pointer, record_length);
      }
      case Code::Add:
      case Code::Append: return AppendLine(s, record_length);
      case Code::AddWithLength:
      case Code::AppendWithLength: return AppendLine(s, Length(args.number, record_length));
      case Code::Put:
        if (!s.has_line) return error_code::kRecordNotAvailable;
        return ReplaceLine(s, s.line_start, record_length);
      case Code::PutAtPointer:
      case Code::PutAtPointerWithLength: {
        if (args.pointer == 0) return error_code::kRecordNotAvailable;
        const std::size_t n =
            code == Code::PutAtPointer ? record_length : Length(args.number, record_length);
        return ReplaceLine(s, args.pointer - 1, n);
      }
      case Code::Pointer:
        result.value = s.has_line ? static_cast<std::int64_t>(s.line_start + 1) : 0;
        return 0;
      case Code::Position:
        result.text = PositionText(s.has_line ? static_cast<std::uint32_t>(s.line_start + 1) : 0);
        return 0;
      case Code::Bytes:
        result.value = static_cast<std::int64_t>(
            driver::Has(s.file_state, driver::FileState::HasRecord) && s.has_line ? s.line_bytes : s.size);
        return 0;
      case Code::Empty:
        if (ftruncate(s.fd, 0) != 0) return ErrorFromErrno(errno);
        s.size = 0;
        s.has_line = false;
        s.next_position = 0;
        s.DropBuffer();
        return 0;
      case Code::Remove:
        if (s.name.empty()) return error_code::kInvalidFilename;
        if (unlink(s.name.c_str()) != 0) return errno == ENOENT ? FileFailure(errno) : error_code::kAccessDenied;
        return 0;
      case Code::Copy:
        if (s.name.empty() || args.text.empty()) return error_code::kInvalidFilename;
        return CopyFile(s.name, std::string(args.text));
      case Code::Rename:
        if (s.name.empty() || args.text.empty()) return error_code::kInvalidFilename;
        if (rename(s.name.c_str(), std::string(args.text).c_str()) != 0) {
          // Across file systems a rename is a copy and a removal.
          if (errno != EXDEV) return FileFailure(errno);
          if (const int error = CopyFile(s.name, std::string(args.text))) return error;
          if (unlink(s.name.c_str()) != 0) return FileFailure(errno);
        }
        file.name = std::string(args.text);
        return 0;
      case Code::Lock:
      case Code::LockWithLimit: return Lock(s, code == Code::Lock ? 0 : args.number);
      case Code::Unlock:
        LockFirstByte(s.fd, F_UNLCK);
        s.explicitly_locked = false;
        return 0;
      case Code::Flush:
        if (fdatasync(s.fd) != 0) return ErrorFromErrno(errno);
        return 0;
      case Code::Name: result.text = file.name; return 0;
      case Code::Send: result.text = ApplyOption(s, args.text); return 0;
      default: return error_code::kUnsupportedFileDriverFunction;
    }
  }

 private:
  static std::size_t Length(std::int64_t number, std::size_t record_length) {
    if (number < 0) return 0;
    return static_cast<std::size_t>(std::min<std::int64_t>(number, static_cast<std::int64_t>(record_length)));
  }

  static int Open(AsciiState& s, std::uint32_t mode) {
    if (s.name.empty()) return error_code::kInvalidFilename;
    const std::uint32_t access = mode & driver::access_mode::kAccessMask;
    const int flags = access == 0 ? O_RDONLY : access == 1 ? O_WRONLY : O_RDWR;
    const int fd = open(s.name.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return FileFailure(errno);
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
      const int error = S_ISDIR(info.st_mode) ? error_code::kAccessDenied : FileFailure(errno);
      close(fd);
      return error;
    }
    s.fd = fd;
    s.size = static_cast<std::uint64_t>(info.st_size);
    s.read_only = access == 0;
    const bool exclusive = (mode & (kDenyAll | kDenyWrite)) != 0;
    s.shared = !exclusive;
    // Defaults, then the declaration's "/" options.
    s.clip = true;
    s.tab = 8;
    s.end_of_record = "\r\n";
    s.buffer_size = std::max<std::size_t>(exclusive ? 1024 : 512, 2 * s.record.size());
    s.quick_scan = exclusive;
    s.has_line = false;
    s.next_position = 0;
    s.DropBuffer();
    ApplyOptionText(s, s.driver_options);
    return 0;
  }

  static int Create(AsciiState& s) {
    if (!(s.attributes & driver::file_attribute::kCreate)) return error_code::kNoCreateAttribute;
    if (s.name.empty()) return error_code::kInvalidFilename;
    const int fd = open(s.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return FileFailure(errno);
    close(fd);
    return 0;
  }

  static int Close(AsciiState& s) {
    const int fd = s.fd;
    s.fd = -1;
    if (fd >= 0 && close(fd) != 0) return ErrorFromErrno(errno);
    return 0;
  }

  static int SetAt(AsciiState& s, std::uint64_t position) {
    s.next_position = position;
    return 0;
  }

  static int GetAt(AsciiState& s, std::uint32_t pointer, std::size_t length) {
    if (pointer == 0) return error_code::kRecordNotAvailable;
    const int error = ReadLine(s, pointer - 1, length);
    if (error != 0) s.has_line = false;
    return error;
  }

  static int Lock(AsciiState& s, std::int64_t seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::max<std::int64_t>(seconds, 0));
    while (!LockFirstByte(s.fd, F_WRLCK)) {
      if (errno != EAGAIN && errno != EACCES) return ErrorFromErrno(errno);
      if (std::chrono::steady_clock::now() >= deadline) return error_code::kFileIsAlreadyLocked;
      driver::PauseBetweenLockAttempts(std::chrono::milliseconds(50));
    }
    s.explicitly_locked = true;
    return 0;
  }
};

}  // namespace

driver::DriverEntry& AsciiDriver() {
  static Driver driver;
  return driver;
}

}  // namespace tavero::ascii
