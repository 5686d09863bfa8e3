#include "app/global_request.h"

#include <atomic>

namespace zephcol {
namespace {

// Process-wide, as the procedures' protocol wants them. Atomic only so that a
// stray read from outside the engine lock is still defined.
std::atomic<Request> global_request{Request::None};
std::atomic<Response> global_response{Response::None};

}  // namespace

Request GlobalRequest() { return global_request.load(); }
void SetGlobalRequest(Request request) { global_request.store(request); }
Response GlobalResponse() { return global_response.load(); }
void SetGlobalResponse(Response response) { global_response.store(response); }

ProcedureRequest::ProcedureRequest() : request_(GlobalRequest()) {
  SetGlobalRequest(Request::None);
  SetGlobalResponse(Response::None);
}

ProcedureRequest::~ProcedureRequest() {
  SetGlobalResponse(response_ == Response::None ? Response::Cancelled : response_);
}

}  // namespace zephcol
