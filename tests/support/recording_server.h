// A raw-socket HTTP/1.1 server on 127.0.0.1 (ephemeral port) that records every request
// as it arrived and answers with whatever bytes the test hands it, including answers no
// well-behaved server gives: none at all, a cut-off body, an endless one.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/recorded_request.h"

namespace kelvaro::test {

class RecordingServer {
 public:
  using Handler = std::function<Reply(const RecordedRequest&)>;

  // No handler: every request is answered 200 with the body "ok".
  explicit RecordingServer(Handler handler = {});
  ~RecordingServer();
  RecordingServer(const RecordingServer&) = delete;
  RecordingServer& operator=(const RecordingServer&) = delete;

  int port() const;
  std::string Url(const std::string& path = "/") const;  // http://127.0.0.1:port/path
  std::string HostPort() const;                          // 127.0.0.1:port

  std::vector<RecordedRequest> Requests() const;
  int AcceptCount() const;
  bool WaitForRequests(std::size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

  // Closes the listener and every connection; the destructor calls it.
  void Stop();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace kelvaro::test
