#include "support/fault_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>
#include <utility>

#include "site/national_site.h"
#include "platform/web.h"
#include "text/encoding.h"
#include "web/request_object.h"

namespace kelvaro::test {
namespace {

constexpr std::size_t kMaxHead = 2u << 20;
constexpr std::size_t kHugeBodyBytes = 40u << 20;
constexpr std::size_t kOneMiB = 1u << 20;

std::string Row(const std::string& field_number, const std::string& field_title,
                const std::string& field_date, const std::string& field_department,
                const SiteRecord& record, const std::string& current_cell) {
  return "<tr bgcolor=\"#ffffff\"><td>" + field_number + record.number + "&nbsp;</td><td>" +
         field_title + record.title + "&nbsp;</td><td>" + field_date + record.release_date +
         "&nbsp;</td><td>" + field_department + record.department + "&nbsp;</td>" + current_cell +
         "</tr>";
}

std::string PageAround(const std::string& rows) {
  return "<html><head><title>search</title></head><body><table>" + rows + "</table></body></html>";
}

// Sends everything unless the peer goes away; false then.
bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}
bool SendAll(int fd, const std::string& bytes) { return SendAll(fd, bytes.data(), bytes.size()); }

std::string HttpHead(const std::string& status_line, const std::string& extra,
                     std::size_t content_length) {
  return "HTTP/1.1 " + status_line + "\r\nContent-Type: text/html; charset=GBK\r\n" + extra +
         "Content-Length: " + std::to_string(content_length) + "\r\n\r\n";
}

std::string Ok(const std::string& body, const std::string& extra = {}) {
  return HttpHead("200 OK", extra, body.size()) + body;
}

}  // namespace

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kNone:
      return "None";
    case Fault::kRefused:
      return "Refused";
    case Fault::kResetMidBody:
      return "ResetMidBody";
    case Fault::kServiceUnavailable:
      return "ServiceUnavailable";
    case Fault::kGarbage:
      return "Garbage";
    case Fault::kUtf8Page:
      return "Utf8Page";
    case Fault::kHugeBody:
      return "HugeBody";
    case Fault::kHugeBodyNoLength:
      return "HugeBodyNoLength";
    case Fault::kTrickle:
      return "Trickle";
    case Fault::kRedirectLoop:
      return "RedirectLoop";
    case Fault::kCookieFlood:
      return "CookieFlood";
    case Fault::kHugeHeaderBlock:
      return "HugeHeaderBlock";
    case Fault::kNeverAnswer:
      return "NeverAnswer";
  }
  return "Unknown";
}

std::string ResultPageFor(const SiteRecord* record) {
  // A superseded row without the current cell comes first: it must never be taken.
  SiteRecord old{"OLD 1-1999", "old", "1999-01-01", "x"};
  std::string rows = Row(Gbk(u8"编号："), Gbk(u8"标题："), Gbk(u8"发布日期："), Gbk(u8"发布部门："),
                         old, "<td>" + Gbk(u8"废止") + "</td>");
  if (record != nullptr) {
    rows += Row(Gbk(u8"编号："), Gbk(u8"标题："), Gbk(u8"发布日期："), Gbk(u8"发布部门："), *record,
                kCurrentCell);
  }
  return PageAround(rows);
}

std::string Utf8ResultPageFor(const SiteRecord& record) {
  const std::string cell = "<td ><font color=\"#000000\">现行</font></td>";
  return PageAround(Row("编号：", "标题：", "发布日期：", "发布部门：", record, cell));
}

bool IsFaultKeyword(const std::string& keyword) { return keyword.rfind("FAULT", 0) == 0; }

