// The wire fixture on Linux: the scenarios' servers in the test's own process.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <exception>
#include <mutex>
#include <vector>

#include "support/recording_server.h"
#include "support/tls_server.h"
#include "support/wire_cases.h"
#include "support/wire_fixture.h"

namespace kelvaro::test {

struct WireFixture::Local {
  std::unique_ptr<RecordingServer> http;
  std::unique_ptr<TlsServer> tls;
};

std::string WireFixture::Unavailable() { return {}; }

bool WireFixture::Start(const std::string& scenario, std::string& error) {
  local_ = std::make_shared<Local>();
  if (scenario == "tls") {
    local_->tls = std::make_unique<TlsServer>([](const httplib::Request&, httplib::Response& res) {
      res.set_content("secure", "text/plain");
    });
    port_ = local_->tls->port();
    return port_ > 0;
  }
  try {
    ScenarioReply(scenario, RecordedRequest{});  // throws for an unknown scenario
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  local_->http = std::make_unique<RecordingServer>(
      [scenario](const RecordedRequest& r) { return ScenarioReply(scenario, r); });
  port_ = local_->http->port();
  return port_ > 0;
}

WireFixture::~WireFixture() = default;

std::string WireFixture::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string WireFixture::Url(const std::string& path) const {
  return "http://" + HostPort() + path;
}

std::vector<RecordedRequest> WireFixture::Requests() const {
  return local_ && local_->http ? local_->http->Requests() : std::vector<RecordedRequest>{};
}

int WireFixture::AcceptCount() const {
  return local_ && local_->http ? local_->http->AcceptCount() : -1;
}

bool WireFixture::WaitForRequests(std::size_t count) const {
  return local_ && local_->http && local_->http->WaitForRequests(count);
}

int WireFixture::RefusedPort() {
  // Bound and never listened on, and kept so: no other test can take the port meanwhile.
  static std::mutex mutex;
  static std::vector<int> kept;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(fd);
    return 0;
  }
  std::lock_guard lock(mutex);
  kept.push_back(fd);
  return ntohs(address.sin_port);
}

}  // namespace kelvaro::test
