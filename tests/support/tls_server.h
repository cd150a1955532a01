// An HTTPS server on 127.0.0.1 (ephemeral port) with a self-signed certificate made
// when the server starts. Built on cpp-httplib; each connection serves one request.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace kelvaro::test {

class TlsServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
  // The handler answers every GET and POST.
  explicit TlsServer(Handler handler);
  ~TlsServer();
  TlsServer(const TlsServer&) = delete;
  TlsServer& operator=(const TlsServer&) = delete;

  int port() const;
  std::string Url(const std::string& path = "/") const;  // https://127.0.0.1:port/path

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kelvaro::test
