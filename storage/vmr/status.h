// The outcome of a storage-engine call, carried as a value.
//
// Three kinds of failure travel up from the physical layer:
//  - a runtime error number (36 "Invalid Data File", 35 "Record Not Found"...);
//  - a system error (an errno value) that the driver posts as 300 plus the
//    system's error code;
//  - an internal error: the engine found its own structures inconsistent.
//    The driver halts with "Internal error : vmrbt line N"; below the driver
//    it is an ordinary value so that damaged files can be tested and fuzzed.
#pragma once

namespace tavero::vmr {

class [[nodiscard]] Status {
 public:
  enum class Kind { kOk, kError, kSystem, kInternal };

  Status() = default;
  static Status Ok() { return {}; }
  static Status Error(int code) { return Status(Kind::kError, code); }
  static Status System(int errno_value) { return Status(Kind::kSystem, errno_value); }
  static Status Internal(int line) { return Status(Kind::kInternal, line); }

  bool ok() const { return kind_ == Kind::kOk; }
  Kind kind() const { return kind_; }
  // The runtime error number (kError), errno value (kSystem) or line of the
  // failed check (kInternal).
  int value() const { return value_; }
  bool is_error(int code) const { return kind_ == Kind::kError && value_ == code; }
  bool is_internal() const { return kind_ == Kind::kInternal; }

 private:
  Status(Kind kind, int value) : kind_(kind), value_(value) {}
  Kind kind_ = Kind::kOk;
  int value_ = 0;
};

// The runtime error code of a status, for the driver to post: 0, the
// error number, or 300 plus the system's number for an errno value (which
// is also recorded as the last system error). An internal error does not
// return: it shows "Internal error : vmrbt line N" and ends the program.
int ErrorCodeOf(const Status& status);

// Returns from the enclosing function when `expr` yields a failure.
#define VMR_TRY(expr)                            \
  do {                                           \
    ::tavero::vmr::Status vmr_try_status_ = (expr); \
    if (!vmr_try_status_.ok()) return vmr_try_status_; \
  } while (0)

// A failed consistency check: the line number names the check.
#define VMR_CHECK(cond)                                             \
  do {                                                              \
    if (!(cond)) return ::tavero::vmr::Status::Internal(__LINE__);  \
  } while (0)

}  // namespace tavero::vmr
