#include "support/fake_request_object.h"

#include <utility>

namespace kelvaro::test {

void FakeRequestObject::Record(std::string member, std::vector<std::string> args) {
  std::lock_guard lock(mutex_);
  calls_.push_back({std::move(member), std::move(args)});
}

std::vector<FakeCall> FakeRequestObject::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<FakeCall> FakeRequestObject::CallsTo(const std::string& member) const {
  std::vector<FakeCall> selected;
  for (FakeCall& call : Calls()) {
    if (call.member == member) selected.push_back(std::move(call));
  }
  return selected;
}

Bytes FakeRequestObject::sent_bytes() const {
  std::lock_guard lock(mutex_);
  return sent_bytes_;
}

bool FakeRequestObject::SetTimeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) {
  Record("SetTimeouts", {std::to_string(resolve_ms), std::to_string(connect_ms),
                         std::to_string(send_ms), std::to_string(receive_ms)});
  return true;
}

bool FakeRequestObject::SetProxy(int setting, const Text& proxy) {
  Record("SetProxy", {std::to_string(setting), proxy});
  return true;
}

bool FakeRequestObject::Open(const Text& method, const Text& url, bool async) {
  Record("Open", {method, url, async ? "true" : "false"});
  return true;
}

bool FakeRequestObject::SetOption(int index, int value) {
  Record("SetOption", {std::to_string(index), std::to_string(value)});
  return true;
}

bool FakeRequestObject::SetRequestHeader(const Text& name, const Text& value) {
  Record("SetRequestHeader", {name, value});
  return !name.empty();
}

bool FakeRequestObject::Send(const Text& body) {
  Record("Send", {body});
  return !fail_send;
}

bool FakeRequestObject::SendBytes(const Bytes& body) {
  Record("SendBytes", {std::string(body.begin(), body.end())});
  std::lock_guard lock(mutex_);
  sent_bytes_ = body;
  return !fail_send;
}

std::optional<Bytes> FakeRequestObject::ResponseBody() {
  Record("ResponseBody", {});
  return response_body;
}

Text FakeRequestObject::GetAllResponseHeaders() {
  Record("GetAllResponseHeaders", {});
  return response_headers;
}

int FakeRequestObject::Status() {
  Record("Status", {});
  return status;
}

void FakeRequestObject::Abort() { Record("Abort", {}); }

}  // namespace kelvaro::test
