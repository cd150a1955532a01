// Exchanges every request object must get right on the wire. The Linux request object's
// tests run them against a RecordingServer in the process; the Windows tests run them
// against the same server started by the native kelvaro-wire-fixture.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/named_case.h"
#include "support/recorded_request.h"

namespace kelvaro::test {

struct WireCase {
  const char* name;
  const char* scenario;  // how the server answers: see ScenarioReply
  std::string path;      // requested on the server, or an absolute URL sent through it as proxy
  int method = 0;
  std::string body_text;
  bool disable_redirects = false;
  bool supply_cookies = false;
  std::string cookies;  // supplied when supply_cookies
  bool via_proxy = false;
  std::string proxy_user;
  std::string proxy_password;

  // What the exchange yields.
  int status = 0;
  std::string body;
  std::size_t body_size = 0;  // checked instead of `body` when not 0
  std::string headers;
  std::string new_cookies;
  // What reached the server: every request line in order, then the first request's
  // headers (value "{url}" stands for the requested URL) and body.
  std::vector<std::string> request_lines;
  std::vector<std::pair<std::string, std::string>> request_headers;
  std::string request_body;
  // The headers WebRequest sets, in order, among those the first request carried.
  std::vector<std::string> caller_header_order;
};

KELVARO_PRINT_CASES_BY_NAME()

const std::vector<WireCase>& WireCases();

// The server's answer for a scenario (Linux only: the servers run there).
struct Reply;
Reply ScenarioReply(const std::string& scenario, const RecordedRequest& request);

// Runs the case's exchange through WebRequest and checks all of it. `server_url` is
// "http://127.0.0.1:PORT"; `requests` reads back what the server recorded.
void RunWireCase(const WireCase& c, const std::string& server_url,
                 const std::function<std::vector<RecordedRequest>()>& requests);

}  // namespace kelvaro::test