std::string KeywordOfRequestLine(const std::string& request_line) {
  const std::string key = "keyword=";
  const std::size_t p = request_line.find(key);
  if (p == std::string::npos) return {};
  const std::size_t start = p + key.size();
  const std::size_t end = request_line.find_first_of("& ", start);
  return request_line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

struct FaultServer::State {
  Fault fault = Fault::kNone;
  int listen_fd = -1;
  int refused_fd = -1;
  int port = 0;
  int refused_port = 0;
  std::thread acceptor;

  mutable std::mutex mutex;
  std::condition_variable stop_cv;
  bool stopping = false;
  std::map<std::string, SiteRecord> records;
  std::vector<std::string> request_lines;
  std::vector<int> open_fds;
  std::vector<std::thread> connections;
  int fault_requests = 0;
  int accepts = 0;
  int malformed = 0;

  bool Stopping() {
    std::lock_guard lock(mutex);
    return stopping;
  }
  // Sleeps up to `ms`; false when the server is stopping.
  bool Pause(int ms) {
    std::unique_lock lock(mutex);
    return !stop_cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
  }

  void Serve(int fd);
  // False when the connection must end.
  bool Answer(int fd, const std::string& request_line);
};

namespace {

// Reads one request head (up to the blank line); false on close, error or oversize.
bool ReadHead(int fd, std::string& pending, std::string& head, bool& oversize) {
  oversize = false;
  for (;;) {
    const std::size_t end = pending.find("\r\n\r\n");
    if (end != std::string::npos) {
      head = pending.substr(0, end + 4);
      pending.erase(0, end + 4);
      return true;
    }
    if (pending.size() > kMaxHead) {
      oversize = true;
      return false;
    }
    char buffer[16384];
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(got));
  }
}

bool WellFormedRequestLine(const std::string& line) {
  if (line.rfind("GET /", 0) != 0) return false;
  if (line.size() < 14 || line.compare(line.size() - 9, 9, " HTTP/1.1") != 0) return false;
  for (std::size_t i = 4; i + 9 < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c <= 0x20 || c >= 0x7F) return false;
  }
  return true;
}

}  // namespace

void FaultServer::State::Serve(int fd) {
  std::string pending;
  for (;;) {
    std::string head;
    bool oversize = false;
    if (!ReadHead(fd, pending, head, oversize)) {
      if (oversize) {
        std::lock_guard lock(mutex);
        ++malformed;
      }
      return;
    }
    const std::string request_line = head.substr(0, head.find("\r\n"));
    {
      std::lock_guard lock(mutex);
      request_lines.push_back(request_line);
      if (!WellFormedRequestLine(request_line)) ++malformed;
    }
    if (!Answer(fd, request_line)) return;
  }
}

