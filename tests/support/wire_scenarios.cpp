// The servers' side of the wire cases (the servers run on Linux only).
#include <cstddef>
#include <stdexcept>

#include "support/recording_server.h"
#include "support/wire_cases.h"

namespace kelvaro::test {

Reply ScenarioReply(const std::string& scenario, const RecordedRequest& request) {
  constexpr std::size_t kFortyMiB = 40u << 20;
  constexpr std::size_t kCap = 32u << 20;
  if (scenario == "ok") return Reply::Http(200, "ok");
  if (scenario == "proxy") return Reply::Http(200, "via proxy");
  if (scenario == "hang") return Reply::Hang();
  if (scenario == "echo-path") {
    const std::size_t begin = request.request_line.find(' ') + 1;
    return Reply::Http(
        200, request.request_line.substr(begin, request.request_line.find(' ', begin) - begin));
  }
  if (scenario == "redirect") {
    if (request.request_line.find(" /start ") != std::string::npos) {
      return Reply::Http(302, "", "Location: /final\r\nSet-Cookie: early=1\r\n");
    }
    return Reply::Http(200, "final", "X-Final: yes\r\n");
  }
  if (scenario == "moved") return Reply::Http(302, "moved", "Location: /final\r\n");
  if (scenario == "cookies") {
    return Reply::Http(200, "", "Set-Cookie: b=2; Path=/\r\nSet-Cookie: a=1\r\n");
  }
  Reply reply;
  if (scenario == "cut-body") {
    reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nSet-Cookie: a=1\r\n\r\n" +
                  std::string(500, 'b');
    reply.after = Reply::After::kClose;
  } else if (scenario == "huge-declared" || scenario == "at-cap") {
    const std::size_t size = scenario == "at-cap" ? kCap : kFortyMiB;
    reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n";
    reply.filler_bytes = size;
  } else if (scenario == "huge-close") {
    reply.bytes = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
    reply.filler_bytes = kFortyMiB;
    reply.after = Reply::After::kClose;
  } else if (scenario == "trickle") {
    reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    reply.filler_bytes = 100000;
    reply.trickle_ms = 50;  // never stalls long enough for the stall check
  } else {
    throw std::invalid_argument("no wire scenario " + scenario);
  }
  return reply;
}

}  // namespace kelvaro::test
