#include "support/wire_cases.h"

#include <gtest/gtest.h>

#include <cctype>

#include "web/web_request.h"

namespace kelvaro::test {
namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const std::vector<std::string> kDefaultOrder = {"Accept", "Referer", "Accept-Language",
                                                "User-Agent"};

// Headers a transport adds on its own, in whatever place it likes.
bool IsTransportHeader(const std::string& name) {
  for (const char* own : {"host", "connection", "content-length", "cache-control"}) {
    std::string lower = name;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (lower == own) return true;
  }
  return false;
}

// "GET http://host:80/x" and "GET http://host/x" ask for the same thing; transports differ.
std::string WithoutDefaultPort(std::string line) {
  const std::size_t scheme = line.find(" http://");
  if (scheme == std::string::npos) return line;
  const std::size_t slash = line.find('/', scheme + 8);
  if (slash != std::string::npos && slash >= 3 && line.compare(slash - 3, 3, ":80") == 0) {
    line.erase(slash - 3, 3);
  }
  return line;
}

WireCase Defaults(const char* name, const char* scenario, std::string path) {
  WireCase c;
  c.name = name;
  c.scenario = scenario;
  c.path = std::move(path);
  return c;
}

std::vector<WireCase> MakeCases() {
  std::vector<WireCase> cases;
  {
    WireCase c = Defaults("DefaultHeadersInOrder", "ok", "/s.jsp?keyword=GB/T50001&pageNum=1");
    c.status = 200;
    c.body = "ok";
    c.headers = "Content-Length: 2";
    c.request_lines = {"GET /s.jsp?keyword=GB/T50001&pageNum=1 HTTP/1.1"};
    c.request_headers = {{"Accept", "*/*"},
                         {"Referer", "{url}"},
                         {"Accept-Language", "zh-cn"},
                         {"User-Agent", kUserAgent}};
    c.caller_header_order = kDefaultOrder;
    cases.push_back(c);
  }
  {
    WireCase c = Defaults("RedirectFollowed", "redirect", "/start");
    c.status = 200;
    c.body = "final";
    c.headers = "X-Final: yes\r\nContent-Length: 5";
    c.request_lines = {"GET /start HTTP/1.1", "GET /final HTTP/1.1"};
    cases.push_back(c);
  }
  {
    WireCase c = Defaults("RedirectNotFollowed", "moved", "/start");
    c.disable_redirects = true;
    c.status = 302;
    c.body = "moved";
    c.headers = "Location: /final\r\nContent-Length: 5";
    c.request_lines = {"GET /start HTTP/1.1"};
    cases.push_back(c);
  }
  {
    WireCase c = Defaults("SetCookieCollectedAndMerged", "cookies", "/");
    c.supply_cookies = true;
    c.cookies = "b=0; c=3";
    c.status = 200;
    c.headers = "Set-Cookie: b=2; Path=/\r\nSet-Cookie: a=1\r\nContent-Length: 0";
    c.new_cookies = "b=2; a=1; c=3";
    c.request_lines = {"GET / HTTP/1.1"};
    c.request_headers = {{"Cookie", "b=0; c=3"}};
    cases.push_back(c);
  }
  {
    WireCase c = Defaults("EmptyCookieSuppliedIsSentEmpty", "ok", "/");
    c.supply_cookies = true;
    c.status = 200;
    c.body = "ok";
    c.headers = "Content-Length: 2";
    c.request_lines = {"GET / HTTP/1.1"};
    c.request_headers = {{"Cookie", ""}};
    c.caller_header_order = {"Cookie", "Accept", "Referer", "Accept-Language", "User-Agent"};
    cases.push_back(c);
  }
  {
    WireCase c = Defaults("SetCookieCollected", "cookies", "/");
    c.status = 200;
    c.headers = "Set-Cookie: b=2; Path=/\r\nSet-Cookie: a=1\r\nContent-Length: 0";
    c.new_cookies = "b=2; a=1";
    c.request_lines = {"GET / HTTP/1.1"};
    cases.push_back(c);
  }
  {
    WireCase c = Defaults("PostCarriesFormTypeAndBody", "ok", "/post");
    c.method = 1;
    c.body_text = "k=v&x=1";
    c.status = 200;
    c.body = "ok";
    c.headers = "Content-Length: 2";
    c.request_lines = {"POST /post HTTP/1.1"};
    c.request_headers = {{"Content-Type", "application/x-www-form-urlencoded"},
                         {"Content-Length", "7"}};
    c.request_body = "k=v&x=1";
    c.caller_header_order = {"Accept", "Referer", "Accept-Language", "User-Agent", "Content-Type"};
    cases.push_back(c);
  }
  {
    WireCase c = Defaults("ProxyGetsAbsoluteFormAndCredentials", "proxy",
                          "http://standards.example/s.jsp?keyword=GB1");
    c.via_proxy = true;
    c.proxy_user = "user";
    c.proxy_password = "pass";
    c.status = 200;
    c.body = "via proxy";
    c.headers = "Content-Length: 9";
    c.request_lines = {"GET http://standards.example/s.jsp?keyword=GB1 HTTP/1.1"};
    c.request_headers = {{"Proxy-Authorization", "Basic dXNlcjpwYXNz"},
                         {"Host", "standards.example"},
                         {"Referer", "{url}"}};
    cases.push_back(c);
  }
  {
    WireCase c = Defaults("ServerClosingMidBodyGivesNothing", "cut-body", "/");
    c.request_lines = {"GET / HTTP/1.1"};
    cases.push_back(c);
  }
  {
    WireCase c = Defaults("FortyMiBDeclaredBodyRefused", "huge-declared", "/big");
    c.request_lines = {"GET /big HTTP/1.1"};
    cases.push_back(c);
  }
  {
    WireCase c = Defaults("FortyMiBCloseDelimitedBodyRefused", "huge-close", "/big");
    c.request_lines = {"GET /big HTTP/1.1"};
    cases.push_back(c);
  }
  {
    WireCase c = Defaults("BodyJustUnderTheCapArrivesWhole", "at-cap", "/");
    c.status = 200;
    c.body_size = 32u * 1024u * 1024u;
    c.headers = "Content-Length: " + std::to_string(c.body_size);
    c.request_lines = {"GET / HTTP/1.1"};
    cases.push_back(c);
  }
  return cases;
}

}  // namespace

