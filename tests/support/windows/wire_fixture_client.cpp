#include "support/wire_fixture.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace kelvaro::test {
namespace {

int ControlPort() {
  const char* value = std::getenv("KELVARO_WIRE_FIXTURE");
  return value ? std::atoi(value) : 0;
}

// One GET on the control port; the body of a 200 answer, or false.
bool Control(const std::string& path, std::string& body) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  const int port = ControlPort();
  if (!started || port == 0) return false;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: fixture\r\n\r\n";
    send(s, request.data(), static_cast<int>(request.size()), 0);
    char buffer[65536];
    for (;;) {
      const int got = recv(s, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      answer.append(buffer, static_cast<std::size_t>(got));
      const std::size_t head_end = answer.find("\r\n\r\n");
      if (head_end == std::string::npos) continue;
      const std::size_t length_at = answer.find("Content-Length: ");
      if (length_at == std::string::npos || length_at > head_end) break;
      const std::size_t length = std::strtoull(answer.c_str() + length_at + 16, nullptr, 10);
      if (answer.size() >= head_end + 4 + length) {
        body = answer.substr(head_end + 4, length);
        break;
      }
    }
  }
  closesocket(s);
  return answer.rfind("HTTP/1.1 200 ", 0) == 0;
}

}  // namespace

// The servers live in kelvaro-wire-fixture.
struct WireFixture::Local {};

std::string WireFixture::Unavailable() {
  if (ControlPort() == 0) {
    return "KELVARO_WIRE_FIXTURE is not set: run scripts/test-windows, which starts "
           "kelvaro-wire-fixture";
  }
  return {};
}

bool WireFixture::Start(const std::string& scenario, std::string& error) {
  std::string body;
  if (!Control("/start/" + scenario, body)) {
    error = "the wire fixture did not start scenario " + scenario + ": " + body;
    return false;
  }
  const std::size_t space = body.find(' ');
  id_ = std::atoi(body.substr(0, space).c_str());
  port_ = space == std::string::npos ? 0 : std::atoi(body.c_str() + space + 1);
  return id_ > 0 && port_ > 0;
}

WireFixture::~WireFixture() {
  std::string body;
  if (id_ > 0) Control("/stop/" + std::to_string(id_), body);
}

std::string WireFixture::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string WireFixture::Url(const std::string& path) const {
  return "http://" + HostPort() + path;
}

std::vector<RecordedRequest> WireFixture::Requests() const {
  std::string body;
  std::vector<RecordedRequest> requests;
  if (Control("/requests/" + std::to_string(id_), body)) ParseRecordedRequests(body, requests);
  return requests;
}

int WireFixture::AcceptCount() const {
  std::string body;
  return Control("/accepts/" + std::to_string(id_), body) ? std::atoi(body.c_str()) : -1;
}

bool WireFixture::WaitForRequests(std::size_t count) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < until) {
    if (Requests().size() >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

int WireFixture::RefusedPort() {
  std::string body;
  return Control("/closed-port", body) ? std::atoi(body.c_str()) : 0;
}

}  // namespace kelvaro::test