bool FaultServer::State::Answer(int fd, const std::string& request_line) {
  const std::string keyword = KeywordOfRequestLine(request_line);
  SiteRecord record;
  bool known = false;
  {
    std::lock_guard lock(mutex);
    auto it = records.find(keyword);
    if (it != records.end()) {
      record = it->second;
      known = true;
    }
  }
  if (!IsFaultKeyword(keyword) || fault == Fault::kNone || fault == Fault::kRefused) {
    return SendAll(fd, Ok(ResultPageFor(known ? &record : nullptr)));
  }
  {
    std::lock_guard lock(mutex);
    ++fault_requests;
  }
  // A fault row's page would give a definite result if it were taken: the row must not.
  SiteRecord bait{"FAULT 1-2010", "bait", "2010-01-01", "x"};
  const std::string page = ResultPageFor(&bait);
  switch (fault) {
    case Fault::kNone:
    case Fault::kRefused:
      return false;
    case Fault::kResetMidBody: {
      const std::string body = page + std::string(64 * 1024, ' ');
      SendAll(fd, HttpHead("200 OK", {}, body.size()) + body.substr(0, page.size() + 1024));
      Pause(50);
      linger reset{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
      return false;  // the caller closes: with a zero linger that is a reset
    }
    case Fault::kServiceUnavailable: {
      const std::string body =
          "<html><body><h1>503 Service Unavailable</h1><p>The server is busy.</p></body></html>";
      return SendAll(
          fd, HttpHead("503 Service Unavailable", "Retry-After: 120\r\n", body.size()) + body);
    }
    case Fault::kGarbage: {
      std::mt19937 random(12345);
      std::string junk(8192, '\0');
      for (char& c : junk) c = static_cast<char>(random() & 0xFF);
      junk[0] = '\x01';  // never "HTTP/"
      SendAll(fd, junk);
      return false;
    }
    case Fault::kUtf8Page: {
      SiteRecord utf8{"FAULT 1-2010", "诱饵", "2010-01-01", "部门"};
      const std::string body = Utf8ResultPageFor(utf8);
      return SendAll(fd,
                     "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\n"
                     "Content-Length: " +
                         std::to_string(body.size()) + "\r\n\r\n" + body);
    }
    case Fault::kHugeBody:
    case Fault::kHugeBodyNoLength: {
      const std::string head =
          fault == Fault::kHugeBody
              ? HttpHead("200 OK", {}, kHugeBodyBytes)
              : "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n";
      if (!SendAll(fd, head + page)) return false;
      const std::string chunk(1u << 16, 'x');
      std::size_t left = kHugeBodyBytes - page.size();
      while (left > 0 && !Stopping()) {
        const std::size_t n = std::min(left, chunk.size());
        if (!SendAll(fd, chunk.data(), n)) return false;
        left -= n;
      }
      return false;
    }
    case Fault::kTrickle: {
      if (!SendAll(fd, HttpHead("200 OK", {}, page.size()))) return false;
      for (char c : page) {
        if (!SendAll(fd, &c, 1)) return false;
        if (!Pause(1000)) return false;
      }
      return true;
    }
    case Fault::kRedirectLoop: {
      const std::size_t target_start = request_line.find(' ') + 1;
      const std::string target =
          request_line.substr(target_start, request_line.rfind(' ') - target_start);
      return SendAll(fd, HttpHead("302 Found", "Location: " + target + "\r\n", page.size()) + page);
    }
    case Fault::kCookieFlood: {
      std::string cookies;
      for (int i = 0; cookies.size() < kOneMiB; ++i) {
        cookies +=
            "Set-Cookie: c" + std::to_string(i) + "=" + std::string(40, 'v') + "; Path=/\r\n";
      }
      return SendAll(fd, Ok(page, cookies));
    }
    case Fault::kHugeHeaderBlock:
      return SendAll(fd, Ok(page, "X-Filler: " + std::string(kOneMiB, 'f') + "\r\n"));
    case Fault::kNeverAnswer: {
      // Keep the connection and read whatever comes until the client gives up.
      char buffer[4096];
      while (!Stopping()) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EINTR)) break;
      }
      return false;
    }
  }
  return false;
}

FaultServer::FaultServer(Fault fault) : state_(std::make_shared<State>()) {
  state_->fault = fault;
  auto bind_loopback = [](int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ::close(fd);
      throw std::runtime_error("bind failed");
    }
    port = ntohs(address.sin_port);
    return fd;
  };
  state_->listen_fd = bind_loopback(state_->port);
  state_->refused_fd = bind_loopback(state_->refused_port);  // bound, never listening
  if (::listen(state_->listen_fd, 64) != 0) throw std::runtime_error("listen failed");

  std::shared_ptr<State> state = state_;
  state_->acceptor = std::thread([state] {
    for (;;) {
      pollfd waiting{state->listen_fd, POLLIN, 0};
      const int ready = ::poll(&waiting, 1, 100);
      if (state->Stopping()) return;
      if (ready <= 0) continue;
      const int fd = ::accept4(state->listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::lock_guard lock(state->mutex);
      if (state->stopping) {
        ::close(fd);
        return;
      }
      ++state->accepts;
      state->open_fds.push_back(fd);
      state->connections.emplace_back([state, fd] {
        state->Serve(fd);
        std::lock_guard hold(state->mutex);
        // Stop shuts every open socket down; only a connection still listed is ours to close.
        for (auto it = state->open_fds.begin(); it != state->open_fds.end(); ++it) {
          if (*it == fd) {
            state->open_fds.erase(it);
            ::close(fd);
            break;
          }
        }
      });
    }
  });
}

