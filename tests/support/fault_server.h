// A misbehaving standards site on 127.0.0.1 (ephemeral port), raw POSIX sockets. Keywords
// starting with "FAULT" meet the chosen fault; every other keyword gets a normal GBK result
// page built from a small table (or a page without a current row when the table lacks it).
// Every request line that arrives is recorded, so tests can check what reached the wire.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kelvaro::test {

enum class Fault {
  kNone,
  kRefused,             // the URL is sent to a port bound without a listener (see RefusingFactory)
  kResetMidBody,        // half the body (current row included), then a TCP reset
  kServiceUnavailable,  // 503 with an error page
  kGarbage,             // random bytes instead of HTTP, then close
  kUtf8Page,            // the result page in UTF-8 instead of GBK
  kHugeBody,            // a 40 MiB body with Content-Length (current row first)
  kHugeBodyNoLength,    // a 40 MiB body ended by close (current row first)
  kTrickle,             // the page one byte per second
  kRedirectLoop,        // 302 to the same address for ever (each with a result page)
  kCookieFlood,         // 1 MiB of Set-Cookie lines before a result page
  kHugeHeaderBlock,     // one 1 MiB header line before a result page
  kNeverAnswer,         // accepts, reads the request, answers nothing
};

const char* FaultName(Fault fault);

// One standard the site knows, GBK texts.
struct SiteRecord {
  std::string number;
  std::string title;
  std::string release_date = "2017-01-01";
  std::string department;
};

// The site's result page for a record (GBK): a superseded row first, then the record's
// row marked current. Null gives a page with rows but no current cell.
std::string ResultPageFor(const SiteRecord* record);
// The same layout with every marker written in UTF-8 instead of GBK.
std::string Utf8ResultPageFor(const SiteRecord& record);

bool IsFaultKeyword(const std::string& keyword);

class FaultServer {
 public:
  explicit FaultServer(Fault fault);
  ~FaultServer();
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  // Call before requests arrive.
  void Add(const std::string& keyword, SiteRecord record);

  int port() const;
  std::string prefix() const;  // "http://127.0.0.1:PORT"
  // A loopback port bound without a listener: connecting to it is refused.
  int refused_port() const;

  // Every request line as it arrived, raw bytes, in arrival order.
  std::vector<std::string> RequestLines() const;
  // Requests whose keyword met the fault (refused ones never arrive).
  int FaultRequests() const;
  int AcceptCount() const;
  // Requests whose head was not well formed HTTP/1.1 (or grew past 2 MiB).
  int MalformedRequests() const;

  // Closes the listener and every connection, ends every thread; the destructor calls it.
  void Stop();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// Installs a request-object factory that sends requests for fault keywords to the
// server's refused port and everything else on unchanged; the destructor restores the
// real factory.
class RefusingFactory {
 public:
  explicit RefusingFactory(const FaultServer& server);
  ~RefusingFactory();
  RefusingFactory(const RefusingFactory&) = delete;
  RefusingFactory& operator=(const RefusingFactory&) = delete;
};

// The keyword of a request line "GET /s.jsp?keyword=K&pageNum=1 HTTP/1.1", still escaped.
std::string KeywordOfRequestLine(const std::string& request_line);

}  // namespace kelvaro::test
