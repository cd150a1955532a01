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

namespace kelvaro::test {

struct RecordedRequest {
  std::string request_line;                                  // "GET /x HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;  // in arrival order, values trimmed
  std::string body;                                          // Content-Length bytes
  std::string head;    // the raw bytes up to and including the blank line
  int connection = 0;  // 1-based number of the accepted connection it came on

  // First value of a header, name compared without regard to case; empty when absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
  std::vector<std::string> HeaderNames() const;
};

struct Reply {
  enum class After { kKeepOpen, kClose, kHang };
  std::string bytes;               // sent exactly as given
  std::size_t filler_bytes = 0;    // then this many 'x' bytes, written in pieces
  int trickle_ms = 0;              // when set, the filler goes one byte at a time, this far apart
  After after = After::kKeepOpen;  // kHang: keep the connection, read and answer nothing more

  // A complete answer with Content-Length; extra_headers are lines each ending in CR LF.
  static Reply Http(int status, const std::string& body, const std::string& extra_headers = {});
  // Accept the request and never answer.
  static Reply Hang();
};

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
