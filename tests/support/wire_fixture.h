// The loopback servers of the request objects' tests, one scenario each (wire_scenarios.cpp).
// On Linux they run in the test's process; under Wine in kelvaro-wire-fixture, the native
// Linux program whose control port comes in KELVARO_WIRE_FIXTURE (scripts/test-windows).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/recorded_request.h"

namespace kelvaro::test {

class WireFixture {
 public:
  // Why no server can be started (under Wine: KELVARO_WIRE_FIXTURE is not set); empty when
  // they can.
  static std::string Unavailable();

  // A new server answering as `scenario` ("tls": HTTPS with a self-signed certificate);
  // false and a reason in `error` when it failed.
  bool Start(const std::string& scenario, std::string& error);
  ~WireFixture();
  WireFixture() = default;
  WireFixture(const WireFixture&) = delete;
  WireFixture& operator=(const WireFixture&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path = "/") const;  // http://127.0.0.1:port/path
  std::string HostPort() const;
  std::vector<RecordedRequest> Requests() const;
  int AcceptCount() const;
  // Waits until `count` requests have arrived (at most 5 s).
  bool WaitForRequests(std::size_t count) const;

  // A loopback port where connecting is refused.
  static int RefusedPort();

 private:
  int id_ = 0;
  int port_ = 0;
  struct Local;  // the in-process servers (Linux)
  std::shared_ptr<Local> local_;  // shared: its type is complete only where it is made
};

}  // namespace kelvaro::test