const std::vector<WireCase>& WireCases() {
  static const std::vector<WireCase> cases = MakeCases();
  return cases;
}

void RunWireCase(const WireCase& c, const std::string& server_url,
                 const std::function<std::vector<RecordedRequest>()>& requests) {
  const std::string url = c.via_proxy ? c.path : server_url + c.path;
  WebRequestOptions options;
  options.method = c.method;
  options.body_text = c.body_text;
  options.disable_redirects = c.disable_redirects;
  Text cookies = c.cookies;
  if (c.supply_cookies) options.cookies = &cookies;
  if (c.via_proxy) {
    options.proxy = server_url.substr(std::string("http://").size());
    options.proxy_user = c.proxy_user;
    options.proxy_password = c.proxy_password;
  }
  const WebResponse response = WebExchange(url, options);

  EXPECT_EQ(response.status, c.status);
  if (c.body_size != 0) {
    EXPECT_EQ(response.body.size(), c.body_size);
  } else {
    EXPECT_EQ(std::string(response.body.begin(), response.body.end()), c.body);
  }
  EXPECT_EQ(response.headers, c.headers);
  EXPECT_EQ(response.cookies, c.new_cookies);
  if (c.supply_cookies) {
    EXPECT_EQ(cookies, c.new_cookies);
  }

  const std::vector<RecordedRequest> arrived = requests();
  std::vector<std::string> lines;
  for (const RecordedRequest& r : arrived) lines.push_back(WithoutDefaultPort(r.request_line));
  EXPECT_EQ(lines, c.request_lines);
  if (arrived.empty()) return;
  const RecordedRequest& first = arrived[0];
  for (const auto& [name, value] : c.request_headers) {
    EXPECT_TRUE(first.HasHeader(name)) << name;
    EXPECT_EQ(first.Header(name), value == "{url}" ? url : value) << name;
  }
  EXPECT_EQ(first.body, c.request_body);
  if (!c.caller_header_order.empty()) {
    std::vector<std::string> order;
    for (const std::string& name : first.HeaderNames()) {
      if (!IsTransportHeader(name)) order.push_back(name);
    }
    EXPECT_EQ(order, c.caller_header_order);
  }
}

}  // namespace kelvaro::test
