// kelvaro-wire-fixture: the loopback servers of the wire cases, run natively on Linux for
// test executables that cannot start them themselves (the Windows build under Wine).
// It prints "port N" for its control server and serves, until SIGTERM or SIGINT:
//   GET /start/SCENARIO  -> "ID PORT"   a new RecordingServer answering as the scenario
//   GET /start/tls       -> "ID PORT"   an HTTPS server with a self-signed certificate
//   GET /requests/ID     -> what that server recorded (SerializeRecordedRequests)
//   GET /accepts/ID      -> how many connections it accepted
//   GET /stop/ID         -> "stopped"
//   GET /closed-port     -> a loopback port bound without a listener (connecting is refused)
#include <signal.h>

#include <httplib.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "support/recording_server.h"
#include "support/tls_server.h"
#include "support/wire_cases.h"
#include "support/wire_fixture.h"

namespace {

using kelvaro::test::RecordedRequest;
using kelvaro::test::RecordingServer;
using kelvaro::test::Reply;

class Fixture {
 public:
  Reply Handle(const RecordedRequest& r) {
    const std::size_t begin = r.request_line.find(' ') + 1;
    const std::size_t end = r.request_line.find(' ', begin);
    const std::string path = r.request_line.substr(begin, end - begin);
    std::lock_guard lock(mutex_);
    try {
      if (path == "/start/tls") {
        auto server = std::make_unique<kelvaro::test::TlsServer>(
            [](const httplib::Request&, httplib::Response& res) {
              res.set_content("secure", "text/plain");
            });
        const int id = ++last_id_;
        const int port = server->port();
        tls_servers_[id] = std::move(server);
        return Reply::Http(200, std::to_string(id) + " " + std::to_string(port));
      }
      if (path.rfind("/start/", 0) == 0) {
        const std::string scenario = path.substr(7);
        kelvaro::test::ScenarioReply(scenario, r);  // throws for an unknown scenario
        auto server = std::make_unique<RecordingServer>([scenario](const RecordedRequest& q) {
          return kelvaro::test::ScenarioReply(scenario, q);
        });
        const int id = ++last_id_;
        const int port = server->port();
        servers_[id] = std::move(server);
        return Reply::Http(200, std::to_string(id) + " " + std::to_string(port));
      }
      if (path == "/closed-port") {
        return Reply::Http(200, std::to_string(kelvaro::test::WireFixture::RefusedPort()));
      }
      const std::size_t slash = path.find('/', 1);
      if (slash != std::string::npos) {
        const std::string verb = path.substr(0, slash);
        const int id = std::stoi(path.substr(slash + 1));
        if (verb == "/stop" && tls_servers_.erase(id) == 1) return Reply::Http(200, "stopped");
        const auto found = servers_.find(id);
        if (found != servers_.end()) {
          if (verb == "/requests") {
            return Reply::Http(200, SerializeRecordedRequests(found->second->Requests()));
          }
          if (verb == "/accepts") {
            return Reply::Http(200, std::to_string(found->second->AcceptCount()));
          }
          if (verb == "/stop") {
            servers_.erase(found);
            return Reply::Http(200, "stopped");
          }
        }
      }
    } catch (const std::exception& e) {
      return Reply::Http(400, e.what());
    }
    return Reply::Http(404, "unknown command " + path);
  }

 private:
  std::mutex mutex_;
  int last_id_ = 0;
  std::map<int, std::unique_ptr<RecordingServer>> servers_;
  std::map<int, std::unique_ptr<kelvaro::test::TlsServer>> tls_servers_;
};

}  // namespace

int main() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);  // before any server thread starts
  signal(SIGPIPE, SIG_IGN);

  Fixture fixture;
  RecordingServer control([&fixture](const RecordedRequest& r) { return fixture.Handle(r); });
  std::printf("port %d\n", control.port());
  std::fflush(stdout);
  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  return 0;
}
