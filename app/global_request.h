// GlobalRequest and GlobalResponse: the request one procedure passes to the
// procedure it calls, and the outcome that comes back.
//
// Every procedure takes the request on entry with a ProcedureRequest: the
// global request is copied into it and both globals are cleared; the local
// response starts at Cancelled. When the procedure leaves, its response
// becomes GlobalResponse (Cancelled when it is None).
#pragma once

namespace zephcol {

enum class Request : int {
  None = 0,
  Insert = 1,
  Change = 2,
  Delete = 3,
  Select = 4,
};

enum class Response : int {
  None = 0,
  Completed = 1,
  Cancelled = 2,
};

// The program-wide values. Procedures touch them only while they hold the
// engine lock, so one thread at a time.
Request GlobalRequest();
void SetGlobalRequest(Request request);
Response GlobalResponse();
void SetGlobalResponse(Response response);

// A procedure's own request and response, taken on entry and handed back
// when it goes out of scope.
class ProcedureRequest {
 public:
  ProcedureRequest();
  ~ProcedureRequest();
  ProcedureRequest(const ProcedureRequest&) = delete;
  ProcedureRequest& operator=(const ProcedureRequest&) = delete;

  Request request() const { return request_; }
  Response response() const { return response_; }
  void set_response(Response response) { response_ = response; }

 private:
  Request request_;
  Response response_ = Response::Cancelled;
};

}  // namespace zephcol
