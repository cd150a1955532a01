// A RequestObject that records every member call with its arguments and answers
// with what the test set up. Safe to share between threads.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "web/request_object.h"

namespace kelvaro::test {

struct FakeCall {
  std::string member;             // "SetTimeouts", "Open", ...
  std::vector<std::string> args;  // as text: numbers in decimal, bools "true"/"false"
  bool operator==(const FakeCall&) const = default;
};

class FakeRequestObject : public RequestObject {
 public:
  // What the exchange yields.
  std::optional<Bytes> response_body = Bytes{};
  Text response_headers;
  int status = 200;
  bool fail_send = false;  // Send/SendBytes report failure

  std::vector<FakeCall> Calls() const;
  // Only the calls to one member, in order.
  std::vector<FakeCall> CallsTo(const std::string& member) const;
  Bytes sent_bytes() const;

  bool SetTimeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override;
  bool SetProxy(int setting, const Text& proxy) override;
  bool Open(const Text& method, const Text& url, bool async) override;
  bool SetOption(int index, int value) override;
  bool SetRequestHeader(const Text& name, const Text& value) override;
  bool Send(const Text& body) override;
  bool SendBytes(const Bytes& body) override;
  std::optional<Bytes> ResponseBody() override;
  Text GetAllResponseHeaders() override;
  int Status() override;
  void Abort() override;

 private:
  void Record(std::string member, std::vector<std::string> args);
  mutable std::mutex mutex_;
  std::vector<FakeCall> calls_;
  Bytes sent_bytes_;
};

}  // namespace kelvaro::test