FaultServer::~FaultServer() { Stop(); }

void FaultServer::Add(const std::string& keyword, SiteRecord record) {
  std::lock_guard lock(state_->mutex);
  state_->records[keyword] = std::move(record);
}

int FaultServer::port() const { return state_->port; }
std::string FaultServer::prefix() const { return "http://127.0.0.1:" + std::to_string(port()); }
int FaultServer::refused_port() const { return state_->refused_port; }

std::vector<std::string> FaultServer::RequestLines() const {
  std::lock_guard lock(state_->mutex);
  return state_->request_lines;
}
int FaultServer::FaultRequests() const {
  std::lock_guard lock(state_->mutex);
  return state_->fault_requests;
}
int FaultServer::AcceptCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->accepts;
}
int FaultServer::MalformedRequests() const {
  std::lock_guard lock(state_->mutex);
  return state_->malformed;
}

void FaultServer::Stop() {
  std::vector<std::thread> connections;
  {
    std::lock_guard lock(state_->mutex);
    if (state_->stopping) return;
    state_->stopping = true;
    // Wake every blocked recv and send; the connection threads close their own sockets.
    for (int fd : state_->open_fds) ::shutdown(fd, SHUT_RDWR);
  }
  state_->stop_cv.notify_all();
  if (state_->acceptor.joinable()) state_->acceptor.join();
  {
    std::lock_guard lock(state_->mutex);
    connections.swap(state_->connections);
  }
  for (auto& t : connections) t.join();
  ::close(state_->listen_fd);
  ::close(state_->refused_fd);
}

namespace {

// Passes every member through to a real request object, except that a fault keyword's
// address is sent to a port nobody listens on.
class RefusingRequestObject : public RequestObject {
 public:
  RefusingRequestObject(RequestObjectHandle inner, int refused_port)
      : inner_(std::move(inner)), refused_port_(refused_port) {}
  bool SetTimeouts(int a, int b, int c, int d) override { return inner_->SetTimeouts(a, b, c, d); }
  bool SetProxy(int setting, const Text& proxy) override {
    return inner_->SetProxy(setting, proxy);
  }
  bool Open(const Text& method, const Text& url, bool async) override {
    const std::size_t p = url.find("keyword=");
    Text target = url;
    if (p != Text::npos && IsFaultKeyword(url.substr(p + 8))) {
      target = "http://127.0.0.1:" + std::to_string(refused_port_) + "/s.jsp?" + url.substr(p);
    }
    return inner_->Open(method, target, async);
  }
  bool SetOption(int index, int value) override { return inner_->SetOption(index, value); }
  bool SetRequestHeader(const Text& name, const Text& value) override {
    return inner_->SetRequestHeader(name, value);
  }
  bool Send(const Text& body) override { return inner_->Send(body); }
  bool SendBytes(const Bytes& body) override { return inner_->SendBytes(body); }
  std::optional<Bytes> ResponseBody() override { return inner_->ResponseBody(); }
  Text GetAllResponseHeaders() override { return inner_->GetAllResponseHeaders(); }
  int Status() override { return inner_->Status(); }
  void Abort() override { inner_->Abort(); }
  Text ErrorText() override { return inner_->ErrorText(); }

 private:
  RequestObjectHandle inner_;
  int refused_port_;
};

}  // namespace

RefusingFactory::RefusingFactory(const FaultServer& server) {
  const int refused_port = server.refused_port();
  SetRequestObjectFactory([refused_port](const Text& prog_id) -> RequestObjectHandle {
    if (prog_id != kRequestObjectProgId) return nullptr;
    return std::make_shared<RefusingRequestObject>(platform::MakeRequestObject(), refused_port);
  });
}

RefusingFactory::~RefusingFactory() { SetRequestObjectFactory({}); }

}  // namespace kelvaro::test
