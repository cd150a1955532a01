// The Windows tests' side of kelvaro-wire-fixture: the native Linux program that runs the
// wire cases' servers. Its control port comes in KELVARO_WIRE_FIXTURE (scripts/test-windows).
#pragma once

#include <string>
#include <vector>

#include "support/recorded_request.h"

namespace kelvaro::test {

class WireFixture {
 public:
  // Empty when KELVARO_WIRE_FIXTURE is not set.
  static std::string Unavailable();

  // A new server answering as `scenario`; false and a reason in `error` when it failed.
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
};

}  // namespace kelvaro::test
