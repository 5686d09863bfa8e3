#include "storage/vmr/status.h"

#include "runtime/runtime_error.h"
#include "runtime/system_error.h"

namespace tavero::vmr {

int ErrorCodeOf(const Status& status) {
  switch (status.kind()) {
    case Status::Kind::kOk:
      return 0;
    case Status::Kind::kError:
      return status.value();
    case Status::Kind::kSystem:
      return ErrorFromErrno(status.value());
    case Status::Kind::kInternal:
      ReportInternalError(status.value());
  }
  return 0;
}

}  // namespace tavero::vmr
